// content — the region right of the sidebar: which screen fills it, keeping
// its scroll position valid, the scroll thumb along its edge, and the keys
// that scroll it.
#include <gdk/gdkkeysyms.h>

#include <algorithm>

#include "window/app.h"

namespace {

constexpr double kLineStep = 60;     // Up and Down
constexpr double kPageOverlap = 60;  // Page Up and Down keep this much in view
constexpr double kMinPage = 80;

}  // namespace

// --- Drawing ---

void App::draw_content_screen() {
    m_content_height = m_r_content.h;
    if (m_selection.empty()) {
        draw_overview();
    } else if (m_selection == SEL_MANUAL) {
        draw_manual_list();
    } else {
        draw_category_detail();
    }
}

void App::draw_content() {
    if (m_r_content.empty())
        return;
    const RectF clip = mirror(m_r_content);
    cairo_save(m_cr);
    cairo_rectangle(m_cr, clip.x, clip.y, clip.w, clip.h);
    cairo_clip(m_cr);
    // The height is known only once the screen is drawn. When it no longer
    // covers the scroll position (a larger window, a list that shrank) the
    // frame is drawn again from the clamped position, so no blank page shows.
    const FrameMark mark = frame_mark();
    m_row_list = RowList{};
    for (int pass = 0; pass < 2; ++pass) {
        m_clip_targets = m_r_content;
        m_drawing = Screen::Content;
        draw_content_screen();
        m_clip_targets = RectF{};
        const double max_scroll = std::max(0.0, m_content_height - m_r_content.h);
        const double clamped = std::clamp(m_scroll, 0.0, max_scroll);
        if (clamped == m_scroll)
            break;
        m_scroll = clamped;
        rewind_to(mark);
        fill_rect(m_r_content, m_palette.window);
    }
    cairo_restore(m_cr);
    m_drawing = Screen::Content;
    draw_scroll_thumb(m_r_content, m_scroll, m_content_height);
}

// --- Input ---

void App::scroll_content(double delta) {
    const double max_scroll = std::max(0.0, m_content_height - m_r_content.h);
    m_scroll = std::clamp(m_scroll + delta, 0.0, max_scroll);
    request_redraw();
}

void App::content_on_click(const HitTarget& target) {
    if (target.act == Act::Rescan && !m_scanning && !m_cleaning)
        start_scan();
}

bool App::content_on_key(unsigned keyval, GdkModifierType) {
    const double page = std::max(static_cast<double>(m_r_content.h) - kPageOverlap, kMinPage);
    switch (keyval) {
        case GDK_KEY_Down:
            scroll_content(kLineStep);
            return true;
        case GDK_KEY_Page_Down:
            scroll_content(page);
            return true;
        case GDK_KEY_Up:
            scroll_content(-kLineStep);
            return true;
        case GDK_KEY_Page_Up:
            scroll_content(-page);
            return true;
        case GDK_KEY_Home:
            m_scroll = 0;
            request_redraw();
            return true;
        case GDK_KEY_End:
            // The next frame clamps this to the content's end.
            m_scroll = std::max(m_content_height - m_r_content.h, 0.0);
            request_redraw();
            return true;
        default:
            return false;
    }
}
