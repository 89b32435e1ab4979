// overview — the content screen without a chosen category: a hero card with
// the reclaimable total, a donut of that total by group with a legend that
// highlights one group, and the biggest categories with proportional bars.
// Until something is found it shows the scanning, unfinished or empty state.
// Clicking a legend row toggles its highlight; clicking a listed category
// opens it.
//
// Sections:
//   Hero card
//   Donut
//   Top consumers
//   Screen
//   Input
#include <algorithm>
#include <cmath>

#include "base/format.h"
#include "base/i18n.h"
#include "window/app.h"

namespace {

constexpr float kMargin = 22;    // from the content's left edge and top
constexpr float kTrailing = 28;  // from the content's right edge, beside the thumb
constexpr float kCardGap = 20;   // between two cards
constexpr float kHeroHeight = 128;
constexpr double kLegendRow = 26;  // one legend row and its spacing
constexpr double kDonutMinHeight = 268;
constexpr double kDonutPadding = 74;     // title line and the card's top and bottom margins
constexpr double kDonutMax = 220;        // largest chart diameter
constexpr double kHoleShare = 0.58;      // inner radius over outer radius
constexpr double kSegmentGap = 0.022;    // radians left blank at each end of a segment
constexpr double kLabelledSweep = 0.38;  // radians a segment needs for its size label
constexpr int kTopRows = 8;
constexpr float kTopRow = 52;  // one list row and its spacing
constexpr double kDimmedAlpha = 0.3;

// One donut segment: a group and its share of the total.
struct Slice {
    GroupKind group = GroupKind::Ides;
    std::int64_t size = 0;
    std::string colour;
    bool partial = false;  // a category of the group undercounts
};

const char* tr(const char* key) {
    return I18n::instance().tr(key);
}

// Groups with a non-zero total, in group order.
std::vector<Slice> group_slices(const std::vector<CatState>& cats) {
    std::vector<Slice> slices;
    for (int g = 0; g < static_cast<int>(GroupKind::_Count); ++g) {
        Slice s;
        s.group = static_cast<GroupKind>(g);
        for (const CatState& cs : cats) {
            if (cs.def.group != s.group)
                continue;
            s.size += cs.total_size();
            s.partial = s.partial || cs.not_answering || cs.list_partial;
            for (const Item& it : cs.items)
                s.partial = s.partial || it.size < 0;
        }
        if (s.size <= 0)
            continue;
        s.colour = catalog::group_color(s.group);
        slices.push_back(std::move(s));
    }
    return slices;
}

}  // namespace

// --- Hero card ---

void App::draw_hero_card(RectF k) {
    fill_round_rect_gradient(k, 18, kBrandPink, kBrandOrange, 1.0);
    // One shade for every text of the card, readable on both gradient ends.
    const std::string ink = text_on_fill(kBrandPink, kMinTextContrast);
    const float col = 0.6f * k.w;
    const float x = k.x + 24;
    bool partial = false;
    for (const CatState& cs : m_cats)
        partial = partial || undercounts(cs);
    draw_label(truncate_to_width(tr("Storage to reclaim"), Font::Caption, col), Font::Caption,
               RectF{x, k.y + 18, col, 16}, ink, 0.88);
    draw_label(truncate_to_width(ltr(fmt::bytes(total_reclaimable())), Font::Hero, col), Font::Hero,
               RectF{x, k.y + 38, col, 46}, ink);
    const char* caption = partial ? "found so far; some entries could not be measured"
                                  : "of developer leftovers found on this machine";
    draw_label(truncate_to_width(tr(caption), Font::Caption, col), Font::Caption,
               RectF{x, k.y + 88, col, 16}, ink, 0.85);

    const auto stat = [&](float top, const std::string& value, const char* label) {
        const std::string l = tr(label);
        const float bw = static_cast<float>(std::max(measure_text(l, Font::Caption),
                                                     measure_text(value, Font::MonoBold))) +
                         26;
        const RectF box{k.x + k.w - bw - 20, top, bw, 44};
        fill_round_rect(box, 12, "#FFFFFF", 0.18);
        draw_label_center(value, Font::MonoBold, RectF{box.x, top + 4, bw, 20}, ink);
        draw_label_center(l, Font::Caption, RectF{box.x, top + 23, bw, 16}, ink, 0.85);
    };
    stat(k.y + 16, ltr(fmt::bytes(safe_reclaimable())), "safe to delete");
    stat(k.y + 68, ltr(fmt::count(selected_count())), "selected");
}

// --- Donut ---

double App::donut_card_height() {
    const double n = static_cast<double>(group_slices(m_cats).size());
    return std::max(n * kLegendRow + kDonutPadding, kDonutMinHeight);
}

