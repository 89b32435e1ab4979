// app_views — what the screens and actions ask of the category state: the
// category on screen, the sidebar's groups, the totals, the bulk selections,
// and the isolation of left-to-right values inside right-to-left sentences.
// Every caller holds m_mutex; nothing here locks.
#include <algorithm>

#include "base/format.h"
#include "base/i18n.h"
#include "window/app.h"

namespace {

// Only measured, non-empty sizes count: -1 means "not measured yet".
std::int64_t positive(std::int64_t size) {
    return size > 0 ? size : 0;
}

}  // namespace

CatState* App::current_category() {
    if (m_selection.empty() || m_selection == SEL_MANUAL)
        return nullptr;
    for (CatState& cs : m_cats) {
        if (cs.def.id == m_selection)
            return &cs;
    }
    return nullptr;
}

const CatState* App::current_category() const {
    return const_cast<App*>(this)->current_category();
}

std::vector<App::VisibleGroup> App::visible_groups() const {
    // Each total walks its category's entries; sorting would walk them again
    // for every comparison, and a category may hold ten thousand.
    std::vector<std::int64_t> totals;
    totals.reserve(m_cats.size());
    for (const CatState& cs : m_cats)
        totals.push_back(cs.total_size());
    std::vector<VisibleGroup> groups;
    for (int g = 0; g < static_cast<int>(GroupKind::_Count); ++g) {
        VisibleGroup vg;
        vg.group = static_cast<GroupKind>(g);
        for (std::size_t i = 0; i < m_cats.size(); ++i) {
            const CatState& cs = m_cats[i];
            if (cs.def.group != vg.group)
                continue;
            // A scanned category with nothing in it is not worth a row; one
            // whose folder did not answer is not known to be empty.
            if (cs.did_scan && !cs.scanning && cs.items.empty() && !cs.not_answering)
                continue;
            vg.categories.push_back(static_cast<int>(i));
        }
        if (vg.categories.empty())
            continue;
        std::sort(vg.categories.begin(), vg.categories.end(), [&totals](int a, int b) {
            return totals[static_cast<std::size_t>(a)] > totals[static_cast<std::size_t>(b)];
        });
        for (int i : vg.categories)
            vg.size += totals[static_cast<std::size_t>(i)];
        groups.push_back(std::move(vg));
    }
    return groups;
}

std::int64_t App::total_reclaimable() const {
    std::int64_t total = 0;
    for (const CatState& cs : m_cats)
        total += cs.total_size();
    return total;
}

std::int64_t App::safe_reclaimable() const {
    std::int64_t total = 0;
    for (const CatState& cs : m_cats) {
        for (const Item& it : cs.items) {
            if (it.safety == SafetyLevel::Safe)
                total += positive(it.size);
        }
    }
    return total;
}

std::int64_t App::selected_size() const {
    std::int64_t total = 0;
    for (const CatState& cs : m_cats) {
        for (const Item& it : cs.items) {
            if (it.selected)
                total += positive(it.size);
        }
    }
    return total;
}

int App::selected_count() const {
    int n = 0;
    for (const CatState& cs : m_cats) {
        for (const Item& it : cs.items)
            n += it.selected ? 1 : 0;
    }
    return n;
}

void App::select_all_safe(CatState& cat) {
    for (Item& it : cat.items) {
        // An entry of unknown size may be far bigger than the total says.
        if (it.safety == SafetyLevel::Safe && !it.keep_hint && !it.kept && it.size >= 0)
            it.selected = true;
    }
}

void App::select_none(CatState& cat) {
    for (Item& it : cat.items)
        it.selected = false;
}

std::string App::ltr(const std::string& s) const {
    if (!m_rtl)
        return s;
    return "\xE2\x81\xA6" + s + "\xE2\x81\xA9";  // LEFT-TO-RIGHT ISOLATE … POP DIRECTIONAL ISOLATE
}

bool App::undercounts(const CatState& cat) const {
    if (cat.not_answering || cat.list_partial)
        return true;
    for (const Item& it : cat.items) {
        if (it.size < 0)
            return true;
    }
    return false;
}

bool App::scan_unfinished() const {
    if (m_scanning)
        return false;
    for (const CatState& cs : m_cats) {
        if (!cs.did_scan || cs.scanning)
            return true;
    }
    return false;
}

std::string App::size_text(std::int64_t bytes, bool partial) const {
    const std::string value = ltr(fmt::bytes(bytes));
    return partial ? I18n::instance().trf("at least %s", value) : value;
}
