// sidebar — the list on the left: the overview entry, the "Remove manually"
// entry when there is something to remove by hand, and every visible category
// grouped by kind with its size and selection badge. Clicking a row shows its
// screen; the wheel over the sidebar scrolls it alone.
#include <glib.h>

#include <algorithm>

#include "base/format.h"
#include "base/i18n.h"
#include "window/app.h"

namespace {

using L = App::SidebarLayout;

constexpr const char* kDangerRed = "#E5484D";
constexpr double kSelectedAlpha = 0.14;
constexpr double kCategorySelectedAlpha = 0.16;
constexpr float kFixedTextRoom = 55;   // row width taken by the chip and margins
constexpr float kBadgeRoom = 30;       // taken in addition by a selection badge
constexpr float kManualTextRoom = 90;  // the manual row always shows its badge

int selected_items(const CatState& cs) {
    int n = 0;
    for (const Item& it : cs.items)
        n += it.selected ? 1 : 0;
    return n;
}

std::string upper_utf8(const char* text) {
    gchar* up = g_utf8_strup(text, -1);
    std::string out = up != nullptr ? up : text;
    g_free(up);
    return out;
}

const char* tr(const char* key) {
    return I18n::instance().tr(key);
}

}  // namespace

// --- Rows ---

void App::draw_sidebar_row(RectF row, const SidebarRow& row_info) {
    if (row_info.selected) {
        fill_round_rect(row, 9, row_info.tint, row_info.selected_alpha);
    } else if (row_info.hovered) {
        fill_round_rect(row, 9, m_palette.text, 0.05);
    }
    const float chip_margin = (L::kRowHeight - L::kChip) / 2;
    draw_icon_chip(row_info.glyph,
                   RectF{row.x + chip_margin, row.y + chip_margin, L::kChip, L::kChip},
                   row_info.colour);
    const float tw = static_cast<float>(row_info.text_width);
    draw_label(truncate_to_width(row_info.title, row_info.title_font, tw), row_info.title_font,
               RectF{row.x + L::kTextLeft, row.y + 6, tw, 20}, m_palette.text);
    draw_label(truncate_to_width(row_info.status, Font::Caption, tw), Font::Caption,
               RectF{row.x + L::kTextLeft, row.y + 23, tw, 16}, m_palette.secondary);
    if (row_info.badge > 0) {
        const std::string count = ltr(fmt::count(row_info.badge));
        const float cw = static_cast<float>(measure_text(count, Font::CaptionBold));
        const RectF badge{row.x + row.w - (cw + 12) - 8, row.y + 15, cw + 12, 17};
        fill_round_rect(badge, 8.5, row_info.colour, 1.0);
        draw_label_center(count, Font::CaptionBold, badge,
                          text_on_fill(row_info.colour, kMinTextContrast));
    }
    add_target(row, row_info.act, row_info.index);
}

float App::draw_sidebar_fixed_rows(float x, float y, float width) {
    SidebarRow overview;
    overview.glyph = Glyph::Gear;
    overview.colour = kBrandPink;
    overview.title = tr("Overview");
    overview.title_font = Font::BodyBold;
    overview.text_width = width - kFixedTextRoom;
    if (m_scanning) {
        overview.status = tr("scanning …");
    } else {
        bool partial = scan_unfinished();
        for (const CatState& cs : m_cats)
            partial = partial || undercounts(cs);
        overview.status = size_text(total_reclaimable(), partial);
    }
    overview.tint = m_palette.accent;
    overview.selected = m_selection.empty();
    overview.selected_alpha = kSelectedAlpha;
    overview.hovered = m_hover_act == Act::SelectOverview;
    overview.act = Act::SelectOverview;
    draw_sidebar_row(RectF{x, y, width, L::kRowHeight}, overview);
    y += L::kRowHeight + L::kFixedRowGap;

    if (m_manual.empty())
        return y;
    SidebarRow manual;
    manual.glyph = Glyph::Folder;
    manual.colour = kDangerRed;
    manual.tint = kDangerRed;
    manual.title = tr("Remove manually");
    manual.title_font = Font::BodyBold;
    manual.text_width = width - kManualTextRoom;
    manual.status = tr("your file manager can do it");
    manual.badge = static_cast<int>(m_manual.size());
    manual.selected = m_selection == SEL_MANUAL;
    manual.selected_alpha = kSelectedAlpha;
    manual.hovered = m_hover_act == Act::SelectManual;
    manual.act = Act::SelectManual;
    draw_sidebar_row(RectF{x, y, width, L::kRowHeight}, manual);
    return y + L::kRowHeight + L::kFixedRowGap;
}

