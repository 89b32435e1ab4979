// deletion — batches of permanent deletion. See deletion.h; the removal of
// one entry is in deletion_walk.cpp.
#include "engine/deletion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "base/paths.h"
#include "base/strutil.h"
#include "engine/deletion_guard.h"

namespace deletion {

namespace {

// --- Permanent deletion ---

// Where an open folder really is, as a display path; empty when /proc cannot
// say.
std::string opened_location(int fd) {
    const std::string real = paths::fd_path(fd);
    return real.empty() ? real : paths::to_display_path(real);
}

bool gone_from(int parent_fd, const std::string& name) {
    struct stat st {};
    return ::fstatat(parent_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 && errno == ENOENT;
}

// Removes one display path; null when it is gone, otherwise the reason.
const char* delete_one(const std::string& path, const std::vector<mounts::Mount>& table) {
    if (const char* reason = deletion_guard::reason_key(path))
        return reason;
    if (!paths::is_writable_location(path))
        return deletion_guard::kReadOnlyLocation;
    const std::string parent = su::parent_of(path);
    const std::string name = su::basename_of(path);
    // The guard has refused empty, relative and root paths and "." and "..";
    // this only keeps a change there from turning into a removal here.
    if (parent.empty() || name.empty() || name == "/" || name == "." || name == "..")
        return deletion_guard::kProtectedSystemLocation;

    // Links in the parent path are followed, as the user sees them.
    const int parent_fd =
        ::open(paths::to_scan_path(parent).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (parent_fd < 0)
        return kNoAccess;
    // The guard judged the path by name; judge the folder actually opened
    // too, so that a link swapped into the parent path since cannot carry the
    // removal into a protected place.
    const std::string opened = opened_location(parent_fd);
    if (!opened.empty()) {
        if (const char* reason = deletion_guard::reason_key(su::join_path(opened, name))) {
            ::close(parent_fd);
            return reason;
        }
    }
    const bool removed = detail::remove_entry(parent_fd, name, table, detail::RemoveLimits{});
    const bool gone = removed && gone_from(parent_fd, name);
    ::close(parent_fd);
    return gone ? nullptr : kCouldNotBeMoved;
}

}  // namespace

DeleteResult delete_permanently(const std::vector<std::string>& paths) {
    DeleteResult result;
    // Read afresh for every batch: a disk mounted inside a project after
    // start-up must be known too.
    const std::vector<mounts::Mount> table = mounts::read_current();
    for (const std::string& path : paths) {
        const char* reason = delete_one(path, table);
        if (reason == nullptr) {
            result.deleted.push_back(path);
            continue;
        }
        ++result.failed_count;
        result.failed.push_back(path);
        result.failed_reasons.push_back(reason);
        if (result.error.empty())
            result.error = reason;
    }
    return result;
}

}  // namespace deletion
