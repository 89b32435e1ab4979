// settings — the preferences panel: appearance, projects folder, the
// keep-list's size with the way to it, the file-manager command field and the
// interface language. Appearance and
// language apply at once and are saved through SettingsStore.
//
// Never runs anything blocking: choosing a folder and trying the file manager
// are the desktop bridge's, which these targets hand over to.
//
// Threads: main thread only.
//
// Sections:
//   Layout
//   Opening
//   Drawing
//   The command field
//   Input
#include <gdk/gdkkeysyms.h>

#include <algorithm>
#include <cstdlib>

#include "base/format.h"
#include "base/i18n.h"
#include "base/settings.h"
#include "base/strutil.h"
#include "engine/catalog.h"
#include "window/app.h"

namespace {

// --- Layout ---

constexpr float kMargin = 30;
constexpr float kMaxWidth = 470;
constexpr float kInset = 22;          // from the panel's edges to the column
constexpr float kChoiceGap = 8;       // between two appearance choices
constexpr float kChoicePadding = 28;  // an appearance choice beyond its label
constexpr float kButtonPadding = 26;  // as draw_button draws it
constexpr float kFieldHeight = 30;
constexpr float kFieldTextInset = 9;  // from the field's edges to its text
constexpr float kClearSide = 24;      // the clear button's width
constexpr float kClearGap = 6;
constexpr float kCaretWidth = 1.5f;
constexpr float kPathRoomLeft = 150;  // the panel width the folder path leaves to its buttons

struct ThemeChoice {
    const char* label;
    const char* value;
    int index;
};

constexpr ThemeChoice kThemes[] = {
    {"Automatic", "auto", App::CMD_THEME_AUTO},
    {"Light", "light", App::CMD_THEME_LIGHT},
    {"Dark", "dark", App::CMD_THEME_DARK},
};

bool in_snap() {
    const char* snap = std::getenv("SNAP");
    return snap != nullptr;
}

bool is_continuation(char c) {
    return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

// A byte the command can never hold: a stored command is one line without
// quotes or backslashes, so typing or pasting one is refused where it happens.
bool refused_byte(char c) {
    const auto b = static_cast<unsigned char>(c);
    return b < 0x20 || b == 0x7F || c == '"' || c == '\\';
}

// The start of the character before pos.
std::size_t previous_boundary(const std::string& s, std::size_t pos) {
    if (pos == 0)
        return 0;
    --pos;
    while (pos > 0 && is_continuation(s[pos]))
        --pos;
    return pos;
}

// The position past the character at pos.
std::size_t next_boundary(const std::string& s, std::size_t pos) {
    if (pos >= s.size())
        return s.size();
    ++pos;
    while (pos < s.size() && is_continuation(s[pos]))
        ++pos;
    return pos;
}

// The clipboard's text, or "" without a display or text on it. Waits for the
// owner to answer, as every paste does.
std::string clipboard_text() {
    if (gdk_display_get_default() == nullptr)
        return {};
    gchar* text = gtk_clipboard_wait_for_text(gtk_clipboard_get(GDK_SELECTION_CLIPBOARD));
    if (text == nullptr)
        return {};
    std::string result = text;
    g_free(text);
    return result;
}

std::string trim_blanks(const std::string& s) {
    const std::size_t first = s.find_first_not_of(" \t");
    if (first == std::string::npos)
        return "";
    return s.substr(first, s.find_last_not_of(" \t") - first + 1);
}

}  // namespace

// --- Opening ---

void App::open_settings() {
    m_fm_text = SettingsStore::instance().get().file_manager_command;
    m_fm_caret = m_fm_text.size();
    m_fm_editing = false;
    // Asked anew each time: the user may have installed or switched one.
    detect_file_manager();
    m_overlay = Overlay::Settings;
}

// --- Drawing ---

void App::draw_settings() {
    const I18n& i18n = I18n::instance();
    const Settings& settings = SettingsStore::instance().get();
    const bool snap = in_snap();
    const float w = static_cast<float>(m_width), h = static_cast<float>(m_height);
    const float pw = std::min(w - 2 * kMargin, kMaxWidth);
    const float ph = snap ? 508 : 490;
    const RectF panel{(w - pw) / 2, (h - ph) / 2, pw, ph};
    const float px = panel.x, py = panel.y;
    const float x = px + kInset, cw = pw - 2 * kInset;
    const float right = px + pw - kInset;
    fill_round_rect(panel, 16, m_palette.bar);
    stroke_round_rect(panel, 16, m_palette.divider, 1);

    draw_label(i18n.tr("Settings"), Font::Title, RectF{x, py + 20, cw, 26}, m_palette.text);
    const auto heading = [&](const char* text, float y) {
        draw_label(i18n.tr(text), Font::CaptionBold, RectF{x, y, cw, 16}, m_palette.secondary);
    };
    const auto caption = [&](const char* text, float y, const std::string& colour) {
        draw_label(truncate_to_width(i18n.tr(text), Font::Caption, cw), Font::Caption,
                   RectF{x, y, cw, 16}, colour);
    };

    heading("Appearance", py + 58);
    float cx = x;
    for (const ThemeChoice& c : kThemes) {
        const std::string label = i18n.tr(c.label);
        const RectF r{cx, py + 80,
                      static_cast<float>(measure_text(label, Font::Body)) + kChoicePadding, 30};
        if (settings.theme == c.value) {
            fill_round_rect(r, 8, m_palette.accent, 0.18);
            stroke_round_rect(r, 8, m_palette.accent, 1);
        } else {
            fill_round_rect(r, 8, m_palette.control);
            stroke_round_rect(r, 8, m_palette.control_edge, 1);
        }
        draw_label_center(label, Font::Body, r, m_palette.text);
        add_target(r, Act::SettingsTheme, c.index);
        cx += r.w + kChoiceGap;
    }

    heading("Projects folder", py + 124);
    const std::string choose = i18n.tr("Choose …");
    float buttons_left =
        right - static_cast<float>(measure_text(choose, Font::Body)) - kButtonPadding;
    add_target(draw_button(buttons_left, py + 140, choose, false, true), Act::ChooseProjects);
    float path_room = pw - kPathRoomLeft;
    if (!settings.projects_root.empty()) {
        // A chosen folder can be given up again for the home folder.
        const std::string reset = i18n.tr("Reset");
        const float reset_w = static_cast<float>(measure_text(reset, Font::Body)) + kButtonPadding;
        buttons_left -= reset_w + kChoiceGap;
        add_target(draw_button(buttons_left, py + 140, reset, false, true), Act::ResetProjects);
        path_room -= reset_w + kChoiceGap;
    }
    draw_label(ltr(truncate_path_middle(catalog::projects_root(), Font::Mono, path_room)),
               Font::Mono, RectF{x, py + 144, path_room, 20}, m_palette.text);
    caption("Where node_modules, venv and build folders are looked for.", py + 168,
            m_palette.secondary);

    heading("Keep-list", py + 198);
    const std::string manage = i18n.tr("Manage …");
    const float manage_w = static_cast<float>(measure_text(manage, Font::Body)) + kButtonPadding;
    add_target(draw_button(right - manage_w, py + 214, manage, false, true), Act::OpenKeepList);
    const std::string count = ltr(fmt::count(static_cast<std::int64_t>(settings.kept.size())));
    draw_label(truncate_to_width(i18n.trf("%s folder(s) never deleted", count), Font::Body,
                                 cw - manage_w - 10),
               Font::Body, RectF{x, py + 219, cw - manage_w - 10, 20}, m_palette.text);

    heading("File manager", py + 250);
    const float row = py + 270;
    const std::string test = i18n.tr("Test");
    const float test_w = static_cast<float>(measure_text(test, Font::Body)) + kButtonPadding;
    add_target(draw_button(right - test_w, row - 4, test, false, true), Act::TestFileManager);
    const float detected_room = pw - 66 - test_w;
    const std::string detected = m_fm_detected.empty()
                                     ? std::string(i18n.tr("None found"))
                                     : i18n.trf("%s (system default)", ltr(m_fm_detected));
    draw_label(truncate_to_width(detected, Font::Body, detected_room), Font::Body,
               RectF{x, row, detected_room, 20}, m_palette.text);

    const float fy = row + 26;
    const float fw = m_fm_text.empty() ? cw : cw - kClearSide - kClearGap;
    draw_fm_field(x, fy, fw);
    if (!m_fm_text.empty()) {
        const RectF clear{x + fw + kClearGap, fy, kClearSide, kFieldHeight};
        fill_round_rect(clear, 8, m_palette.control);
        stroke_round_rect(clear, 8, m_palette.control_edge, 1);
        draw_label_center("\xC3\x97", Font::Body, clear, m_palette.secondary);
        add_target(clear, Act::ClearFileManager);
    }
    caption("Empty uses the system default. %s becomes the path.", fy + 36, m_palette.secondary);
    if (snap)
        caption("Has no effect in the Snap — the sandbox cannot start other programs.", fy + 54,
                m_palette.warn_fg);

    const float lh = snap ? fy + 84 : fy + 66;
    heading("Language", lh);
    const RectF box{x, lh + 22, cw, kFieldHeight};
    fill_round_rect(box, 8, m_palette.control);
    stroke_round_rect(box, 8, m_palette.control_edge, 1);
    std::string current = i18n.tr("Automatic");
    for (const LanguageInfo& l : I18n::available()) {
        if (l.code == i18n.language())
            current = l.native_name;
    }
    draw_label(truncate_to_width(current, Font::Body, cw - 40), Font::Body,
               RectF{x + 9, box.y + 5, cw - 40, 20}, m_palette.text);
    draw_label("\xE2\x96\xBE", Font::Body, RectF{x + cw - 22, box.y + 5, 14, 20},
               m_palette.secondary);
    add_target(box, Act::OpenLanguage);

    draw_close_button(panel, 44);
}

// --- The command field ---

std::size_t App::fm_scroll_start(double room) const {
    const std::size_t caret = std::min(m_fm_caret, m_fm_text.size());
    std::size_t start = 0;
    while (start < caret &&
           measure_text(m_fm_text.substr(start, caret - start), Font::Mono) > room - 2) {
        ++start;
        while (start < caret && is_continuation(m_fm_text[start]))
            ++start;
    }
    return start;
}

void App::draw_fm_field(float x, float y, float width) {
    const RectF field{x, y, width, kFieldHeight};
    fill_round_rect(field, 8, m_palette.control);
    if (m_fm_editing) {
        stroke_round_rect(field, 8, m_palette.accent, 1.6);
    } else {
        stroke_round_rect(field, 8, m_palette.control_edge, 1);
    }
    add_target(field, Act::EditFileManager);
    const float ix = x + kFieldTextInset, iw = width - 2 * kFieldTextInset;
    const RectF inner{ix, y + 5, iw, 20};
    if (m_fm_text.empty() && !m_fm_editing) {
        // The example names a real file manager; it is a command, not a text.
        draw_label("nemo %s", Font::Mono, inner, m_palette.secondary, 0.6);
        return;
    }
    const std::size_t start = fm_scroll_start(iw);
    const std::string shown = m_fm_text.substr(start);
    draw_label(truncate_to_width(ltr(shown), Font::Mono, iw), Font::Mono, inner, m_palette.text);
    if (!m_fm_editing)
        return;
    const std::size_t caret = std::min(m_fm_caret, m_fm_text.size());
    const float before =
        static_cast<float>(measure_text(m_fm_text.substr(start, caret - start), Font::Mono));
    float cx = ix + before;
    if (m_rtl) {
        // The text sits at the trailing edge of the mirrored box.
        cx = ix + static_cast<float>(measure_text(shown, Font::Mono)) - before - kCaretWidth;
    }
    fill_round_rect(RectF{cx, y + 6, kCaretWidth, 18}, 0.75, m_palette.accent);
}

void App::fm_begin_edit() {
    m_fm_editing = true;
    m_fm_caret = m_fm_text.size();
}

void App::fm_commit() {
    if (!m_fm_editing)
        return;
    m_fm_editing = false;
    std::string command = trim_blanks(m_fm_text);
    if (!command.empty() && !settings_util::valid_file_manager_command(command))
        command.clear();
    m_fm_text = command;
    m_fm_caret = m_fm_text.size();
    SettingsStore& store = SettingsStore::instance();
    if (store.get().file_manager_command != command) {
        store.mutable_get().file_manager_command = command;
        store.save();
    }
}

void App::fm_insert(const std::string& text) {
    // Whole characters only: the field and the stored setting never hold half
    // of one, however the text came in.
    const std::string clean = su::sanitize_utf8(text);
    std::size_t caret = std::min(m_fm_caret, m_fm_text.size());
    for (std::size_t i = 0; i < clean.size();) {
        const std::size_t end = next_boundary(clean, i);
        const bool refused = end == i + 1 && refused_byte(clean[i]);
        if (!refused) {
            if (m_fm_text.size() + (end - i) > settings_util::kMaxCommandBytes)
                break;
            m_fm_text.insert(caret, clean, i, end - i);
            caret += end - i;
        }
        i = end;
    }
    m_fm_caret = caret;
}

void App::fm_paste(const std::string& text) {
    // A command is one line: whatever follows the first line break is dropped.
    fm_insert(text.substr(0, text.find_first_of("\r\n")));
}

bool App::fm_key(unsigned keyval, GdkModifierType state) {
    const std::size_t caret = std::min(m_fm_caret, m_fm_text.size());
    if ((state & GDK_CONTROL_MASK) != 0 && (keyval == GDK_KEY_v || keyval == GDK_KEY_V)) {
        fm_paste(clipboard_text());
        return true;
    }
    switch (keyval) {
        case GDK_KEY_BackSpace: {
            const std::size_t from = previous_boundary(m_fm_text, caret);
            m_fm_text.erase(from, caret - from);
            m_fm_caret = from;
            return true;
        }
        case GDK_KEY_Delete:
        case GDK_KEY_KP_Delete:
            m_fm_text.erase(caret, next_boundary(m_fm_text, caret) - caret);
            return true;
        case GDK_KEY_Left:
        case GDK_KEY_KP_Left:
            m_fm_caret = previous_boundary(m_fm_text, caret);
            return true;
        case GDK_KEY_Right:
        case GDK_KEY_KP_Right:
            m_fm_caret = next_boundary(m_fm_text, caret);
            return true;
        case GDK_KEY_Home:
        case GDK_KEY_KP_Home:
            m_fm_caret = 0;
            return true;
        case GDK_KEY_End:
        case GDK_KEY_KP_End:
            m_fm_caret = m_fm_text.size();
            return true;
        case GDK_KEY_Tab:
        case GDK_KEY_ISO_Left_Tab:
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_Escape:
            fm_commit();
            return true;
        default:
            break;
    }
    // Ctrl with a letter is a shortcut (Ctrl+R still rescans), not text.
    const gunichar ch = gdk_keyval_to_unicode(keyval);
    if ((state & GDK_CONTROL_MASK) != 0 || ch < 0x20 || ch == 0x7F || ch == '"' || ch == '\\')
        return false;
    char utf8[6];
    const int n = g_unichar_to_utf8(ch, utf8);
    fm_insert(std::string(utf8, static_cast<std::size_t>(n)));
    return true;
}

// --- Input ---

void App::settings_on_click(const HitTarget& target) {
    // Any click but one into the field ends editing, as leaving a field does.
    if (target.act != Act::EditFileManager)
        fm_commit();
    SettingsStore& store = SettingsStore::instance();
    switch (target.act) {
        case Act::SettingsTheme: {
            const char* theme = "auto";
            if (target.index == CMD_THEME_LIGHT)
                theme = "light";
            else if (target.index == CMD_THEME_DARK)
                theme = "dark";
            store.mutable_get().theme = theme;
            store.save();
            apply_theme();
            break;
        }
        case Act::ResetProjects:
            store.mutable_get().projects_root.clear();
            store.save();
            catalog::set_projects_root("");
            start_scan();
            break;
        case Act::EditFileManager:
            fm_begin_edit();
            break;
        case Act::ClearFileManager:
            m_fm_text.clear();
            m_fm_caret = 0;
            m_fm_editing = false;
            store.mutable_get().file_manager_command.clear();
            store.save();
            break;
        case Act::OpenLanguage:
            m_overlay = Overlay::Language;
            break;
        case Act::OpenKeepList:
            m_overlay = Overlay::KeepList;
            break;
        case Act::CloseOverlay:
            overlay_back();
            break;
        case Act::ChooseProjects:
            choose_projects_folder();
            break;
        case Act::TestFileManager:
            test_file_manager();
            break;
        default:
            break;
    }
}
