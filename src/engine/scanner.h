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
// unreadable folder counts or lists nothing, a vanished entry is left out. A
// measurement stops at the mount points below the measured path: deleting the
// path never frees what they hold.
// Directories are opened without updating their access times where the kernel
// allows it. Paths passed in and handed out are display paths; the scanner opens
// the scan paths that paths::to_scan_path gives for them.
//
// Threads: every function may run on any thread, many at once; none reads the
// live catalog. The cancel flag is only read; a guarded call may leave work
// running after it returns, which keeps reading the flag, so the flag must
// outlive every guarded call.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <ctime>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "engine/catalog.h"

namespace scanner {

// How a guarded or cancellable call ended.
enum class Outcome {
    Done,          // the work ran to its end: the result is the whole answer
    Cancelled,     // the cancel flag stopped it: the result is partial
    NotAnswering,  // its filesystem did not answer before the deadline, or had
                   // already left another call unanswered: the result is empty;
                   // for a project search, a mount point below the projects
                   // folder did not answer: the result lacks what lies there
};

// The result of measuring one path.
struct Measure {
    std::int64_t bytes = 0;           // allocated bytes of the path and everything counted below it
    std::time_t newest_mtime = 0;     // latest modification time seen; 0 when nothing was counted
    Outcome outcome = Outcome::Done;  // anything but Done: bytes undercount, the size is unknown
};

// One listed entry of a category.
struct ScannedInfo {
    std::string path;          // display path of the entry (shown, stored, later deleted)
    std::string name;          // the text shown as the entry's name
    std::string detail;        // Recursive rows: the folder holding the match; else the path
    std::string project;       // Recursive rows: the folder holding the match; else empty
    std::time_t modified = 0;  // the entry's own modification time (not followed if a link)
    std::uint64_t dev = 0;     // the entry's own device and inode: deletion refuses the
    std::uint64_t ino = 0;     // path when it names another object by then
    // The least risk the entry is shown with, when more than its row's:
    // Caution for a generic project folder with no project file beside it,
    // Risky for the user's own work in a row's folder.
    SafetyLevel least_safety = SafetyLevel::Safe;
};

// The result of a guarded listing.
struct Listed {
    std::vector<ScannedInfo> entries;  // in directory order; partial unless outcome is Done
    Outcome outcome = Outcome::Done;   // how the listing ended
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
// it on its own mount. A missing path or a symbolic link measures {0, 0}; a
// cancelled walk returns what it had counted, as Outcome::Cancelled. cancel
// may be null.
Measure measure(const std::string& path, const std::atomic<bool>* cancel);

// measure(path, cancel).bytes
std::int64_t size(const std::string& path, const std::atomic<bool>* cancel);

// --- Listing ---

// The entries of one catalog row, in directory order, with the project search
// confined by scope. cancel may be null; a cancelled listing returns the
// entries found so far.
std::vector<ScannedInfo> list(const CategoryDef& def, const ProjectScope& scope,
                              const std::atomic<bool>* cancel);

// One walk of the projects folder for several Recursive rows that share their
// path: element i holds list(rows[i], scope, cancel). Rows with another path
// or another listing kind get an empty list. Every list carries how the walk
// ended: Cancelled, NotAnswering when a mount point below the projects folder
// did not answer and was left out, else Done.
std::vector<Listed> list_projects(const std::vector<CategoryDef>& rows, const ProjectScope& scope,
                                  const std::atomic<bool>* cancel);

// --- Project activity ---

// When the user last worked on the project in folder project (a display
// path): the newest modification time among its own files, looked at within
// bounds — the entries of the folder itself and of its source folders (src,
// lib, tests, …), and the index of its version control (.git/index, …).
// Entries named in leftovers (node_modules, build, … beside it) and the
// folders the search always skips do not count: installing dependencies or
// building is not working on the project. 0 when nothing could be read.
std::time_t project_activity(const std::string& project, const std::vector<std::string>& leftovers);

// --- Deadline-guarded variants ---
// Each runs the work on a pool thread with its own copies of the inputs and
// returns its result. When the work has not finished after timeout_seconds,
// its filesystem (the mount holding the path) is presumed hung while that work
// stays stuck: this call and every later one there return at once, empty and
// Outcome::NotAnswering. When the cancel flag is set the call returns within
// kCancelPoll with Outcome::Cancelled, whatever the work is stuck in.

Listed list_guarded(const CategoryDef& def, const ProjectScope& scope, double timeout_seconds,
                    const std::atomic<bool>* cancel);
// One list per row, all with the walk's outcome.
std::vector<Listed> list_projects_guarded(const std::vector<CategoryDef>& rows,
                                          const ProjectScope& scope, double timeout_seconds,
                                          const std::atomic<bool>* cancel);
Measure measure_guarded(const std::string& path, double timeout_seconds,
                        const std::atomic<bool>* cancel);
// 0 as well when the filesystem does not answer or the cancel flag is set.
std::time_t project_activity_guarded(const std::string& project,
                                     const std::vector<std::string>& leftovers,
                                     double timeout_seconds, const std::atomic<bool>* cancel);

// Whether path is a folder, asked under the deadline: nullopt when its
// filesystem does not answer. Follows a symbolic link, as a catalog row does.
// A set cancel flag makes it nullopt as well.
std::optional<bool> is_dir_guarded(const std::string& path, double timeout_seconds,
                                   const std::atomic<bool>* cancel);

// Rereads the mount table that tells which filesystem a path is on; a scan
// calls it at its start so that mounts made since are told apart.
void refresh_filesystems();

// How often a guarded call that waits looks at the cancel flag. The flag is a
// plain atomic that nothing signals, and a cancel must give the window back
// within a frame or two.
inline constexpr std::chrono::milliseconds kCancelPoll{10};

// --- The deadline guard, open to tests ---
namespace detail {

// Most threads the guard keeps that are not stuck in work whose caller gave up
// at its deadline. Stuck threads are bounded apart: once one call on a
// filesystem is late, no more work is handed to that filesystem while it
// stays stuck, so each hung mount traps only the calls that were already
// running there, and never more than kMaxStuckThreads in all.
inline constexpr int kMaxGuardThreads = 32;
inline constexpr int kMaxStuckThreads = 32;

// The caller's side of one guarded call, shared with the pool.
struct Ticket {
    std::string filesystem;              // the mount the work reads (see filesystem_of)
    std::atomic<bool> abandoned{false};  // the caller stopped waiting; a queued task is dropped
    std::atomic<bool> late{false};       // ...because of its deadline: the filesystem is hung
};

// The mount point of the mount holding path in the last table read, or ""
// when there is none. Reads no filesystem but /proc.
std::string filesystem_of(const std::string& path);

// Mount points of the last table read that lie strictly below path (a scan
// path), in table order. Reads no filesystem but /proc. A walk passes them
// without a system call on them: a stat of a mount point is already a call
// into its filesystem, which may never answer.
std::vector<std::string> mount_points_below(const std::string& path);

// Whether work on this filesystem (see filesystem_of) missed its deadline and
// has not returned since: a call there would wait for ever.
bool presumed_hung(const std::string& filesystem);

// Hands task to a pool thread. Never blocks on the task. False, with the task
// dropped, when the ticket's filesystem has a late call still stuck in it, or
// when kMaxStuckThreads threads are stuck and none is free.
bool submit_guarded(std::function<void()> task, std::shared_ptr<Ticket> ticket);

// Threads the guard's pool holds now (running, stuck or idle).
int guard_thread_count();

// seconds as a wait: truncated to whole milliseconds, negative or NaN as 0,
// and capped at a year so that the deadline cannot overflow.
std::chrono::milliseconds deadline_after(double seconds);

// A guarded result and how the call ended.
template <class T>
struct Guarded {
    T value;          // the work's result, or the fallback
    Outcome outcome;  // Done with the work's result; otherwise why the fallback
};

// Runs work on a pool thread and waits for it until seconds (truncated to whole
// milliseconds; negative or NaN as 0) have passed on the steady clock, or
// until *cancel is set. Returns the work's result, or fallback when it is late
// or cancelled (at once when filesystem is presumed hung); a late result is
// discarded. work must own everything it touches: the caller may be gone when
// it runs. filesystem names what the work reads (filesystem_of its path).
template <class T>
Guarded<T> with_deadline(double seconds, const std::string& filesystem, T fallback,
                         const std::atomic<bool>* cancel, std::function<T()> work) {
    struct Shared {
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        T value{};
    };
    auto shared = std::make_shared<Shared>();
    auto ticket = std::make_shared<Ticket>();
    ticket->filesystem = filesystem;
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
        ticket);
    if (!taken)
        return {std::move(fallback), Outcome::NotAnswering};
    std::unique_lock<std::mutex> lock(shared->m);
    for (;;) {
        const auto slice = std::min(deadline, std::chrono::steady_clock::now() + kCancelPoll);
        if (shared->cv.wait_until(lock, slice, [&] { return shared->done; }))
            return {std::move(shared->value), Outcome::Done};
        if (cancel != nullptr && cancel->load()) {
            ticket->abandoned.store(true);
            return {std::move(fallback), Outcome::Cancelled};
        }
        if (std::chrono::steady_clock::now() >= deadline)
            break;
    }
    ticket->late.store(true);
    ticket->abandoned.store(true);
    return {std::move(fallback), Outcome::NotAnswering};
}

}  // namespace detail

}  // namespace scanner
