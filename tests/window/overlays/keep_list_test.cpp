// Keeping entries from the window: the Keep toggle on a card and K on a
// focused card, a folder kept as a whole, the keep-list panel with its Remove
// buttons, what a kept entry can no longer be (ticked, planned, deleted), and
// the saved settings surviving a restart.
#include <gdk/gdkkeysyms.h>

#include "base/settings.h"
#include "engine/deletion_guard.h"
#include "overlay_fixture.h"
#include "screen_fixture.h"

namespace {

using Act = App::Act;
using screen_test::category;
using screen_test::item;

constexpr std::int64_t kMiB = 1 << 20;

class KeepTest : public OverlayTest {
protected:
    // One category shown with three Safe entries.
    void show() {
        {
            std::lock_guard<std::mutex> lock(probe.mutex());
            probe.cats() = {category("npm", GroupKind::JavaScript,
                                     {item("a", 3 * kMiB), item("b", 2 * kMiB), item("c", kMiB)})};
            probe.selection() = "npm";
        }
        probe.draw(1100, 720);
    }
    Item& entry(std::size_t i) { return probe.cats()[0].items[i]; }
    const App::HitTarget* keep_toggle(int index) const {
        return probe.target(Act::ToggleKeep, index);
    }

    // The keep-list as a fresh start of the program reads it from disk.
    static std::vector<std::string> stored_kept() {
        SettingsStore fresh;
        fresh.load();
        return fresh.get().kept;
    }
};

TEST_F(KeepTest, TheKeepToggleKeepsAnEntryUntilClickedAgainAndTheListSurvivesARestart) {
    show();
    entry(1).selected = true;
    ASSERT_NE(keep_toggle(1), nullptr);
    probe.click_target(*keep_toggle(1));
    EXPECT_TRUE(entry(1).kept);
    EXPECT_FALSE(entry(1).selected) << "keeping unticks";
    EXPECT_EQ(stored_kept(), std::vector<std::string>{entry(1).path});

    probe.draw(1100, 720);
    EXPECT_NE(probe.find_text("Kept"), nullptr);
    const App::HitTarget* card = nullptr;
    for (const App::HitTarget& t : probe.targets()) {
        if (t.act == Act::ToggleItem && t.index == 1)
            card = &t;
    }
    ASSERT_NE(card, nullptr);
    EXPECT_FALSE(card->enabled) << "a kept entry's check box is out of reach";
    probe.route(*card);
    EXPECT_FALSE(entry(1).selected) << "even a click routed to it ticks nothing";

    probe.click_target(*keep_toggle(1));
    EXPECT_FALSE(entry(1).kept);
    EXPECT_TRUE(stored_kept().empty());
}

TEST_F(KeepTest, SafeOnesAndThePlanLeaveKeptEntriesOut) {
    show();
    probe.set_kept({entry(0).path});
    const App::HitTarget* safe = probe.target(Act::SelectAllSafe);
    ASSERT_NE(safe, nullptr);
    probe.click_target(*safe);
    EXPECT_FALSE(entry(0).selected);
    EXPECT_TRUE(entry(1).selected && entry(2).selected);
    // Ticked before it was kept, by whatever means: the plan still leaves it.
    entry(0).selected = true;
    std::lock_guard<std::mutex> lock(probe.mutex());
    const App::CleanPlan plan = probe.clean_plan();
    ASSERT_EQ(plan.targets.size(), 2u);
    EXPECT_EQ(plan.targets[0].path, entry(1).path);
    EXPECT_EQ(plan.skipped, 1);
    EXPECT_EQ(plan.skipped_reason, deletion_guard::kKept);
    EXPECT_EQ(plan.kept, std::vector<std::string>{entry(0).path}) << "the deletion checks again";
}

TEST_F(KeepTest, AnEntryKeptWithItsFolderIsLetGoOnlyFromTheKeepList) {
    show();
    SettingsStore::instance().mutable_get().kept = {"/home/u/.cache"};
    probe.set_kept({"/home/u/.cache"});
    EXPECT_TRUE(entry(0).kept && entry(1).kept && entry(2).kept);
    probe.click_target(*keep_toggle(0));
    EXPECT_TRUE(entry(0).kept) << "the folder keeps it still";
    EXPECT_EQ(SettingsStore::instance().get().kept, std::vector<std::string>{"/home/u/.cache"});
    EXPECT_NE(probe.status().find("/home/u/.cache"), std::string::npos) << probe.status();

    probe.overlay() = App::Overlay::KeepList;
    probe.draw(1100, 720);
    const App::HitTarget* remove = probe.target(Act::RemoveKept, 0);
    ASSERT_NE(remove, nullptr);
    probe.click_target(*remove);
    EXPECT_FALSE(entry(0).kept || entry(1).kept || entry(2).kept);
    EXPECT_TRUE(stored_kept().empty());
}

TEST_F(KeepTest, KOnAFocusedCardKeepsItAndTabStillStopsOncePerList) {
    show();
    // Down from the list's stop reaches the second card.
    for (int i = 0; i < 12 && probe.focus().act != Act::ToggleItem; ++i)
        probe.key(GDK_KEY_Tab);
    ASSERT_EQ(probe.focus().act, Act::ToggleItem);
    probe.key(GDK_KEY_Down);
    probe.key(GDK_KEY_k);
    EXPECT_TRUE(entry(1).kept);
    probe.draw(1100, 720);
    probe.key(GDK_KEY_Tab);
    EXPECT_NE(probe.focus().act, Act::ToggleKeep) << "the toggles are no Tab stops of their own";
    EXPECT_NE(probe.focus().act, Act::ToggleItem) << "the list is one stop";
}

TEST_F(KeepTest, ThePanelListsNewestFirstRemovesTheOneClickedAndRefusesUnstorableFolders) {
    probe.keep_folder("/srv/first");
    probe.keep_folder("/srv/second");
    probe.keep_folder("/srv/second");
    EXPECT_EQ(SettingsStore::instance().get().kept,
              (std::vector<std::string>{"/srv/first", "/srv/second"}))
        << "a folder already kept is not added twice";
    probe.keep_folder("relative/folder");
    EXPECT_EQ(probe.overlay(), App::Overlay::Dialog) << "a folder that cannot be stored says why";
    EXPECT_EQ(SettingsStore::instance().get().kept.size(), 2u);

    open(App::Overlay::KeepList);
    const App::DrawnText* first = probe.find_text("/srv/first");
    const App::DrawnText* second = probe.find_text("/srv/second");
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_LT(second->box.y, first->box.y) << "the folder kept last comes first";
    // The Remove button on the row of "/srv/first".
    const App::HitTarget* remove = nullptr;
    for (const App::HitTarget& t : probe.targets()) {
        if (t.act == Act::RemoveKept &&
            std::abs(t.rect.y + t.rect.h / 2 - (first->box.y + first->box.h / 2)) < 8)
            remove = &t;
    }
    ASSERT_NE(remove, nullptr);
    probe.click_target(*remove);
    EXPECT_EQ(stored_kept(), std::vector<std::string>{"/srv/second"});
    EXPECT_EQ(probe.overlay(), App::Overlay::KeepList) << "the panel stays open";
}

TEST_F(KeepTest, SettingsCountsTheKeptFoldersAndOpensThePanelWhichReturnsToSettings) {
    SettingsStore::instance().mutable_get().kept = {"/a", "/b"};
    open(App::Overlay::Settings);
    EXPECT_NE(probe.find_text("2 folder(s) never deleted"), nullptr);
    const App::HitTarget* manage = probe.target(Act::OpenKeepList);
    ASSERT_NE(manage, nullptr);
    probe.click_target(*manage);
    EXPECT_EQ(probe.overlay(), App::Overlay::KeepList);
    probe.draw(1100, 720);
    EXPECT_EQ(count(Act::RemoveKept), 2);
    EXPECT_EQ(count(Act::AddKept), 1);
    probe.key(GDK_KEY_Escape);
    EXPECT_EQ(probe.overlay(), App::Overlay::Settings);
}

TEST_F(KeepTest, AReaderFindsEachKeepToggleAsAToggleButtonPressedWhenKept) {
    show();
    probe.set_kept({entry(2).path});
    probe.draw(1100, 720);
    int toggles = 0;
    for (const App::AccessibleNode& n : app.accessible_nodes()) {
        if (n.target.act != Act::ToggleKeep)
            continue;
        ++toggles;
        EXPECT_EQ(n.role, ATK_ROLE_TOGGLE_BUTTON);
        EXPECT_EQ(n.checked, n.target.index == 2) << n.name;
        EXPECT_EQ(n.name, n.target.index == 2 ? "Kept" : "Keep");
    }
    EXPECT_EQ(toggles, 3);
}

}  // namespace
