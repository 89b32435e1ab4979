// Ticking by age: which entries count as old and safe (a project leftover by
// its project's activity), the choice of ages and its memory, ticking in one
// category or in all, and the summary that comes before any deletion.
#include <gtest/gtest.h>

#include <ctime>
#include <limits>

#include "base/format.h"
#include "base/settings.h"
#include "overlays/overlay_fixture.h"
#include "screen_fixture.h"

namespace {

using Act = App::Act;
using screen_test::category;
using screen_test::item;

constexpr std::time_t kDay = 24 * 3600;
constexpr std::int64_t kMiB = 1 << 20;

// An entry last changed days ago.
Item aged(const std::string& name, int days, std::int64_t size = kMiB,
          SafetyLevel safety = SafetyLevel::Safe) {
    Item it = item(name, size, safety);
    it.modified = std::time(nullptr) - days * kDay;
    return it;
}

class AgeTest : public OverlayTest {
protected:
    // Chooses the age of the button labelled "N days" in the open dialog.
    void choose(int days) {
        probe.draw(1100, 720);
        const std::string label = I18n::instance().trf("%s days", fmt::count(days));
        for (const App::DialogButton& b : probe.dialog_buttons()) {
            if (b.label == label) {
                const App::HitTarget* t = probe.target(Act::DialogButton, b.id);
                ASSERT_NE(t, nullptr) << label;
                probe.click_target(*t);
                return;
            }
        }
        FAIL() << "no button " << label;
    }
    bool ticked(std::size_t cat, std::size_t i) { return probe.cats()[cat].items[i].selected; }
};

TEST(OldAndSafe, CountsFromTheProjectsActivityAndNeverTakesWhatMustStay) {
    const std::time_t now = 1'800'000'000;
    const auto entry = [&](int days_old) {
        Item it = item("e", kMiB);
        it.modified = now - days_old * kDay;
        return it;
    };
    const struct {
        const char* name;
        Item it;
        bool old;
    } cases[] = {
        {"changed 100 days ago", entry(100), true},
        {"changed exactly 90 days ago", entry(90), true},
        {"changed 89 days ago", entry(89), false},
        {"installed lately in a project idle for long",
         [&] {
             Item it = entry(2);
             it.activity = now - 200 * kDay;
             return it;
         }(),
         true},
        {"installed long ago in a project worked on today",
         [&] {
             Item it = entry(300);
             it.activity = now - 3600;
             return it;
         }(),
         false},
        {"Caution",
         [&] {
             Item it = entry(300);
             it.safety = SafetyLevel::Caution;
             return it;
         }(),
         false},
        {"the newest version a row keeps",
         [&] {
             Item it = entry(300);
             it.keep_hint = true;
             return it;
         }(),
         false},
        {"kept",
         [&] {
             Item it = entry(300);
             it.kept = true;
             return it;
         }(),
         false},
        {"size unknown",
         [&] {
             Item it = entry(300);
             it.size = -1;
             return it;
         }(),
         false},
        {"no time known",
         [&] {
             Item it = entry(0);
             it.modified = 0;
             return it;
         }(),
         false},
        {"a time in the future",
         [&] {
             Item it = entry(0);
             it.modified = now + kDay;
             return it;
         }(),
         false},
        {"the most negative time",
         [&] {
             Item it = entry(0);
             it.modified = std::numeric_limits<std::time_t>::min();
             return it;
         }(),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(AppProbe::is_old_and_safe(c.it, 90, now), c.old);
    }
}

TEST_F(AgeTest, OlderThanInACategoryTicksExactlyItsOldSafeEntriesAndRemembersTheAge) {
    {
        std::lock_guard<std::mutex> lock(probe.mutex());
        probe.cats() = {category("npm", GroupKind::JavaScript,
                                 {aged("old", 400), aged("recent", 10), aged("mid", 200)}),
                        category("pip", GroupKind::Python, {aged("other", 400)})};
        probe.cats()[0].items[1].selected = true;  // replaced by the choice
        probe.selection() = "npm";
    }
    probe.draw(1100, 720);
    const App::HitTarget* older = probe.target(Act::OlderMenu);
    ASSERT_NE(older, nullptr);
    probe.click_target(*older);
    ASSERT_EQ(probe.overlay(), App::Overlay::Dialog);
    EXPECT_EQ(probe.dialog_buttons().size(), std::size(settings_util::kAgeChoices) + 1);
    choose(180);
    EXPECT_TRUE(ticked(0, 0));
    EXPECT_FALSE(ticked(0, 1)) << "a tick the age does not cover is cleared";
    EXPECT_TRUE(ticked(0, 2));
    EXPECT_FALSE(ticked(1, 0)) << "another category is left alone";
    EXPECT_EQ(probe.overlay(), App::Overlay::None) << "no summary for one category";
    SettingsStore fresh;
    fresh.load();
    EXPECT_EQ(fresh.get().older_than_days, 180);
}

TEST_F(AgeTest, TheOverviewTicksOldSafeEntriesEverywhereAndSummarisesThemBeforeDeleting) {
    {
        std::lock_guard<std::mutex> lock(probe.mutex());
        probe.cats() = {
            category("npm", GroupKind::JavaScript,
                     {aged("old", 400, 3 * kMiB), aged("recent", 10)}),
            category("pip", GroupKind::Python,
                     {aged("old-pip", 100, kMiB), aged("risky", 400, kMiB, SafetyLevel::Risky)})};
    }
    probe.draw(1100, 720);
    const App::HitTarget* old = probe.target(Act::SelectOld);
    ASSERT_NE(old, nullptr);
    probe.click_target(*old);
    choose(90);
    EXPECT_TRUE(ticked(0, 0) && ticked(1, 0));
    EXPECT_FALSE(ticked(0, 1) || ticked(1, 1));
    ASSERT_EQ(probe.overlay(), App::Overlay::Dialog) << "the summary comes first";
    EXPECT_EQ(probe.dialog_title(), "Old safe entries");
    const std::string& m = probe.dialog_message();
    EXPECT_NE(m.find("2 item(s) · " + fmt::bytes(4 * kMiB) + ", unchanged for 90 days or more"),
              std::string::npos)
        << m;
    EXPECT_LT(m.find("npm: 1 item(s) · " + fmt::bytes(3 * kMiB)),
              m.find("pip: 1 item(s) · " + fmt::bytes(kMiB)))
        << "biggest category first: " << m;
    // "Delete permanently" leads to the usual confirmation, not to a deletion.
    probe.draw(1100, 720);
    const App::HitTarget* go = probe.target(Act::DialogButton, App::CMD_REVIEW_SELECTION);
    ASSERT_NE(go, nullptr);
    probe.click_target(*go);
    EXPECT_EQ(probe.overlay(), App::Overlay::Dialog);
    EXPECT_EQ(probe.dialog_title(), "Delete permanently?");
    EXPECT_FALSE(probe.cleaning());
}

TEST_F(AgeTest, WithNothingOldEnoughTheSummarySaysSoAndOffersNoDeletion) {
    {
        std::lock_guard<std::mutex> lock(probe.mutex());
        probe.cats() = {category("npm", GroupKind::JavaScript, {aged("recent", 10)})};
    }
    probe.ask_age(true);
    choose(365);
    EXPECT_EQ(probe.dialog_message(), "No Safe entry is older than 365 days.");
    ASSERT_EQ(probe.dialog_buttons().size(), 1u);
    EXPECT_TRUE(probe.dialog_buttons()[0].cancel);
}

TEST_F(AgeTest, DialogButtonsTooWideForOneRowWrapAndStayInsideThePanel) {
    probe.ask_age(true);
    probe.draw(900, 560);
    const auto overlap = [](const RectF& a, const RectF& b) {
        return a.x < b.x + b.w && b.x < a.x + a.w && a.y < b.y + b.h && b.y < a.y + a.h;
    };
    float top = 1e9f, bottom = -1e9f;
    int buttons = 0;
    for (const App::HitTarget& t : probe.targets()) {
        if (t.act != Act::DialogButton)
            continue;
        ++buttons;
        top = std::min(top, t.rect.y);
        bottom = std::max(bottom, t.rect.y);
        EXPECT_GE(t.rect.x, (900 - 460) / 2.0f) << "inside the panel";
        EXPECT_LE(t.rect.x + t.rect.w, (900 + 460) / 2.0f);
        for (const App::HitTarget& u : probe.targets()) {
            if (&u != &t && u.act == Act::DialogButton) {
                EXPECT_FALSE(overlap(t.rect, u.rect)) << "buttons overlap";
            }
        }
    }
    EXPECT_EQ(buttons, 5);
    EXPECT_GT(bottom, top) << "five buttons need two rows in a 460 px panel";
}

}  // namespace
