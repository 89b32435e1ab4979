// Keyboard focus: Tab order through every control with each list one stop,
// focus kept inside an overlay and given back when it closes, Enter and Space
// doing what a click does, arrows moving through rows that are out of view,
// focus following its entry when the list changes, and the ring drawn where
// the focus is.
#include <gdk/gdkkeysyms.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "screen_fixture.h"

namespace {

using screen_test::category;
using screen_test::item;
using Act = App::Act;
using Screen = App::Screen;

constexpr int kWidth = 1100, kHeight = 720;

class FocusTest : public screen_test::ScreenTest {
protected:
    void SetUp() override {
        ScreenTest::SetUp();
        std::vector<Item> many;
        for (int i = 0; i < 40; ++i)
            many.push_back(item("entry-" + std::to_string(i), 1000000 - i * 1000));
        set_cats({category("first", GroupKind::Python, many),
                  category("second", GroupKind::Python, {item("only", 5000)})});
        probe.selection() = "first";
        probe.draw(kWidth, kHeight);
    }

    // Presses a key and draws the frame that follows, as the window would.
    void press(unsigned key, GdkModifierType state = static_cast<GdkModifierType>(0)) {
        probe.key(key, state);
        probe.draw(kWidth, kHeight);
    }

    // Tabs until the focus is on act; fails instead of looping for ever.
    void tab_to(Act act) {
        for (int i = 0; i < 60 && probe.focus().act != act; ++i)
            press(GDK_KEY_Tab);
        ASSERT_EQ(probe.focus().act, act) << "Tab never reaches " << static_cast<int>(act);
    }

    // The controls a full round of Tab visits, as (screen, action) pairs.
    std::vector<std::pair<Screen, Act>> tab_round(unsigned key) {
        std::vector<std::pair<Screen, Act>> seen;
        press(key);
        const App::Focus first = probe.focus();
        do {
            seen.emplace_back(probe.focus().screen, probe.focus().act);
            press(key);
        } while ((probe.focus().act != first.act || probe.focus().index != first.index) &&
                 seen.size() < 100);
        return seen;
    }
};

}  // namespace

TEST_F(FocusTest, TabVisitsEveryControlInReadingOrderWithEachListOnce) {
    // The footer's button takes part only once something is ticked.
    const std::vector<std::pair<Screen, Act>> expected = {
        {Screen::Toolbar, Act::Rescan},         {Screen::Toolbar, Act::AppMenu},
        {Screen::Toolbar, Act::About},          {Screen::Sidebar, Act::SelectCategory},
        {Screen::Category, Act::SelectAllSafe}, {Screen::Category, Act::OlderMenu},
        {Screen::Category, Act::SelectNone},    {Screen::Category, Act::RevealCategory},
        {Screen::Category, Act::ToggleItem},
    };
    for (const char* lang : {"en", "ar"}) {
        I18n::instance().set_language(lang);
        probe.draw(kWidth, kHeight);
        auto round = tab_round(GDK_KEY_Tab);
        // The round starts wherever the focus was; compare from Rescan on.
        const auto rescan =
            std::find(round.begin(), round.end(), std::make_pair(Screen::Toolbar, Act::Rescan));
        ASSERT_NE(rescan, round.end()) << lang;
        std::rotate(round.begin(), rescan, round.end());
        EXPECT_EQ(round, expected) << lang;
        EXPECT_TRUE(probe.focus_visible());
        EXPECT_EQ(probe.focus().index, 0) << "the sidebar stop is the selected category";

        // Shift+Tab walks the same round backwards.
        auto back = tab_round(GDK_KEY_ISO_Left_Tab);
        std::reverse(back.begin(), back.end());
        const auto back_rescan =
            std::find(back.begin(), back.end(), std::make_pair(Screen::Toolbar, Act::Rescan));
        ASSERT_NE(back_rescan, back.end()) << lang;
        std::rotate(back.begin(), back_rescan, back.end());
        EXPECT_EQ(back, expected) << lang;
    }
}

TEST_F(FocusTest, EnterAndSpaceDoWhatAClickDoes) {
    // Tab to the entry list: its first row.
    tab_to(Act::ToggleItem);
    EXPECT_EQ(probe.focus().index, 0);
    press(GDK_KEY_space);
    {
        std::lock_guard<std::mutex> lock(probe.mutex());
        EXPECT_TRUE(cat(0).items[0].selected);
    }
    press(GDK_KEY_Return);
    {
        std::lock_guard<std::mutex> lock(probe.mutex());
        EXPECT_FALSE(cat(0).items[0].selected);
    }
    // Delete asks before deleting what is ticked, and only then.
    press(GDK_KEY_Delete);
    EXPECT_EQ(probe.overlay(), App::Overlay::None) << "nothing is ticked";
    press(GDK_KEY_space);
    press(GDK_KEY_Delete);
    EXPECT_EQ(probe.overlay(), App::Overlay::Dialog);
    // The question starts on its harmless answer: Enter at once deletes nothing.
    EXPECT_EQ(probe.focus().act, Act::DialogButton);
    EXPECT_EQ(probe.focus().index, App::CMD_CANCEL);
    press(GDK_KEY_Return);
    EXPECT_EQ(probe.overlay(), App::Overlay::None);
    EXPECT_FALSE(probe.cleaning());
    std::lock_guard<std::mutex> lock(probe.mutex());
    EXPECT_TRUE(cat(0).items[0].selected) << "cancelling keeps the selection";
}

