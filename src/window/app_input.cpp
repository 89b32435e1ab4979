// app_input — routing pointer and keyboard events. A click goes to the screen
// that registered the target under the pointer, a key to the open overlay or
// else to the toolbar's shortcuts and the content screen; what the input does
// is decided in those screens' files, not here.
//
// Sections:
//   Hit testing
//   Routing
//   Hover
#include <gdk/gdkkeysyms.h>

#include "window/app.h"

// --- Hit testing ---

App::HitTarget App::hit_test(double x, double y, bool right) const {
    HitTarget found;
    for (const HitTarget& t : m_targets) {
        // A kept entry's card takes no tick, but the secondary button still
        // shows the entry in the file manager.
        const bool reachable = t.enabled || (right && t.act == Act::ToggleItem);
        if (reachable && t.rect.contains(x, y))
            found = t;
    }
    return found;
}

// --- Routing ---

void App::overlay_back() {
    const bool from_settings = m_overlay == Overlay::Language || m_overlay == Overlay::KeepList;
    m_overlay = from_settings ? Overlay::Settings : Overlay::None;
}

void App::on_click(double x, double y, bool right) {
    const HitTarget target = hit_test(x, y, right);
    const Overlay before = m_overlay;
    // An overlay takes every click: one outside its own controls closes it.
    if (m_overlay != Overlay::None && target.act == Act::None) {
        overlay_back();
        track_overlay_focus(before);
        request_redraw();
        return;
    }
    route_click(target, right);
    note_click_focus(target, before);
    request_redraw();
}

void App::route_click(const HitTarget& target, bool right) {
    switch (target.screen) {
        case Screen::Toolbar:
            toolbar_on_click(target);
            break;
        case Screen::Sidebar:
            sidebar_on_click(target, right);
            break;
        case Screen::Dialog:
            dialog_on_click(target);
            break;
        case Screen::About:
            about_on_click(target);
            break;
        case Screen::Settings:
            settings_on_click(target);
            break;
        case Screen::Language:
            language_on_click(target);
            break;
        case Screen::KeepList:
            keep_list_on_click(target);
            break;
        case Screen::Content:
            content_on_click(target);
            break;
        case Screen::Overview:
            overview_on_click(target);
            break;
        case Screen::Category:
            category_on_click(target, right);
            break;
        case Screen::Footer:
            footer_on_click(target);
            break;
        case Screen::Manual:
            manual_on_click(target);
            break;
        case Screen::None:
            break;
    }
}

void App::on_key(unsigned keyval, GdkModifierType state) {
    const Overlay before = m_overlay;
    if (m_overlay != Overlay::None && overlay_on_key(keyval, state)) {
        track_overlay_focus(before);
        return;
    }
    if (focus_on_key(keyval, state)) {
        track_overlay_focus(before);
        return;
    }
    if (toolbar_on_key(keyval, state))
        return;
    content_on_key(keyval, state);
}

void App::on_wheel(double x, double y, double step) {
    if (mirror(m_r_sidebar).contains(x, y)) {
        sidebar_on_wheel(step);
    } else {
        scroll_content(step);
    }
}

// --- Hover ---

void App::on_motion(double x, double y) {
    m_mouse_x = x;
    m_mouse_y = y;
    const HitTarget t = hit_test(x, y);
    if (t.act != m_hover_act || t.index != m_hover_index) {
        m_hover_act = t.act;
        m_hover_index = t.index;
        request_redraw();
    } else if (t.act == Act::LegendEntry || m_highlight_group >= 0) {
        request_redraw();
    }
}
