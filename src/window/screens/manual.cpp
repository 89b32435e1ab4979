// manual — the "Remove manually" list: entries this program could not delete
// (usually because a sandbox keeps it out), each with its path, the reason
// when one is known, and a button that shows it in the file manager. The
// header with its explanation stays fixed; the list scrolls below it.
#include <algorithm>

#include "base/format.h"
#include "base/i18n.h"
#include "window/app.h"

namespace {

constexpr float kMargin = 22;      // from the content's left edge and top
constexpr float kColumnTrim = 50;  // content width minus the column's
constexpr float kTextLeft = 60;    // from the column's edge to the header texts
constexpr float kLineHeight = 18;  // explanation lines
constexpr float kRowHeight = 66;
constexpr float kRowPitch = 74;       // a card and the gap below it
constexpr float kButtonPadding = 30;  // the row button's width beyond its label
constexpr const char* kDangerRed = "#E5484D";

const char* tr(const char* key) {
    return I18n::instance().tr(key);
}

}  // namespace

// --- Rows ---

void App::draw_manual_row(const Item& it, int index, RectF r) {
    fill_round_rect(r, 12, m_palette.bar);
    stroke_round_rect(r, 12, m_palette.divider, 1);
    fill_round_rect(RectF{r.x + 1, r.y + 10, 4, r.h - 20}, 2, kDangerRed);

    const std::string label = tr("Show in file manager");
    const float bw = static_cast<float>(measure_text(label, Font::Body)) + kButtonPadding;
    const float tw = std::max(r.w - 34 - bw - 20, 0.0f);
    const std::string size = it.size >= 0 ? ltr(fmt::bytes(it.size)) : std::string();
    const float sw = size.empty() ? 0 : static_cast<float>(measure_text(size, Font::MonoBold)) + 10;
    const float name_w = std::max(tw - sw, 0.0f);
    draw_label(truncate_to_width(it.name, Font::BodyBold, name_w), Font::BodyBold,
               RectF{r.x + 20, r.y + 8, name_w, 20}, m_palette.text);
    if (!size.empty())
        draw_label(size, Font::MonoBold, RectF{r.x + 20 + tw - sw + 10, r.y + 8, sw, 20},
                   m_palette.text);
    draw_label(ltr(truncate_path_middle(it.path, Font::Mono, tw)), Font::Mono,
               RectF{r.x + 20, r.y + 28, tw, 16}, m_palette.secondary);
    if (!it.detail.empty())
        draw_pill(r.x + 20, r.y + 46, truncate_to_width(it.detail, Font::CaptionBold, tw - 10),
                  Font::CaptionBold, kDangerRed, 0.16);

    const RectF button{r.x + r.w - bw - 14, r.y + 18, bw, 30};
    fill_round_rect(button, 8, m_palette.control);
    stroke_round_rect(button, 8, m_palette.control_edge, 1);
    draw_label_center(label, Font::Body, button, m_palette.text);
    add_target(button, Act::OpenManualItem, index);
}

// --- Screen ---

void App::draw_manual_list() {
    m_drawing = Screen::Manual;
    const RectF& c = m_r_content;
    const float x = c.x + kMargin, w = c.w - kColumnTrim;
    const float hy = c.y + kMargin;
    draw_icon_chip(Glyph::Folder, RectF{x, hy + 2, 46, 46}, kDangerRed);
    draw_label(truncate_to_width(tr("Remove manually"), Font::Title, w - kTextLeft), Font::Title,
               RectF{x + kTextLeft, hy, w - kTextLeft, 26}, m_palette.text);
    float line_y = hy + 26;
    for (const std::string& line :
         wrap_text(tr("These are outside this app's reach — usually because it runs in a sandbox. "
                      "Your file manager has full access: one click opens the location with the "
                      "item selected."),
                   Font::Body, w - kTextLeft)) {
        draw_label(line, Font::Body, RectF{x + kTextLeft, line_y, w - kTextLeft, kLineHeight},
                   m_palette.secondary);
        line_y += kLineHeight;
    }
    const float list_top = std::max(hy + 70, line_y + 14);
    const RectF list{c.x, list_top, c.w, std::max(c.h - (list_top - c.y), 0.0f)};
    const RectF clip = mirror(list);
    cairo_save(m_cr);
    cairo_rectangle(m_cr, clip.x, clip.y, clip.w, clip.h);
    cairo_clip(m_cr);
    m_clip_targets = list;
    std::lock_guard<std::mutex> lock(m_mutex);
    float y = list_top - static_cast<float>(m_scroll);
    m_row_list = RowList{Act::OpenManualItem,
                         static_cast<int>(m_manual.size()),
                         list_top,
                         kRowPitch,
                         kRowHeight,
                         list.y,
                         c.y + c.h};
    for (std::size_t i = 0; i < m_manual.size(); ++i) {
        if (y + kRowHeight >= list.y && y <= c.y + c.h)
            draw_manual_row(m_manual[i], static_cast<int>(i), RectF{x, y, w, kRowHeight});
        y += kRowPitch;
    }
    m_clip_targets = c;
    cairo_restore(m_cr);
    m_content_height = y + m_scroll - c.y + kMargin;
}

// --- Input ---

void App::manual_on_click(const HitTarget& target) {
    if (target.act != Act::OpenManualItem)
        return;
    std::string path;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (target.index < 0 || static_cast<std::size_t>(target.index) >= m_manual.size())
            return;
        path = m_manual[static_cast<std::size_t>(target.index)].path;
    }
    reveal_or_explain(path);
}
