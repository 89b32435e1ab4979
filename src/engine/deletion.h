// deletion — permanent deletion, the only code in the program that destroys
// user data.
//
// delete_permanently removes files and folders for good (no trash, no undo)
// and reports, path by path, what went and why the rest stayed. It asks the
// deletion guard about every path whatever the caller filtered, works below the
// parent folder only through descriptors and names relative to them, never
// follows a symbolic link (a link is removed as a link; a folder swapped for a
// link meanwhile is not entered), never opens anything but folders (FIFOs,
// sockets and devices are unlinked), and never descends into a mount point: a
// disk, bind mount or FUSE mount inside an entry keeps its data, and the entry
// is reported as not removed. Depth costs neither stack nor an unbounded number
// of descriptors. Nothing throws and nothing is logged; the result is the whole
// report.
//
// Reasons are the English interface texts, which are also the translation
// keys: the caller translates them for display.
//
// Threads: call it from a worker thread without holding the application lock; a
// large deletion takes long. It keeps no state between calls.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/mounts.h"

namespace deletion {

// Failure reasons of deletion besides the guard's own (deletion_guard.h).
inline constexpr const char* kNoAccess = "No access from inside this app";
inline constexpr const char* kCouldNotBeMoved = "The item could not be moved";
// The path names another object than the scan saw: replaced, moved, or
// swapped for a link.
inline constexpr const char* kChanged = "Changed since the scan";
// A process of the user holds something inside; %s is "NAME (PID)".
inline constexpr const char* kInUse = "In use by %s";

// One entry to delete, as the scan saw it.
struct Target {
    std::string path;       // display path
    std::uint64_t dev = 0;  // device and inode the scan saw (the entry itself, links not
    std::uint64_t ino = 0;  // followed); both 0: not known, not compared
};

// The checks a batch makes before an entry is touched, besides the guard's.
struct Safeguards {
    std::vector<std::string> kept;  // the keep-list (deletion_guard::kept_by)
    bool check_in_use = true;       // refuse entries a process of the user holds something in
};

// The free space of one filesystem a batch deleted on, for the user to see
// the disk, not only the entries, get emptier.
struct FreeSpace {
    std::string mount_point;   // where the filesystem is mounted; empty when not known
    std::uint64_t before = 0;  // bytes free to the user before the first entry there
    std::uint64_t after = 0;   // ...and after the batch
};

// The outcome of one batch. Every input path is in exactly one of deleted and
// failed, each list in input order.
struct DeleteResult {
    std::vector<std::string> deleted;         // input paths that no longer exist afterwards
    std::string error;                        // reason of the batch's first failure; empty if none
    int failed_count = 0;                     // size of failed (and of failed_reasons)
    std::vector<std::string> failed;          // input paths that were not removed
    std::vector<std::string> failed_reasons;  // the reason for failed[i], at the same index
    // What failed_reasons[i]'s %s stands for ("code (4711)" for kInUse), else
    // empty; at the same index.
    std::vector<std::string> failed_subjects;
    std::vector<FreeSpace> space;  // delete_checked: each filesystem deleted on, in first-use order
};

// Permanently removes each display path in turn. A path fails with the guard's
// reason when protected, "Read-only location" when the sandbox cannot write
// it, "No access from inside this app" when its parent folder cannot be
// opened, and "The item could not be moved" when anything of it is left (an
// entry that resisted, a mount point inside). A failure never stops the batch,
// and whatever could be removed is gone. A path that had already vanished
// counts as deleted as long as its parent folder exists.
DeleteResult delete_permanently(const std::vector<std::string>& paths);

// delete_permanently with the entries' scan-time identity and the safeguards.
// Before anything of an entry is touched it fails with deletion_guard::kKept
// when the keep-list keeps it (compared as given and with links resolved),
// kInUse when a process of the user holds something inside it (one look at
// /proc for the whole batch), and kChanged when its path names another object
// than the scan saw. space lists the free space of each filesystem an entry
// was deleted from.
DeleteResult delete_checked(const std::vector<Target>& targets, const Safeguards& guards);

// --- The tree removal itself, for delete_permanently and for tests ---
namespace detail {

struct RemoveLimits {
    // Folder streams held open at once. Deeper trees close their outer
    // folders and re-open them through ".." on the way back up, checking that
    // each is still the folder that was left.
    std::size_t max_open_dirs = 64;
    // Ask the kernel for mount ids and the mount-root flag. Tests switch it
    // off to exercise what older kernels rely on: device numbers and the
    // mount table.
    bool kernel_mount_checks = true;
    // Runs after a folder inside the entry was looked at and before it is
    // opened, with the open folder holding it and its name. Empty in the
    // program; tests change the tree there (swap the folder for a link, move
    // an outer folder away) at exactly the moment a race would.
    std::function<void(int dirfd, const std::string& name)> before_open;
};

// Removes the entry name inside the open folder parent_fd, everything in it
// first; true when it is gone (also when it was gone already). table lists
// the mounts whose points are compared with the entry's real path.
bool remove_entry(int parent_fd, const std::string& name, const std::vector<mounts::Mount>& table,
                  const RemoveLimits& limits);

}  // namespace detail

}  // namespace deletion
