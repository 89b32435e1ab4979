// The language chooser: "Automatic" and every language in three columns of
// fifteen, filled column by column; its height; a choice applies, is saved
// and leads back to Settings.
#include <set>

#include "overlay_fixture.h"

namespace {

using Act = App::Act;

TEST_F(OverlayTest, TheChooserIsAGridOfThreeColumnsOfFifteen) {
    const std::size_t n = I18n::available().size();
    ASSERT_EQ(n, 44u);
    open(App::Overlay::Language);
    EXPECT_EQ(count(Act::SettingsLang), 45);
    std::set<float> columns, rows;
    for (int k = 0; k <= 44; ++k) {
        const App::HitTarget* t = probe.target(Act::SettingsLang, App::CMD_LANG_AUTO + k);
        ASSERT_NE(t, nullptr) << k;
        columns.insert(t->rect.x);
        rows.insert(t->rect.y);
    }
    EXPECT_EQ(columns.size(), 3u);
    EXPECT_EQ(rows.size(), 15u);
    // Column by column: entry 15 heads the second column, level with "Automatic".
    const App::HitTarget* automatic = probe.target(Act::SettingsLang, App::CMD_LANG_AUTO);
    const App::HitTarget* sixteenth = probe.target(Act::SettingsLang, App::CMD_LANG_FIRST + 14);
    const App::HitTarget* fifteenth = probe.target(Act::SettingsLang, App::CMD_LANG_FIRST + 13);
    EXPECT_FLOAT_EQ(sixteenth->rect.y, automatic->rect.y);
    EXPECT_GT(sixteenth->rect.x, automatic->rect.x);
    EXPECT_FLOAT_EQ(fifteenth->rect.x, automatic->rect.x);
    EXPECT_FLOAT_EQ(fifteenth->rect.y, automatic->rect.y + 14 * 26);
}

TEST_F(OverlayTest, TheChooserIs514HighOrFitsALowerWindow) {
    const struct {
        int height;
        float panel;
    } cases[] = {{720, 514}, {500, 460}};
    for (const auto& c : cases) {
        open(App::Overlay::Language, 1100, c.height);
        const App::HitTarget* close = close_button();
        ASSERT_NE(close, nullptr);
        EXPECT_FLOAT_EQ(2 * (close->rect.y + 44 - c.height / 2.0f), c.panel) << c.height;
    }
}

TEST_F(OverlayTest, ChoosingALanguageAppliesItSavesItAndReturnsToSettings) {
    const std::vector<LanguageInfo> languages = I18n::available();
    int arabic = -1;
    for (std::size_t i = 0; i < languages.size(); ++i) {
        if (languages[i].code == "ar")
            arabic = static_cast<int>(i);
    }
    ASSERT_GE(arabic, 0);
    open(App::Overlay::Language);
    probe.click_target(*probe.target(Act::SettingsLang, App::CMD_LANG_FIRST + arabic));
    EXPECT_EQ(I18n::instance().language(), "ar");
    EXPECT_EQ(SettingsStore::instance().get().language, "ar");
    EXPECT_EQ(probe.overlay(), App::Overlay::Settings);

    // Right to left the grid mirrors: "Automatic" heads the rightmost column.
    probe.overlay() = App::Overlay::Language;
    probe.draw(1100, 720);
    const App::HitTarget* automatic = probe.target(Act::SettingsLang, App::CMD_LANG_AUTO);
    const App::HitTarget* last = probe.target(Act::SettingsLang, App::CMD_LANG_FIRST + 43);
    EXPECT_GT(automatic->rect.x, last->rect.x);

    probe.click_target(*automatic);
    EXPECT_EQ(SettingsStore::instance().get().language, "auto");
}

}  // namespace