float App::draw_sidebar_group(const VisibleGroup& group, float x, float y, float width) {
    const RectF& sb = m_r_sidebar;
    const float height = L::kGroupHeader +
                         L::kRowHeight * static_cast<float>(group.categories.size()) + L::kGroupGap;
    // Groups and rows scrolled out of sight cost nothing but their height.
    if (y + height < sb.y || y > sb.y + sb.h)
        return y + height;

    const std::string gc = catalog::group_color(group.group);
    Rgb group_rgb;
    if (hex_to_rgb(gc, group_rgb)) {
        draw_glyph(catalog::group_glyph(group.group), RectF{sb.x + 16, y + 9, 13, 13}, group_rgb);
    }
    const float title_width = sb.w - 108;
    draw_label(truncate_to_width(upper_utf8(tr(catalog::group_title(group.group))),
                                 Font::CaptionBold, title_width),
               Font::CaptionBold, RectF{sb.x + 35, y + 6, title_width, 20},
               readable_on(gc, m_palette.bar, kMinTextContrast));
    if (group.size > 0) {
        draw_label_right(ltr(fmt::bytes(group.size)), Font::Caption,
                         RectF{sb.x + 16, y + 6, sb.w - 36, 20}, m_palette.secondary);
    }
    y += L::kGroupHeader;
    for (int i : group.categories) {
        if (y + L::kRowHeight < sb.y || y > sb.y + sb.h) {
            y += L::kRowHeight;
            continue;
        }
        const CatState& cs = m_cats[static_cast<std::size_t>(i)];
        SidebarRow row;
        row.glyph = cs.def.glyph;
        row.colour = gc;
        row.tint = gc;
        row.title = tr(cs.def.title.c_str());
        row.badge = selected_items(cs);
        row.text_width = width - kFixedTextRoom - (row.badge > 0 ? kBadgeRoom : 0);
        if (cs.scanning || !cs.did_scan) {
            // A scan that stopped early never reaches the rest.
            row.status = m_scanning ? tr("scanning …") : tr("not scanned");
        } else if (cs.items.empty()) {
            row.status = cs.not_answering ? tr("not answering") : tr("empty");
        } else {
            row.status = size_text(cs.total_size(), undercounts(cs));
        }
        row.selected = m_selection == cs.def.id;
        row.selected_alpha = kCategorySelectedAlpha;
        row.hovered = m_hover_act == Act::SelectCategory && m_hover_index == i;
        row.act = Act::SelectCategory;
        row.index = i;
        draw_sidebar_row(RectF{x, y, width, L::kRowHeight}, row);
        y += L::kRowHeight;
    }
    return y + L::kGroupGap;
}

// --- Drawing ---

void App::draw_sidebar() {
    if (m_r_sidebar.empty())
        return;
    m_drawing = Screen::Sidebar;
    const RectF& sb = m_r_sidebar;
    fill_rect(sb, m_palette.bar);

    const RectF clip = mirror(sb);
    cairo_save(m_cr);
    cairo_rectangle(m_cr, clip.x, clip.y, clip.w, clip.h);
    cairo_clip(m_cr);
    m_clip_targets = sb;
    std::lock_guard<std::mutex> lock(m_mutex);

    const float x = sb.x + L::kInset;
    const float width = sb.w - 20;
    // As in the content region: a scroll position the list no longer reaches
    // is clamped and the list drawn again from there.
    const FrameMark mark = frame_mark();
    for (int pass = 0; pass < 2; ++pass) {
        float y = static_cast<float>(sb.y + L::kInset - m_sidebar_scroll);
        y = draw_sidebar_fixed_rows(x, y, width);
        for (const VisibleGroup& group : visible_groups())
            y = draw_sidebar_group(group, x, y, width);
        m_sidebar_height = y + m_sidebar_scroll - sb.y + L::kBottomPad;
        const double clamped =
            std::clamp(m_sidebar_scroll, 0.0, std::max(0.0, m_sidebar_height - sb.h));
        if (clamped == m_sidebar_scroll)
            break;
        m_sidebar_scroll = clamped;
        rewind_to(mark);
        fill_rect(sb, m_palette.bar);
    }
    m_clip_targets = RectF{};
    cairo_restore(m_cr);
    draw_hairline(sb.y, sb.x, sb.x + sb.w);
    fill_rect(RectF{sb.x + sb.w - 1, sb.y, 1, sb.h}, m_palette.divider);
    draw_scroll_thumb(sb, m_sidebar_scroll, m_sidebar_height);
}

// --- Input ---

void App::sidebar_on_click(const HitTarget& target, bool right) {
    std::unique_lock<std::mutex> lock(m_mutex);
    const bool valid_category =
        target.index >= 0 && static_cast<std::size_t>(target.index) < m_cats.size();
    if (right && target.act == Act::SelectCategory) {
        // A right click shows the category's folder instead of its entries.
        if (!valid_category)
            return;
        const std::string path = m_cats[static_cast<std::size_t>(target.index)].def.path;
        lock.unlock();
        reveal_or_explain(path);
        return;
    }
    switch (target.act) {
        case Act::SelectOverview:
            m_selection.clear();
            break;
        case Act::SelectCategory:
            if (!valid_category)
                return;  // a target of a frame drawn before the categories changed
            m_selection = m_cats[static_cast<std::size_t>(target.index)].def.id;
            break;
        case Act::SelectManual:
            m_selection = SEL_MANUAL;
            break;
        default:
            return;
    }
    m_scroll = 0;
}

void App::sidebar_on_wheel(double step) {
    const double max_scroll = std::max(0.0, m_sidebar_height - m_r_sidebar.h);
    m_sidebar_scroll = std::clamp(m_sidebar_scroll + step, 0.0, max_scroll);
    request_redraw();
}
