// app_scan — the scan worker: the catalog checked anew, then every category
// in order, each listed, marked, measured and sorted without the lock, then
// published under it.
#include "window/app.h"

#include "base/thread_priority.h"

void App::reset_categories_locked(const std::vector<CategoryDef>& defs) {
    m_cats.clear();
    for (const CategoryDef& def : defs) {
        CatState cs;
        cs.def = def;
        m_cats.push_back(std::move(cs));
    }
}

void App::cancel_scan() {
    m_cancel = true;
    // Every filesystem call of a scan waits under the guard, which gives up
    // within scanner::kCancelPoll of the flag, so the join is short however
    // stuck the abandoned reads are. m_worker may also be a deletion, which
    // ignores m_cancel: joining waits for it to finish, which is what closing
    // the window wants.
    if (m_worker.joinable())
        m_worker.join();
    m_scanning = false;
}

void App::start_scan() {
    cancel_scan();
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // The worker fills the list: checking the catalog's folders may wait
        // for a mount that does not answer, which the window must not.
        m_cats.clear();
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
    // Anew at every scan: a cache folder made since the last one is found.
    std::vector<CategoryDef> defs = catalog::current(&m_cancel);
    if (m_cancel)
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        reset_categories_locked(defs);
    }
    m_dirty = true;
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
            category_scan::mark_kept(m_cats[i].items, m_keep_list);
            m_cats[i].not_answering = work.not_answering;
            m_cats[i].list_partial = work.list_partial;
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
