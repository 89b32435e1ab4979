// Deleting the selection from the window's state: what the plan takes, what
// the worker removes from disk and from the lists, and how failures reach the
// status line, the failure dialog's data and the "Remove manually" list.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "app_probe.h"
#include "base/format.h"
#include "base/i18n.h"
#include "deletion_support.h"
#include "test_support.h"
#include "window/app.h"

namespace {

using testing_support::exists_no_follow;
using testing_support::FakeHome;
using testing_support::make_dirs;
using testing_support::write_file;

class AppCleanTest : public ::testing::Test {
protected:
    void SetUp() override { I18n::instance().set_language("en"); }
    void TearDown() override { I18n::instance().set_language("en"); }

    // An item for a folder that exists under the fake home, holding bytes.
    Item real_item(const std::string& rel, std::int64_t size, bool selected = true) {
        make_dirs(home.path(), rel);
        write_file(home / (rel + "/f"), 4096);
        return item(home / rel, size, selected);
    }
    // An item whose parent folder does not exist: its deletion fails.
    Item failing_item(const std::string& name, std::int64_t size = 100) {
        return item(home / ("missing-parent/" + name), size, true);
    }
    static Item item(const std::string& path, std::int64_t size, bool selected) {
        Item it;
        it.path = path;
        it.name = path.substr(path.rfind('/') + 1);
        it.size = size;
        it.size_known = size >= 0;
        it.selected = selected;
        return it;
    }

    void set_cats(std::vector<std::vector<Item>> lists) {
        std::lock_guard<std::mutex> lock(probe.mutex());
        probe.cats().clear();
        int n = 0;
        for (auto& items : lists) {
            CatState cs;
            cs.def.id = "c" + std::to_string(n++);
            cs.def.title = cs.def.id;
            cs.items = std::move(items);
            cs.did_scan = true;
            probe.cats().push_back(std::move(cs));
        }
    }

    std::vector<std::string> listed_paths() {
        std::vector<std::string> out;
        for (const CatState& cs : probe.cats()) {
            for (const Item& it : cs.items)
                out.push_back(it.path);
        }
        return out;
    }

    void clean_to_completion() {
        ASSERT_TRUE(probe.start_clean());
        ASSERT_TRUE(probe.wait_for_worker());
        EXPECT_FALSE(probe.cleaning()) << "the poll collects the worker";
    }

    FakeHome home;
    App app;
    AppProbe probe{app};
};

}  // namespace

// --- Plan ---

TEST_F(AppCleanTest, ThePlanTakesOnlyTickedUnprotectedItemsAndCountsUnknownSizes) {
    set_cats({{item("/x/a", 100, true), item("/x/b", 50, false), item("/x/c", -1, true)},
              {item("/", 9000, true), item("/usr", 10, true), item("/x/d", 0, true)}});
    std::lock_guard<std::mutex> lock(probe.mutex());
    const App::CleanPlan plan = probe.clean_plan();
    std::vector<std::string> paths;
    for (const deletion::Target& t : plan.targets)
        paths.push_back(t.path);
    EXPECT_EQ(paths, (std::vector<std::string>{"/x/a", "/x/c", "/x/d"}));
    EXPECT_EQ(plan.bytes, 100);
    EXPECT_EQ(plan.unknown, 1);
    EXPECT_EQ(plan.skipped, 2) << "/ and /usr are protected";
    EXPECT_FALSE(plan.skipped_reason.empty());
}

// --- Worker ---

TEST_F(AppCleanTest, DeletedItemsVanishFromDiskAndListsAndTheStatusSaysWhatWasFreed) {
    set_cats({{real_item("cache/a", 3000), real_item("cache/b", 2000, false)},
              {real_item("cache/c", 1000)}});
    clean_to_completion();
    EXPECT_FALSE(exists_no_follow(home / "cache/a"));
    EXPECT_FALSE(exists_no_follow(home / "cache/c"));
    EXPECT_TRUE(exists_no_follow(home / "cache/b/f")) << "an unticked entry was touched";
    std::lock_guard<std::mutex> lock(probe.mutex());
    EXPECT_EQ(listed_paths(), std::vector<std::string>{home / "cache/b"});
    const std::string freed = I18n::instance().trf("%s freed", fmt::bytes(4000));
    EXPECT_EQ(probe.status().substr(0, freed.size()), freed) << probe.status();
    EXPECT_NE(probe.status().find(" · free space on "), std::string::npos)
        << "the disk's free space before and after: " << probe.status();
    EXPECT_FALSE(probe.status_is_error());
    EXPECT_FALSE(probe.failed_dialog_pending());
    EXPECT_TRUE(probe.manual().empty());
}

