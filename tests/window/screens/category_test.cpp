// The category detail: its header buttons and item cards as hit targets,
// ticking entries, the bulk selections, unmeasured entries, and the states of
// a category with nothing listed.
#include <gtest/gtest.h>

#include "base/format.h"
#include "screen_fixture.h"

namespace {

using namespace screen_test;
using Act = App::Act;

constexpr std::int64_t kMiB = 1 << 20;

class CategoryTest : public ScreenTest {
protected:
    // A category of n entries shown in the content; another one precedes it,
    // so its index in the list is 1.
    void show(std::vector<Item> items, bool did_scan = true) {
        set_cats({category("other", GroupKind::Ides, {item("x", kMiB)}),
                  category("gradle", GroupKind::Java, std::move(items), did_scan)});
        probe.selection() = "gradle";
    }
    static std::vector<Item> many(int n) {
        std::vector<Item> items;
        for (int i = 0; i < n; ++i)
            items.push_back(item("entry-" + std::to_string(i), (n - i) * kMiB));
        return items;
    }
};

TEST_F(CategoryTest, TheHeaderAndEveryVisibleCardRegisterTheirTargets) {
    show(many(3));
    probe.draw(1100, 720);
    const App::HitTarget* reveal = probe.target(Act::RevealCategory);
    ASSERT_NE(reveal, nullptr);
    EXPECT_EQ(reveal->index, 1) << "the category's index in the list";
    for (Act act : {Act::RevealCategory, Act::SelectNone, Act::SelectAllSafe, Act::ToggleItem}) {
        const App::HitTarget* t = probe.target(act);
        ASSERT_NE(t, nullptr) << static_cast<int>(act);
        EXPECT_EQ(t->screen, App::Screen::Category);
    }
    for (int i = 0; i < 3; ++i)
        EXPECT_NE(probe.target(Act::ToggleItem, i), nullptr) << i;
    // "Safe ones" sits left of "None", which sits left of "Open folder".
    EXPECT_LT(probe.target(Act::SelectAllSafe)->rect.x, probe.target(Act::SelectNone)->rect.x);
    EXPECT_LT(probe.target(Act::SelectNone)->rect.x, reveal->rect.x);
}

TEST_F(CategoryTest, WithoutEntriesOnlyOpenFolderIsOffered) {
    show({});
    probe.draw(1100, 720);
    EXPECT_NE(probe.target(Act::RevealCategory), nullptr);
    EXPECT_EQ(probe.target(Act::SelectNone), nullptr);
    EXPECT_EQ(probe.target(Act::SelectAllSafe), nullptr);
}

TEST_F(CategoryTest, ACardClickTicksAndUnticksItsEntryButTheSecondaryButtonNever) {
    show(many(2));
    probe.draw(1100, 720);
    const App::HitTarget card = *probe.target(Act::ToggleItem, 1);
    probe.click(cx(card), cy(card));
    EXPECT_TRUE(cat(1).items[1].selected);
    EXPECT_FALSE(cat(1).items[0].selected);
    probe.click(cx(card), cy(card), true);
    EXPECT_TRUE(cat(1).items[1].selected) << "a right click does not untick";
    probe.click(cx(card), cy(card));
    EXPECT_FALSE(cat(1).items[1].selected);
    cat(1).items.resize(1);
    probe.route(card);  // a target of a frame drawn before the list shrank
    EXPECT_FALSE(cat(1).items[0].selected);
}

TEST_F(CategoryTest, SafeOnesLeavesRiskyKeptAndUnmeasuredEntriesAndNoneClearsAll) {
    Item kept = item("17.0.10", 4 * kMiB, SafetyLevel::Risky);
    kept.keep_hint = true;
    show({item("safe", 3 * kMiB), item("caution", 2 * kMiB, SafetyLevel::Caution), kept,
          item("unmeasured", -1)});
    probe.draw(1100, 720);
    probe.click_target(*probe.target(Act::SelectAllSafe));
    const std::vector<Item>& items = cat(1).items;
    EXPECT_TRUE(items[0].selected);
    EXPECT_FALSE(items[1].selected) << "caution";
    EXPECT_FALSE(items[2].selected) << "the kept newest version";
    EXPECT_FALSE(items[3].selected) << "an entry of unknown size";
    probe.draw(1100, 720);
    probe.click_target(*probe.target(Act::SelectNone));
    for (const Item& it : cat(1).items)
        EXPECT_FALSE(it.selected) << it.name;
}

TEST_F(CategoryTest, AnUnmeasuredEntryReadsNotMeasuredAndTheTotalReadsPartial) {
    show({item("measured", 2 * kMiB), item("cut short", -1)});
    probe.draw(1100, 720);
    EXPECT_NE(probe.find_text("not measured"), nullptr);
    EXPECT_EQ(probe.find_text(fmt::bytes(0)), nullptr) << "never a size of zero";
    EXPECT_NE(probe.find_text("2 entries · at least " + fmt::bytes(2 * kMiB) + " in total"),
              nullptr);
}

TEST_F(CategoryTest, TheKeepPillShortensTheNameByItsWidth) {
    const std::string name(80, 'n');
    Item kept = item(name, kMiB, SafetyLevel::Risky);
    kept.keep_hint = true;
    show({item(name, kMiB), kept});
    probe.draw(1100, 720);
    ASSERT_NE(probe.find_text("newest — keep"), nullptr);
    std::vector<float> widths;
    for (const App::DrawnText& t : probe.texts) {
        if (t.text.rfind("nnn", 0) == 0)
            widths.push_back(t.box.w);
    }
    ASSERT_EQ(widths.size(), 2u);
    const double pill = probe.measure("newest — keep", App::Font::CaptionBold) + 22;
    EXPECT_NEAR(widths[0] - widths[1], pill, 12) << "the pill and its gaps, within one character";
}

TEST_F(CategoryTest, TheHeaderSaysWhenTheNewestVersionIsKept) {
    for (bool keep : {true, false}) {
        SCOPED_TRACE(keep);
        show(many(2));
        cat(1).def.keep_newest = keep;
        probe.draw(1100, 720);
        const std::string line = "2 entries · " + fmt::bytes(3 * kMiB) + " in total";
        EXPECT_NE(probe.find_text(keep ? line + " · the newest version is kept" : line), nullptr);
    }
}

TEST_F(CategoryTest, ACategoryWithNothingListedSaysWhy) {
    const struct {
        const char* name;
        bool did_scan;
        bool scanning;
        bool not_answering;
        const char* shown;
        const char* sidebar;  // the category's status in the sidebar; null: no row
    } cases[] = {
        {"being scanned", false, true, false, "Scanning your system …", "scanning …"},
        {"scan stopped before it", false, false, false, "Scan not finished", "not scanned"},
        {"scanned, nothing there", true, false, false, "This folder is empty or does not exist.",
         nullptr},
        {"its mount did not answer", true, false, true,
         "This folder did not answer in time. It may be on a network or removable drive.",
         "not answering"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        show({}, c.did_scan);
        cat(1).not_answering = c.not_answering;
        probe.set_scanning(c.scanning);
        probe.draw(1100, 720);
        EXPECT_NE(probe.find_text(c.shown), nullptr);
        if (c.sidebar != nullptr) {
            EXPECT_NE(probe.find_text(c.sidebar), nullptr);
        }
        EXPECT_EQ(probe.target(Act::SelectCategory, 1) != nullptr, c.sidebar != nullptr)
            << "an empty category has no sidebar row, one that did not answer has";
        EXPECT_NE(probe.find_text("gradle"), nullptr) << "the header stays";
        if (c.not_answering) {
            EXPECT_NE(probe.find_text("Not answering"), nullptr);
            EXPECT_EQ(probe.find_text("Nothing found"), nullptr) << "a dead mount is not empty";
            EXPECT_EQ(probe.find_text("empty"), nullptr);
        }
    }
    probe.set_scanning(false);
}

TEST_F(CategoryTest, EntriesBeyondAFolderThatDidNotAnswerMakeEveryTotalPartial) {
    show(many(2));
    cat(1).not_answering = true;
    probe.draw(1100, 720);
    const std::string sum = fmt::bytes(3 * kMiB);
    EXPECT_NE(
        probe.find_text("2 entries · at least " + sum + " in total · some folders did not answer"),
        nullptr);
    EXPECT_NE(probe.find_text("at least " + sum), nullptr) << "the sidebar row";
    EXPECT_NE(probe.find_text("at least " + fmt::bytes(4 * kMiB)), nullptr) << "the overview row";
    probe.selection() = "";
    probe.draw(1100, 720);
    EXPECT_NE(probe.find_text("found so far; some entries could not be measured"), nullptr);
}

TEST_F(CategoryTest, CardsUnderTheFixedHeaderOrTheFooterCatchNoClicks) {
    show(many(40));
    probe.draw(1100, 720);
    probe.scroll() = 150;  // the first visible card starts under the header
    probe.draw(1100, 720);
    const App::HitTarget none = *probe.target(Act::SelectNone);
    const float list_top = none.rect.y - 8 + 70;  // header top + its height
    for (const App::HitTarget& t : probe.targets()) {
        if (t.act != Act::ToggleItem)
            continue;
        EXPECT_GE(t.rect.y, list_top) << t.index;
        EXPECT_LE(t.rect.y + t.rect.h, probe.footer().y) << t.index;
    }
    // A click on "None" or on the footer never ticks the card beneath.
    probe.click(cx(none), cy(none));
    probe.click(600, probe.footer().y + 5);
    for (const Item& it : cat(1).items)
        ASSERT_FALSE(it.selected) << it.name;
}

TEST_F(CategoryTest, ALongListRegistersOnlyTheCardsInView) {
    show(many(10000));
    probe.draw(1100, 720);
    const int visible = count_targets(Act::ToggleItem);
    EXPECT_GT(visible, 0);
    EXPECT_LE(visible, 7);
    EXPECT_DOUBLE_EQ(probe.content_height(), 22 + 70 + 10000 * 104.0 + 22)
        << "the height still covers every card";
}

}  // namespace
