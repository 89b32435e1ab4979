// The application on a home whose ~/.gradle is a filesystem that never
// answers (a FUSE mount whose server stopped reading, made in a child in a
// private mount namespace). Everything the main thread does must return while
// the scan waits on it, and the scan must finish every other category. A
// watchdog fails the child instead of letting it hang; where the machine
// cannot mount FUSE in a namespace the case skips, or fails when
// BRUSHWICK_REQUIRE_PRIVILEGED_TESTS=1.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "app_probe.h"
#include "base/i18n.h"
#include "base/strutil.h"
#include "dead_mount.h"
#include "deletion_support.h"
#include "test_support.h"
#include "window/app.h"

namespace {

using testing_support::du_bytes;
using testing_support::FakeHome;
using testing_support::make_tree;
using testing_support::write_file;

// Hang guards, not speed bounds.
constexpr std::chrono::seconds kStepLimit{60};
constexpr std::chrono::seconds kChildLimit{150};

// Ends the process with a failure when a step has not returned within
// kStepLimit, naming the step: a hang fails the case instead of stalling the
// suite. The process's end also kills the dead mount's server.
class Watchdog {
public:
    Watchdog() : m_thread([this] { watch(); }) {}
    ~Watchdog() {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_cv.notify_one();
        m_thread.join();
    }
    Watchdog(const Watchdog&) = delete;
    Watchdog& operator=(const Watchdog&) = delete;

    // The step that starts now, with a limit of its own.
    void step(const char* what) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_step = what;
            ++m_steps;
        }
        m_cv.notify_one();
    }

private:
    void watch() {
        std::unique_lock<std::mutex> lock(m_mutex);
        while (!m_finished) {
            const int seen = m_steps;
            if (!m_cv.wait_for(lock, kStepLimit, [&] { return m_finished || m_steps != seen; })) {
                std::printf("HUNG: \"%s\" did not return within %lld s\n", m_step,
                            static_cast<long long>(kStepLimit.count()));
                std::fflush(stdout);
                std::_Exit(1);
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    const char* m_step = "starting";  // guarded by m_mutex
    int m_steps = 0;                  // steps begun, guarded by m_mutex
    bool m_finished = false;          // guarded by m_mutex
    std::thread m_thread;
};

const CatState* find_cat(const std::vector<CatState>& cats, const std::string& id) {
    for (const CatState& c : cats) {
        if (c.def.id == id)
            return &c;
    }
    return nullptr;
}

// --- Body run in the child ---

TEST(AppDeadMountChild, DISABLED_AGradleFolderThatNeverAnswers) {
    Watchdog watchdog;
    catalog::set_projects_root("");
    I18n::instance().set_language("en");
    FakeHome home;
    make_tree(home.path(), {".gradle/", ".npm/_cacache/index/", "code/app/package.json",
                            "code/app/node_modules/a/"});
    write_file(home / ".npm/_cacache/index/x", 30000);
    write_file(home / "code/app/node_modules/a/index.js", 5000);
    testing_support::DeadMount dead(home / ".gradle");
    ASSERT_EQ(dead.error(), "");

    watchdog.step("constructing the App");
    auto app = std::make_unique<App>();
    AppProbe probe{*app};
    watchdog.step("starting the scan");
    probe.start_scan();
    watchdog.step("drawing a frame while the scan waits");
    probe.draw(1100, 720);
    watchdog.step("cancelling the scan");
    const App::HitTarget* cancel = probe.target(App::Act::CancelScan);
    ASSERT_NE(cancel, nullptr);
    probe.click_target(*cancel);
    EXPECT_TRUE(probe.cancel_flag());
    watchdog.step("starting a scan again");
    probe.start_scan();
    watchdog.step("drawing a frame");
    probe.draw(1100, 720);
    watchdog.step("the scan of every other category");
    ASSERT_TRUE(probe.wait_for_worker(kStepLimit));
    {
        std::lock_guard<std::mutex> lock(probe.mutex());
        const std::vector<CatState>& cats = probe.cats();
        int dead_rows = 0;
        for (const CatState& c : cats) {
            const bool in_gradle = su::is_at_or_under(c.def.path, home / ".gradle");
            EXPECT_TRUE(c.did_scan) << c.def.id;
            EXPECT_EQ(c.not_answering, in_gradle) << c.def.id;
            dead_rows += in_gradle ? 1 : 0;
        }
        EXPECT_GT(dead_rows, 0);
        const CatState* modules = find_cat(cats, "nodeModules");
        ASSERT_NE(modules, nullptr);
        ASSERT_EQ(modules->items.size(), 1u);
        EXPECT_TRUE(modules->items[0].size_known);
        EXPECT_EQ(modules->items[0].size, du_bytes(home / "code/app/node_modules"));
        EXPECT_FALSE(modules->partial());
    }
    watchdog.step("destroying the App");
    app.reset();
    watchdog.step("finishing");
}

// --- Parent side ---

TEST(AppDeadMount, TheMainThreadNeverWaitsOnAGradleFolderThatNeverAnswers) {
    SKIP_UNLESS_MACHINE_CAN(testing_support::can_mount_dead_filesystem(),
                            "mount FUSE in a private mount namespace (needs root and /dev/fuse)");
    std::string log;
    EXPECT_TRUE(testing_support::run_in_mount_namespace(
        "AppDeadMountChild.DISABLED_AGradleFolderThatNeverAnswers", {}, kChildLimit, &log))
        << log;
}

}  // namespace
