// The application core without a window: the scan worker and what it
// publishes, the views over the category state, and input dispatch.
#include "window/app.h"

#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <condition_variable>
#include <functional>
#include <mutex>

#include "app_probe.h"
#include "base/i18n.h"
#include "test_support.h"

namespace {

using testing_support::FakeHome;
using testing_support::make_dirs;
using testing_support::write_file;

Item make_item(const std::string& name, std::int64_t size, SafetyLevel safety = SafetyLevel::Safe,
               bool keep = false, bool selected = false) {
    Item it;
    it.path = "/x/" + name;
    it.name = name;
    it.size = size;
    it.size_known = size >= 0;
    it.safety = safety;
    it.keep_hint = keep;
    it.selected = selected;
    return it;
}

CatState make_cat(const std::string& id, GroupKind group, std::vector<Item> items,
                  bool did_scan = true, bool scanning = false) {
    CatState cs;
    cs.def.id = id;
    cs.def.title = id;
    cs.def.group = group;
    cs.items = std::move(items);
    cs.did_scan = did_scan;
    cs.scanning = scanning;
    return cs;
}

class AppTest : public ::testing::Test {
protected:
    void SetUp() override {
        catalog::set_projects_root("");
        I18n::instance().set_language("en");
    }
    void TearDown() override { catalog::set_projects_root(""); }

    void set_cats(std::vector<CatState> cats) {
        std::lock_guard<std::mutex> lock(probe.mutex());
        probe.cats() = std::move(cats);
    }

    const CatState* cat(const std::string& id) {
        for (const CatState& cs : probe.cats()) {
            if (cs.def.id == id)
                return &cs;
        }
        return nullptr;
    }

