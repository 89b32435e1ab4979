// category_scan — see category_scan.h.
#include "engine/category_scan.h"

#include <algorithm>
#include <system_error>
#include <thread>
#include <utility>

#include "base/thread_priority.h"
#include "engine/deletion_guard.h"

namespace category_scan {

namespace {

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

Item item_from(const scanner::ScannedInfo& info, SafetyLevel safety) {
    Item it;
    it.path = info.path;
    it.name = info.name;
    it.detail = info.detail;
    it.modified = info.modified;
    it.dev = info.dev;
    it.ino = info.ino;
    it.project = info.project;
    it.safety = std::max(safety, info.least_safety);
    return it;
}

// Takes entries one at a time until none is left or the scan is cancelled.
void measure_some(std::vector<Item>& items, std::atomic<std::size_t>& next,
                  const std::vector<std::string>& leftovers, const std::atomic<bool>* cancel) {
    for (;;) {
        const std::size_t i = next.fetch_add(1);
        if (i >= items.size() || (cancel != nullptr && cancel->load()))
            return;
        const scanner::Measure m = scanner::measure_guarded(items[i].path, kMeasureSeconds, cancel);
        // A partial count is no size: shown as one it would undercount, sort
        // last and vanish from totals as if the entry were empty.
        if (m.outcome != scanner::Outcome::Done) {
            items[i].not_answering = m.outcome == scanner::Outcome::NotAnswering;
            continue;
        }
        items[i].size = m.bytes;
        items[i].size_known = true;
        if (items[i].modified < m.newest_mtime)
            items[i].modified = m.newest_mtime;
        if (!items[i].project.empty())
            items[i].activity = scanner::project_activity_guarded(items[i].project, leftovers,
                                                                  kMeasureSeconds, cancel);
    }
}

void measure_all(std::vector<Item>& items, const std::vector<std::string>& leftovers,
                 const std::atomic<bool>* cancel) {
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> threads;
    const int n = measuring_threads(items.size());
    for (int t = 0; t < n; ++t) {
        try {
            threads.emplace_back([&] {
                lower_thread_priority(kMeasureNice);
                measure_some(items, next, leftovers, cancel);
            });
        } catch (const std::system_error&) {
            // No more threads to be had: the ones started share the work.
            break;
        }
    }
    // Not even one thread: measure here rather than not at all.
    if (threads.empty())
        measure_some(items, next, leftovers, cancel);
    for (std::thread& t : threads)
        t.join();
}

}  // namespace

bool version_less(const std::string& a, const std::string& b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (is_digit(a[i]) && is_digit(b[j])) {
            std::size_t ei = i;
            std::size_t ej = j;
            while (ei < a.size() && is_digit(a[ei]))
                ++ei;
            while (ej < b.size() && is_digit(b[ej]))
                ++ej;
            // Leading zeros are no part of the number, but "000" is still 0.
            std::size_t si = i;
            std::size_t sj = j;
            while (si + 1 < ei && a[si] == '0')
                ++si;
            while (sj + 1 < ej && b[sj] == '0')
                ++sj;
            const std::size_t li = ei - si;
            const std::size_t lj = ej - sj;
            if (li != lj)
                return li < lj;
            const int c = a.compare(si, li, b, sj, lj);
            if (c != 0)
                return c < 0;
            i = ei;
            j = ej;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<signed char>(a[i]) < static_cast<signed char>(b[j]);
        ++i;
        ++j;
    }
    return a.size() - i < b.size() - j;
}

Session::Session(std::vector<CategoryDef> catalog)
    : m_catalog(std::move(catalog)), m_scope(scanner::project_scope(m_catalog)) {
    // Mounts made since the last scan are told apart from their parents.
    scanner::refresh_filesystems();
}

scanner::Listed Session::list(const CategoryDef& def, const std::atomic<bool>* cancel) {
    if (def.listing != ListingKind::Recursive)
        return scanner::list_guarded(def, m_scope, kListSeconds, cancel);
    if (m_projects.count(def.id) == 0) {
        // Every Recursive row with this projects folder that has no list yet,
        // found in one walk; def too when it is not one of the catalog's rows.
        std::vector<CategoryDef> rows;
        bool has_def = false;
        for (const CategoryDef& d : m_catalog) {
            if (d.listing == ListingKind::Recursive && d.path == def.path &&
                m_projects.count(d.id) == 0) {
                rows.push_back(d);
                has_def = has_def || d.id == def.id;
            }
        }
        if (!has_def)
            rows.push_back(def);
        std::vector<scanner::Listed> found =
            scanner::list_projects_guarded(rows, m_scope, kListSeconds, cancel);
        for (std::size_t i = 0; i < rows.size(); ++i)
            m_projects[rows[i].id] = std::move(found[i]);
    }
    return m_projects[def.id];
}

std::vector<CatState> scan_catalog(const std::vector<CategoryDef>& defs,
                                   const std::vector<std::string>& kept,
                                   const std::atomic<bool>* cancel,
                                   const std::function<void(std::size_t)>& before_each) {
    Session session(defs);
    std::vector<CatState> cats;
    cats.reserve(defs.size());
    for (const CategoryDef& def : defs) {
        if (before_each)
            before_each(cats.size());
        CatState cat;
        cat.def = def;
        fill(cat, session, cancel);
        cat.did_scan = true;
        cats.push_back(std::move(cat));
    }
    for (CatState& cat : cats)
        mark_kept(cat.items, kept);
    return cats;
}

void mark_kept(std::vector<Item>& items, const std::vector<std::string>& kept) {
    for (Item& it : items) {
        it.kept = deletion_guard::kept_by(kept, it.path) != nullptr;
        it.selected = it.selected && !it.kept;
    }
}

void fill(CatState& cat, Session& session, const std::atomic<bool>* cancel) {
    const scanner::Listed listed = session.list(cat.def, cancel);
    cat.not_answering = listed.outcome == scanner::Outcome::NotAnswering;
    cat.list_partial = listed.outcome != scanner::Outcome::Done;
    const std::vector<scanner::ScannedInfo>& infos = listed.entries;
    cat.items.clear();
    cat.items.reserve(infos.size());
    for (const scanner::ScannedInfo& info : infos)
        cat.items.push_back(item_from(info, cat.def.safety));
    if (cat.def.keep_newest && cat.def.per_tool)
        mark_newest_per_tool(cat.items);
    else if (cat.def.keep_newest)
        mark_newest(cat.items);
    measure_all(cat.items, session.scope().claimed, cancel);
    // Unmeasured and unknown items (-1) end up last.
    std::sort(cat.items.begin(), cat.items.end(),
              [](const Item& x, const Item& y) { return x.size > y.size; });
}

void mark_newest(std::vector<Item>& items) {
    if (items.empty())
        return;
    std::size_t best = 0;
    for (std::size_t i = 1; i < items.size(); ++i) {
        if (version_less(items[best].name, items[i].name))
            best = i;
    }
    items[best].safety = SafetyLevel::Risky;
    items[best].keep_hint = true;
}

std::string tool_of(const std::string& name) {
    // PlatformIO names a second version of a package "name@version".
    std::size_t end = name.find('@');
    for (std::size_t i = 0; i < name.size() && end == std::string::npos; ++i) {
        if (!is_digit(name[i]))
            continue;
        const std::size_t start = i > 0 && name[i - 1] == 'v' ? i - 1 : i;
        if (start > 0 && name[start - 1] != '-' && name[start - 1] != '_')
            continue;
        std::size_t j = i;
        while (j < name.size() && is_digit(name[j]))
            ++j;
        // A version is digits, a dot and more digits ("1.9.22"), or digits
        // that end the name ("-17"); "x86_64-" and "esp32" are part of a name.
        if (j == name.size() || (name[j] == '.' && j + 1 < name.size() && is_digit(name[j + 1])))
            end = start;
    }
    if (end == std::string::npos)
        return name;
    while (end > 0 && (name[end - 1] == '-' || name[end - 1] == '_'))
        --end;
    return name.substr(0, end);
}

void mark_newest_per_tool(std::vector<Item>& items) {
    std::map<std::string, std::size_t> best;  // tool -> index of its newest version so far
    for (std::size_t i = 0; i < items.size(); ++i) {
        const auto [it, added] = best.emplace(tool_of(items[i].name), i);
        if (!added && version_less(items[it->second].name, items[i].name))
            it->second = i;
    }
    for (const auto& [tool, i] : best) {
        items[i].safety = SafetyLevel::Risky;
        items[i].keep_hint = true;
    }
}

int measuring_threads(std::size_t items) {
    return static_cast<int>(std::clamp<std::size_t>(items, 1, kMaxMeasureThreads));
}

}  // namespace category_scan

std::int64_t CatState::total_size() const {
    std::int64_t total = 0;
    for (const Item& it : items) {
        if (it.size > 0)
            total += it.size;
    }
    return total;
}

bool CatState::partial() const {
    if (!did_scan)
        return false;
    if (not_answering || list_partial)
        return true;
    for (const Item& it : items) {
        if (!it.size_known)
            return true;
    }
    return false;
}
