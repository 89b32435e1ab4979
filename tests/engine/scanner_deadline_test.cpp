// The scanner's deadline guard: work that finishes, work that never returns,
// a filesystem that stops answering, cancellation, the pool's thread cap and
// the priority its threads run at.
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <functional>
#include <future>
#include <memory>
#include <thread>
#include <vector>

#include "engine/catalog.h"
#include "engine/scanner.h"
#include "test_support.h"

namespace {

using testing_support::du_bytes;
using testing_support::make_tree;
using testing_support::TempDir;
using testing_support::write_file;

// Work that blocks until released, and tells when it has run.
struct Gate {
    std::promise<void> release;
    std::shared_future<void> opened = release.get_future().share();
    std::shared_ptr<std::atomic<int>> ran = std::make_shared<std::atomic<int>>(0);

    std::function<int()> work(int value) {
        return [f = opened, r = ran, value] {
            f.wait();
            ++*r;
            return value;
        };
    }
};

scanner::Outcome guard_outcome(const scanner::detail::Guarded<int>& g) {
    return g.outcome;
}

// with_deadline on a made-up filesystem name, so that the cases do not presume
// each other's filesystems hung.
scanner::detail::Guarded<int> guarded(double seconds, const std::string& filesystem,
                                      std::function<int()> work,
                                      const std::atomic<bool>* cancel = nullptr) {
    return scanner::detail::with_deadline<int>(seconds, filesystem, -1, cancel, std::move(work));
}

TEST(Deadline, FinishedWorkReturnsItsResult) {
    const auto r = guarded(30, "finished", [] { return 7; });
    EXPECT_EQ(r.value, 7);
    EXPECT_EQ(r.outcome, scanner::Outcome::Done);
    TempDir t;
    make_tree(t.path(), {"c/a/", "c/b/"});
    write_file(t / "c/a/f", 50000);
    CategoryDef def;
    def.id = "test";
    def.listing = ListingKind::ChildDirectories;
    def.path = t / "c";
    const scanner::Listed listed = scanner::list_guarded(def, {}, 30, nullptr);
    std::vector<std::string> listed_paths;
    for (const scanner::ScannedInfo& e : listed.entries)
        listed_paths.push_back(e.path);
    std::sort(listed_paths.begin(), listed_paths.end());
    EXPECT_EQ(listed_paths, (std::vector<std::string>{t / "c/a", t / "c/b"}));
    EXPECT_EQ(listed.outcome, scanner::Outcome::Done);
    const scanner::Measure m = scanner::measure_guarded(t / "c", 30, nullptr);
    EXPECT_EQ(m.bytes, du_bytes(t / "c"));
    EXPECT_EQ(m.outcome, scanner::Outcome::Done);
    EXPECT_EQ(scanner::is_dir_guarded(t / "c", 30, nullptr), std::optional<bool>(true));
    EXPECT_EQ(scanner::is_dir_guarded(t / "c/a/f", 30, nullptr), std::optional<bool>(false));
}

TEST(Deadline, BlockedWorkGivesTheFallbackWithoutWaitingForIt) {
    Gate gate;
    for (double seconds : {0.05, 0.0, 0.0004, -3.0}) {
        const auto r = guarded(seconds, "blocked", gate.work(5));
        EXPECT_EQ(r.value, -1) << seconds;
        EXPECT_EQ(r.outcome, scanner::Outcome::NotAnswering) << seconds;
    }
    EXPECT_EQ(gate.ran->load(), 0) << "the call waited for the blocked work";
    gate.release.set_value();
}

TEST(Deadline, AHungFilesystemTrapsOneThreadAndLeavesTheOthersServed) {
    Gate gate;
    // The first call is late; every later one on that filesystem is refused
    // at once, even with a deadline of ten minutes (the test would time out).
    // Only work that runs past its deadline marks a hang: on a busy machine
    // the pool may not start it within 10 ms, and work dropped unstarted is
    // no evidence. So the late call is repeated until its work is running.
    auto started = std::make_shared<std::atomic<bool>>(false);
    while (!started->load()) {
        EXPECT_EQ(guard_outcome(guarded(0.01, "dead",
                                        [started, w = gate.work(1)] {
                                            started->store(true);
                                            return w();
                                        })),
                  scanner::Outcome::NotAnswering);
    }
    ASSERT_TRUE(scanner::detail::presumed_hung("dead"));
    const int trapped = scanner::detail::guard_thread_count();
    for (int i = 0; i < 3 * scanner::detail::kMaxGuardThreads; ++i)
        EXPECT_EQ(guard_outcome(guarded(600, "dead", gate.work(1))),
                  scanner::Outcome::NotAnswering);
    EXPECT_LE(scanner::detail::guard_thread_count(), trapped);
    // A healthy filesystem is still listed and measured.
    const auto healthy = guarded(600, "healthy", [] { return 9; });
    EXPECT_EQ(healthy.value, 9);
    EXPECT_EQ(healthy.outcome, scanner::Outcome::Done);
    TempDir t;
    write_file(t / "f", 400 * 1024);
    EXPECT_EQ(scanner::measure_guarded(t.path(), 600, nullptr).bytes, du_bytes(t.path()));
    gate.release.set_value();
}

TEST(Deadline, ACancelReturnsAtOnceWhateverTheWorkIsStuckIn) {
    Gate gate;
    std::atomic<bool> cancel{false};
    std::promise<void> started;
    auto call = std::async(std::launch::async, [&] {
        return guarded(
            600, "cancelled",
            [&started, w = gate.work(3)] {
                started.set_value();
                return w();
            },
            &cancel);
    });
    started.get_future().wait();
    cancel = true;
    // Ten minutes of deadline: only the cancel can end the call in time.
    const auto r = call.get();
    EXPECT_EQ(r.value, -1);
    EXPECT_EQ(r.outcome, scanner::Outcome::Cancelled);
    // A cancel is no evidence of a hang: the filesystem is still asked.
    EXPECT_EQ(guarded(600, "cancelled", [] { return 4; }).value, 4);
    gate.release.set_value();
}

TEST(Deadline, HungWorkCannotMakeThePoolGrowPastItsCap) {
    using scanner::detail::kMaxGuardThreads;
    Gate gate;
    // Fill every pool thread with work that hangs, as on a dead network mount,
    // while its callers still wait.
    std::vector<std::shared_ptr<scanner::detail::Ticket>> callers;
    for (int i = 0; i < kMaxGuardThreads; ++i) {
        auto started = std::make_shared<std::promise<void>>();
        auto fut = started->get_future();
        callers.push_back(std::make_shared<scanner::detail::Ticket>());
        callers.back()->filesystem = "busy" + std::to_string(i);
        ASSERT_TRUE(scanner::detail::submit_guarded(
            [started, w = gate.work(0)] {
                started->set_value();
                w();
            },
            callers.back()));
        ASSERT_EQ(fut.wait_for(std::chrono::seconds(60)), std::future_status::ready);
    }
    // Further calls still return at their deadline and start no thread.
    const int threads = scanner::detail::guard_thread_count();
    EXPECT_GE(threads, kMaxGuardThreads);
    for (int i = 0; i < 10; ++i)
        EXPECT_EQ(guarded(0.02, "queued" + std::to_string(i), gate.work(1)).value, -1);
    EXPECT_EQ(scanner::detail::guard_thread_count(), threads);
    EXPECT_LE(std::distance(std::filesystem::directory_iterator("/proc/self/task"),
                            std::filesystem::directory_iterator{}),
              kMaxGuardThreads + 2);
    gate.release.set_value();
}

TEST(Deadline, PoolThreadsRunNoMoreEagerlyThanTheirCaller) {
    const int nice =
        std::async(std::launch::async, [] {
            ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), 12);
            return guarded(
                       30, "nice",
                       [] { return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid())); })
                .value;
        }).get();
    EXPECT_GE(nice, 12);
}

TEST(Deadline, WaitsAreWholeMillisecondsAndNeverOverflow) {
    using scanner::detail::deadline_after;
    EXPECT_EQ(deadline_after(1.5).count(), 1500);
    EXPECT_EQ(deadline_after(0.0004).count(), 0);
    EXPECT_EQ(deadline_after(-1).count(), 0);
    EXPECT_EQ(deadline_after(std::nan("")).count(), 0);
    EXPECT_EQ(deadline_after(1e300).count(), 365LL * 24 * 3600 * 1000);
}
}  // namespace