    FakeHome home;
    App app;
    AppProbe probe{app};
};

// --- Scanning ---

TEST_F(AppTest, AScanPublishesEveryCategoryMeasuredAndSortedLargestFirst) {
    make_dirs(home.path(), ".cache/JetBrains/IdeaIC2023.1");
    make_dirs(home.path(), ".cache/JetBrains/PyCharm2024.2");
    write_file(home / ".cache/JetBrains/IdeaIC2023.1/index", 8192);
    write_file(home / ".cache/JetBrains/PyCharm2024.2/index", 64 * 1024);
    make_dirs(home.path(), "proj/app/node_modules/left-pad");
    write_file(home / "proj/app/node_modules/left-pad/index.js", 4096);

    ASSERT_TRUE(probe.scan_to_completion());
    for (const CatState& cs : probe.cats()) {
        EXPECT_TRUE(cs.did_scan) << cs.def.id;
        EXPECT_FALSE(cs.scanning) << cs.def.id;
        for (const Item& it : cs.items) {
            EXPECT_TRUE(it.size_known) << it.path;
            EXPECT_GE(it.size, 0) << it.path;
            EXPECT_FALSE(it.selected);
        }
    }
    const CatState* jb = cat("jetbrainsCaches");
    ASSERT_NE(jb, nullptr);
    ASSERT_EQ(jb->items.size(), 2u);
    EXPECT_EQ(jb->items[0].name, "PyCharm2024.2");
    EXPECT_GT(jb->items[0].size, jb->items[1].size);
    const CatState* nm = cat("nodeModules");
    ASSERT_NE(nm, nullptr);
    ASSERT_EQ(nm->items.size(), 1u);
    EXPECT_EQ(nm->items[0].path, home / "proj/app/node_modules");
}

TEST_F(AppTest, TheNewestVersionIsKeptAndMarkedRisky) {
    for (const char* v : {"11.0.2", "17.0.10", "17.0.9"}) {
        make_dirs(home.path(), std::string(".rustup/toolchains/") + v);
    }
    ASSERT_TRUE(probe.scan_to_completion());
    const CatState* tc = cat("rustupToolchains");
    ASSERT_NE(tc, nullptr);
    ASSERT_EQ(tc->items.size(), 3u);
    int kept = 0;
    for (const Item& it : tc->items) {
        if (it.keep_hint) {
            ++kept;
            EXPECT_EQ(it.name, "17.0.10");
            EXPECT_EQ(it.safety, SafetyLevel::Risky);
        } else {
            EXPECT_EQ(it.safety, SafetyLevel::Caution) << it.name;
        }
    }
    EXPECT_EQ(kept, 1);
}

TEST_F(AppTest, ARescanDropsSelectionsAndTheStatusLine) {
    make_dirs(home.path(), ".cache/pip/http");
    ASSERT_TRUE(probe.scan_to_completion());
    {
        std::lock_guard<std::mutex> lock(probe.mutex());
        for (CatState& cs : probe.cats()) {
            for (Item& it : cs.items)
                it.selected = true;
        }
    }
    ASSERT_TRUE(probe.scan_to_completion());
    std::lock_guard<std::mutex> lock(probe.mutex());
    ASSERT_NE(cat("pipCache"), nullptr);
    EXPECT_EQ(cat("pipCache")->items.size(), 1u);
    for (const CatState& cs : probe.cats()) {
        for (const Item& it : cs.items)
            EXPECT_FALSE(it.selected) << it.path;
    }
}

TEST_F(AppTest, CancellingPublishesTheCategoryInProgressAndStopsThere) {
    const char* folders[] = {
        ".cache/JetBrains/a", ".local/share/JetBrains/b",  ".p2/pool/plugins/c",
        ".eclipse/d",         ".config/Code/CachedData/e", ".vscode/extensions/f",
        ".gradle/caches/g",   ".m2/repository/h",          ".cargo/registry/i"};
    for (const char* f : folders) {
        make_dirs(home.path(), f);
        write_file(home / (std::string(f) + "/data"), 4096);
    }
    // The worker waits at the fourth category until the cancel is in.
    static constexpr const char* kHeld = "eclipseConfig";
    std::mutex gate_mutex;
    std::condition_variable gate;
    bool reached = false;
    bool open = false;
    probe.before_each_category([&](const std::string& id) {
        if (id != kHeld)
            return;
        std::unique_lock<std::mutex> lock(gate_mutex);
        reached = true;
        gate.notify_all();
        gate.wait(lock, [&] { return open; });
    });
    const auto release = [&] {
        {
            std::lock_guard<std::mutex> lock(gate_mutex);
            open = true;
        }
        gate.notify_all();
    };
    // However the test ends, the worker is let go, so that it can be joined.
    struct ReleaseAtExit {
        const std::function<void()> release;
        ~ReleaseAtExit() { release(); }
    } const at_exit{release};
    probe.start_scan();
    {
        std::unique_lock<std::mutex> lock(gate_mutex);
        // A bound only so that a broken worker fails the test instead of
        // hanging it; the gate, not the clock, orders the steps.
        ASSERT_TRUE(gate.wait_for(lock, std::chrono::seconds(60), [&] { return reached; }));
    }
    std::size_t in_progress = 0;
    {
        std::lock_guard<std::mutex> lock(probe.mutex());
        while (in_progress < probe.cats().size() && probe.cats()[in_progress].def.id != kHeld)
            ++in_progress;
        ASSERT_LT(in_progress, probe.cats().size());
        ASSERT_GE(in_progress, 2u);
        EXPECT_TRUE(probe.cats()[in_progress].scanning);
        probe.cancel_flag() = true;
    }
    release();
    ASSERT_TRUE(probe.wait_for_worker());
    probe.before_each_category(nullptr);
    std::lock_guard<std::mutex> lock(probe.mutex());
    for (std::size_t i = 0; i < probe.cats().size(); ++i) {
        EXPECT_EQ(probe.cats()[i].did_scan, i <= in_progress) << probe.cats()[i].def.id;
        EXPECT_FALSE(probe.cats()[i].scanning) << probe.cats()[i].def.id;
    }
}

TEST_F(AppTest, ARescanWhileScanningReplacesTheRunningScan) {
    make_dirs(home.path(), ".cache/pip");
    for (int i = 0; i < 40; ++i) {
        write_file(home / (".cache/pip/f" + std::to_string(i)), 4096);
        make_dirs(home.path(), ".gradle/caches/v" + std::to_string(i));
    }
    probe.start_scan();
    probe.key(GDK_KEY_F5);  // cancels and joins the running worker, then starts anew
    probe.key(GDK_KEY_F5);
    ASSERT_TRUE(probe.wait_for_worker());
    std::lock_guard<std::mutex> lock(probe.mutex());
    for (const CatState& cs : probe.cats())
        EXPECT_TRUE(cs.did_scan) << cs.def.id;
    ASSERT_NE(cat("gradleCaches"), nullptr);
    EXPECT_EQ(cat("gradleCaches")->items.size(), 40u);
    ASSERT_NE(cat("pipCache"), nullptr);
    EXPECT_GE(cat("pipCache")->items.at(0).size, 40 * 4096);
}

// --- Views ---

TEST_F(AppTest, VisibleGroupsHideScannedEmptyCategoriesAndSortWithinAGroup) {
    set_cats({
        make_cat("small", GroupKind::Java, {make_item("a", 10)}),
        make_cat("emptyDone", GroupKind::Java, {}),
        make_cat("big", GroupKind::Java, {make_item("b", 500), make_item("c", -1)}),
        make_cat("pending", GroupKind::Ides, {}, false),
        make_cat("busy", GroupKind::Logs, {}, false, true),
        make_cat("allEmpty", GroupKind::Python, {}),
    });
    std::lock_guard<std::mutex> lock(probe.mutex());
    const auto groups = probe.visible_groups();
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].group, GroupKind::Ides);  // group order, not size order
    EXPECT_EQ(groups[1].group, GroupKind::Java);
    EXPECT_EQ(groups[1].categories, (std::vector<int>{2, 0}));
    EXPECT_EQ(groups[1].size, 510);  // the unmeasured item adds nothing
    EXPECT_EQ(groups[2].group, GroupKind::Logs);
}