void App::draw_donut(RectF k) {
    std::vector<Slice> slices = group_slices(m_cats);
    const std::int64_t total = total_reclaimable();
    if (total < 1 || slices.empty())
        return;
    std::stable_sort(slices.begin(), slices.end(),
                     [](const Slice& a, const Slice& b) { return a.size > b.size; });
    double d = k.h - 48;
    const double big_r = d < kDonutMax ? d / 2 : kDonutMax / 2;
    d = std::min(d, kDonutMax);
    const double small_r = big_r * kHoleShare;
    const double cx = k.x + 24 + big_r;  // layout x; the chart itself is never mirrored
    const double cy = k.y + k.h / 2;
    const double screen_cx = mirror_x(cx);

    double a = -M_PI / 2;
    for (const Slice& s : slices) {
        const double sweep = static_cast<double>(s.size) / static_cast<double>(total) * 2 * M_PI;
        const double gap = std::min(kSegmentGap, sweep / 3);
        const bool lit = m_highlight_group < 0 || m_highlight_group == static_cast<int>(s.group);
        Rgb c;
        hex_to_rgb(s.colour, c);
        cairo_set_source_rgba(m_cr, c.r, c.g, c.b, lit ? 1.0 : kDimmedAlpha);
        cairo_new_path(m_cr);
        cairo_arc(m_cr, screen_cx, cy, big_r, a + gap, a + sweep - gap);
        cairo_arc_negative(m_cr, screen_cx, cy, small_r, a + sweep - gap, a + gap);
        cairo_close_path(m_cr);
        cairo_fill(m_cr);
        if (sweep > kLabelledSweep) {
            const std::string label = ltr(fmt::bytes_short(s.size));
            const double tw = measure_text(label, Font::CaptionBold);
            const double m = a + sweep / 2, rr = (big_r + small_r) / 2;
            // The point is on screen; the label box is given in layout terms.
            const double centre = mirror_x(screen_cx + rr * std::cos(m));
            draw_label_center(label, Font::CaptionBold,
                              RectF{static_cast<float>(centre - (tw + 2) / 2),
                                    static_cast<float>(cy + rr * std::sin(m) - 8),
                                    static_cast<float>(tw + 2), 16},
                              text_on_fill(s.colour, kMinTextContrast));
        }
        a += sweep;
    }

    const RectF hole{static_cast<float>(cx - small_r), 0, static_cast<float>(2 * small_r), 0};
    const auto centred = [&](const std::string& text, Font font, double top, double h,
                             const std::string& colour) {
        draw_label_center(text, font,
                          RectF{hole.x, static_cast<float>(top), hole.w, static_cast<float>(h)},
                          colour);
    };
    centred(tr("total"), Font::Caption, cy - 26, 16, m_palette.secondary);
    centred(ltr(fmt::bytes_short(total)), Font::Title, cy - 10, 24, m_palette.text);
    centred(truncate_to_width(tr(catalog::group_title(slices[0].group)), Font::CaptionBold,
                              1.9 * small_r),
            Font::CaptionBold, cy + 14, 16,
            readable_on(slices[0].colour, m_palette.bar, kMinTextContrast));

    const float lx = static_cast<float>(k.x + 24 + d + 28);
    const float lw = k.x + k.w - lx - 20;
    const double n = static_cast<double>(slices.size());
    const float ty =
        static_cast<float>(std::max(cy - (n * kLegendRow + kLegendRow) / 2, k.y + 24.0));
    draw_label(truncate_to_width(tr("Usage by area"), Font::BodyBold, lw), Font::BodyBold,
               RectF{lx, ty, lw, 20}, m_palette.text);
    float y = ty + static_cast<float>(kLegendRow);
    for (const Slice& s : slices) {
        const RectF row{lx - 6, y, lw + 6, 24};
        if (m_highlight_group == static_cast<int>(s.group))
            fill_round_rect(row, 7, s.colour, 0.16);
        fill_round_rect(RectF{row.x + 7, row.y + 7, 10, 10}, 5, s.colour);
        draw_label(truncate_to_width(tr(catalog::group_title(s.group)), Font::Body, lw - 156),
                   Font::Body, RectF{row.x + 24, row.y, lw - 156, 24}, m_palette.text);
        const long percent =
            std::lround(static_cast<double>(s.size) * 100.0 / static_cast<double>(total));
        draw_label_right(ltr(fmt::count(percent) + " %"), Font::Caption,
                         RectF{row.x, row.y, row.w - 94, 24}, m_palette.secondary);
        draw_label_right(size_text(s.size, s.partial), Font::MonoBold,
                         RectF{row.x, row.y, row.w - 6, 24}, m_palette.text);
        add_target(row, Act::LegendEntry, static_cast<int>(s.group));
        y += static_cast<float>(kLegendRow);
    }
}

// --- Top consumers ---

