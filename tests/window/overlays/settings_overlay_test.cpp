// The Settings panel: its targets, appearance choices that apply and persist,
// the command field's scrolling (the caret stays in view, a character is never
// split), committing and clearing the field, and the Snap note.
#include <gdk/gdkkeysyms.h>

#include <fstream>
#include <functional>
#include <sstream>

#include "base/strutil.h"

#include "overlay_fixture.h"

namespace {

using Act = App::Act;
using testing_support::ScopedEnv;

std::string saved_settings(const testing_support::FakeHome& home) {
    std::ifstream in(home / ".config/Brushwick/settings.json");
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The field's text box is 18 px narrower than the field.
double text_room(const App::HitTarget& field) {
    return field.rect.w - 18;
}

TEST_F(OverlayTest, SettingsRegistersEveryControlInsideThePanel) {
    SettingsStore::instance().mutable_get().projects_root = home.path();
    open(App::Overlay::Settings);
    for (const int theme : {App::CMD_THEME_AUTO, App::CMD_THEME_LIGHT, App::CMD_THEME_DARK})
        EXPECT_NE(probe.target(Act::SettingsTheme, theme), nullptr) << theme;
    for (const Act act : {Act::ChooseProjects, Act::ResetProjects, Act::TestFileManager,
                          Act::EditFileManager, Act::OpenLanguage})
        EXPECT_EQ(count(act), 1) << static_cast<int>(act);
    EXPECT_EQ(count(Act::ClearFileManager), 0) << "an empty field has nothing to clear";
    const App::HitTarget* close = close_button();
    ASSERT_NE(close, nullptr);
    const float bottom = close->rect.y + 44;
    for (const App::HitTarget& t : probe.targets()) {
        if (t.rect.w < 1100) {  // every control but the scrim
            EXPECT_LE(t.rect.y + t.rect.h, bottom) << static_cast<int>(t.act);
        }
    }

    SettingsStore::instance().mutable_get().projects_root.clear();
    probe.fm_text() = "thunar %s";
    probe.draw(1100, 720);
    EXPECT_EQ(count(Act::ResetProjects), 0) << "the home folder cannot be reset";
    ASSERT_EQ(count(Act::ClearFileManager), 1);
    const App::HitTarget* field = probe.target(Act::EditFileManager);
    const App::HitTarget* clear = probe.target(Act::ClearFileManager);
    EXPECT_FLOAT_EQ(clear->rect.x, field->rect.x + field->rect.w + 6);
}

TEST_F(OverlayTest, AnAppearanceChoiceAppliesAtOnceAndIsSaved) {
    const struct {
        int index;
        const char* value;
        bool dark;
    } cases[] = {{App::CMD_THEME_DARK, "dark", true}, {App::CMD_THEME_LIGHT, "light", false}};
    for (const auto& c : cases) {
        open(App::Overlay::Settings);
        probe.click_target(*probe.target(Act::SettingsTheme, c.index));
        EXPECT_EQ(SettingsStore::instance().get().theme, c.value);
        EXPECT_EQ(probe.palette().dark, c.dark);
        EXPECT_NE(saved_settings(home).find(std::string("\"theme\": \"") + c.value + "\""),
                  std::string::npos);
        EXPECT_EQ(probe.overlay(), App::Overlay::Settings);
    }
}

TEST_F(OverlayTest, TheFieldScrollsSoTheCaretStaysInView) {
    const std::string command =
        "nautilus --new-window --no-desktop --select %s " + std::string(80, 'a') + " --end";
    probe.open_settings();
    probe.fm_text() = command;
    probe.fm_editing() = true;
    probe.draw(1100, 720);
    const App::HitTarget* field = probe.target(Act::EditFileManager);
    ASSERT_NE(field, nullptr);
    const double room = text_room(*field);
    ASSERT_GT(probe.measure(command, App::Font::Mono), room) << "the command must not fit";

    for (const std::size_t caret : {command.size(), command.size() / 2, std::size_t{0}}) {
        probe.fm_caret() = caret;
        const std::size_t start = probe.fm_scroll_start(room);
        EXPECT_LE(start, caret);
        EXPECT_LE(probe.measure(command.substr(start, caret - start), App::Font::Mono), room - 2)
            << "caret out of view at " << caret;
        if (start > 0) {
            // One byte less scrolling would push the caret out.
            EXPECT_GT(probe.measure(command.substr(start - 1, caret - start + 1), App::Font::Mono),
                      room - 2);
        }
        probe.draw(1100, 720);
        bool drawn = false;
        for (const App::DrawnText& t : probe.texts) {
            // The shown text may end in an ellipsis of three bytes.
            const std::size_t n = t.text.size() - 3;
            drawn = drawn || (t.text.size() > 12 && command.compare(start, n, t.text, 0, n) == 0);
        }
        EXPECT_TRUE(drawn) << "the field does not show the text from byte " << start;
    }
    probe.fm_caret() = 0;
    EXPECT_EQ(probe.fm_scroll_start(room), 0u) << "at the start the text shows from its beginning";
}

TEST_F(OverlayTest, TheFieldNeverScrollsIntoTheMiddleOfACharacter) {
    // Two-, three- and four-byte characters in turn.
    std::string command;
    for (int i = 0; i < 40; ++i)
        command += "\xC3\xA9\xE6\x97\xA5\xF0\x9F\x93\x81";
    probe.fm_text() = command;
    for (const double room : {60.0, 121.0, 200.0}) {
        for (std::size_t caret = 0; caret <= command.size(); ++caret) {
            if (caret < command.size() &&
                (static_cast<unsigned char>(command[caret]) & 0xC0) == 0x80)
                continue;  // the caret itself always sits on a boundary
            probe.fm_caret() = caret;
            const std::size_t start = probe.fm_scroll_start(room);
            ASSERT_LE(start, caret);
            ASSERT_TRUE(start == command.size() ||
                        (static_cast<unsigned char>(command[start]) & 0xC0) != 0x80)
                << "split at byte " << start << " for caret " << caret << ", room " << room;
        }
    }
}

TEST_F(OverlayTest, LeavingTheFieldStoresTheTrimmedCommandOrNothing) {
    const struct {
        std::string typed, stored;
    } cases[] = {
        {"  thunar %s\t", "thunar %s"},
        {"   ", ""},
        {"dolphin --select \"%s\"", ""},  // quotes cannot be stored
    };
    for (const auto& c : cases) {
        open(App::Overlay::Settings);
        probe.click_target(*probe.target(Act::EditFileManager));
        EXPECT_TRUE(probe.fm_editing());
        EXPECT_EQ(probe.fm_caret(), probe.fm_text().size()) << "editing starts at the end";
        probe.fm_text() = c.typed;
        probe.draw(1100, 720);
        probe.click_target(*probe.target(Act::OpenLanguage));
        EXPECT_FALSE(probe.fm_editing());
        EXPECT_EQ(probe.fm_text(), c.stored) << c.typed;
        EXPECT_EQ(SettingsStore::instance().get().file_manager_command, c.stored) << c.typed;
        EXPECT_EQ(probe.overlay(), App::Overlay::Language);
    }
}

TEST_F(OverlayTest, TheClearButtonEmptiesTheFieldAndTheSetting) {
    SettingsStore::instance().mutable_get().file_manager_command = "thunar %s";
    open(App::Overlay::Settings);
    probe.click_target(*probe.target(Act::ClearFileManager));
    EXPECT_EQ(probe.fm_text(), "");
    EXPECT_EQ(SettingsStore::instance().get().file_manager_command, "");
    EXPECT_NE(saved_settings(home).find("\"file_manager_command\": \"\""), std::string::npos);
    probe.draw(1100, 720);
    EXPECT_NE(probe.find_text("nemo %s"), nullptr) << "the empty field shows its example";
}

TEST_F(OverlayTest, TheSnapNoteAppearsOnlyInASnapAndMakesThePanelTaller) {
    const std::string note = "Has no effect in the Snap — the sandbox cannot start other programs.";
    const struct {
        std::optional<std::string> snap;
        bool note;
        float height;
    } cases[] = {{std::nullopt, false, 490}, {"/snap/brushwick/57", true, 508}};
    for (const auto& c : cases) {
        ScopedEnv env{{"SNAP", c.snap}};
        open(App::Overlay::Settings);
        EXPECT_EQ(probe.find_text(note) != nullptr, c.note);
        const App::HitTarget* close = close_button();
        ASSERT_NE(close, nullptr);
        EXPECT_FLOAT_EQ(2 * (close->rect.y + 44 - 360), c.height);
    }
}

TEST_F(OverlayTest, TheLanguageBoxNamesTheChosenLanguageOrAutomatic) {
    const struct {
        const char* setting;
        const char* shown;
    } cases[] = {{"auto", "Automatic"}, {"de", "Deutsch"}};
    for (const auto& c : cases) {
        I18n::instance().set_language(c.setting);
        open(App::Overlay::Settings);
        EXPECT_NE(probe.find_text(c.shown), nullptr) << c.setting;
    }
}

}  // namespace

// --- Editing the command field ---

namespace {

// The Settings panel open with the field holding text and the keyboard, the
// caret at its end.
void edit_field(AppProbe& probe, const std::string& text) {
    probe.open_settings();
    probe.fm_text() = text;
    probe.fm_editing() = true;
    probe.fm_caret() = text.size();
}

}  // namespace

TEST_F(OverlayTest, EditingKeysMoveAndDeleteWholeCharacters) {
    // "é" is two bytes, "日" three, "📁" four: no key may stop inside one.
    const std::string text = "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x93\x81z";
    const struct {
        std::vector<unsigned> keys;
        std::string text;
        std::size_t caret;
    } cases[] = {
        {{GDK_KEY_Left}, text, text.size() - 1},
        {{GDK_KEY_Left, GDK_KEY_Left}, text, text.size() - 5},
        {{GDK_KEY_Left, GDK_KEY_BackSpace}, "a\xC3\xA9\xE6\x97\xA5z", 6},
        {{GDK_KEY_Home, GDK_KEY_Right, GDK_KEY_Right}, text, 3},
        {{GDK_KEY_Home, GDK_KEY_Right, GDK_KEY_Delete}, "a\xE6\x97\xA5\xF0\x9F\x93\x81z", 1},
        {{GDK_KEY_Home, GDK_KEY_BackSpace, GDK_KEY_Left}, text, 0},
        {{GDK_KEY_End, GDK_KEY_Delete, GDK_KEY_Right}, text, text.size()},
        {{GDK_KEY_Home, GDK_KEY_End, GDK_KEY_BackSpace},
         "a\xC3\xA9\xE6\x97\xA5\xF0\x9F\x93\x81",
         text.size() - 1},
        {{GDK_KEY_Left, GDK_KEY_Left, GDK_KEY_eacute},
         "a\xC3\xA9\xE6\x97\xA5\xC3\xA9\xF0\x9F\x93\x81z",
         8},
    };
    for (const auto& c : cases) {
        edit_field(probe, text);
        for (const unsigned key : c.keys)
            probe.key(key);
        EXPECT_EQ(probe.fm_text(), c.text) << c.keys.size() << " keys ending " << c.keys.back();
        EXPECT_EQ(probe.fm_caret(), c.caret) << c.keys.size() << " keys ending " << c.keys.back();
        EXPECT_TRUE(probe.fm_editing());
    }
}

TEST_F(OverlayTest, QuotesBackslashesAndControlCharactersNeverEnterTheField) {
    edit_field(probe, "fm ");
    // The last is U+0007 typed as a Unicode key value: a control character.
    for (const unsigned key : {static_cast<unsigned>(GDK_KEY_quotedbl),
                               static_cast<unsigned>(GDK_KEY_backslash), 0x1000007u})
        probe.key(key);
    EXPECT_EQ(probe.fm_text(), "fm ");
    probe.key(GDK_KEY_percent);
    probe.key(GDK_KEY_s);
    EXPECT_EQ(probe.fm_text(), "fm %s");

    const struct {
        const char* pasted;
        const char* result;
    } pastes[] = {
        {"--select \"%s\"", "--select %s"},        {"a\\b\tc", "abc"},
        {"first line\nsecond line", "first line"}, {"one\r\ntwo", "one"},
        {"\nnothing before the break", ""},        {"bad \xC3 byte", "bad \xEF\xBF\xBD byte"},
    };
    for (const auto& p : pastes) {
        edit_field(probe, "");
        probe.fm_paste(p.pasted);
        EXPECT_EQ(probe.fm_text(), p.result) << p.pasted;
        EXPECT_EQ(probe.fm_caret(), probe.fm_text().size()) << p.pasted;
    }
}

TEST_F(OverlayTest, TheFieldStopsAtThreeHundredBytesWithoutSplittingACharacter) {
    const std::string full(299, 'x');
    const struct {
        const char* what;
        std::function<void(AppProbe&)> input;
        std::string added;
    } cases[] = {
        {"an ASCII key", [](AppProbe& p) { p.key(GDK_KEY_a); }, "a"},
        {"a two-byte key", [](AppProbe& p) { p.key(GDK_KEY_eacute); }, ""},
        {"an ASCII paste", [](AppProbe& p) { p.fm_paste("abc"); }, "a"},
        {"a two-byte paste", [](AppProbe& p) { p.fm_paste("\xC3\xA9z"); }, ""},
    };
    for (const auto& c : cases) {
        edit_field(probe, full);
        c.input(probe);
        EXPECT_EQ(probe.fm_text(), full + c.added) << c.what;
        EXPECT_TRUE(su::is_valid_utf8(probe.fm_text())) << c.what;
    }
    // A full field still commits and is stored whole.
    edit_field(probe, full);
    probe.key(GDK_KEY_a);
    probe.key(GDK_KEY_Return);
    EXPECT_EQ(SettingsStore::instance().get().file_manager_command, full + "a");
}

TEST_F(OverlayTest, EscapeFirstLeavesTheFieldThenClosesThePanel) {
    edit_field(probe, "  thunar %s ");
    probe.key(GDK_KEY_Escape);
    EXPECT_FALSE(probe.fm_editing());
    EXPECT_EQ(probe.overlay(), App::Overlay::Settings) << "the first Escape only ends editing";
    EXPECT_EQ(SettingsStore::instance().get().file_manager_command, "thunar %s");
    probe.key(GDK_KEY_Escape);
    EXPECT_EQ(probe.overlay(), App::Overlay::None);

    // Tab and Enter end editing too; a key typed afterwards is not the field's.
    for (const unsigned key :
         {static_cast<unsigned>(GDK_KEY_Tab), static_cast<unsigned>(GDK_KEY_KP_Enter)}) {
        edit_field(probe, "nemo");
        probe.key(key);
        EXPECT_FALSE(probe.fm_editing()) << key;
        probe.key(GDK_KEY_a);
        EXPECT_EQ(probe.fm_text(), "nemo") << key;
    }
}
