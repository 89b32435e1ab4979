// scanner_deadline — the deadline guard: a small pool of detached threads that
// run scanner work while the callers wait with a deadline, and the record of
// which filesystems have left a call unanswered.
//
// A caller that gives up leaves its work behind. Work that has not started by
// then is dropped; work already running goes on until it ends or the
// cancellation flag stops it, and its result is destroyed with the shared
// state it writes to. A caller that gave up at its deadline marks the work
// late: its filesystem is then presumed hung, and no more work is handed to it
// until that work returns, so one hung mount neither traps thread after thread
// nor delays the calls on healthy filesystems. Idle threads leave after a
// while, so a finished scan does not keep them.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <system_error>
#include <thread>
#include <vector>

#include "base/paths.h"
#include "base/strutil.h"
#include "base/thread_priority.h"
#include "engine/mounts.h"
#include "engine/scanner.h"
#include "engine/scanner_fs.h"

namespace scanner::detail {

namespace {

// How long an idle pool thread waits for more work before it ends.
constexpr std::chrono::seconds kIdleLifetime{10};

struct Job {
    std::function<void()> task;
    std::shared_ptr<Ticket> ticket;  // the caller's side
    int nice = 0;                    // the submitting thread's nice value
};

class Pool {
public:
    bool submit(Job job) {
        std::unique_lock<std::mutex> lock(m_mutex);
        const int stuck = stuck_threads();
        if (hung(job.ticket->filesystem) || (m_idle == 0 && stuck >= kMaxStuckThreads))
            return false;
        m_queue.push_back(std::move(job));
        if (m_idle > 0)
            m_cv.notify_one();
        if (m_queue.size() > static_cast<std::size_t>(m_idle) &&
            m_threads - stuck < kMaxGuardThreads)
            start_thread();
        // Otherwise the job waits for a thread; its caller's deadline still
        // holds, and a job whose caller left is dropped when its turn comes.
        return true;
    }

    int threads() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_threads;
    }

    bool is_hung(const std::string& filesystem) {
        std::lock_guard<std::mutex> lock(m_mutex);
        return hung(filesystem);
    }

private:
    // Called with m_mutex held: threads running work whose caller gave up.
    int stuck_threads() const {
        int n = 0;
        for (const auto& t : m_running)
            n += t->abandoned.load() ? 1 : 0;
        return n;
    }

    // Called with m_mutex held: work on this filesystem missed its deadline
    // and has not returned since.
    bool hung(const std::string& filesystem) const {
        for (const auto& t : m_running) {
            if (t->late.load() && t->filesystem == filesystem)
                return true;
        }
        return false;
    }

    // Called with m_mutex held.
    void start_thread() {
        ++m_threads;
        try {
            std::thread([this] { serve(); }).detach();
        } catch (const std::system_error&) {
            // No thread to be had: the job stays queued for a thread that
            // exists or frees up, or its caller gets the fallback.
            --m_threads;
        }
    }

