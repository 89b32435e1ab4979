// language — the chooser of the interface language: "Automatic" and every
// compiled-in language in a grid of three columns, filled column by column.
// A choice applies at once, is saved, and returns to Settings.
//
// Never clips the grid: in a window too low for every row the last rows run
// past the panel rather than becoming unreachable.
//
// Threads: main thread only.
//
// Sections:
//   Drawing
//   Input
#include <algorithm>

#include "base/i18n.h"
#include "base/settings.h"
#include "window/app.h"

namespace {

constexpr float kMargin = 30;
constexpr float kMaxWidth = 600;
constexpr float kInset = 22;
constexpr float kColumns = 3;
constexpr float kRowHeight = 26;
constexpr float kCellHeight = 24;
constexpr float kGridTop = 60;
constexpr float kHeightBeyondGrid = 124;  // title, gaps and the "Close" button

}  // namespace

// --- Drawing ---

void App::draw_language() {
    const I18n& i18n = I18n::instance();
    const std::vector<LanguageInfo> languages = I18n::available();
    const int rows = (static_cast<int>(languages.size()) + 3) / 3;
    const float w = static_cast<float>(m_width), h = static_cast<float>(m_height);
    const float pw = std::min(w - 2 * kMargin, kMaxWidth);
    const float ph = std::min(h - 40, static_cast<float>(rows) * kRowHeight + kHeightBeyondGrid);
    const RectF panel{(w - pw) / 2, (h - ph) / 2, pw, ph};
    fill_round_rect(panel, 16, m_palette.bar);
    stroke_round_rect(panel, 16, m_palette.divider, 1);
    draw_label(i18n.tr("Language"), Font::Title,
               RectF{panel.x + kInset, panel.y + 20, pw - 2 * kInset, 26}, m_palette.text);

    const float column = (pw - 2 * kInset) / kColumns;
    const std::string& setting = i18n.language();
    for (std::size_t k = 0; k <= languages.size(); ++k) {
        const bool automatic = k == 0;
        const int col = static_cast<int>(k) / rows, row = static_cast<int>(k) % rows;
        const RectF cell{panel.x + kInset + static_cast<float>(col) * column,
                         panel.y + kGridTop + static_cast<float>(row) * kRowHeight, column - 6,
                         kCellHeight};
        const bool current = automatic ? setting == "auto" : setting == languages[k - 1].code;
        if (current)
            fill_round_rect(cell, 7, m_palette.accent, 0.18);
        const std::string label =
            automatic ? std::string(i18n.tr("Automatic")) : languages[k - 1].native_name;
        draw_label(truncate_to_width(label, Font::Body, column - 18), Font::Body,
                   RectF{cell.x + 6, cell.y, column - 18, kCellHeight}, m_palette.text);
        add_target(cell, Act::SettingsLang,
                   automatic ? CMD_LANG_AUTO : CMD_LANG_FIRST + static_cast<int>(k) - 1);
    }
    draw_close_button(panel, 44);
}

// --- Input ---

void App::language_on_click(const HitTarget& target) {
    if (target.act == Act::SettingsLang) {
        SettingsStore& store = SettingsStore::instance();
        const std::vector<LanguageInfo> languages = I18n::available();
        const int k = target.index - CMD_LANG_FIRST;
        if (target.index == CMD_LANG_AUTO) {
            store.mutable_get().language = "auto";
        } else if (k >= 0 && k < static_cast<int>(languages.size())) {
            store.mutable_get().language = languages[static_cast<std::size_t>(k)].code;
        }
        I18n::instance().set_language(store.get().language);
        store.save();
    }
    // A choice, the "Close" button and a click beside the panel all lead back
    // to Settings.
    overlay_back();
}