TEST_F(FocusTest, ArrowsReachRowsOutOfViewAndScrollThemIn) {
    tab_to(Act::ToggleItem);
    press(GDK_KEY_End);
    EXPECT_EQ(probe.focus().index, 39);
    const App::HitTarget* row = probe.target(Act::ToggleItem, 39);
    ASSERT_NE(row, nullptr) << "the last row was not scrolled into view";
    EXPECT_LE(row->rect.y + row->rect.h, kHeight);
    EXPECT_GT(probe.scroll(), 0);
    press(GDK_KEY_Up);
    EXPECT_EQ(probe.focus().index, 38);
    press(GDK_KEY_Home);
    EXPECT_EQ(probe.focus().index, 0);
    EXPECT_NE(probe.target(Act::ToggleItem, 0), nullptr);
    press(GDK_KEY_Up);
    EXPECT_EQ(probe.focus().index, 0) << "the first row is the end of the list";
}

TEST_F(FocusTest, ArrowsInTheSidebarSelectTheNextCategory) {
    tab_to(Act::SelectCategory);
    const int start = probe.focus().index;
    press(GDK_KEY_Down);
    EXPECT_NE(probe.focus().index, start);
    EXPECT_EQ(probe.selection(), "second");
    press(GDK_KEY_Up);
    EXPECT_EQ(probe.selection(), "first");
}

TEST_F(FocusTest, TheFocusedEntryKeepsTheFocusWhenTheListChanges) {
    tab_to(Act::ToggleItem);
    press(GDK_KEY_Down);
    press(GDK_KEY_Down);
    ASSERT_EQ(probe.focus().index, 2);
    {
        // A rescan found a bigger entry, which now comes first.
        std::lock_guard<std::mutex> lock(probe.mutex());
        cat(0).items.insert(cat(0).items.begin(), item("new-and-big", 9000000));
    }
    probe.draw(kWidth, kHeight);
    press(GDK_KEY_space);
    std::lock_guard<std::mutex> lock(probe.mutex());
    EXPECT_TRUE(cat(0).items[3].selected) << "entry-2 moved to index 3 and keeps the focus";
    EXPECT_FALSE(cat(0).items[2].selected);
}

TEST_F(FocusTest, AnOverlayKeepsTheFocusInsideAndGivesItBackWhenClosed) {
    tab_to(Act::AppMenu);
    press(GDK_KEY_Return);
    ASSERT_EQ(probe.overlay(), App::Overlay::Settings);
    for (int i = 0; i < 20; ++i) {
        press(GDK_KEY_Tab);
        EXPECT_EQ(probe.focus().screen, Screen::Settings) << "after " << i + 1 << " Tabs";
    }
    press(GDK_KEY_Escape);
    EXPECT_EQ(probe.overlay(), App::Overlay::None);
    EXPECT_EQ(probe.focus().act, Act::AppMenu) << "the focus returns to what opened the panel";
}

TEST_F(FocusTest, TheRingIsDrawnAroundTheFocusedControlOnlyAfterKeys) {
    const auto ring_pixel = [&]() {
        const App::HitTarget* about = probe.target(Act::About);
        EXPECT_NE(about, nullptr);
        cairo_surface_t* s = probe.draw(kWidth, kHeight, true);
        // Just outside the button's left edge, at its middle.
        const std::uint32_t p = screen_test::pixel(s, static_cast<int>(about->rect.x) - 3,
                                                   static_cast<int>(cy(*about)));
        cairo_surface_destroy(s);
        return p;
    };
    const std::uint32_t before = ring_pixel();
    tab_to(Act::About);
    const std::uint32_t focused = ring_pixel();
    EXPECT_NE(focused, before) << "no ring around the focused button";
    // A click moves the focus and hides the ring.
    probe.click_target(*probe.target(Act::SelectCategory, 1));
    EXPECT_FALSE(probe.focus_visible());
    EXPECT_EQ(probe.focus().act, Act::SelectCategory);
}

TEST_F(FocusTest, TabReachesControlsScrolledOutOfSightAndBringsThemIntoView) {
    // At the smallest window the overview's biggest consumers lie below the fold.
    constexpr int kShort = 560;
    probe.selection() = "";
    probe.draw(kWidth, kShort);
    ASSERT_EQ(probe.target(Act::TopConsumer), nullptr) << "the consumers should be out of sight";
    for (int i = 0; i < 60 && probe.focus().act != Act::TopConsumer; ++i) {
        probe.key(GDK_KEY_Tab);
        probe.draw(kWidth, kShort);
    }
    ASSERT_EQ(probe.focus().act, Act::TopConsumer) << "Tab never reached a hidden control";
    const App::HitTarget* shown = probe.target(Act::TopConsumer, probe.focus().index);
    ASSERT_NE(shown, nullptr) << "the focused control stayed out of sight";
    EXPECT_GE(shown->rect.h, shown->full.h - 0.5f) << "it is still cut by the content's edge";
    EXPECT_GT(probe.scroll(), 0);
    // Shift+Tab back to the top scrolls back up to the legend.
    for (int i = 0; i < 60 && probe.focus().act != Act::LegendEntry; ++i) {
        probe.key(GDK_KEY_ISO_Left_Tab);
        probe.draw(kWidth, kShort);
    }
    ASSERT_EQ(probe.focus().act, Act::LegendEntry);
    EXPECT_NE(probe.target(Act::LegendEntry, probe.focus().index), nullptr);
}