TEST_F(AppTest, TotalsCountOnlyMeasuredSizesAndTheSafeTotalSparesTheKeptVersion) {
    set_cats({
        make_cat("tools", GroupKind::Android,
                 {make_item("34.0.0", 300, SafetyLevel::Risky, true),
                  make_item("33.0.1", 200, SafetyLevel::Caution, false, true)}),
        make_cat("cache", GroupKind::Java,
                 {make_item("x", 50, SafetyLevel::Safe, false, true), make_item("y", -1),
                  make_item("z", 0, SafetyLevel::Safe, false, true)}),
    });
    std::lock_guard<std::mutex> lock(probe.mutex());
    EXPECT_EQ(probe.total(), 550);
    EXPECT_EQ(probe.safe_total(), 50);
    EXPECT_EQ(probe.selected_size(), 250);
    EXPECT_EQ(probe.selected_count(), 3);
}

TEST_F(AppTest, SelectAllSafeLeavesRiskyCautionAndKeptItemsAndKeepsSelections) {
    set_cats({make_cat("c", GroupKind::Java,
                       {make_item("safe", 1), make_item("kept", 2, SafetyLevel::Safe, true),
                        make_item("caution", 3, SafetyLevel::Caution),
                        make_item("risky-picked", 4, SafetyLevel::Risky, false, true)})});
    {
        std::lock_guard<std::mutex> lock(probe.mutex());
        probe.select_all_safe(probe.cats()[0]);
    }
    std::lock_guard<std::mutex> lock(probe.mutex());
    const auto& items = probe.cats()[0].items;
    EXPECT_TRUE(items[0].selected);
    EXPECT_FALSE(items[1].selected);
    EXPECT_FALSE(items[2].selected);
    EXPECT_TRUE(items[3].selected);
}

TEST_F(AppTest, LeftToRightIsolationOnlyInRightToLeftLanguages) {
    EXPECT_EQ(probe.ltr("1.5 GB"), "1.5 GB");
    probe.set_rtl_for_views(true);
    EXPECT_EQ(probe.ltr("1.5 GB"),
              "\xE2\x81\xA6"
              "1.5 GB\xE2\x81\xA9");
}

// --- Input ---

TEST_F(AppTest, ClickingSidebarRowsChangesTheSelectionAndScrollsToTop) {
    set_cats({make_cat("a", GroupKind::Java, {make_item("x", 10)}),
              make_cat("b", GroupKind::Java, {make_item("y", 20)})});
    probe.draw(1100, 720);
    const App::HitTarget* row = probe.target(App::Act::SelectCategory, 0);
    ASSERT_NE(row, nullptr);
    probe.scroll() = 120;
    probe.click_target(*row);
    EXPECT_EQ(probe.selection(), "a");
    EXPECT_EQ(probe.scroll(), 0);
    probe.draw(1100, 720);
    probe.click_target(*probe.target(App::Act::SelectOverview));
    EXPECT_EQ(probe.selection(), "");
}

TEST_F(AppTest, EveryTargetCarriesTheScreenThatDrewIt) {
    set_cats({make_cat("a", GroupKind::Java, {make_item("x", 10)})});
    probe.draw(1100, 720);
    const struct {
        App::Act act;
        App::Screen screen;
    } cases[] = {
        {App::Act::SelectOverview, App::Screen::Sidebar},
        {App::Act::SelectCategory, App::Screen::Sidebar},
        {App::Act::Rescan, App::Screen::Toolbar},
        {App::Act::About, App::Screen::Toolbar},
        {App::Act::AppMenu, App::Screen::Toolbar},
    };
    for (const auto& c : cases) {
        const App::HitTarget* t = probe.target(c.act);
        ASSERT_NE(t, nullptr) << static_cast<int>(c.act);
        EXPECT_EQ(t->screen, c.screen) << static_cast<int>(c.act);
    }
}

TEST_F(AppTest, AClickReachesOnlyTheScreenThatRegisteredItsTarget) {
    set_cats({make_cat("a", GroupKind::Java, {make_item("x", 10)})});
    probe.draw(1100, 720);
    // The same action registered by a screen that does not own it does nothing.
    App::HitTarget stray = *probe.target(App::Act::SelectCategory, 0);
    stray.screen = App::Screen::Toolbar;
    probe.route(stray);
    EXPECT_EQ(probe.selection(), "");
    stray.screen = App::Screen::Sidebar;
    probe.route(stray);
    EXPECT_EQ(probe.selection(), "a");
}

