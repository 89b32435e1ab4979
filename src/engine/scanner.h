// scanner — finds what a category holds and how much disk space it occupies.
//
// Measuring adds up allocated space (st_blocks × 512) below a path, counting a
// hard-linked file once per measurement and never following a symbolic link.
// Listing turns one catalog row into the entries the user may delete: the
// children of a folder, the folder itself, or the matching folders below the
// projects folder. The guarded variants run that work on a bounded pool of
// background threads and stop waiting at a deadline, so a folder whose reads
// never return cannot stall a scan.
//
// Nothing here deletes, writes, logs or throws on filesystem trouble: an
// unreadable folder counts or lists nothing, a vanished entry is left out.
// Directories are opened without updating their access times where the kernel
// allows it. Paths passed in and handed out are display paths; the scanner opens
// the scan paths that paths::to_scan_path gives for them.
//
// Threads: every function may run on any thread, many at once. The cancel flag
// is only read; a guarded call may leave work running after it returns, which
// keeps reading the flag, so the flag must outlive every guarded call.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "engine/catalog.h"

namespace scanner {

// The result of measuring one path.
struct Measure {
    std::int64_t bytes = 0;        // allocated bytes of the path and everything counted below it
    std::time_t newest_mtime = 0;  // latest modification time seen; 0 when nothing was counted
};

// One listed entry of a category.
struct ScannedInfo {
    std::string path;          // display path of the entry (shown, stored, later deleted)
    std::string name;          // the text shown as the entry's name
    std::string detail;        // Recursive rows: the folder holding the match; else the path
    std::time_t modified = 0;  // the entry's own modification time (not followed if a link)
    // The least risk the entry is shown with, when more than its row's:
    // Caution for a generic project folder with no project file beside it,
    // Risky for the user's own work in a row's folder.
    SafetyLevel least_safety = SafetyLevel::Safe;
};

// Folder names the project search never enters at any depth. A name some
// Recursive row looks for is still reported (".terraform" by "vendored").
inline constexpr const char* kAlwaysSkip[] = {".git",   ".svn",   ".hg",
                                              ".cache", ".Trash", ".terraform"};

// The detail line of a project match by a generic name ("build", "out", …)
// with no project file beside it of a build system that writes there: shown
// as Caution, whatever its row's level. An English interface text (a key).
inline constexpr const char* kNoProjectFile = "No project file found beside it";

// What the project search must leave alone, taken from a catalog snapshot and
// the environment on the caller's thread (no filesystem access), so that work
// abandoned at a deadline never reads the live catalog.
struct ProjectScope {
    std::string home;                       // the real home (display path)
    std::vector<std::string> claimed;       // every name any Recursive row looks for
    std::vector<std::string> top_skip;      // names never entered directly below the root
    std::vector<std::string> other_rows;    // folders of the non-Recursive rows (display)
    std::vector<std::string> tool_folders;  // install trees of tools (display, absolute)
};

// The scope for this catalog: its Recursive rows' names, its other rows'
// folders, the install trees of version managers, editors, package and SDK
// managers in the home, and tool folders named by their environment variables.
ProjectScope project_scope(const std::vector<CategoryDef>& catalog);

// --- Measurement ---

// Allocated size and newest modification time of path and everything below
// it. A missing path or a symbolic link measures {0, 0}; a cancelled walk
// returns what it had counted. cancel may be null.
Measure measure(const std::string& path, const std::atomic<bool>* cancel);

// measure(path, cancel).bytes
std::int64_t size(const std::string& path, const std::atomic<bool>* cancel);

// --- Listing ---

// The entries of one catalog row, in directory order. Recursive rows are
// searched with project_scope(catalog::all()). cancel may be null; a cancelled
// listing returns the entries found so far.
std::vector<ScannedInfo> list(const CategoryDef& def, const std::atomic<bool>* cancel);

// As list, with the project search confined by scope.
std::vector<ScannedInfo> list(const CategoryDef& def, const ProjectScope& scope,
                              const std::atomic<bool>* cancel);

// One walk of the projects folder for several Recursive rows that share their
// path: element i equals list(rows[i], scope, cancel). Rows with another path
// or another listing kind get an empty list.
std::vector<std::vector<ScannedInfo>> list_projects(const std::vector<CategoryDef>& rows,
                                                    const ProjectScope& scope,
                                                    const std::atomic<bool>* cancel);

// --- Deadline-guarded variants ---
// Each runs the work on a pool thread with its own copies of the inputs and
// returns its result, or, when it has not finished after timeout_seconds, the
// fallback (empty list, {0, 0}, 0) — indistinguishable from a real result.

std::vector<ScannedInfo> list_guarded(const CategoryDef& def, double timeout_seconds,
                                      const std::atomic<bool>* cancel);
std::vector<ScannedInfo> list_guarded(const CategoryDef& def, const ProjectScope& scope,
                                      double timeout_seconds, const std::atomic<bool>* cancel);
// On timeout: one empty list per row.
std::vector<std::vector<ScannedInfo>> list_projects_guarded(const std::vector<CategoryDef>& rows,
                                                            const ProjectScope& scope,
                                                            double timeout_seconds,
                                                            const std::atomic<bool>* cancel);
Measure measure_guarded(const std::string& path, double timeout_seconds,
                        const std::atomic<bool>* cancel);
std::int64_t size_guarded(const std::string& path, double timeout_seconds,
                          const std::atomic<bool>* cancel);

// --- The deadline guard, open to tests ---
namespace detail {

// Most threads the guard keeps at once. Threads stuck in a hung filesystem
// count against it, so a hung network mount cannot make the process create
// thousands of threads. Once every thread is stuck in work whose caller has
// left, later calls get their fallback at once: waiting could only end at
// their deadline with the same fallback.
inline constexpr int kMaxGuardThreads = 32;

// Hands task to a pool thread. A task still queued when *abandoned becomes
// true is dropped without running. Never blocks on the task. False, with the
// task dropped, when every thread is stuck in work nobody waits for.
bool submit_guarded(std::function<void()> task, std::shared_ptr<std::atomic<bool>> abandoned);

// Threads the guard's pool holds now (running, stuck or idle).
int guard_thread_count();

// seconds as a wait: truncated to whole milliseconds, negative or NaN as 0,
// and capped at a year so that the deadline cannot overflow.
std::chrono::milliseconds deadline_after(double seconds);

// Runs work on a pool thread and waits for it until seconds (truncated to whole
// milliseconds; negative or NaN as 0) have passed on the steady clock. Returns
// the work's result, or fallback when it is late (at once when every pool
// thread is stuck in abandoned work); a late result is discarded. work must
// own everything it touches: the caller may be gone when it runs.
template <class T>
T with_deadline(double seconds, T fallback, std::function<T()> work) {
    struct Shared {
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        T value{};
    };
    auto shared = std::make_shared<Shared>();
    auto abandoned = std::make_shared<std::atomic<bool>>(false);
    const auto deadline = std::chrono::steady_clock::now() + deadline_after(seconds);
    const bool taken = submit_guarded(
        [shared, fn = std::move(work)] {
            T r = fn();
            {
                std::lock_guard<std::mutex> lock(shared->m);
                shared->value = std::move(r);
                shared->done = true;
            }
            shared->cv.notify_one();
        },
        abandoned);
    if (!taken)
        return fallback;
    std::unique_lock<std::mutex> lock(shared->m);
    if (shared->cv.wait_until(lock, deadline, [&] { return shared->done; }))
        return std::move(shared->value);
    abandoned->store(true);
    return fallback;
}

}  // namespace detail

}  // namespace scanner