TEST_F(AppCleanTest, AnUnmeasuredEntryMakesTheFreedSizeALowerBound) {
    set_cats({{real_item("cache/a", 3000), real_item("cache/b", -1)}});
    clean_to_completion();
    std::lock_guard<std::mutex> lock(probe.mutex());
    const std::string freed = I18n::instance().trf("At least %s freed", fmt::bytes(3000));
    EXPECT_EQ(probe.status().substr(0, freed.size()), freed) << probe.status();
}

TEST_F(AppCleanTest, TwoOfFiveFailingLeaveThreeDeletedAndTwoForManualRemoval) {
    set_cats({{real_item("cache/a", 10), failing_item("x"), real_item("cache/b", 10)},
              {failing_item("y"), real_item("cache/c", 10)}});
    clean_to_completion();
    std::lock_guard<std::mutex> lock(probe.mutex());
    EXPECT_EQ(listed_paths(),
              (std::vector<std::string>{home / "missing-parent/x", home / "missing-parent/y"}));
    for (const CatState& cs : probe.cats()) {
        for (const Item& it : cs.items)
            EXPECT_TRUE(it.selected) << "a failed item stays ticked: " << it.path;
    }
    EXPECT_TRUE(probe.status_is_error());
    EXPECT_FALSE(probe.status().empty());
    EXPECT_EQ(probe.failed_paths().size(), 2u);
    EXPECT_EQ(probe.overlay(), App::Overlay::Dialog) << "the poll shows the failure dialog";
    EXPECT_FALSE(probe.failed_dialog_pending()) << "and shows it once";
    ASSERT_EQ(probe.manual().size(), 2u);
    EXPECT_EQ(probe.manual()[0].path, home / "missing-parent/x");
    EXPECT_EQ(probe.manual()[1].path, home / "missing-parent/y");
    for (const Item& row : probe.manual()) {
        EXPECT_FALSE(row.selected);
        EXPECT_EQ(probe.status().rfind(row.detail, 0), 0u)
            << "the row carries its failure's reason: " << probe.status();
    }
}

TEST_F(AppCleanTest, DeletingTheSameFailingItemTwiceListsItOnce) {
    set_cats({{failing_item("x")}});
    clean_to_completion();
    probe.overlay() = App::Overlay::None;
    clean_to_completion();
    EXPECT_EQ(probe.overlay(), App::Overlay::Dialog) << "the second failure is reported again";
    std::lock_guard<std::mutex> lock(probe.mutex());
    EXPECT_EQ(probe.manual().size(), 1u);
}

TEST_F(AppCleanTest, OnlyProtectedItemsTickedDeleteNothingAndChangeNothing) {
    // The guard's notion of the home is fixed once per process, so the
    // system folders stand in for every protected place here.
    set_cats({{item("/usr", 10, true), item("/etc", 10, true)}});
    clean_to_completion();
    std::lock_guard<std::mutex> lock(probe.mutex());
    EXPECT_EQ(listed_paths().size(), 2u);
    EXPECT_TRUE(probe.status().empty());
    EXPECT_FALSE(probe.failed_dialog_pending());
    EXPECT_TRUE(exists_no_follow("/etc"));
}

TEST_F(AppCleanTest, ADeletionCannotStartWhileAnotherWorkerRuns) {
    set_cats({{real_item("cache/a", 10)}});
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    probe.run_worker([gate] { gate.wait(); });
    EXPECT_FALSE(probe.start_clean());
    release.set_value();
    ASSERT_TRUE(probe.wait_for_worker());
    EXPECT_TRUE(exists_no_follow(home / "cache/a"));
}

TEST_F(AppCleanTest, AFinishedWorkerNotYetCollectedDoesNotBlockTheDeletion) {
    set_cats({{real_item("cache/a", 10)}});
    ASSERT_TRUE(probe.start_clean());
    // Let the worker end but do not run the poll.
    while (probe.worker_running())
        std::this_thread::yield();
    set_cats({{real_item("cache/b", 10)}});
    EXPECT_TRUE(probe.start_clean());
    ASSERT_TRUE(probe.wait_for_worker());
    EXPECT_FALSE(exists_no_follow(home / "cache/b"));
}

