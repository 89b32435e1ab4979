// deletion_guard — decides whether a path may be deleted at all. It refuses
// system trees, the top-level folders, mount points, the user's home with its
// standard and user-dirs folders, other users' homes, every ancestor of the
// home, paths with "." or ".." components, and — inside a Snap — whatever the
// sandbox cannot write. A refusal is a short English reason text that is also
// its translation key; callers translate it for display.
//
// Paths are display paths and need not exist. The guard judges both the path
// as given and the location it really names (its parent resolved through
// symbolic links, the last component never followed), so neither a link in the
// parent path nor a home reached through a link slips past. It never deletes,
// never runs anything and never fails: missing inputs only make it protect
// less, and the fixed lists always apply.
//
// The home-dependent lists and the mount points are taken once, at the first
// query. Threads: any thread may call any function.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "engine/mounts.h"

namespace deletion_guard {

// The reason texts (English, also the translation keys).
inline constexpr const char* kProtectedSystemLocation = "Protected system location";
inline constexpr const char* kReadOnlyLocation = "Read-only location";
inline constexpr const char* kOtherUsersHome = "Another user's home directory";

// True when reason_key(path) is not null.
bool is_protected(const std::string& path);

// --- The keep-list ---
// Folders the user never wants deleted: an active project, a whole work
// folder. Everything at or under a kept path is kept, and so is every folder
// holding one, since deleting it would delete the kept one too.

inline constexpr const char* kKept = "On your keep list";

// The entry of kept that keeps path, or null. Paths are compared as given,
// after normalize(); nothing touches the filesystem, so the window may ask
// while drawing. Empty entries keep nothing.
const std::string* kept_by(const std::vector<std::string>& kept, const std::string& path);

// kept_by, also with path's parent and every kept path resolved through
// links, so that a project reached through a link to its folder is still
// kept. For the deletion itself: it touches the filesystem.
bool kept_on_disk(const std::vector<std::string>& kept, const std::string& path);

// Why path must not be deleted (one of the texts above), or null when it may.
const char* reason_key(const std::string& path);

// --- The rules as data, for the public functions and for tests ---
namespace detail {

// Everything the guard compares against, built once for the process.
struct Rules {
    std::vector<std::string> trees;        // protected with everything inside them
    std::set<std::string> exact;           // protected themselves, their contents not
    std::vector<std::string> homes_roots;  // folders whose direct children are users' homes
    std::vector<std::string> homes;        // the user's home as given and as resolved
    std::set<std::string> mount_points;    // normalised mount points
};

// Collapses runs of "/" and drops trailing ones (the root stays "/"); "." and
// ".." are kept, nothing touches the filesystem. Empty stays empty.
std::string normalize(const std::string& path);

// path is parent + "/" + one non-empty component.
bool is_direct_child(const std::string& path, const std::string& parent);

// The folders named in home + "/.config/user-dirs.dirs": "$HOME/…" values
// relative to home, absolute values as they are, anything else ignored; quotes
// and CR line ends stripped. Nothing in the file is expanded or executed.
std::vector<std::string> read_user_dirs(const std::string& home);

// The rules for a home (empty: none known), a mount table and the folder that
// holds users' homes ("/home" for the process; tests pass a fake one). Every
// home-dependent entry is added as given and as resolved through links.
Rules make_rules(const std::string& home, const std::vector<mounts::Mount>& table,
                 const std::string& homes_root);

// The reason for path under rules, or null. writable tells whether the sandbox
// can write a display path.
const char* classify(const std::string& path, const Rules& rules,
                     bool (*writable)(const std::string&));

}  // namespace detail

}  // namespace deletion_guard
