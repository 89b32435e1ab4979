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
#include "base/settings.h"
#include "base/thread_priority.h"
#include "engine/deletion_guard.h"
#include "engine/in_use.h"
#include "window/app.h"

namespace {

// At most this many entries in use are named in the confirmation; the rest
// are counted.
constexpr std::size_t kBusyNamed = 3;

}  // namespace

// --- Plan ---

App::CleanPlan App::plan_clean_locked() const {
    CleanPlan plan;
    for (const CatState& cs : m_cats) {
        for (const Item& it : cs.items) {
            if (!it.selected)
                continue;
            const char* reason = deletion_guard::kept_by(m_keep_list, it.path) != nullptr
                                     ? deletion_guard::kKept
                                     : deletion_guard::reason_key(it.path);
            if (reason != nullptr) {
                if (plan.skipped++ == 0)
                    plan.skipped_reason = reason;
                continue;
            }
            plan.targets.push_back(deletion::Target{it.path, it.dev, it.ino});
            plan.names.push_back(it.name);
            if (it.size > 0)
                plan.bytes += it.size;
            else if (it.size < 0)
                ++plan.unknown;
        }
    }
    plan.kept = m_keep_list;
    return plan;
}

// --- Confirmation ---

// The entries of plan a process of the user holds something in, each as
// "NAME — PROCESS (PID)", for the user to close them first. The deletion
// looks again; this is what the user can act on before confirming.
std::vector<std::string> App::busy_entries(const CleanPlan& plan) const {
    std::vector<std::string> paths;
    for (const deletion::Target& t : plan.targets)
        paths.push_back(t.path);
    const std::vector<std::optional<in_use::User>> users = in_use::find_users(paths);
    std::vector<std::string> out;
    for (std::size_t i = 0; i < users.size(); ++i) {
        if (users[i])
            out.push_back(plan.names[i] + " — " + users[i]->name + " (" +
                          std::to_string(users[i]->pid) + ")");
    }
    return out;
}

void App::confirm_clean() {
    CleanPlan plan;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        plan = plan_clean_locked();
    }
    const I18n& i18n = I18n::instance();
    if (plan.targets.empty() && plan.skipped == 0)
        return;
    std::string skipped;
    if (plan.skipped > 0) {
        skipped = i18n.trf("%s protected item(s) will be left out: %s",
                           ltr(fmt::count(plan.skipped)), i18n.tr(plan.skipped_reason.c_str()));
    }
    if (plan.targets.empty()) {
        show_dialog(i18n.tr("Nothing can be deleted"), skipped,
                    {DialogButton{CMD_CANCEL, i18n.tr("Close"), false, true}});
        return;
    }
    const std::string count = ltr(fmt::count(static_cast<std::int64_t>(plan.targets.size())));
    const std::string size = ltr(fmt::bytes(plan.bytes));
    std::string message = plan.unknown > 0 ? i18n.trf("%s item(s) · at least %s", count, size)
                                           : i18n.trf("%s item(s) · %s", count, size);
    message += "\n";
    message += i18n.tr(
        "This cannot be undone. Caches and build folders are recreated by their tools; anything "
        "marked Risky is not.");
    if (!skipped.empty())
        message += "\n" + skipped;
    const std::vector<std::string> busy = busy_entries(plan);
    if (!busy.empty()) {
        std::string names;
        for (std::size_t i = 0; i < busy.size() && i < kBusyNamed; ++i)
            names += (i == 0 ? "" : ", ") + busy[i];
        if (busy.size() > kBusyNamed)
            names += ", …";
        message += "\n" + i18n.trf("In use, will be left out: %s", names);
    }
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

void App::run_dialog_command(int id) {
    if (id >= CMD_AGE_FIRST) {
        choose_age(id - CMD_AGE_FIRST);
        return;
    }
    if (id == CMD_REVIEW_SELECTION) {
        confirm_clean();
        return;
    }
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
    if (plan.targets.empty()) {
        m_dirty = true;
        return;
    }
    const deletion::DeleteResult result =
        deletion::delete_checked(plan.targets, deletion::Safeguards{plan.kept, true});
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

// A failure's reason for display, its subject ("node (4711)") filled in.
std::string App::failure_text(const deletion::DeleteResult& result, std::size_t k) const {
    const I18n& i18n = I18n::instance();
    const std::string& reason =
        k < result.failed_reasons.size() ? result.failed_reasons[k] : result.error;
    const std::string subject =
        k < result.failed_subjects.size() ? result.failed_subjects[k] : std::string();
    return subject.empty() ? i18n.tr(reason.c_str()) : i18n.trf(reason.c_str(), subject);
}

// " · free space on /home: 1.00 GB → 1.50 GB" for each filesystem deleted on.
std::string App::space_text(const deletion::DeleteResult& result) const {
    std::string out;
    for (const deletion::FreeSpace& s : result.space) {
        out += " · " + I18n::instance().trf("free space on %s: %s → %s", ltr(s.mount_point),
                                            ltr(fmt::bytes(static_cast<std::int64_t>(s.before))),
                                            ltr(fmt::bytes(static_cast<std::int64_t>(s.after))));
    }
    return out;
}

void App::publish_clean_result_locked(const deletion::DeleteResult& result, const CleanPlan& plan) {
    const I18n& i18n = I18n::instance();
    apply_deletion(result.deleted);
    if (result.failed_count == 0) {
        if (!result.deleted.empty()) {
            const std::string freed = ltr(fmt::bytes(plan.bytes));
            set_status_locked((plan.unknown > 0 ? i18n.trf("At least %s freed", freed)
                                                : i18n.trf("%s freed", freed)) +
                                  space_text(result),
                              false);
        }
        return;
    }
    set_status_locked(failure_text(result, 0) + space_text(result), true);
    m_failed_paths = result.failed;
    for (std::size_t k = 0; k < result.failed.size(); ++k)
        add_manual_item_locked(result.failed[k], failure_text(result, k));
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

// --- Keep-list ---

void App::set_kept(std::vector<std::string> kept) {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_keep_list = std::move(kept);
    for (CatState& cs : m_cats)
        category_scan::mark_kept(cs.items, m_keep_list);
    m_dirty = true;
}

void App::toggle_keep(const std::string& path) {
    SettingsStore& store = SettingsStore::instance();
    Settings& settings = store.mutable_get();
    const I18n& i18n = I18n::instance();
    const std::string* by = deletion_guard::kept_by(settings.kept, path);
    std::string problem;
    if (by != nullptr && *by != path) {
        // Kept as part of a folder the user keeps: letting it go is done there.
        problem = i18n.trf("Kept with %s: remove that folder in Settings", ltr(*by));
    } else if (by != nullptr) {
        std::erase(settings.kept, path);
    } else if (!settings_util::add_kept(settings, path)) {
        const char* refusal = settings_util::projects_root_refusal(path);
        problem = i18n.tr(refusal != nullptr ? refusal : "Your keep-list could not be saved.");
    }
    if (problem.empty() && !store.save())
        problem = i18n.tr("Your keep-list could not be saved.");
    set_kept(store.get().kept);
    if (!problem.empty()) {
        std::lock_guard<std::mutex> lock(m_mutex);
        set_status_locked(problem, true);
    }
}