// --- From the footer to the dialogs ---

TEST_F(AppCleanTest, TheFooterOpensAConfirmationCountingTheTickedItemsAndTheirSize) {
    set_cats({{real_item("cache/a", 1000), real_item("cache/b", 2000), real_item("cache/c", 500),
               real_item("cache/d", 700, false)}});
    probe.draw(1100, 720);
    const App::HitTarget* clean = probe.target(App::Act::Clean);
    ASSERT_NE(clean, nullptr);
    probe.click_target(*clean);
    ASSERT_EQ(probe.overlay(), App::Overlay::Dialog);
    EXPECT_EQ(probe.dialog_title(), "Delete permanently?");
    const std::string first_line =
        probe.dialog_message().substr(0, probe.dialog_message().find('\n'));
    EXPECT_EQ(first_line, I18n::instance().trf("%s item(s) · %s", "3", fmt::bytes(3500)));
    ASSERT_EQ(probe.dialog_buttons().size(), 2u);
    EXPECT_EQ(probe.dialog_buttons()[0].id, App::CMD_CLEAN_CONFIRM);
    EXPECT_TRUE(probe.dialog_buttons()[0].destructive);
    EXPECT_TRUE(probe.dialog_buttons()[1].cancel);
    EXPECT_TRUE(exists_no_follow(home / "cache/a")) << "nothing is deleted before the answer";
}

TEST_F(AppCleanTest, ConfirmingDeletesAndCancellingDoesNot) {
    set_cats({{real_item("cache/a", 1000)}});
    probe.confirm_clean();
    probe.draw(1100, 720);
    const App::HitTarget* cancel = probe.target(App::Act::DialogButton, App::CMD_CANCEL);
    ASSERT_NE(cancel, nullptr);
    probe.click_target(*cancel);
    EXPECT_EQ(probe.overlay(), App::Overlay::None);
    EXPECT_FALSE(probe.cleaning());

    probe.confirm_clean();
    probe.draw(1100, 720);
    const App::HitTarget* confirm = probe.target(App::Act::DialogButton, App::CMD_CLEAN_CONFIRM);
    ASSERT_NE(confirm, nullptr);
    probe.click_target(*confirm);
    ASSERT_TRUE(probe.wait_for_worker());
    EXPECT_FALSE(exists_no_follow(home / "cache/a"));
}

TEST_F(AppCleanTest, UnknownSizesAndProtectedEntriesAreSaidInTheConfirmation) {
    set_cats({{real_item("cache/a", 1000), real_item("cache/b", -1), item("/usr", 10, true)}});
    probe.confirm_clean();
    const std::string& message = probe.dialog_message();
    EXPECT_EQ(message.substr(0, message.find('\n')),
              I18n::instance().trf("%s item(s) · at least %s", "2", fmt::bytes(1000)))
        << "the protected entry is not counted, the unmeasured one makes it a lower bound";
    EXPECT_NE(
        message.find(I18n::instance().trf("%s protected item(s) will be left out: %s", "1", "")),
        std::string::npos)
        << message;
}

TEST_F(AppCleanTest, OnlyProtectedEntriesTickedSayWhyNothingCanBeDeleted) {
    set_cats({{item("/usr", 10, true)}});
    probe.confirm_clean();
    ASSERT_EQ(probe.overlay(), App::Overlay::Dialog);
    EXPECT_EQ(probe.dialog_title(), "Nothing can be deleted");
    ASSERT_EQ(probe.dialog_buttons().size(), 1u);
    EXPECT_EQ(probe.dialog_buttons()[0].id, App::CMD_CANCEL);
}

TEST_F(AppCleanTest, NothingTickedOpensNoDialog) {
    set_cats({{real_item("cache/a", 1000, false)}});
    probe.confirm_clean();
    EXPECT_EQ(probe.overlay(), App::Overlay::None);
    probe.draw(1100, 720);
    EXPECT_EQ(probe.target(App::Act::Clean), nullptr) << "the dimmed button takes no click";
}

