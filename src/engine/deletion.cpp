// deletion — batches of permanent deletion. See deletion.h; the removal of
// one entry is in deletion_walk.cpp.
#include "engine/deletion.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <optional>

#include "base/paths.h"
#include "base/strutil.h"
#include "engine/deletion_guard.h"
#include "engine/in_use.h"

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

// Whether name in the open folder parent_fd is the object the scan saw; a
// name that is gone is, as there is nothing left to get wrong.
bool is_same_object(int parent_fd, const std::string& name, const Target& seen) {
    if (seen.dev == 0 && seen.ino == 0)
        return true;
    struct stat st {};
    if (::fstatat(parent_fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return errno == ENOENT;
    return static_cast<std::uint64_t>(st.st_dev) == seen.dev &&
           static_cast<std::uint64_t>(st.st_ino) == seen.ino;
}

// Removes one display path; null when it is gone, otherwise the reason. seen,
// when given, is what the path must still name.
const char* delete_one(const std::string& path, const std::vector<mounts::Mount>& table,
                       const Target* seen) {
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
    if (seen != nullptr && !is_same_object(parent_fd, name, *seen)) {
        ::close(parent_fd);
        return kChanged;
    }
    const bool removed = detail::remove_entry(parent_fd, name, table, detail::RemoveLimits{});
    const bool gone = removed && gone_from(parent_fd, name);
    ::close(parent_fd);
    return gone ? nullptr : kCouldNotBeMoved;
}

void record(DeleteResult& result, const std::string& path, const char* reason,
            std::string subject) {
    if (reason == nullptr) {
        result.deleted.push_back(path);
        return;
    }
    ++result.failed_count;
    result.failed.push_back(path);
    result.failed_reasons.push_back(reason);
    result.failed_subjects.push_back(std::move(subject));
    if (result.error.empty())
        result.error = reason;
}

// --- Free space ---

// Bytes free to an unprivileged user on the filesystem holding folder.
std::optional<std::uint64_t> free_bytes(const std::string& folder) {
    struct statvfs vfs {};
    if (::statvfs(paths::to_scan_path(folder).c_str(), &vfs) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(vfs.f_bavail) * vfs.f_frsize;
}

// The filesystems a batch deletes on, each with a folder on it that outlives
// the batch (the parent of its first entry) and the free space before.
class SpaceBook {
public:
    explicit SpaceBook(const std::vector<mounts::Mount>& table) : m_table(table) {}

    // Call before an entry under path is touched.
    void before(const std::string& path) {
        const std::string parent = su::parent_of(path);
        struct stat st {};
        if (parent.empty() || ::stat(paths::to_scan_path(parent).c_str(), &st) != 0)
            return;
        for (const Book& b : m_books) {
            if (b.dev == st.st_dev)
                return;
        }
        const std::optional<std::uint64_t> free = free_bytes(parent);
        if (!free)
            return;
        const mounts::Mount* m = mounts::detail::lookup(m_table, paths::to_scan_path(parent));
        m_books.push_back(
            Book{st.st_dev, parent,
                 FreeSpace{m != nullptr ? paths::to_display_path(m->point) : "", *free, *free}});
    }

    std::vector<FreeSpace> after() const {
        std::vector<FreeSpace> out;
        for (const Book& b : m_books) {
            FreeSpace s = b.space;
            s.after = free_bytes(b.folder).value_or(s.before);
            out.push_back(std::move(s));
        }
        return out;
    }

private:
    struct Book {
        dev_t dev;
        std::string folder;
        FreeSpace space;
    };
    const std::vector<mounts::Mount>& m_table;
    std::vector<Book> m_books;
};

// The user-facing name of a process holding something: "code (4711)".
std::string process_text(const in_use::User& u) {
    return (u.name.empty() ? std::string("?") : u.name) + " (" + std::to_string(u.pid) + ")";
}

}  // namespace

DeleteResult delete_permanently(const std::vector<std::string>& paths) {
    DeleteResult result;
    // Read afresh for every batch: a disk mounted inside a project after
    // start-up must be known too.
    const std::vector<mounts::Mount> table = mounts::read_current();
    for (const std::string& path : paths)
        record(result, path, delete_one(path, table, nullptr), {});
    return result;
}

DeleteResult delete_checked(const std::vector<Target>& targets, const Safeguards& guards) {
    DeleteResult result;
    const std::vector<mounts::Mount> table = mounts::read_current();
    std::vector<std::optional<in_use::User>> users(targets.size());
    if (guards.check_in_use) {
        std::vector<std::string> paths;
        for (const Target& t : targets)
            paths.push_back(t.path);
        users = in_use::find_users(paths);
    }
    SpaceBook space(table);
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const Target& t = targets[i];
        if (deletion_guard::kept_on_disk(guards.kept, t.path)) {
            record(result, t.path, deletion_guard::kKept, {});
        } else if (i < users.size() && users[i]) {
            record(result, t.path, kInUse, process_text(*users[i]));
        } else {
            space.before(t.path);
            record(result, t.path, delete_one(t.path, table, &t), {});
        }
    }
    result.space = space.after();
    return result;
}

}  // namespace deletion
