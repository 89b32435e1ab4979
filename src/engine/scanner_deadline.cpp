// scanner_deadline — the deadline guard: a small pool of detached threads that
// run scanner work while the callers wait with a deadline.
//
// A caller that gives up leaves its work behind. Work that has not started by
// then is dropped; work already running goes on until it ends or the
// cancellation flag stops it, and its result is destroyed with the shared
// state it writes to. The pool never holds more than kMaxGuardThreads threads:
// a hung network mount can trap that many and no more. Idle threads leave
// after a while, so a finished scan does not keep them.

#include <algorithm>
#include <cmath>
#include <deque>
#include <system_error>
#include <thread>
#include <vector>

#include "base/thread_priority.h"
#include "engine/scanner.h"

namespace scanner::detail {

namespace {

// How long an idle pool thread waits for more work before it ends.
constexpr std::chrono::seconds kIdleLifetime{10};

struct Job {
    std::function<void()> task;
    std::shared_ptr<std::atomic<bool>> abandoned;  // the caller stopped waiting
    int nice = 0;                                  // the submitting thread's nice value
};

class Pool {
public:
    bool submit(Job job) {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (m_idle == 0 && m_threads >= kMaxGuardThreads && all_stuck())
            return false;
        m_queue.push_back(std::move(job));
        if (m_idle > 0)
            m_cv.notify_one();
        if (m_queue.size() > static_cast<std::size_t>(m_idle) && m_threads < kMaxGuardThreads)
            start_thread();
        // Otherwise the job waits for a thread; its caller's deadline still
        // holds, and a job whose caller left is dropped when its turn comes.
        return true;
    }

    int threads() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_threads;
    }

private:
    // Called with m_mutex held: no running work has a caller waiting for it,
    // so no thread can be expected to free up before a deadline passes.
    bool all_stuck() const {
        for (const auto& flag : m_running) {
            if (!flag->load())
                return false;
        }
        return true;
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
            m_running.push_back(job.abandoned);
            lock.unlock();
            if (!job.abandoned->load()) {
                // The work runs no more eagerly than its caller: a scan at
                // nice 10 keeps its pool threads at nice 10 (a thread's nice
                // value can only be raised without privileges).
                lower_thread_priority(job.nice);
                job.task();
            }
            lock.lock();
            m_running.erase(std::find(m_running.begin(), m_running.end(), job.abandoned));
            lock.unlock();
            // Releases the work's captures (and a late result) outside the lock.
            job = Job{};
            lock.lock();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::deque<Job> m_queue;
    std::vector<std::shared_ptr<std::atomic<bool>>> m_running;  // callers' flags of running work
    int m_threads = 0;                                          // threads alive, busy or idle
    int m_idle = 0;                                             // threads waiting for a job
};

// Never destroyed: detached threads may still wait on it while the process
// exits.
Pool& pool() {
    static Pool* p = new Pool;
    return *p;
}

}  // namespace

bool submit_guarded(std::function<void()> task, std::shared_ptr<std::atomic<bool>> abandoned) {
    return pool().submit(Job{std::move(task), std::move(abandoned), thread_nice()});
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

std::vector<ScannedInfo> list_guarded(const CategoryDef& def, double timeout_seconds,
                                      const std::atomic<bool>* cancel) {
    if (def.listing == ListingKind::Recursive)
        return list_guarded(def, project_scope(catalog::all()), timeout_seconds, cancel);
    return detail::with_deadline<std::vector<ScannedInfo>>(
        timeout_seconds, {}, [def, cancel] { return list(def, ProjectScope{}, cancel); });
}

std::vector<ScannedInfo> list_guarded(const CategoryDef& def, const ProjectScope& scope,
                                      double timeout_seconds, const std::atomic<bool>* cancel) {
    return detail::with_deadline<std::vector<ScannedInfo>>(
        timeout_seconds, {}, [def, scope, cancel] { return list(def, scope, cancel); });
}

std::vector<std::vector<ScannedInfo>> list_projects_guarded(const std::vector<CategoryDef>& rows,
                                                            const ProjectScope& scope,
                                                            double timeout_seconds,
                                                            const std::atomic<bool>* cancel) {
    using Lists = std::vector<std::vector<ScannedInfo>>;
    return detail::with_deadline<Lists>(timeout_seconds, Lists(rows.size()), [rows, scope, cancel] {
        return list_projects(rows, scope, cancel);
    });
}

Measure measure_guarded(const std::string& path, double timeout_seconds,
                        const std::atomic<bool>* cancel) {
    return detail::with_deadline<Measure>(timeout_seconds, Measure{},
                                          [path, cancel] { return measure(path, cancel); });
}

std::int64_t size_guarded(const std::string& path, double timeout_seconds,
                          const std::atomic<bool>* cancel) {
    return measure_guarded(path, timeout_seconds, cancel).bytes;
}

}  // namespace scanner
