// app_clean — deleting the selection: the plan taken from what is ticked, the
// deletion worker, and how its result reaches the lists, the status line and
// the "Remove manually" list.
//
// The worker holds m_mutex only to take the plan and to publish the result;
// the deletion itself runs unlocked, so the window keeps drawing. The lists
// are not rebuilt meanwhile: a rescan is refused while m_cleaning is set.
//
// Sections:
//   Plan
//   Worker
//   Result
#include <unordered_set>

#include "base/format.h"
#include "base/i18n.h"
#include "base/thread_priority.h"
#include "engine/deletion_guard.h"
#include "window/app.h"

// --- Plan ---

App::CleanPlan App::plan_clean_locked() const {
    CleanPlan plan;
    for (const CatState& cs : m_cats) {
        for (const Item& it : cs.items) {
            if (!it.selected)
                continue;
            if (const char* reason = deletion_guard::reason_key(it.path)) {
                if (plan.skipped++ == 0)
                    plan.skipped_reason = reason;
                continue;
            }
            plan.paths.push_back(it.path);
            if (it.size > 0)
                plan.bytes += it.size;
            else if (it.size < 0)
                ++plan.unknown;
        }
    }
    return plan;
}

// --- Worker ---

bool App::start_clean() {
    // A worker that has finished but was not collected by the poll yet is
    // collected here, so a confirmation right after a scan is not lost.
    if (!m_worker_running && m_worker.joinable())
        on_poll();
    if (m_worker.joinable())
        return false;
    m_cleaning = true;
    m_worker_running = true;
    try {
        m_worker = std::thread([this] {
            clean_worker();
            m_worker_running = false;
        });
    } catch (const std::system_error&) {
        m_worker_running = false;
        m_cleaning = false;
        std::lock_guard<std::mutex> lock(m_mutex);
        set_status_locked(I18n::instance().tr("The deletion could not be started."), true);
        return false;
    }
    return true;
}

void App::clean_worker() {
    lower_thread_priority(category_scan::kMeasureNice);
    CleanPlan plan;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        plan = plan_clean_locked();
    }
    if (plan.paths.empty()) {
        m_dirty = true;
        return;
    }
    const deletion::DeleteResult result = deletion::delete_permanently(plan.paths);
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        publish_clean_result_locked(result, plan);
    }
    m_dirty = true;
}

// --- Result ---

void App::set_status_locked(std::string text, bool error) {
    m_status_message = std::move(text);
    m_status_is_error = error;
}

void App::apply_deletion(const std::vector<std::string>& removed) {
    if (removed.empty())
        return;
    const std::unordered_set<std::string> gone(removed.begin(), removed.end());
    for (CatState& cs : m_cats) {
        std::erase_if(cs.items, [&](const Item& it) { return gone.count(it.path) != 0; });
    }
}

void App::publish_clean_result_locked(const deletion::DeleteResult& result, const CleanPlan& plan) {
    const I18n& i18n = I18n::instance();
    apply_deletion(result.deleted);
    if (result.failed_count == 0) {
        if (!result.deleted.empty()) {
            const std::string freed = ltr(fmt::bytes(plan.bytes));
            set_status_locked(plan.unknown > 0 ? i18n.trf("At least %s freed", freed)
                                               : i18n.trf("%s freed", freed),
                              false);
        }
        return;
    }
    set_status_locked(i18n.tr(result.error.c_str()), true);
    m_failed_paths = result.failed;
    for (std::size_t k = 0; k < result.failed.size(); ++k) {
        const std::string& path = result.failed[k];
        const std::string& reason =
            k < result.failed_reasons.size() ? result.failed_reasons[k] : result.error;
        add_manual_item_locked(path, i18n.tr(reason.c_str()));
    }
    m_failed_dialog_pending = true;
}

void App::add_manual_item_locked(const std::string& path, const std::string& reason) {
    for (const Item& it : m_manual) {
        if (it.path == path)
            return;  // one row per path, however often it failed
    }
    for (const CatState& cs : m_cats) {
        for (const Item& it : cs.items) {
            if (it.path != path)
                continue;
            Item row = it;
            row.detail = reason;
            row.selected = false;
            m_manual.push_back(std::move(row));
            return;
        }
    }
}
