// frame — one frame from start to end: the four regions, the toolbar
// along the top, the content region's dispatch and scroll thumb, and the
// footer along the bottom.
#include <pango/pangocairo.h>

#include <algorithm>

#include "window/app.h"
#include "base/i18n.h"

namespace {

constexpr double kToolbarHeight = 46;
constexpr double kFooterHeight = 74;
constexpr double kSidebarShare = 0.34;
constexpr double kSidebarMax = 268;

const char* tr(const char* key) {
    return I18n::instance().tr(key);
}

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
    m_cr = nullptr;
}

// --- Toolbar ---

void App::draw_toolbar() {
    fill_rect(m_r_toolbar, m_palette.bar);
    draw_hairline(kToolbarHeight, 0, m_width);
    draw_icon_chip(Glyph::Gear, RectF{13.2f, 10, 26, 26}, "#FF599E");
    const char* product = "Brushwick";  // a name, never translated
    draw_label(product, Font::Title,
               RectF{47.2f, 0, static_cast<float>(measure_text(product, Font::Title)),
                     static_cast<float>(kToolbarHeight)},
               m_palette.text);

    // Buttons from the right edge inwards, 8 px apart.
    double right = m_width - 13.2;
    const auto place = [&](const char* label, bool prominent, bool enabled, Act act) {
        const std::string text = tr(label);
        const double w = measure_text(text, Font::Body) + 26;
        const RectF r = draw_button(right - w, 8, text, prominent, enabled);
        add_target(r, act, 0);
        right -= w + 8;
    };
    place("About", false, true, Act::About);
    place("Settings", m_overlay == Overlay::Settings, true, Act::AppMenu);
    // While a deletion runs nothing may interrupt it, but the button keeps its
    // place so the toolbar does not jump.
    if (m_scanning || m_cleaning) {
        place("Cancel", false, !m_cleaning, Act::CancelScan);
    } else {
        place("Rescan", false, true, Act::Rescan);
    }
}

// --- Content ---

void App::draw_content() {
    if (m_r_content.empty())
        return;
    const RectF clip = mirror(m_r_content);
    cairo_save(m_cr);
    cairo_rectangle(m_cr, clip.x, clip.y, clip.w, clip.h);
    cairo_clip(m_cr);
    m_content_height = m_r_content.h;
    // The overview and the category screens draw their lists here; until
    // something has been found, the whole area tells what is going on.
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
    const double track = h - 12;
    const double thumb = std::max(track * h / m_content_height, 28.0);
    const double top =
        m_r_content.y + 6 + m_scroll / std::max(m_content_height - h, 1.0) * (track - thumb);
    fill_round_rect(RectF{m_r_content.x + m_r_content.w - 8, static_cast<float>(top), 4,
                          static_cast<float>(thumb)},
                    2, m_palette.text, 0.22);
}

// --- Footer ---

void App::draw_footer() {
    fill_rect(m_r_footer, m_palette.bar);
    draw_hairline(m_r_footer.y, 0, m_width);
}
