// app_focus — the keyboard focus of a window without widgets. Every control
// is a hit target of the last frame, so the focus names a control by its
// action and index (and, for rows, by the entry or category the row stands
// for, so that it survives a rescan). Tab and Shift+Tab walk the targets in
// the order they were drawn, which is reading order, mirrored with the layout
// in right-to-left languages; each list (the sidebar, the entries, the manual
// list) is one stop that the arrows move within. Enter and Space do what a
// click does. While an overlay is open the focus stays inside it and comes
// back to where it was when the overlay closes.
//
// Main thread only; takes m_mutex itself where it reads the lists.
//
// Sections:
//   Helpers
//   The focus chain
//   Keys
//   Lists
//   Overlays and the ring
#include <gdk/gdkkeysyms.h>

#include <algorithm>
#include <array>
#include <cmath>

#include "window/app.h"

// --- Helpers ---

namespace {

// The lists whose rows share one Tab stop and move with the arrows.
enum class Family { None, Sidebar, Rows };

Family family_of(App::Act act) {
    switch (act) {
        case App::Act::SelectOverview:
        case App::Act::SelectManual:
        case App::Act::SelectCategory:
            return Family::Sidebar;
        case App::Act::ToggleItem:
        case App::Act::OpenManualItem:
            return Family::Rows;
        default:
            return Family::None;
    }
}

constexpr float kRingGap = 2;    // between a control and its focus ring
constexpr float kRingWidth = 2;  // the ring's line
constexpr float kRingRadius = 9;
constexpr float kLineBand = 12;      // controls whose centres share a band read as one line
constexpr double kRevealMargin = 8;  // room left beside a control scrolled into view

bool same_control(const App::HitTarget& t, App::Act act, int index, App::Screen screen) {
    return t.act == act && t.index == index && t.screen == screen;
}

}  // namespace

// --- The focus chain ---

std::vector<App::HitTarget> App::reading_order() const {
    const Screen only = m_overlay != Overlay::None ? overlay_screen() : Screen::None;
    // Targets are registered in drawing order, which is not always reading
    // order (a bar may be laid out from its far end): order each screen's
    // controls by line, then along the line as the language reads.
    std::vector<std::pair<HitTarget, std::array<int, 3>>> found;
    std::vector<Screen> screens;  // in the order they first drew
    const auto add = [&](const HitTarget& t) {
        if (!focusable(t) || (only != Screen::None && t.screen != only))
            return;
        auto rank = std::find(screens.begin(), screens.end(), t.screen);
        if (rank == screens.end())
            rank = screens.insert(screens.end(), t.screen);
        const RectF& area = t.full.empty() ? t.rect : t.full;
        const RectF logical = mirror(area);
        const int line = static_cast<int>(std::lround((area.y + area.h / 2) / kLineBand));
        found.push_back({t,
                         {static_cast<int>(rank - screens.begin()), line,
                          static_cast<int>(std::lround(logical.x))}});
    };
    // Controls scrolled out of sight are in the order too, where they stand.
    for (const HitTarget& t : m_targets)
        add(t);
    for (const HitTarget& t : m_hidden_targets)
        add(t);
    std::stable_sort(found.begin(), found.end(),
                     [](const auto& a, const auto& b) { return a.second < b.second; });
    std::vector<HitTarget> ordered;
    ordered.reserve(found.size());
    for (const auto& entry : found)
        ordered.push_back(entry.first);
    return ordered;
}

std::vector<App::HitTarget> App::focus_chain() const {
    std::vector<HitTarget> chain;
    for (const HitTarget& t : reading_order()) {
        // A row's keep toggle is reached with K on the row: each list stays
        // one Tab stop.
        if (!t.enabled || t.act == Act::ToggleKeep)
            continue;
        const Family family = family_of(t.act);
        if (family != Family::None && !chain.empty() && family_of(chain.back().act) == family &&
            chain.back().screen == t.screen) {
            // One stop per list: the focused row when it is in view, else the
            // selected one.
            const HitTarget& kept = chain.back();
            const bool kept_focused =
                same_control(kept, m_focus.act, m_focus.index, m_focus.screen);
            if (same_control(t, m_focus.act, m_focus.index, m_focus.screen) ||
                (!kept_focused && !is_selected_row(kept) && is_selected_row(t)))
                chain.back() = t;
            continue;
        }
        chain.push_back(t);
    }
    return chain;
}

bool App::is_selected_row(const HitTarget& t) const {
    switch (t.act) {
        case Act::SelectOverview:
            return m_selection.empty();
        case Act::SelectManual:
            return m_selection == SEL_MANUAL;
        case Act::SelectCategory:
            return t.index >= 0 && static_cast<std::size_t>(t.index) < m_cats.size() &&
                   m_cats[static_cast<std::size_t>(t.index)].def.id == m_selection;
        default:
            return false;
    }
}

bool App::focusable(const HitTarget& t) const {
    if (t.act == Act::None || t.act == Act::MenuItem || (t.rect.empty() && t.full.empty()))
        return false;
    // The scrim behind an overlay closes it when clicked; it is no control.
    return t.act != Act::CloseOverlay || t.rect.w < m_width || t.rect.h < m_height;
}

