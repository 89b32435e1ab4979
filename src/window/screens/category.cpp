// category — one category's entries: a fixed header (chip, title, subtitle,
// count and total, the "Safe ones", "None" and "Open folder" buttons) above a
// scrolling list of item cards, each with its check box, safety stripe, size
// bar, safety pill, keep pill and last-changed line. Clicking a card ticks or
// unticks the entry; the header's buttons tick the safe entries or none.
// Nothing here deletes or opens anything.
//
// Sections:
//   Header
//   Item cards
//   Screen
//   Input
#include <algorithm>

#include "base/format.h"
#include "base/i18n.h"
#include "window/app.h"

namespace {

constexpr float kMargin = 22;        // from the content's left edge and top
constexpr float kColumnTrim = 50;    // content width minus the column's
constexpr float kHeaderHeight = 70;  // the fixed part above the list
constexpr float kTextLeft = 60;      // from the column's edge to the header texts
constexpr float kButtonGap = 8;
constexpr float kButtonPadding = 26;  // a button's width beyond its label
constexpr float kRowHeight = 96;
constexpr float kRowPitch = 104;     // a card and the gap below it
constexpr float kCardTextLeft = 46;  // from the card's edge to its text column
constexpr float kCardTextTrim = 62;  // card width minus the text column's
constexpr const char* kDangerRed = "#E5484D";

const char* tr(const char* key) {
    return I18n::instance().tr(key);
}

}  // namespace

// --- Header ---

void App::draw_category_header(const CatState& cat, int cat_index, RectF col) {
    const float hy = col.y;
    const std::string gc = catalog::group_color(cat.def.group);
    draw_icon_chip(cat.def.glyph, RectF{col.x, hy + 2, 46, 46}, gc);

    // Buttons from the trailing edge inwards; the texts take what is left.
    float right = col.x + col.w;
    const auto button = [&](const char* label, Act act, int index) {
        const std::string text = tr(label);
        const float bw = static_cast<float>(measure_text(text, Font::Body)) + kButtonPadding;
        add_target(draw_button(right - bw, hy + 8, text, false, true), act, index);
        right -= bw + kButtonGap;
    };
    button("Open folder", Act::RevealCategory, cat_index);
    const bool ready = cat.did_scan && !cat.scanning;
    if (!cat.items.empty()) {
        button("None", Act::SelectNone, 0);
        button("Older than …", Act::OlderMenu, 0);
        button("Safe ones", Act::SelectAllSafe, 0);
    }
    const float tw = std::max(right - 4 - (col.x + kTextLeft), 0.0f);
    const float tx = col.x + kTextLeft;
    draw_label(truncate_to_width(tr(cat.def.title.c_str()), Font::Title, tw), Font::Title,
               RectF{tx, hy, tw, 26}, m_palette.text);
    draw_label(truncate_to_width(tr(cat.def.subtitle.c_str()), Font::Body, tw), Font::Body,
               RectF{tx, hy + 25, tw, 20}, m_palette.secondary);
    if (!ready || cat.items.empty())
        return;
    const std::string n = ltr(fmt::count(static_cast<std::int64_t>(cat.items.size())));
    const std::string sum = ltr(fmt::bytes(cat.total_size()));
    std::string line = undercounts(cat)
                           ? I18n::instance().trf("%s entries · at least %s in total", n, sum)
                           : I18n::instance().trf("%s entries · %s in total", n, sum);
    // Versions of one tool: the user should know before "Safe ones" why one
    // of them stays unticked.
    if (cat.def.keep_newest)
        line += std::string(" · ") + tr("the newest version is kept");
    // Entries behind a mount that did not answer are missing from the list.
    if (cat.not_answering)
        line += std::string(" · ") + tr("some folders did not answer");
    draw_label(truncate_to_width(line, Font::Caption, tw), Font::Caption,
               RectF{tx, hy + 45, tw, 16}, m_palette.secondary);
}

// --- Item cards ---

