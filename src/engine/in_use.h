// in_use — which of the user's running processes hold something inside a
// folder about to be deleted: their working folder, their executable, a file
// they have mapped into memory or open. Deleting such a folder pulls the floor
// from under a running program (an editor's project, a server started from a
// build folder, a language server reading a cache), so the deletion refuses
// those entries and names the process instead.
//
// Reads /proc only; needs no privileges. Only processes of the calling user
// count: another user's are not readable without privileges, and nothing the
// user can delete is theirs to need. The process itself is never reported.
// Processes that end or change while they are looked at are simply what they
// were when read; this is a snapshot, not a lock.
//
// Threads: any thread; keeps no state between calls.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace in_use {

// A process holding something inside an entry.
struct User {
    int pid = 0;       // process id
    std::string name;  // its command name as the kernel keeps it (at most 15 bytes)
};

// For each path of paths, at the same index, the first process found holding
// something at or under it, or nothing. Paths are compared both as given and
// with their links resolved, since /proc names files by their real paths.
std::vector<std::optional<User>> find_users(const std::vector<std::string>& paths);

// --- Steps, open to tests ---
namespace detail {

// The file paths a process holds, read from /proc/<pid>: working folder, root,
// executable, memory-mapped files and open file descriptors that name a path
// (not sockets, pipes or anonymous inodes). A " (deleted)" mark is dropped.
// Empty when the process is gone or unreadable.
std::vector<std::string> held_paths(int pid);

// The path of one line of /proc/<pid>/maps, or empty for anonymous mappings
// and pseudo-files ("[heap]", "[stack]", …).
std::string mapped_path(const std::string& maps_line);

}  // namespace detail

}  // namespace in_use