void App::note_click_focus(const HitTarget& target, Overlay before) {
    // A click moves the focus as in any toolkit, without showing the ring.
    if (focusable(target)) {
        std::lock_guard<std::mutex> lock(m_mutex);
        set_focus(target);
    }
    m_focus_visible = false;
    track_overlay_focus(before);
}

void App::set_focus(const HitTarget& target) {
    std::string key;
    const auto valid = [&](std::size_t n) {
        return target.index >= 0 && static_cast<std::size_t>(target.index) < n;
    };
    const std::size_t i = static_cast<std::size_t>(std::max(target.index, 0));
    if (target.act == Act::SelectCategory && valid(m_cats.size())) {
        key = m_cats[i].def.id;
    } else if (target.act == Act::OpenManualItem && valid(m_manual.size())) {
        key = m_manual[i].path;
    } else if (target.act == Act::ToggleItem) {
        const CatState* cs = current_category();
        if (cs != nullptr && valid(cs->items.size()))
            key = cs->items[i].path;
    }
    m_focus = Focus{target.act, target.index, target.screen, std::move(key)};
}

const App::HitTarget* App::focused_target() const {
    // A control that was disabled under the focus (Cancel once a deletion
    // starts) must not act on Enter.
    for (const HitTarget& t : m_targets) {
        if (t.enabled && same_control(t, m_focus.act, m_focus.index, m_focus.screen))
            return &t;
    }
    return nullptr;
}

void App::resolve_focus() {
    if (m_focus.key.empty())
        return;
    const auto find = [&](const auto& list, const auto& key_of) {
        for (std::size_t i = 0; i < list.size(); ++i) {
            if (key_of(list[i]) == m_focus.key) {
                m_focus.index = static_cast<int>(i);
                return;
            }
        }
    };
    if (m_focus.act == Act::SelectCategory) {
        find(m_cats, [](const CatState& c) { return c.def.id; });
    } else if (m_focus.act == Act::OpenManualItem) {
        find(m_manual, [](const Item& it) { return it.path; });
    } else if (m_focus.act == Act::ToggleItem) {
        if (const CatState* cs = current_category())
            find(cs->items, [](const Item& it) { return it.path; });
    }
}

// --- Keys ---

bool App::focus_on_key(unsigned keyval, GdkModifierType state) {
    switch (keyval) {
        case GDK_KEY_Tab:
        case GDK_KEY_KP_Tab:
        case GDK_KEY_ISO_Left_Tab: {
            const bool back = keyval == GDK_KEY_ISO_Left_Tab || (state & GDK_SHIFT_MASK) != 0;
            std::lock_guard<std::mutex> lock(m_mutex);
            resolve_focus();
            const std::vector<HitTarget> chain = focus_chain();
            if (chain.empty())
                return true;
            // A row out of view still counts as its list's stop.
            const Family family = family_of(m_focus.act);
            auto at = std::find_if(chain.begin(), chain.end(), [&](const HitTarget& t) {
                return same_control(t, m_focus.act, m_focus.index, m_focus.screen) ||
                       (family != Family::None && family_of(t.act) == family &&
                        t.screen == m_focus.screen);
            });
            std::size_t next = 0;
            if (at == chain.end()) {
                next = back ? chain.size() - 1 : 0;
            } else {
                const std::size_t pos = static_cast<std::size_t>(at - chain.begin());
                next = back ? (pos + chain.size() - 1) % chain.size() : (pos + 1) % chain.size();
            }
            set_focus(chain[next]);
            m_focus_visible = true;
            if (family_of(m_focus.act) == Family::Rows)
                scroll_row_into_view(m_focus.index);
            else
                scroll_target_into_view(chain[next]);
            request_redraw();
            return true;
        }
        case GDK_KEY_Return:
        case GDK_KEY_KP_Enter:
        case GDK_KEY_space:
        case GDK_KEY_KP_Space: {
            if (m_focus.act == Act::None)
                return false;
            HitTarget target{RectF{}, m_focus.act, m_focus.index, m_focus.screen, RectF{}};
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                resolve_focus();
                target.index = m_focus.index;
            }
            m_focus_visible = true;
            route_click(target, false);
            request_redraw();
            return true;
        }
        case GDK_KEY_Up:
        case GDK_KEY_KP_Up:
        case GDK_KEY_Down:
        case GDK_KEY_KP_Down:
        case GDK_KEY_Home:
        case GDK_KEY_KP_Home:
        case GDK_KEY_End:
        case GDK_KEY_KP_End: {
            if (family_of(m_focus.act) == Family::None || !m_focus_visible)
                return false;
            const bool up = keyval == GDK_KEY_Up || keyval == GDK_KEY_KP_Up ||
                            keyval == GDK_KEY_Home || keyval == GDK_KEY_KP_Home;
            const bool to_end = keyval != GDK_KEY_Up && keyval != GDK_KEY_KP_Up &&
                                keyval != GDK_KEY_Down && keyval != GDK_KEY_KP_Down;
            move_focus_in_list(up ? -1 : 1, to_end);
            request_redraw();
            return true;
        }
        case GDK_KEY_Delete:
        case GDK_KEY_KP_Delete:
            if (m_overlay != Overlay::None)
                return false;
            confirm_clean();
            request_redraw();
            return true;
        case GDK_KEY_k:
        case GDK_KEY_K: {
            if (m_overlay != Overlay::None || m_focus.act != Act::ToggleItem)
                return false;
            int index = 0;
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                resolve_focus();
                index = m_focus.index;
            }
            const std::string path = item_path(index);
            if (!path.empty())
                toggle_keep(path);
            request_redraw();
            return true;
        }
        default:
            return false;
    }
}

