// app_accessible — the list of controls assistive technology reads: built
// after every frame from the frame's targets and labels, so it always says
// what the screen shows, in the language it shows it in. A control's name is
// the first label drawn inside it and its description the others (an entry
// reads "web/node_modules", then its path, size, safety and age).
//
// Main thread only; reads the lists under m_mutex.
//
// Sections:
//   Helpers
//   Building the list
//   Announcements
//   Acting on a control
#include "base/format.h"
#include "base/i18n.h"
#include "base/settings.h"
#include "window/accessible.h"

#include <cctype>

#include "window/app.h"

// --- Helpers ---

namespace {

AtkRole role_for(App::Act act) {
    switch (act) {
        case App::Act::ToggleItem:
            return ATK_ROLE_CHECK_BOX;
        case App::Act::ToggleKeep:
            return ATK_ROLE_TOGGLE_BUTTON;
        case App::Act::SelectOverview:
        case App::Act::SelectManual:
        case App::Act::SelectCategory:
            return ATK_ROLE_LIST_ITEM;
        case App::Act::SettingsTheme:
        case App::Act::SettingsLang:
            return ATK_ROLE_RADIO_BUTTON;
        case App::Act::EditFileManager:
            return ATK_ROLE_ENTRY;
        case App::Act::LinkWebsite:
        case App::Act::LinkContact:
            return ATK_ROLE_LINK;
        default:
            return ATK_ROLE_PUSH_BUTTON;
    }
}

bool inside(const RectF& box, const RectF& target) {
    const float cx = box.x + box.w / 2, cy = box.y + box.h / 2;
    return cx >= target.x && cx <= target.x + target.w && cy >= target.y &&
           cy <= target.y + target.h;
}

// A label that can name a control: not a bare rank or count.
bool names_something(const std::string& text) {
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80 || std::isalpha(static_cast<unsigned char>(c)))
            return true;
    }
    return false;
}

bool same_node(const App::AccessibleNode& a, const App::AccessibleNode& b) {
    return a.role == b.role && a.name == b.name && a.description == b.description &&
           a.checked == b.checked && a.focused == b.focused && a.sensitive == b.sensitive &&
           a.showing == b.showing && a.target.act == b.target.act &&
           a.target.index == b.target.index;
}

}  // namespace

// --- Building the list ---

void App::update_accessible_nodes() {
    std::vector<AccessibleNode> nodes;
    // Readers place controls in window pixels; the layout is in zoomed units.
    const auto z = static_cast<float>(m_zoom);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        const CatState* cs = current_category();
        const std::string& theme = SettingsStore::instance().get().theme;
        for (const HitTarget& t : reading_order()) {
            AccessibleNode node;
            node.role = role_for(t.act);
            const RectF r = t.full.empty() ? t.rect : t.full;
            node.rect = RectF{r.x * z, r.y * z, r.w * z, r.h * z};
            node.showing = !t.rect.empty();
            node.sensitive = t.enabled;
            node.target = t;
            for (const DrawnText& label : m_frame_labels) {
                if (!inside(label.box, t.rect))
                    continue;
                if (node.name.empty() && names_something(label.text))
                    node.name = label.text;
                else
                    node.description += (node.description.empty() ? "" : ", ") + label.text;
            }
            const auto index = static_cast<std::size_t>(std::max(t.index, 0));
            if (t.act == Act::ToggleItem)
                node.checked =
                    cs != nullptr && index < cs->items.size() && cs->items[index].selected;
            else if (t.act == Act::ToggleKeep)
                node.checked = cs != nullptr && index < cs->items.size() && cs->items[index].kept;
            else if (t.act == Act::SettingsTheme)
                node.checked = (t.index == CMD_THEME_LIGHT && theme == "light") ||
                               (t.index == CMD_THEME_DARK && theme == "dark") ||
                               (t.index == CMD_THEME_AUTO && theme == "auto");
            else
                node.checked = is_selected_row(t);
            node.focused =
                t.act == m_focus.act && t.index == m_focus.index && t.screen == m_focus.screen;
            nodes.push_back(std::move(node));
        }
    }
    const bool same = nodes.size() == m_a11y_nodes.size() &&
                      std::equal(nodes.begin(), nodes.end(), m_a11y_nodes.begin(), same_node);
    if (same) {
        // Positions may move (scrolling) without anything to announce.
        m_a11y_nodes = std::move(nodes);
        return;
    }
    m_a11y_nodes = std::move(nodes);
    accessible::controls_changed(m_canvas);
}

// --- Announcements ---

void App::announce_result(bool scan) {
    std::string text;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (scan) {
            bool partial = false;
            for (const CatState& cat : m_cats)
                partial = partial || cat.partial();
            text =
                I18n::instance().trf("found in total: %s", size_text(total_reclaimable(), partial));
        } else {
            text = m_status_message;  // "%s freed", or what went wrong
        }
    }
    m_last_announcement = text;
    accessible::announce(m_canvas, text.c_str());
    // The selection the outcome left (none after a scan) is no news of its own.
    m_announced_selection.clear();
}

void App::announce_selection() {
    int count = 0;
    std::int64_t bytes = 0;
    bool partial = false;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const CatState& cat : m_cats)
            for (const Item& it : cat.items)
                partial = partial || (it.selected && !it.size_known);
        count = selected_count();
        bytes = selected_size();
    }
    // Compared by value: the same total in another language is no news.
    const std::string total =
        std::to_string(count) + " " + std::to_string(bytes) + (partial ? "+" : "");
    const bool first = m_announced_selection.empty();
    if (total == m_announced_selection)
        return;
    m_announced_selection = total;
    // The first frame has nothing to compare with; a rescan clears the
    // selection and a deletion empties it, and their own outcome is told.
    if (first || m_scanning || m_cleaning)
        return;
    const std::string text =
        I18n::instance().trf("%s item(s) · %s", fmt::count(count), size_text(bytes, partial));
    m_last_announcement = text;
    accessible::announce(m_canvas, text.c_str());
}

// --- Acting on a control ---

bool App::activate_node(std::size_t i) {
    if (i >= m_a11y_nodes.size())
        return false;
    const HitTarget target = m_a11y_nodes[i].target;
    const Overlay before = m_overlay;
    route_click(target, false);
    note_click_focus(target, before);
    request_redraw();
    return true;
}

bool App::focus_node(std::size_t i) {
    if (i >= m_a11y_nodes.size())
        return false;
    std::lock_guard<std::mutex> lock(m_mutex);
    set_focus(m_a11y_nodes[i].target);
    m_focus_visible = true;
    request_redraw();
    return true;
}