TEST_F(AppTest, TheScanShortcutsAreRefusedWhileADeletionRuns) {
    make_dirs(home.path(), ".cache/pip/x");
    probe.cleaning() = true;
    probe.key(GDK_KEY_F5);
    probe.key(GDK_KEY_r, GDK_CONTROL_MASK);
    EXPECT_FALSE(probe.scanning());
    probe.cleaning() = false;
    probe.key(GDK_KEY_F5);
    EXPECT_TRUE(probe.scanning());
    ASSERT_TRUE(probe.wait_for_worker());
}

TEST_F(AppTest, StaleTargetIndexesDoNothing) {
    set_cats({make_cat("a", GroupKind::Java, {make_item("x", 10)})});
    probe.draw(1100, 720);
    const App::HitTarget row = *probe.target(App::Act::SelectCategory, 0);
    set_cats({});  // a rescan replaced the list after the frame was drawn
    probe.click_target(row);
    EXPECT_EQ(probe.selection(), "");
}

TEST_F(AppTest, F5AndControlRRescanButAPlainRDoesNot) {
    make_dirs(home.path(), ".cache/pip/x");
    probe.key(GDK_KEY_r);
    EXPECT_FALSE(probe.scanning());
    probe.key(GDK_KEY_r, GDK_CONTROL_MASK);
    EXPECT_TRUE(probe.scanning());
    ASSERT_TRUE(probe.wait_for_worker());
    probe.key(GDK_KEY_F5);
    EXPECT_TRUE(probe.scanning());
    ASSERT_TRUE(probe.wait_for_worker());
    ASSERT_NE(cat("pipCache"), nullptr);
    EXPECT_TRUE(cat("pipCache")->did_scan);
}

TEST_F(AppTest, ScrollKeysStayWithinTheContent) {
    probe.draw(1100, 720);
    probe.key(GDK_KEY_Page_Down);
    EXPECT_EQ(probe.scroll(), 0) << "content shorter than the view";
    probe.content_height() = 2000;  // as a long list would report
    probe.key(GDK_KEY_Down);
    EXPECT_EQ(probe.scroll(), 60);
    for (int i = 0; i < 100; ++i)
        probe.key(GDK_KEY_Page_Down);
    EXPECT_EQ(probe.scroll(), 2000 - probe.content().h);
    probe.key(GDK_KEY_Up);
    EXPECT_EQ(probe.scroll(), 2000 - probe.content().h - 60);
    probe.key(GDK_KEY_Home);
    EXPECT_EQ(probe.scroll(), 0);
    probe.key(GDK_KEY_Page_Up);
    EXPECT_EQ(probe.scroll(), 0);
}

TEST_F(AppTest, TheWheelOverTheSidebarScrollsOnlyTheSidebar) {
    std::vector<CatState> many;
    for (int i = 0; i < 30; ++i) {
        many.push_back(make_cat("c" + std::to_string(i), GroupKind::Java, {make_item("x", 10)}));
    }
    set_cats(std::move(many));
    probe.draw(1100, 720);
    ASSERT_GT(probe.sidebar_height(), probe.sidebar().h);
    probe.wheel(50, 300, 60);
    EXPECT_EQ(probe.sidebar_scroll(), 60);
    EXPECT_EQ(probe.scroll(), 0);
    probe.wheel(50, 300, 1e6);
    EXPECT_EQ(probe.sidebar_scroll(), probe.sidebar_height() - probe.sidebar().h);
    probe.wheel(50, 300, -1e6);
    EXPECT_EQ(probe.sidebar_scroll(), 0);
}

TEST_F(AppTest, HoverFollowsThePointerAndLeavesNoneOutsideTargets) {
    set_cats({make_cat("a", GroupKind::Java, {make_item("x", 10)})});
    probe.draw(1100, 720);
    const App::HitTarget* row = probe.target(App::Act::SelectCategory, 0);
    ASSERT_NE(row, nullptr);
    probe.motion(row->rect.x + 5, row->rect.y + 5);
    EXPECT_EQ(probe.hover_act(), App::Act::SelectCategory);
    probe.motion(700, 400);  // the empty content area
    EXPECT_EQ(probe.hover_act(), App::Act::None);
}

TEST_F(AppTest, CancelButtonStopsARunningScan) {
    make_dirs(home.path(), ".cache/pip/x");
    probe.start_scan();
    probe.draw(1100, 720);
    const App::HitTarget* cancel = probe.target(App::Act::CancelScan);
    ASSERT_NE(cancel, nullptr);
    probe.click_target(*cancel);
    EXPECT_TRUE(probe.cancel_flag());
    ASSERT_TRUE(probe.wait_for_worker());
    probe.draw(1100, 720);
    EXPECT_NE(probe.target(App::Act::Rescan), nullptr);
}

}  // namespace