TEST_F(AppCleanTest, AFailureOpensItsDialogWhoseButtonShowsTheManualList) {
    set_cats({{failing_item("x"), failing_item("y"), real_item("cache/a", 10)}});
    clean_to_completion();
    ASSERT_EQ(probe.overlay(), App::Overlay::Dialog) << "the poll shows the failure dialog";
    EXPECT_EQ(probe.dialog_title(), "Could not delete everything");
    EXPECT_EQ(probe.dialog_message().substr(0, probe.dialog_message().find('\n')),
              I18n::instance().trf("%s item(s) could not be deleted here.", "2"));
    probe.draw(1100, 720);
    const App::HitTarget* show = probe.target(App::Act::DialogButton, App::CMD_SHOW_MANUAL);
    ASSERT_NE(show, nullptr);
    probe.click_target(*show);
    EXPECT_EQ(probe.selection(), App::SEL_MANUAL);
    EXPECT_EQ(probe.overlay(), App::Overlay::None);
}

TEST_F(AppCleanTest, TheDeleteButtonWaitsWhileAScanRuns) {
    set_cats({{real_item("cache/a", 1000)}});
    probe.scanning_flag() = true;
    probe.draw(1100, 720);
    EXPECT_EQ(probe.target(App::Act::Clean), nullptr);
    EXPECT_NE(probe.find_text("available when the scan has finished"), nullptr);
    probe.scanning_flag() = false;
}

TEST_F(AppCleanTest, AConfirmationAnsweredWhileAWorkerRunsDeletesNothingAndSaysSo) {
    set_cats({{real_item("cache/a", 1000)}});
    probe.confirm_clean();
    probe.draw(1100, 720);
    const App::HitTarget confirm = *probe.target(App::Act::DialogButton, App::CMD_CLEAN_CONFIRM);
    std::promise<void> release;
    std::shared_future<void> gate = release.get_future().share();
    probe.run_worker([gate] { gate.wait(); });
    probe.click_target(confirm);
    release.set_value();
    ASSERT_TRUE(probe.wait_for_worker());
    EXPECT_TRUE(exists_no_follow(home / "cache/a"));
    std::lock_guard<std::mutex> lock(probe.mutex());
    EXPECT_TRUE(probe.status_is_error());
}

// --- Safeguards ---

TEST_F(AppCleanTest, TheConfirmationNamesAnEntryInUseAndTheDeletionLeavesItForManualRemoval) {
    Item busy = real_item("cache/busy", 100);
    Item idle = real_item("cache/idle", 100);
    busy.name = "busy-entry";
    set_cats({{busy, idle}});
    const std::string cwd = busy.path;
    testing_support::Sleeper user("/bin/sleep", [&] { (void)!::chdir(cwd.c_str()); });
    ASSERT_TRUE(user.started());
    const std::string process = "sleep (" + std::to_string(user.pid()) + ")";

    probe.confirm_clean();
    ASSERT_EQ(probe.overlay(), App::Overlay::Dialog);
    EXPECT_NE(probe.dialog_message().find(
                  I18n::instance().trf("In use, will be left out: %s", "busy-entry — " + process)),
              std::string::npos)
        << probe.dialog_message();

    probe.overlay() = App::Overlay::None;
    clean_to_completion();
    EXPECT_TRUE(exists_no_follow(busy.path + "/f"));
    EXPECT_FALSE(exists_no_follow(idle.path));
    std::lock_guard<std::mutex> lock(probe.mutex());
    ASSERT_EQ(probe.manual().size(), 1u);
    EXPECT_EQ(probe.manual()[0].detail, I18n::instance().trf("In use by %s", process));
    EXPECT_EQ(probe.status().rfind(probe.manual()[0].detail, 0), 0u) << probe.status();
}

TEST_F(AppCleanTest, AnEntryReplacedSinceTheScanIsNotDeleted) {
    Item entry = real_item("cache/swapped", 100);
    struct stat st {};
    ASSERT_EQ(::lstat(entry.path.c_str(), &st), 0);
    entry.dev = st.st_dev;
    entry.ino = st.st_ino;
    set_cats({{entry}});
    // Another folder takes the name after the scan; its inode differs, since
    // it is made while the old one still exists.
    make_dirs(home.path(), "cache/other");
    write_file(home / "cache/other/precious", 10);
    std::filesystem::remove_all(entry.path);
    std::filesystem::rename(home / "cache/other", entry.path);
    clean_to_completion();
    EXPECT_TRUE(exists_no_follow(entry.path + "/precious"));
    std::lock_guard<std::mutex> lock(probe.mutex());
    EXPECT_EQ(probe.status().rfind(I18n::instance().tr("Changed since the scan"), 0), 0u)
        << probe.status();
}
