// app_scan — the scan worker: every catalog category in order, each listed,
// marked, measured and sorted without the lock, then published under it.
#include "window/app.h"

#include "base/thread_priority.h"

void App::reset_categories_locked() {
    m_cats.clear();
    for (const CategoryDef& def : catalog::all()) {
        CatState cs;
        cs.def = def;
        m_cats.push_back(std::move(cs));
    }
}

void App::cancel_scan() {
    m_cancel = true;
    // m_worker may also be a deletion, which ignores m_cancel: joining waits
    // for it to finish, which is what closing the window wants.
    if (m_worker.joinable())
        m_worker.join();
    m_scanning = false;
}

void App::start_scan() {
    cancel_scan();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        reset_categories_locked();
        set_status_locked({}, false);
    }
    m_cancel = false;
    m_scanning = true;
    m_worker_running = true;
    try {
        m_worker = std::thread([this] {
            scan_worker();
            m_worker_running = false;
        });
    } catch (const std::system_error&) {
        // No thread to be had (the process is at its limit): the categories
        // stay "scanning …" until the user asks for a rescan.
        m_worker_running = false;
        m_scanning = false;
    }
}

void App::scan_worker() {
    lower_thread_priority(category_scan::kMeasureNice);
    std::vector<CategoryDef> defs;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (const CatState& cs : m_cats)
            defs.push_back(cs.def);
    }
    const std::size_t n = defs.size();
    // One session per scan: the project search walks the projects folder once
    // for all its rows, and a rescan walks it anew.
    category_scan::Session session(std::move(defs));
    for (std::size_t i = 0; i < n; ++i) {
        if (m_cancel)
            return;
        CatState work;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            if (i >= m_cats.size())
                return;
            m_cats[i].scanning = true;
            work.def = m_cats[i].def;
        }
        m_dirty = true;
        scan_category(work, session);
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            // The list is rebuilt only after this worker is joined; the check
            // guards against publishing into a different category all the same.
            if (i >= m_cats.size() || m_cats[i].def.id != work.def.id)
                return;
            m_cats[i].items = std::move(work.items);
            m_cats[i].scanning = false;
            m_cats[i].did_scan = true;
        }
        m_dirty = true;
    }
}

void App::scan_category(CatState& cat, category_scan::Session& session) {
    if (m_before_category)
        m_before_category(cat.def.id);
    category_scan::fill(cat, session, &m_cancel);
}
