// overlay — what every panel over the window shares: the scrim that takes
// every click outside the panel, the dispatch to the open panel, the "Close"
// button, and Escape. The panels themselves live in the files beside this one.
//
// Never lets a click through to the screens below: their targets are dropped
// before the panel registers its own.
//
// Threads: main thread only.
//
// Sections:
//   Drawing
//   Input
#include <gdk/gdkkeysyms.h>

#include "base/i18n.h"
#include "window/app.h"

namespace {

constexpr double kScrimAlpha = 0.35;
constexpr float kCloseHeight = 32;
constexpr float kClosePadding = 34;  // the button's width beyond its label

}  // namespace

// --- Drawing ---

App::Screen App::overlay_screen() const {
    switch (m_overlay) {
        case Overlay::Dialog:
            return Screen::Dialog;
        case Overlay::About:
            return Screen::About;
        case Overlay::Settings:
            return Screen::Settings;
        case Overlay::Language:
            return Screen::Language;
        case Overlay::KeepList:
            return Screen::KeepList;
        case Overlay::None:
            break;
    }
    return Screen::None;
}

void App::draw_scrim() {
    fill_rect(RectF{0, 0, static_cast<float>(m_width), static_cast<float>(m_height)}, "#000000",
              kScrimAlpha);
}

void App::draw_overlay() {
    // The panel is all the frame offers: the window under it neither takes
    // clicks nor names the panel's controls.
    m_targets.clear();
    m_hidden_targets.clear();
    m_frame_labels.clear();
    m_clip_targets = RectF{};
    m_drawing = overlay_screen();
    const RectF window{0, 0, static_cast<float>(m_width), static_cast<float>(m_height)};
    // Registered first, so every control of the panel lies on top of it.
    add_target(window, Act::CloseOverlay);
    switch (m_overlay) {
        case Overlay::Dialog:
            draw_dialog();
            break;
        case Overlay::About:
            draw_about();
            break;
        case Overlay::Settings:
            draw_settings();
            break;
        case Overlay::Language:
            draw_language();
            break;
        case Overlay::KeepList:
            draw_keep_list();
            break;
        case Overlay::None:
            break;
    }
}

void App::draw_close_button(RectF panel, float above) {
    const std::string label = I18n::instance().tr("Close");
    const float w = static_cast<float>(measure_text(label, Font::Body)) + kClosePadding;
    const RectF r{panel.x + (panel.w - w) / 2, panel.y + panel.h - above, w, kCloseHeight};
    fill_round_rect_gradient(r, 9, kBrandPink, kBrandOrange);
    draw_label_center(label, Font::Body, r, "#FFFFFF");
    add_target(r, Act::CloseOverlay);
}

// --- Input ---

bool App::overlay_on_key(unsigned keyval, GdkModifierType state) {
    // The command field has the keyboard first; Escape there only ends
    // editing, and Tab ends it and moves on to the next control.
    if (m_overlay == Overlay::Settings && m_fm_editing &&
        (keyval == GDK_KEY_Tab || keyval == GDK_KEY_ISO_Left_Tab)) {
        fm_commit();
        return false;
    }
    if (m_overlay == Overlay::Settings && m_fm_editing && fm_key(keyval, state)) {
        request_redraw();
        return true;
    }
    if (keyval != GDK_KEY_Escape)
        return false;
    fm_commit();
    overlay_back();
    request_redraw();
    return true;
}