    void serve() {
        std::unique_lock<std::mutex> lock(m_mutex);
        for (;;) {
            ++m_idle;
            const bool got =
                m_cv.wait_for(lock, kIdleLifetime, [this] { return !m_queue.empty(); });
            --m_idle;
            if (!got) {
                --m_threads;
                return;
            }
            Job job = std::move(m_queue.front());
            m_queue.pop_front();
            m_running.push_back(job.ticket);
            lock.unlock();
            if (!job.ticket->abandoned.load()) {
                // The work runs no more eagerly than its caller: a scan at
                // nice 10 keeps its pool threads at nice 10 (a thread's nice
                // value can only be raised without privileges).
                lower_thread_priority(job.nice);
                job.task();
            }
            // Releases the work's captures (and a late result) outside the
            // lock; the thread counts as running until it is idle again, so
            // that it is never counted as neither.
            std::shared_ptr<Ticket> ticket = std::move(job.ticket);
            job = Job{};
            lock.lock();
            m_running.erase(std::find(m_running.begin(), m_running.end(), ticket));
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Job> m_queue;
    std::vector<std::shared_ptr<Ticket>> m_running;  // tickets of the work running now
    int m_threads = 0;                               // threads alive, busy or idle
    int m_idle = 0;                                  // threads waiting for a job
};

// The mount table filesystem_of() reads, replaced whole by refresh.
struct Filesystems {
    std::mutex m;
    std::shared_ptr<const std::vector<mounts::Mount>> table;
};

Filesystems& filesystems() {
    static Filesystems* f = new Filesystems;
    return *f;
}

// The last table read; read now when no scan has read one yet.
std::shared_ptr<const std::vector<mounts::Mount>> current_table() {
    Filesystems& f = filesystems();
    std::lock_guard<std::mutex> lock(f.m);
    if (!f.table)
        f.table = std::make_shared<const std::vector<mounts::Mount>>(mounts::read_current());
    return f.table;
}

// Never destroyed: detached threads may still wait on it while the process
// exits.
Pool& pool() {
    static Pool* p = new Pool;
    return *p;
}

}  // namespace

bool submit_guarded(std::function<void()> task, std::shared_ptr<Ticket> ticket) {
    return pool().submit(Job{std::move(task), std::move(ticket), thread_nice()});
}

std::string filesystem_of(const std::string& path) {
    const auto table = current_table();
    const mounts::Mount* m = mounts::detail::lookup(*table, paths::to_scan_path(path));
    return m != nullptr ? m->point : std::string();
}

std::vector<std::string> mount_points_below(const std::string& path) {
    std::vector<std::string> out;
    for (const mounts::Mount& m : *current_table()) {
        if (m.point != path && su::is_at_or_under(m.point, path))
            out.push_back(m.point);
    }
    return out;
}

bool presumed_hung(const std::string& filesystem) {
    return pool().is_hung(filesystem);
}

int guard_thread_count() {
    return pool().threads();
}

std::chrono::milliseconds deadline_after(double seconds) {
    constexpr double kYearMs = 365.0 * 24 * 3600 * 1000;
    if (!(seconds > 0))
        return std::chrono::milliseconds(0);
    const double ms = std::min(seconds * 1000.0, kYearMs);
    return std::chrono::milliseconds(static_cast<std::int64_t>(ms));
}

}  // namespace scanner::detail

namespace scanner {

namespace {

// A listing that returned while the flag was set may have stopped early.
Outcome done_or_cancelled(Outcome o, const std::atomic<bool>* cancel) {
    return o == Outcome::Done && fs::cancelled(cancel) ? Outcome::Cancelled : o;
}

}  // namespace

Listed list_guarded(const CategoryDef& def, const ProjectScope& scope, double timeout_seconds,
                    const std::atomic<bool>* cancel) {
    // A project search also knows whether something below did not answer.
    if (def.listing == ListingKind::Recursive)
        return std::move(list_projects_guarded({def}, scope, timeout_seconds, cancel).front());
    auto r = detail::with_deadline<std::vector<ScannedInfo>>(
        timeout_seconds, detail::filesystem_of(def.path), {}, cancel,
        [def, scope, cancel] { return list(def, scope, cancel); });
    return {std::move(r.value), done_or_cancelled(r.outcome, cancel)};
}

std::vector<Listed> list_projects_guarded(const std::vector<CategoryDef>& rows,
                                          const ProjectScope& scope, double timeout_seconds,
                                          const std::atomic<bool>* cancel) {
    const std::string root = rows.empty() ? std::string() : rows.front().path;
    auto r = detail::with_deadline<std::vector<Listed>>(
        timeout_seconds, detail::filesystem_of(root), std::vector<Listed>(rows.size()), cancel,
        [rows, scope, cancel] { return list_projects(rows, scope, cancel); });
    // A walk that ended knows best how; one that did not is the guard's.
    const Outcome outcome = done_or_cancelled(r.outcome, cancel);
    for (Listed& l : r.value) {
        if (outcome != Outcome::Done)
            l.outcome = outcome;
        else
            l.outcome = done_or_cancelled(l.outcome, cancel);
    }
    return std::move(r.value);
}

Measure measure_guarded(const std::string& path, double timeout_seconds,
                        const std::atomic<bool>* cancel) {
    auto r =
        detail::with_deadline<Measure>(timeout_seconds, detail::filesystem_of(path), Measure{},
                                       cancel, [path, cancel] { return measure(path, cancel); });
    if (r.outcome != Outcome::Done)
        r.value.outcome = r.outcome;
    return r.value;
}

std::time_t project_activity_guarded(const std::string& project,
                                     const std::vector<std::string>& leftovers,
                                     double timeout_seconds, const std::atomic<bool>* cancel) {
    return detail::with_deadline<std::time_t>(
               timeout_seconds, detail::filesystem_of(project), 0, cancel,
               [project, leftovers] { return project_activity(project, leftovers); })
        .value;
}

std::optional<bool> is_dir_guarded(const std::string& path, double timeout_seconds,
                                   const std::atomic<bool>* cancel) {
    // 1 a folder, 0 anything else or nothing.
    const auto r =
        detail::with_deadline<int>(timeout_seconds, detail::filesystem_of(path), 0, cancel, [path] {
            struct stat st {};
            const std::string p = paths::to_scan_path(path);
            return !p.empty() && ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? 1 : 0;
        });
    if (r.outcome != Outcome::Done)
        return std::nullopt;
    return r.value == 1;
}

void refresh_filesystems() {
    auto table = std::make_shared<const std::vector<mounts::Mount>>(mounts::read_current());
    detail::Filesystems& f = detail::filesystems();
    std::lock_guard<std::mutex> lock(f.m);
    f.table = std::move(table);
}

}  // namespace scanner