// --- Lists ---

void App::move_focus_in_list(int step, bool to_end) {
    std::unique_lock<std::mutex> lock(m_mutex);
    resolve_focus();
    if (family_of(m_focus.act) == Family::Rows) {
        if (m_row_list.act != m_focus.act || m_row_list.count == 0)
            return;
        const int last = m_row_list.count - 1;
        const int index =
            to_end ? (step < 0 ? 0 : last) : std::clamp(m_focus.index + step, 0, last);
        set_focus(HitTarget{RectF{}, m_focus.act, index, m_focus.screen, RectF{}});
        scroll_row_into_view(index);
        return;
    }
    // The sidebar behaves as a list box: moving the focus selects the row.
    std::vector<HitTarget> rows;
    for (const HitTarget& t : reading_order()) {
        if (t.screen == Screen::Sidebar && family_of(t.act) == Family::Sidebar)
            rows.push_back(t);
    }
    auto at = std::find_if(rows.begin(), rows.end(), [&](const HitTarget& t) {
        return same_control(t, m_focus.act, m_focus.index, m_focus.screen);
    });
    if (rows.empty() || at == rows.end())
        return;
    const long pos = at - rows.begin();
    const long last = static_cast<long>(rows.size()) - 1;
    const long next = to_end ? (step < 0 ? 0 : last) : std::clamp(pos + step, 0L, last);
    const HitTarget row = rows[static_cast<std::size_t>(next)];
    set_focus(row);
    scroll_target_into_view(row);
    lock.unlock();
    route_click(row, false);
}

void App::scroll_row_into_view(int index) {
    if (m_row_list.count == 0 || index < 0 || index >= m_row_list.count)
        return;
    const double y = m_row_list.top - m_scroll + index * static_cast<double>(m_row_list.pitch);
    if (y < m_row_list.view_top)
        m_scroll -= m_row_list.view_top - y;
    else if (y + m_row_list.height > m_row_list.view_bottom)
        m_scroll += y + m_row_list.height - m_row_list.view_bottom;
    // The next frame clamps the position to what the content allows.
    m_scroll = std::max(m_scroll, 0.0);
}

void App::scroll_target_into_view(const HitTarget& t) {
    const bool sidebar = t.screen == Screen::Sidebar;
    const bool content = !sidebar && t.screen != Screen::Toolbar && t.screen != Screen::Footer &&
                         t.screen != overlay_screen();
    if ((!sidebar && !content) || t.full.empty())
        return;
    const RectF& view = sidebar ? m_r_sidebar : m_r_content;
    double& scroll = sidebar ? m_sidebar_scroll : m_scroll;
    // The next frame clamps the position to what the region can scroll.
    if (t.full.y < view.y)
        scroll = std::max(scroll - (view.y - t.full.y) - kRevealMargin, 0.0);
    else if (t.full.y + t.full.h > view.y + view.h)
        scroll += t.full.y + t.full.h - (view.y + view.h) + kRevealMargin;
}

// --- Overlays and the ring ---

void App::track_overlay_focus(Overlay before) {
    if (before == m_overlay)
        return;
    if (before == Overlay::None)
        m_focus_under_overlay = m_focus;
    m_focus = m_overlay == Overlay::None ? m_focus_under_overlay : Focus{};
    // A question opened from the keyboard starts on its harmless answer, as
    // desktop dialogs do: Enter then never deletes by surprise, and Tab
    // reaches the other answers.
    if (m_overlay == Overlay::Dialog && m_focus_visible) {
        for (const DialogButton& b : m_dialog_buttons)
            if (b.cancel)
                m_focus = Focus{Act::DialogButton, b.id, Screen::Dialog, ""};
    }
}

void App::draw_focus_ring() {
    if (!m_focus_visible || m_focus.act == Act::None)
        return;
    const HitTarget* t = focused_target();
    if (t == nullptr)
        return;
    // Target rectangles are stored mirrored; the primitives mirror again.
    const RectF r = mirror(t->rect);
    stroke_round_rect(RectF{r.x - kRingGap, r.y - kRingGap, r.w + 2 * kRingGap, r.h + 2 * kRingGap},
                      kRingRadius, m_palette.accent, kRingWidth);
}
