// frame — one frame from start to end: the four regions, then each screen in
// turn (toolbar, sidebar, content, footer).
#include <pango/pangocairo.h>

#include <algorithm>

#include "base/i18n.h"
#include "window/app.h"

namespace {

constexpr double kToolbarHeight = 46;
constexpr double kFooterHeight = 74;
constexpr double kSidebarShare = 0.34;
constexpr double kSidebarMax = 268;

}  // namespace

// --- Frame ---

void App::draw_frame(cairo_t* cr, double width, double height) {
    ensure_pango();
    m_width = width;
    m_height = height;
    draw_all(cr);
}

void App::compute_layout() {
    const double w = m_width, h = m_height;
    const double middle = std::max(h - kToolbarHeight - kFooterHeight, 0.0);
    double sidebar = kSidebarShare * w;
    if (sidebar > kSidebarMax)
        sidebar = kSidebarMax;
    if (sidebar <= 0)
        sidebar = 0;
    const auto f = [](double v) { return static_cast<float>(v); };
    m_r_toolbar = RectF{0, 0, f(w), f(kToolbarHeight)};
    m_r_footer = RectF{0, f(h - kFooterHeight), f(w), f(kFooterHeight)};
    m_r_sidebar = RectF{0, f(kToolbarHeight), f(sidebar), f(middle)};
    m_r_content = RectF{f(sidebar), f(kToolbarHeight), f(w - sidebar), f(middle)};
}

void App::draw_all(cairo_t* cr) {
    m_cr = cr;
    m_rtl = I18n::instance().is_rtl();
    m_targets.clear();
    compute_layout();
    fill_rect(RectF{0, 0, static_cast<float>(m_width), static_cast<float>(m_height)},
              m_palette.window);
    draw_toolbar();
    draw_sidebar();
    draw_content();
    draw_footer();
    if (m_overlay != Overlay::None)
        draw_overlay();
    m_cr = nullptr;
}

// --- Footer ---

void App::draw_footer() {
    m_drawing = Screen::None;
    fill_rect(m_r_footer, m_palette.bar);
    draw_hairline(m_r_footer.y, 0, m_width);
}
