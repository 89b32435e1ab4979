// footer — the strip along the bottom of the window: how much the selection
// frees, how many entries are ticked, the outcome of the last deletion (or the
// total found), and the "Delete permanently" button, which takes clicks only
// while something is selected.
#include <algorithm>

#include "base/format.h"
#include "base/i18n.h"
#include "window/app.h"

namespace {

constexpr float kEdge = 22;           // from the window's edges
constexpr float kValueWidth = 260;    // the big value's box
constexpr float kMinSeparator = 222;  // the separator never sits left of this
constexpr float kColumnGap = 18;      // from the separator to the text column
constexpr float kColumnWidth = 340;   // the text column at its widest
constexpr float kButtonPadding = 40;  // the button's width beyond its label
constexpr float kButtonHeight = 36;
constexpr float kCaptionGap = 16;     // from "deletes immediately" to the button
constexpr double kDimmedFill = 0.55;  // the button without a selection
constexpr double kDimmedEdge = 0.5;
constexpr double kDimmedLabel = 0.6;

const char* tr(const char* key) {
    return I18n::instance().tr(key);
}

}  // namespace

void App::draw_footer() {
    m_drawing = Screen::Footer;
    const RectF& f = m_r_footer;
    fill_rect(f, m_palette.bar);
    draw_hairline(f.y, 0, m_width);
    m_clip_targets = f;
    const I18n& i18n = I18n::instance();
    std::lock_guard<std::mutex> lock(m_mutex);
    const int count = selected_count();
    bool partial = false;        // a ticked entry has no measured size
    bool total_partial = false;  // some category's total undercounts
    for (const CatState& cs : m_cats) {
        for (const Item& it : cs.items)
            partial = partial || (it.selected && it.size < 0);
        total_partial = total_partial || undercounts(cs);
    }

    draw_label(tr("TO BE FREED"), Font::CaptionBold, RectF{kEdge, f.y + 12, 220, 14},
               m_palette.secondary);
    const RectF value_box{kEdge, f.y + 26, kValueWidth, 38};
    double value_w = 0;
    if (count < 1) {
        value_w = draw_label("—", Font::Hero, value_box, m_palette.secondary, 0.5);
    } else {
        value_w = draw_label(size_text(selected_size(), partial), Font::Hero, value_box,
                             readable_on(m_palette.accent, m_palette.bar, kMinLargeTextContrast));
    }
    const float sx = value_w + 30 > 200 ? static_cast<float>(value_w) + 30 + kEdge : kMinSeparator;
    fill_rect(RectF{sx, f.y + 16, 1, 42}, m_palette.divider);

    // The button and its caption keep the trailing edge; the text column
    // takes what is left, and the caption goes when there is no room for it.
    const std::string label = tr("Delete permanently");
    const float bw = static_cast<float>(measure_text(label, Font::Body)) + kButtonPadding;
    const RectF button{static_cast<float>(m_width) - kEdge - bw, f.y + 19, bw, kButtonHeight};
    const float tx = sx + kColumnGap;
    // While a worker runs the button waits, and the caption says why.
    const bool busy = m_scanning || m_cleaning;
    const std::string caption = m_cleaning   ? tr("deleting …")
                                : m_scanning ? tr("available when the scan has finished")
                                             : tr("deletes immediately");
    const float cw = static_cast<float>(measure_text(caption, Font::Caption));
    float column = std::min(kColumnWidth, button.x - kCaptionGap - cw - kColumnGap - tx);
    if (column >= 120) {
        draw_label(caption, Font::Caption, RectF{button.x - kCaptionGap - cw, f.y, cw, f.h},
                   m_palette.secondary);
    } else {
        column = std::max(std::min(kColumnWidth, button.x - kColumnGap - tx), 0.0f);
    }
    draw_label(truncate_to_width(i18n.trf("%s item(s) selected", ltr(fmt::count(count))),
                                 Font::Body, column),
               Font::Body, RectF{tx, f.y + 18, column, 20}, m_palette.text);
    if (!m_status_message.empty()) {
        draw_label(truncate_to_width(m_status_message, Font::Caption, column), Font::Caption,
                   RectF{tx, f.y + 38, column, 18},
                   m_status_is_error ? m_palette.danger_fg : m_palette.ok_fg);
    } else {
        const std::string found =
            i18n.trf("found in total: %s", size_text(total_reclaimable(), total_partial));
        draw_label(truncate_to_width(found, Font::Caption, column), Font::Caption,
                   RectF{tx, f.y + 38, column, 18}, m_palette.secondary);
    }

    if (count < 1 || busy) {
        fill_round_rect(button, 9, m_palette.control, kDimmedFill);
        stroke_round_rect(button, 9, m_palette.control_edge, 1, kDimmedEdge);
        draw_label_center(label, Font::Body, button, m_palette.secondary, kDimmedLabel);
        add_target(button, Act::Clean, 0, false);
    } else {
        fill_round_rect_gradient(button, 9, kBrandPink, kBrandOrange);
        draw_label_center(label, Font::Body, button, text_on_fill(kBrandPink, kMinTextContrast));
        add_target(button, Act::Clean);
    }
    m_clip_targets = RectF{};
}

// --- Input ---

void App::footer_on_click(const HitTarget& target) {
    if (target.act == Act::Clean)
        confirm_clean();
}
