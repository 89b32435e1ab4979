// sidebar — the list on the left: the overview entry, the "Remove
// manually" entry when there is something to remove by hand, and every
// visible category grouped by kind with its size and selection badge.
#include <glib.h>

#include "base/format.h"
#include "base/i18n.h"
#include "window/app.h"

namespace {

constexpr float kRowHeight = 46;
constexpr const char* kAccentPink = "#FF599E";
constexpr const char* kDangerRed = "#E5484D";

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

}  // namespace

void App::draw_sidebar_row(RectF row, const SidebarRow& row_info) {
    if (row_info.selected) {
        fill_round_rect(row, 9, row_info.tint, row_info.selected_alpha);
    } else if (row_info.hovered) {
        fill_round_rect(row, 9, m_palette.text, 0.05);
    }
    draw_icon_chip(row_info.glyph, RectF{row.x + 9, row.y + 9, 28, 28}, row_info.colour);
    const float tw = static_cast<float>(row_info.text_width);
    draw_label(truncate_to_width(row_info.title, row_info.title_font, tw), row_info.title_font,
               RectF{row.x + 47, row.y + 6, tw, 20}, m_palette.text);
    draw_label(truncate_to_width(row_info.status, Font::Caption, tw), Font::Caption,
               RectF{row.x + 47, row.y + 23, tw, 16}, m_palette.secondary);
    if (row_info.badge > 0) {
        const std::string count = ltr(fmt::count(row_info.badge));
        const float cw = static_cast<float>(measure_text(count, Font::CaptionBold));
        const RectF badge{row.x + row.w - (cw + 12) - 8, row.y + 15, cw + 12, 17};
        fill_round_rect(badge, 8.5, row_info.colour, 1.0);
        draw_label_center(count, Font::CaptionBold, badge, "#FFFFFF");
    }
    add_target(row, row_info.act, row_info.index);
}

void App::draw_sidebar() {
    if (m_r_sidebar.empty())
        return;
    const RectF& sb = m_r_sidebar;
    const I18n& i18n = I18n::instance();
    fill_rect(sb, m_palette.bar);
    draw_hairline(sb.y, sb.x, sb.x + sb.w);
    fill_rect(RectF{sb.x + sb.w - 1, sb.y, 1, sb.h}, m_palette.divider);

    const RectF clip = mirror(sb);
    cairo_save(m_cr);
    cairo_rectangle(m_cr, clip.x, clip.y, clip.w, clip.h);
    cairo_clip(m_cr);
    m_clip_targets = sb;
    std::lock_guard<std::mutex> lock(m_mutex);

    const float x0 = sb.x + 8;
    const float rw = sb.w - 20;
    float y = static_cast<float>(sb.y + 8 - m_sidebar_scroll);

    SidebarRow overview;
    overview.glyph = Glyph::Gear;
    overview.colour = kAccentPink;
    overview.title = i18n.tr("Overview");
    overview.title_font = Font::BodyBold;
    overview.text_width = rw - 55;
    overview.status = m_scanning ? i18n.tr("scanning …") : ltr(fmt::bytes(total_reclaimable()));
    overview.tint = m_palette.accent;
    overview.selected = m_selection.empty();
    overview.hovered = m_hover_act == Act::SelectOverview;
    overview.act = Act::SelectOverview;
    draw_sidebar_row(RectF{x0, y, rw, kRowHeight}, overview);
    y += 50;

    if (!m_manual.empty()) {
        SidebarRow manual;
        manual.glyph = Glyph::Folder;
        manual.colour = kDangerRed;
        manual.tint = kDangerRed;
        manual.title = i18n.tr("Remove manually");
        manual.title_font = Font::BodyBold;
        manual.text_width = rw - 90;
        manual.status = i18n.tr("your file manager can do it");
        manual.badge = static_cast<int>(m_manual.size());
        manual.selected = m_selection == SEL_MANUAL;
        manual.hovered = m_hover_act == Act::SelectManual;
        manual.act = Act::SelectManual;
        draw_sidebar_row(RectF{x0, y, rw, kRowHeight}, manual);
        y += 50;
    }

    for (const VisibleGroup& group : visible_groups()) {
        const std::string gc = catalog::group_color(group.group);
        const float group_height =
            26 + kRowHeight * static_cast<float>(group.categories.size()) + 6;
        if (y + group_height < sb.y || y > sb.y + sb.h) {
            y += group_height;
            continue;
        }
        Rgb group_rgb;
        if (hex_to_rgb(gc, group_rgb)) {
            draw_glyph(catalog::group_glyph(group.group), RectF{sb.x + 16, y + 9, 13, 13},
                       group_rgb);
        }
        draw_label(truncate_to_width(upper_utf8(i18n.tr(catalog::group_title(group.group))),
                                     Font::CaptionBold, sb.w - 108),
                   Font::CaptionBold, RectF{sb.x + 35, y + 6, sb.w - 108, 20}, gc);
        if (group.size > 0) {
            draw_label_right(ltr(fmt::bytes(group.size)), Font::Caption,
                             RectF{sb.x + 16, y + 6, sb.w - 36, 20}, m_palette.secondary);
        }
        y += 26;
        for (int i : group.categories) {
            // Rows scrolled out of sight cost nothing but their height.
            if (y + kRowHeight < sb.y || y > sb.y + sb.h) {
                y += kRowHeight;
                continue;
            }
            const CatState& cs = m_cats[static_cast<std::size_t>(i)];
            SidebarRow row;
            row.glyph = cs.def.glyph;
            row.colour = gc;
            row.tint = gc;
            row.title = i18n.tr(cs.def.title.c_str());
            row.badge = selected_items(cs);
            row.text_width = row.badge > 0 ? rw - 85 : rw - 55;
            if (cs.scanning || !cs.did_scan) {
                row.status = i18n.tr("scanning …");
            } else if (cs.partial() && cs.total_size() == 0) {
                // Not measured is not empty: no "0 B" for a size nobody knows.
                row.status = "?";
            } else if (cs.items.empty()) {
                row.status = i18n.tr("empty");
            } else {
                row.status = ltr((cs.partial() ? "≥ " : "") + fmt::bytes(cs.total_size()));
            }
            row.selected = m_selection == cs.def.id;
            row.selected_alpha = 0.16;
            row.hovered = m_hover_act == Act::SelectCategory && m_hover_index == i;
            row.act = Act::SelectCategory;
            row.index = i;
            draw_sidebar_row(RectF{x0, y, rw, kRowHeight}, row);
            y += kRowHeight;
        }
        y += 6;
    }

    m_sidebar_height = y + m_sidebar_scroll - sb.y + 10;
    m_clip_targets = RectF{};
    cairo_restore(m_cr);
}
