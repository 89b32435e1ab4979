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
//   Confirmation
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

// --- Confirmation ---

void App::confirm_clean() {
    CleanPlan plan;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        plan = plan_clean_locked();
    }
    const I18n& i18n = I18n::instance();
    if (plan.paths.empty() && plan.skipped == 0)
        return;
    std::string skipped;
    if (plan.skipped > 0) {
        skipped = i18n.trf("%s protected item(s) will be left out: %s",
                           ltr(fmt::count(plan.skipped)), i18n.tr(plan.skipped_reason.c_str()));
    }
    if (plan.paths.empty()) {
        show_dialog(i18n.tr("Nothing can be deleted"), skipped,
                    {DialogButton{CMD_CANCEL, i18n.tr("Close"), false, true}});
        return;
    }
    const std::string count = ltr(fmt::count(static_cast<std::int64_t>(plan.paths.size())));
    const std::string size = ltr(fmt::bytes(plan.bytes));
    std::string message = plan.unknown > 0 ? i18n.trf("%s item(s) · at least %s", count, size)
                                           : i18n.trf("%s item(s) · %s", count, size);
    message += "\n";
    message += i18n.tr(
        "This cannot be undone. Caches and build folders are recreated by their tools; anything "
        "marked Risky is not.");
    if (!skipped.empty())
        message += "\n" + skipped;
    show_dialog(i18n.tr("Delete permanently?"), message,
                {DialogButton{CMD_CLEAN_CONFIRM, i18n.tr("Delete permanently"), true, false},
                 DialogButton{CMD_CANCEL, i18n.tr("Cancel"), false, true}});
}

void App::show_failure_dialog_if_due() {
    std::size_t failed = 0;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_failed_dialog_pending)
            return;
        m_failed_dialog_pending = false;
        failed = m_failed_paths.size();
    }
    if (failed == 0)
        return;
    const I18n& i18n = I18n::instance();
    show_dialog(i18n.tr("Could not delete everything"),
                i18n.trf("%s item(s) could not be deleted here.",
                         ltr(fmt::count(static_cast<std::int64_t>(failed)))) +
                    "\n" +
                    i18n.tr("Your file manager can remove them — it runs outside this app's "
                            "restrictions. One click opens the location."),
                {DialogButton{CMD_SHOW_MANUAL, i18n.tr("Show the list"), false, false},
                 DialogButton{CMD_CANCEL, i18n.tr("Close"), false, true}});
}

void App::run_clean_command(int id) {
    if (id == CMD_CLEAN_CONFIRM) {
        // The footer refuses while a worker runs; this covers a scan started
        // (F5) while the confirmation was open.
        if (m_worker_running) {
            std::lock_guard<std::mutex> lock(m_mutex);
            set_status_locked(I18n::instance().tr("Nothing was deleted: a scan was running."),
                              true);
            return;
        }
        start_clean();
    } else if (id == CMD_SHOW_MANUAL) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_selection = SEL_MANUAL;
        m_scroll = 0;
    }
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