void App::draw_item_row(const Item& it, int index, RectF r, std::int64_t max_size,
                        const std::string& gc) {
    const std::string sc = catalog::safety_color(it.safety);
    fill_round_rect(r, 12, m_palette.bar);
    if (it.selected) {
        fill_round_rect(r, 12, gc, 0.10);
        stroke_round_rect(r, 12, gc, 1.5, 0.75);
    } else {
        stroke_round_rect(r, 12, m_palette.divider, 1);
    }
    fill_round_rect(RectF{r.x + 1, r.y + 10, 4, r.h - 20}, 2, sc);

    const RectF box{r.x + 16, r.y + r.h / 2 - 9, 18, 18};
    if (it.kept) {
        // Kept entries cannot be ticked: the box is shown, but out of reach.
        fill_round_rect(box, 5, m_palette.control, 0.45);
        stroke_round_rect(box, 5, m_palette.control_edge, 1.2, 0.45);
    } else if (it.selected) {
        fill_round_rect(box, 5, gc);
        const RectF m = mirror(box);  // the place mirrors, the tick keeps its shape
        cairo_set_source_rgb(m_cr, 1, 1, 1);
        cairo_set_line_width(m_cr, 2.2);
        cairo_set_line_cap(m_cr, CAIRO_LINE_CAP_ROUND);
        cairo_set_line_join(m_cr, CAIRO_LINE_JOIN_ROUND);
        cairo_move_to(m_cr, m.x + 4.5, m.y + 9.5);
        cairo_line_to(m_cr, m.x + 7.5, m.y + 12.5);
        cairo_line_to(m_cr, m.x + 13.5, m.y + 5.5);
        cairo_stroke(m_cr);
    } else {
        fill_round_rect(box, 5, m_palette.control);
        stroke_round_rect(box, 5, m_palette.control_edge, 1.2);
    }

    const float tx = r.x + kCardTextLeft;
    const float tw = r.w - kCardTextTrim;
    const bool measured = it.size >= 0;
    const std::string size = measured ? ltr(fmt::bytes(it.size)) : tr("not measured");
    const Font size_font = measured ? Font::MonoBold : Font::Caption;
    float name_w = tw - (static_cast<float>(measure_text(size, size_font)) + 8);
    if (it.keep_hint) {
        const std::string pill = tr("newest — keep");
        name_w -= static_cast<float>(measure_text(pill, Font::CaptionBold)) + 14 + 8;
        draw_pill(tx + name_w + 8, r.y + 10, pill, Font::CaptionBold, kDangerRed, 0.16);
    }
    draw_label(truncate_to_width(it.name, Font::BodyBold, name_w), Font::BodyBold,
               RectF{tx, r.y + 8, std::max(name_w, 0.0f), 20}, m_palette.text);
    draw_label_right(size, size_font, RectF{tx, r.y + 8, tw, 20},
                     measured ? m_palette.text : m_palette.secondary);
    const std::string& where = it.detail.empty() ? it.path : it.detail;
    draw_label(ltr(truncate_path_middle(where, Font::Mono, tw)), Font::Mono,
               RectF{tx, r.y + 28, tw, 16}, m_palette.secondary);

    const std::string safety = tr(catalog::safety_title(it.safety));
    const float bar_w =
        tw - (static_cast<float>(measure_text(safety, Font::CaptionBold)) + 14) - 12;
    const bool fraction_known = it.size >= 1 && max_size >= 1;
    draw_bar(RectF{tx, r.y + 50, bar_w, 7},
             fraction_known ? static_cast<double>(it.size) / static_cast<double>(max_size) : 0, sc);
    draw_pill(tx + bar_w + 12, r.y + 44, safety, Font::CaptionBold, sc, 0.16);

    const RectF keep = draw_keep_toggle(it.kept, r);
    const float line_w = keep.x - 8 - (tx + 15);
    // A project's leftover is as old as the work on its project.
    const std::string changed =
        it.activity > 0   ? I18n::instance().trf("project changed %s", fmt::relative(it.activity))
        : it.modified > 0 ? I18n::instance().trf("last changed %s", fmt::relative(it.modified))
                          : std::string();
    if (!changed.empty()) {
        Rgb secondary;
        if (hex_to_rgb(m_palette.secondary, secondary))
            draw_glyph(Glyph::Pencil, RectF{tx, r.y + 70, 11, 11}, secondary);
        draw_label(truncate_to_width(changed, Font::Caption, line_w), Font::Caption,
                   RectF{tx + 15, r.y + 66, std::max(line_w, 0.0f), 16}, m_palette.secondary);
    }
    add_target(r, Act::ToggleItem, index, !it.kept);
    // Registered after the card, so that it lies on top of it.
    add_target(keep, Act::ToggleKeep, index);
}

// The keep toggle in the card's trailing bottom corner: "Keep", or "Kept"
// drawn pressed.
RectF App::draw_keep_toggle(bool kept, RectF card) {
    const std::string label = tr(kept ? "Kept" : "Keep");
    const float w = static_cast<float>(measure_text(label, Font::CaptionBold)) + 22;
    const RectF b{card.x + card.w - 16 - w, card.y + card.h - 30, w, 22};
    const std::string accent = readable_on(m_palette.accent, m_palette.bar, kMinTextContrast);
    if (kept) {
        fill_round_rect(b, 11, accent, 0.16);
        stroke_round_rect(b, 11, accent, 1.2);
        draw_label_center(label, Font::CaptionBold, b, accent);
    } else {
        stroke_round_rect(b, 11, m_palette.control_edge, 1);
        draw_label_center(label, Font::CaptionBold, b, m_palette.secondary);
    }
    return b;
}

// --- Screen ---

