// app_input — turning pointer and keyboard events into state changes by
// looking up the hit targets the last frame registered.
//
// Sections:
//   Hit testing and dispatch
//   Keyboard and scrolling
//   Hover
#include <gdk/gdkkeysyms.h>

#include <algorithm>

#include "window/app.h"

namespace {

constexpr double kLineStep = 60;

bool valid_index(int index, std::size_t size) {
    return index >= 0 && static_cast<std::size_t>(index) < size;
}

}  // namespace

// --- Hit testing and dispatch ---

App::HitTarget App::hit_test(double x, double y) const {
    HitTarget found;
    for (const HitTarget& t : m_targets) {
        if (t.rect.contains(x, y))
            found = t;
    }
    return found;
}

void App::overlay_back() {
    m_overlay = m_overlay == Overlay::Language ? Overlay::Settings : Overlay::None;
}

void App::on_click(double x, double y, bool right) {
    (void)right;  // right-click reveals in the file manager, which comes with desktop integration
    if (m_targets.empty() && m_overlay != Overlay::None) {
        overlay_back();
        request_redraw();
        return;
    }
    const HitTarget target = hit_test(x, y);
    if (m_overlay != Overlay::None && target.act == Act::None) {
        overlay_back();
        request_redraw();
        return;
    }
    bool scan_after = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        run_action_locked(target, scan_after);
    }
    // Starting a scan joins the previous worker, which needs the lock.
    if (scan_after)
        start_scan();
    request_redraw();
}

void App::run_action_locked(const HitTarget& target, bool& scan_after) {
    switch (target.act) {
        case Act::SelectOverview:
            m_selection.clear();
            m_scroll = 0;
            break;
        case Act::SelectCategory:
        case Act::TopConsumer:
            if (valid_index(target.index, m_cats.size())) {
                m_selection = m_cats[static_cast<std::size_t>(target.index)].def.id;
                m_scroll = 0;
            }
            break;
        case Act::SelectManual:
            m_selection = SEL_MANUAL;
            m_scroll = 0;
            break;
        case Act::Rescan:
            scan_after = !m_scanning && !m_cleaning;
            break;
        case Act::CancelScan:
            m_cancel = true;
            break;
        case Act::ToggleItem:
            if (CatState* cs = current_category();
                cs != nullptr && valid_index(target.index, cs->items.size())) {
                Item& it = cs->items[static_cast<std::size_t>(target.index)];
                it.selected = !it.selected;
            }
            break;
        case Act::SelectAllSafe:
            if (CatState* cs = current_category())
                select_all_safe(*cs);
            break;
        case Act::SelectNone:
            if (CatState* cs = current_category())
                select_none(*cs);
            break;
        case Act::LegendEntry:
            m_highlight_group = m_highlight_group == target.index ? -1 : target.index;
            break;
        case Act::CloseOverlay:
            overlay_back();
            break;
        default:
            // The remaining actions belong to the overlays, the file manager and
            // deletion, which this build does not offer yet.
            break;
    }
    m_dirty = true;
}

// --- Keyboard and scrolling ---

void App::scroll_content(double delta) {
    const double max_scroll = std::max(0.0, m_content_height - m_r_content.h);
    m_scroll = std::clamp(m_scroll + delta, 0.0, max_scroll);
    request_redraw();
}

void App::on_key(unsigned keyval, GdkModifierType state) {
    const double page = std::max(static_cast<double>(m_r_content.h) - 60, 80.0);
    switch (keyval) {
        case GDK_KEY_Escape:
            if (m_overlay != Overlay::None) {
                overlay_back();
                request_redraw();
            }
            break;
        case GDK_KEY_F5:
            start_scan();
            request_redraw();
            break;
        case GDK_KEY_r:
            if ((state & GDK_CONTROL_MASK) != 0) {
                start_scan();
                request_redraw();
            }
            break;
        case GDK_KEY_Down:
            scroll_content(kLineStep);
            break;
        case GDK_KEY_Page_Down:
            scroll_content(page);
            break;
        case GDK_KEY_Up:
            scroll_content(-kLineStep);
            break;
        case GDK_KEY_Page_Up:
            scroll_content(-page);
            break;
        case GDK_KEY_Home:
            m_scroll = 0;
            request_redraw();
            break;
        default:
            break;
    }
}

void App::on_wheel(double x, double y, double step) {
    if (mirror(m_r_sidebar).contains(x, y)) {
        const double max_scroll = std::max(0.0, m_sidebar_height - m_r_sidebar.h);
        m_sidebar_scroll = std::clamp(m_sidebar_scroll + step, 0.0, max_scroll);
        request_redraw();
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
