// The overview: card heights, the legend's highlight, the biggest consumers,
// and the states shown before anything was found.
#include <gtest/gtest.h>

#include "base/format.h"
#include "screen_fixture.h"

namespace {

using namespace screen_test;
using Act = App::Act;

constexpr std::int64_t kMiB = 1 << 20;

// One category per group for the first n groups, each with one measured entry.
std::vector<CatState> groups(int n) {
    std::vector<CatState> cats;
    for (int g = 0; g < n; ++g) {
        cats.push_back(category("c" + std::to_string(g), static_cast<GroupKind>(g),
                                {item("e", (g + 1) * 10 * kMiB)}));
    }
    return cats;
}

class OverviewTest : public ScreenTest {};

TEST_F(OverviewTest, TheDonutCardGrowsOnlyBeyondSevenGroups) {
    const struct {
        int groups;
        double height;
    } cases[] = {{1, 268}, {7, 268}, {8, 282}, {9, 308}, {11, 360}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.groups);
        set_cats(groups(c.groups));
        EXPECT_DOUBLE_EQ(probe.donut_card_height(), c.height);
        probe.draw(1100, 720);
        EXPECT_EQ(count_targets(Act::LegendEntry), c.groups) << "one legend row per group";
    }
}

TEST_F(OverviewTest, ALegendClickHighlightsItsGroupAndASecondClickClearsIt) {
    set_cats(groups(3));
    probe.draw(1100, 720);
    const App::HitTarget* row = probe.target(Act::LegendEntry, static_cast<int>(GroupKind::Java));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->screen, App::Screen::Overview);
    probe.click(cx(*row), cy(*row));
    EXPECT_EQ(probe.highlight_group(), static_cast<int>(GroupKind::Java));
    probe.draw(1100, 720);
    row = probe.target(Act::LegendEntry, static_cast<int>(GroupKind::Java));
    ASSERT_NE(row, nullptr);
    probe.click(cx(*row), cy(*row));
    EXPECT_EQ(probe.highlight_group(), -1);
}

TEST_F(OverviewTest, AHighlightWhoseGroupDisappearedIsReset) {
    set_cats(groups(3));
    probe.set_highlight_group(static_cast<int>(GroupKind::Android));
    probe.draw(1100, 720);
    EXPECT_EQ(probe.highlight_group(), static_cast<int>(GroupKind::Android));
    cat(1).items.clear();  // Android's only category is emptied by a deletion
    probe.draw(1100, 720);
    EXPECT_EQ(probe.highlight_group(), -1);
}

TEST_F(OverviewTest, OnlyTheEightBiggestCategoriesAreListedAndAClickOpensOne) {
    std::vector<CatState> cats;
    for (int i = 0; i < 10; ++i)
        cats.push_back(
            category("c" + std::to_string(i), GroupKind::Python, {item("e", (i + 1) * kMiB)}));
    set_cats(std::move(cats));
    probe.draw(1100, 1400);
    EXPECT_EQ(count_targets(Act::TopConsumer), 8);
    EXPECT_EQ(probe.target(Act::TopConsumer, 0), nullptr) << "the smallest is left out";
    EXPECT_EQ(probe.target(Act::TopConsumer, 1), nullptr);
    const App::HitTarget* first = probe.target(Act::TopConsumer);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->index, 9) << "the largest comes first";
    probe.click(cx(*first), cy(*first));
    EXPECT_EQ(probe.selection(), "c9");
}

TEST_F(OverviewTest, TheStateBeforeAnythingIsFoundTellsWhetherTheScanRunsEndedOrStopped) {
    const struct {
        const char* name;
        bool scanning;
        bool did_scan;
        const char* shown;
        const char* never;
    } cases[] = {
        {"running", true, false, "Scanning your system …", "Nothing found"},
        {"stopped early", false, false, "Scan not finished", "Nothing found"},
        {"finished empty", false, true, "Nothing found", "Scan not finished"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        set_cats({category("pip", GroupKind::Python, {}, c.did_scan)});
        probe.set_scanning(c.scanning);
        probe.draw(1100, 720);
        EXPECT_NE(probe.find_text(c.shown), nullptr);
        EXPECT_EQ(probe.find_text(c.never), nullptr);
        EXPECT_EQ(target_of(App::Screen::Content, Act::Rescan) != nullptr,
                  std::string(c.name) == "stopped early")
            << "only a stopped scan offers Rescan in the content";
    }
    probe.set_scanning(false);
}

TEST_F(OverviewTest, RescanInTheUnfinishedStateStartsAScan) {
    set_cats({category("pip", GroupKind::Python, {}, false)});
    probe.draw(1100, 720);
    const App::HitTarget* rescan = target_of(App::Screen::Content, Act::Rescan);
    ASSERT_NE(rescan, nullptr);
    probe.click(cx(*rescan), cy(*rescan));
    EXPECT_TRUE(probe.scanning());
    EXPECT_TRUE(probe.wait_for_worker());
}

TEST_F(OverviewTest, AGroupWithAnUnmeasuredEntryShowsAPartialSize) {
    set_cats({category("jb", GroupKind::Ides, {item("a", 5 * kMiB), item("b", -1)}),
              category("pip", GroupKind::Python, {item("c", 3 * kMiB)})});
    probe.draw(1100, 720);
    EXPECT_NE(probe.find_text("at least " + fmt::bytes(5 * kMiB)), nullptr)
        << "the IDE group's legend row";
    EXPECT_NE(probe.find_text(fmt::bytes(3 * kMiB)), nullptr)
        << "a fully measured group reads plainly";
    EXPECT_NE(probe.find_text("found so far; some entries could not be measured"), nullptr);
}

}  // namespace
