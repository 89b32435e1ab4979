// Tests for the per-thread nice value: lowering never raises, and only the
// calling thread changes.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "base/thread_priority.h"

namespace {

// Runs fn on a fresh thread (which starts at the process's nice value) and
// returns what it reports, so the test's own thread keeps its priority.
template <typename Fn>
int on_new_thread(Fn fn) {
    int out = 0;
    std::thread t([&] { out = fn(); });
    t.join();
    return out;
}

}  // namespace

TEST(ThreadPriority, LoweringNeverRaisesAnAlreadyLowerPriority) {
    const int base = thread_nice();
    EXPECT_EQ(on_new_thread([] {
                  lower_thread_priority(12);
                  lower_thread_priority(5);  // a request for more priority is ignored
                  return thread_nice();
              }),
              std::max(base, 12));
}

TEST(ThreadPriority, OnlyTheCallingThreadIsLowered) {
    const int before = thread_nice();
    const int inside = on_new_thread([] {
        lower_thread_priority(10);
        return thread_nice();
    });
    EXPECT_EQ(inside, std::max(before, 10));
    EXPECT_EQ(thread_nice(), before) << "the caller's own priority changed";
}
