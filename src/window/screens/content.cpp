// content — the region right of the sidebar: which screen fills it, the
// scroll thumb along its edge, and the keys that scroll it.
#include <gdk/gdkkeysyms.h>

#include <algorithm>

#include "window/app.h"

namespace {

constexpr double kLineStep = 60;     // Up and Down
constexpr double kPageOverlap = 60;  // Page Up and Down keep this much in view
constexpr double kMinPage = 80;
constexpr double kThumbMargin = 6;  // from the region's top and bottom to the track
constexpr double kMinThumb = 28;

}  // namespace

// --- Drawing ---

void App::draw_content() {
    if (m_r_content.empty())
        return;
    m_drawing = Screen::Content;
    const RectF clip = mirror(m_r_content);
    cairo_save(m_cr);
    cairo_rectangle(m_cr, clip.x, clip.y, clip.w, clip.h);
    cairo_clip(m_cr);
    m_content_height = m_r_content.h;
    // Until something has been found, the whole area tells what is going on.
    std::int64_t total = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        total = total_reclaimable();
    }
    if (total == 0 && m_selection.empty()) {
        if (m_scanning) {
            draw_scanning_state(m_r_content);
        } else {
            draw_empty_state(m_r_content);
        }
    }
    cairo_restore(m_cr);

    const double h = m_r_content.h;
    if (m_content_height <= h)
        return;
    const double track = h - 2 * kThumbMargin;
    const double thumb = std::max(track * h / m_content_height, kMinThumb);
    const double top = m_r_content.y + kThumbMargin +
                       m_scroll / std::max(m_content_height - h, 1.0) * (track - thumb);
    fill_round_rect(RectF{m_r_content.x + m_r_content.w - 8, static_cast<float>(top), 4,
                          static_cast<float>(thumb)},
                    2, m_palette.text, 0.22);
}

// --- Input ---

void App::scroll_content(double delta) {
    const double max_scroll = std::max(0.0, m_content_height - m_r_content.h);
    m_scroll = std::clamp(m_scroll + delta, 0.0, max_scroll);
    request_redraw();
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
        default:
            return false;
    }
}
