// frame — one frame from start to end: the language of its text, the four
// regions, then each screen in turn (toolbar, sidebar, content, footer; later
// ones lie on top, and their targets win).
#include <pango/pangocairo.h>

#include <algorithm>

#include "base/i18n.h"
#include "window/app.h"

namespace {

constexpr double kToolbarHeight = 46;
constexpr double kFooterHeight = 74;
constexpr double kSidebarShare = 0.34;
constexpr double kSidebarMax = 268;
// Below this window width the sidebar gives way to the content, down to
// kSidebarNarrow, so that a 900 px window still fits the category header.
constexpr double kNarrowWindow = 1000;
constexpr double kSidebarNarrow = 224;

}  // namespace

// --- Frame ---

void App::draw_window(cairo_t* cr, double width, double height) {
    cairo_save(cr);
    cairo_scale(cr, m_zoom, m_zoom);
    draw_frame(cr, width / m_zoom, height / m_zoom);
    cairo_restore(cr);
}

void App::draw_frame(cairo_t* cr, double width, double height) {
    ensure_pango();
    sync_pango_language();
    m_width = width;
    m_height = height;
    m_frame_labels.clear();
    draw_all(cr);
    update_accessible_nodes();
    announce_selection();
}

void App::sync_pango_language() {
    const std::string& code = I18n::instance().effective_language();
    if (code == m_pango_language)
        return;
    m_pango_language = code;
    pango_context_set_language(m_pango, pango_language_from_string(code.c_str()));
    // Fonts chosen for another script measure differently.
    m_text_widths.clear();
    drop_layouts();
    std::fill(std::begin(m_font_heights), std::end(m_font_heights), 0.0);
}

void App::compute_layout() {
    const double w = m_width, h = m_height;
    const double middle = std::max(h - kToolbarHeight - kFooterHeight, 0.0);
    double sidebar = kSidebarShare * w;
    if (sidebar > kSidebarMax)
        sidebar = kSidebarMax;
    if (w < kNarrowWindow && sidebar > kSidebarNarrow)
        sidebar = kSidebarNarrow;
    if (sidebar <= 0)
        sidebar = 0;
    const auto f = [](double v) { return static_cast<float>(v); };
    m_r_toolbar = RectF{0, 0, f(w), f(kToolbarHeight)};
    m_r_footer = RectF{0, f(h - kFooterHeight), f(w), f(kFooterHeight)};
    m_r_sidebar = RectF{0, f(kToolbarHeight), f(sidebar), f(middle)};
    m_r_content = RectF{f(sidebar), f(kToolbarHeight), f(w - sidebar), f(middle)};
}

void App::draw_main_view() {
    fill_rect(RectF{0, 0, static_cast<float>(m_width), static_cast<float>(m_height)},
              m_palette.window);
    draw_toolbar();
    draw_sidebar();
    draw_content();
    draw_footer();
}

void App::draw_all(cairo_t* cr) {
    m_cr = cr;
    m_rtl = I18n::instance().is_rtl();
    m_targets.clear();
    m_hidden_targets.clear();
    compute_layout();
    if (m_overlay == Overlay::None) {
        // A picture of the whole window is worth keeping only while it stays still.
        drop_view_cache();
        draw_main_view();
    } else {
        if (!m_view_cache_enabled || !draw_backdrop_from_cache()) {
            draw_main_view();
            draw_scrim();
        }
        draw_overlay();
    }
    draw_focus_ring();
    m_cr = nullptr;
}