void App::draw_top_consumers(RectF area, double& y) {
    std::vector<int> order;
    for (std::size_t i = 0; i < m_cats.size(); ++i) {
        if (!m_cats[i].items.empty() && m_cats[i].total_size() > 0)
            order.push_back(static_cast<int>(i));
    }
    if (order.empty())
        return;
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return m_cats[static_cast<std::size_t>(a)].total_size() >
               m_cats[static_cast<std::size_t>(b)].total_size();
    });
    if (order.size() > static_cast<std::size_t>(kTopRows))
        order.resize(kTopRows);
    const float top = static_cast<float>(y);
    const RectF card{area.x, top, area.w, static_cast<float>(order.size()) * kTopRow + 64};
    fill_round_rect(card, 16, m_palette.bar);
    // Ticking by age across every category starts where the big ones are.
    const std::string old = tr("Old safe entries …");
    const float old_w = static_cast<float>(measure_text(old, Font::Body)) + 26;
    add_target(draw_button(area.x + area.w - 16 - old_w, top + 10, old, false, true),
               Act::SelectOld);
    const float title_w = area.w - 40 - old_w - 10;
    draw_label(truncate_to_width(tr("Biggest consumers"), Font::BodyBold, title_w), Font::BodyBold,
               RectF{area.x + 20, top + 14, title_w, 22}, m_palette.text);
    const std::int64_t largest = m_cats[static_cast<std::size_t>(order[0])].total_size();
    float ry = top + 46;
    int rank = 0;
    for (int i : order) {
        const CatState& cs = m_cats[static_cast<std::size_t>(i)];
        const std::string gc = catalog::group_color(cs.def.group);
        const std::int64_t size = cs.total_size();
        const RectF row{area.x + 12, ry, area.w - 24, 48};
        if (m_hover_act == Act::TopConsumer && m_hover_index == i)
            fill_round_rect(row, 9, m_palette.text, 0.05);
        draw_label(ltr(fmt::count(++rank)), Font::Caption, RectF{row.x + 8, row.y, 16, 48},
                   m_palette.secondary);
        draw_icon_chip(cs.def.glyph, RectF{row.x + 28, row.y + 10, 28, 28}, gc);
        const std::string value = size_text(size, undercounts(cs));
        const float name_w = std::max(
            row.w - 78 - static_cast<float>(measure_text(value, Font::MonoBold)) - 12, 0.0f);
        draw_label(truncate_to_width(tr(cs.def.title.c_str()), Font::Body, name_w), Font::Body,
                   RectF{row.x + 68, row.y + 6, name_w, 18}, m_palette.text);
        draw_label_right(value, Font::MonoBold, RectF{row.x, row.y + 6, row.w - 10, 18},
                         m_palette.text);
        draw_bar(RectF{row.x + 68, row.y + 30, row.w - 78, 7},
                 largest > 0 ? static_cast<double>(size) / static_cast<double>(largest) : 0, gc);
        add_target(row, Act::TopConsumer, i);
        ry += kTopRow;
    }
    y = card.y + card.h;
}

// --- Screen ---

void App::draw_overview() {
    m_drawing = Screen::Overview;
    const RectF& c = m_r_content;
    std::lock_guard<std::mutex> lock(m_mutex);
    const std::vector<Slice> slices = group_slices(m_cats);
    // A highlighted group that no longer holds anything would leave every
    // segment dimmed with nothing to click to undo it.
    const bool highlight_shown = std::any_of(slices.begin(), slices.end(), [this](const Slice& s) {
        return static_cast<int>(s.group) == m_highlight_group;
    });
    if (!highlight_shown)
        m_highlight_group = -1;
    if (total_reclaimable() == 0) {
        if (m_scanning) {
            draw_scanning_state(c);
        } else if (scan_unfinished()) {
            draw_unfinished_state(c);
        } else {
            draw_empty_state(c);
        }
        m_content_height = c.h;
        return;
    }
    const float x = c.x + kMargin;
    const float w = c.w - kMargin - kTrailing;
    float top = c.y + kMargin - static_cast<float>(m_scroll);
    draw_hero_card(RectF{x, top, w, kHeroHeight});
    top += kHeroHeight + kCardGap;
    const RectF donut{x, top, w, static_cast<float>(donut_card_height())};
    fill_round_rect(donut, 16, m_palette.bar);
    draw_donut(donut);
    double bottom = donut.y + donut.h + kCardGap;
    const double list_top = bottom;
    draw_top_consumers(RectF{x, static_cast<float>(bottom), w, 0}, bottom);
    if (bottom == list_top)
        bottom -= kCardGap;
    m_content_height = m_scroll + bottom - c.y + kMargin;
}

// --- Input ---

void App::overview_on_click(const HitTarget& target) {
    if (target.act == Act::SelectOld) {
        ask_age(true);
        return;
    }
    std::lock_guard<std::mutex> lock(m_mutex);
    switch (target.act) {
        case Act::LegendEntry:
            m_highlight_group = m_highlight_group == target.index ? -1 : target.index;
            break;
        case Act::TopConsumer:
            if (target.index < 0 || static_cast<std::size_t>(target.index) >= m_cats.size())
                return;  // a target of a frame drawn before the categories changed
            m_selection = m_cats[static_cast<std::size_t>(target.index)].def.id;
            m_scroll = 0;
            break;
        default:
            break;
    }
}