void App::draw_category_detail() {
    const RectF& c = m_r_content;
    std::unique_lock<std::mutex> lock(m_mutex);
    CatState* cs = current_category();
    if (cs == nullptr) {
        lock.unlock();
        draw_overview();
        return;
    }
    m_drawing = Screen::Category;
    const int cat_index = static_cast<int>(cs - m_cats.data());
    const RectF col{c.x + kMargin, c.y + kMargin, c.w - kColumnTrim, kHeaderHeight};
    draw_category_header(*cs, cat_index, col);

    const float list_top = col.y + kHeaderHeight;
    const RectF list{c.x, list_top, c.w, std::max(c.h - (list_top - c.y), 0.0f)};
    m_content_height = c.h;
    if (cs->items.empty()) {
        const bool scanned = cs->did_scan && !cs->scanning;
        const bool scanning = cs->scanning || (!cs->did_scan && m_scanning);
        // A folder on a mount that did not answer is not an empty one.
        const bool dead = cs->not_answering;
        lock.unlock();
        if (scanning) {
            draw_scanning_state(list);
        } else if (!scanned) {
            draw_unfinished_state(list);
        } else {
            const float ty = list_top + 0.35f * list.h;
            draw_label_center(tr(dead ? "Not answering" : "Nothing found"), Font::Title,
                              RectF{c.x, ty, c.w, 26}, m_palette.text);
            const char* why = dead ? "This folder did not answer in time. It may be on a network "
                                     "or removable drive."
                                   : "This folder is empty or does not exist.";
            draw_label_center(truncate_to_width(tr(why), Font::Body, c.w - 60), Font::Body,
                              RectF{c.x, ty + 30, c.w, 20}, m_palette.secondary);
        }
        return;
    }

    std::int64_t max_size = 1;
    for (const Item& it : cs->items)
        max_size = std::max(max_size, it.size);
    const std::string gc = catalog::group_color(cs->def.group);
    const RectF clip = mirror(list);
    cairo_save(m_cr);
    cairo_rectangle(m_cr, clip.x, clip.y, clip.w, clip.h);
    cairo_clip(m_cr);
    m_clip_targets = list;
    float y = list_top - static_cast<float>(m_scroll);
    m_row_list = RowList{Act::ToggleItem, static_cast<int>(cs->items.size()),
                         list_top,        kRowPitch,
                         kRowHeight,      list.y,
                         c.y + c.h};
    for (std::size_t i = 0; i < cs->items.size(); ++i) {
        // Rows out of sight cost nothing but their height.
        if (y + kRowHeight >= list.y && y <= c.y + c.h)
            draw_item_row(cs->items[i], static_cast<int>(i), RectF{col.x, y, col.w, kRowHeight},
                          max_size, gc);
        y += kRowPitch;
    }
    m_clip_targets = c;
    cairo_restore(m_cr);
    m_content_height = y + m_scroll - c.y + kMargin;
}

// --- Input ---

std::string App::item_path(int index) {
    std::lock_guard<std::mutex> lock(m_mutex);
    const CatState* cs = current_category();
    if (cs == nullptr || index < 0 || static_cast<std::size_t>(index) >= cs->items.size())
        return {};  // a target of a frame drawn before the list changed
    return cs->items[static_cast<std::size_t>(index)].path;
}

void App::category_on_click(const HitTarget& target, bool right) {
    if (target.act == Act::OlderMenu) {
        if (!right)
            ask_age(false);
        return;
    }
    if (target.act == Act::ToggleKeep) {
        const std::string path = item_path(target.index);
        if (!right && !path.empty())
            toggle_keep(path);
        return;
    }
    // The secondary button never ticks an entry for permanent deletion: on an
    // entry it shows the entry in the file manager instead.
    if ((right && target.act == Act::ToggleItem) || target.act == Act::RevealCategory) {
        std::string path;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            const CatState* cs = current_category();
            if (cs == nullptr)
                return;
            if (target.act == Act::RevealCategory) {
                path = cs->def.path;
            } else if (target.index >= 0 &&
                       static_cast<std::size_t>(target.index) < cs->items.size()) {
                path = cs->items[static_cast<std::size_t>(target.index)].path;
            }
        }
        if (!path.empty())
            reveal_or_explain(path);
        return;
    }
    if (right)
        return;
    std::lock_guard<std::mutex> lock(m_mutex);
    CatState* cs = current_category();
    if (cs == nullptr)
        return;
    switch (target.act) {
        case Act::ToggleItem:
            if (target.index < 0 || static_cast<std::size_t>(target.index) >= cs->items.size())
                return;  // a target of a frame drawn before the list changed
            {
                Item& it = cs->items[static_cast<std::size_t>(target.index)];
                it.selected = !it.selected && !it.kept;
            }
            break;
        case Act::SelectAllSafe:
            select_all_safe(*cs);
            break;
        case Act::SelectNone:
            select_none(*cs);
            break;
        default:
            break;
    }
}
