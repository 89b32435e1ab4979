// toolbar — the bar along the top: the product chip and name, and the About,
// Settings and Rescan/Cancel buttons from the trailing edge inwards. It owns
// the scan shortcuts (F5, Ctrl+R) too, since they do what its button does.
#include <gdk/gdkkeysyms.h>

#include "base/i18n.h"
#include "window/app.h"

namespace {

constexpr double kEdge = 13.2;         // from the window's edges to the chip and the buttons
constexpr double kButtonGap = 8;       // between two buttons
constexpr double kButtonPadding = 26;  // a button's width beyond its label

}  // namespace

// --- Drawing ---

void App::draw_toolbar() {
    m_drawing = Screen::Toolbar;
    fill_rect(m_r_toolbar, m_palette.bar);
    draw_hairline(m_r_toolbar.h, 0, m_width);
    draw_icon_chip(Glyph::Gear, RectF{static_cast<float>(kEdge), 10, 26, 26}, kBrandPink);
    const char* product = "Brushwick";  // a name, never translated
    draw_label(
        product, Font::Title,
        RectF{47.2f, 0, static_cast<float>(measure_text(product, Font::Title)), m_r_toolbar.h},
        m_palette.text);

    double right = m_width - kEdge;
    const auto place = [&](const char* label, bool prominent, bool enabled, Act act) {
        const std::string text = I18n::instance().tr(label);
        const double w = measure_text(text, Font::Body) + kButtonPadding;
        const RectF r = draw_button(right - w, 8, text, prominent, enabled);
        add_target(r, act, 0, enabled);
        right -= w + kButtonGap;
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

// --- Input ---

void App::toolbar_on_click(const HitTarget& target) {
    switch (target.act) {
        case Act::Rescan:
            if (!m_scanning && !m_cleaning)
                start_scan();
            break;
        case Act::CancelScan:
            m_cancel = true;
            break;
        case Act::About:
            m_overlay = Overlay::About;
            break;
        case Act::AppMenu:
            open_settings();
            break;
        default:
            break;
    }
}

bool App::toolbar_on_key(unsigned keyval, GdkModifierType state) {
    const bool rescan =
        keyval == GDK_KEY_F5 || (keyval == GDK_KEY_r && (state & GDK_CONTROL_MASK) != 0);
    if (!rescan)
        return false;
    // Like the button: a running deletion is never interrupted, and starting a
    // scan would wait for it on the main thread.
    if (!m_cleaning)
        start_scan();
    request_redraw();
    return true;
}
