// deletion — removing one entry with everything inside it. See deletion.h.
//
// The walk is iterative: an explicit stack of folders replaces recursion, so
// depth costs heap, never call stack. Only the innermost max_open_dirs folders
// keep a descriptor; an outer folder that was closed is re-opened through ".."
// of its child on the way back up and must still be the same folder (device,
// inode, mount). When ".." does not lead back to it (the folder was moved away
// meanwhile), the outer folders are reached again from the entry's parent by
// name, each checked the same way; what can be reached that way is still
// removed, and only the folders that cannot be are given up. A folder moved
// away mid-deletion never leads the removal somewhere else.
//
// Every access is relative to an open folder, with symbolic links never
// followed. A folder is entered only when the descriptor just opened is the
// entry that was examined, on the entry's own mount and filesystem; anything
// else is unlinked without being opened.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <set>
#include <unordered_set>

#include "base/paths.h"
#include "base/strutil.h"
#include "engine/deletion.h"

namespace deletion {

namespace {

// How often a folder is read again when it was not empty after a pass (entries
// created meanwhile, or missed while the same folder shrank under readdir).
constexpr int kMaxPasses = 4;

// How often one entry is examined again when it changed type between the look
// and the action (a folder swapped for a link, say).
constexpr int kMaxAttempts = 3;

// What the kernel says about one entry.
struct Node {
    mode_t mode = 0;
    dev_t dev = 0;
    ino_t ino = 0;
    std::uint64_t mnt_id = 0;
    bool has_mnt_id = false;  // the kernel reported a mount id
    bool mount_root = false;  // the kernel flags it as the root of a mount
};

// statx where the kernel has it, for the mount id and the mount-root flag;
// fstatat otherwise. flags carry AT_SYMLINK_NOFOLLOW or AT_EMPTY_PATH.
// Returns 0 or the errno value.
int stat_node(int dirfd, const char* name, int flags, Node& out) {
    struct statx sx {};
    // AT_NO_AUTOMOUNT: looking at an automount point must not mount it.
    if (::statx(dirfd, name, flags | AT_NO_AUTOMOUNT, STATX_TYPE | STATX_INO | STATX_MNT_ID, &sx) ==
        0) {
        if ((sx.stx_mask & (STATX_TYPE | STATX_INO)) == (STATX_TYPE | STATX_INO)) {
            out.mode = sx.stx_mode;
            out.dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
            out.ino = sx.stx_ino;
            out.has_mnt_id = (sx.stx_mask & STATX_MNT_ID) != 0;
            out.mnt_id = sx.stx_mnt_id;
            out.mount_root = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
                             (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
            return 0;
        }
        // A filesystem that cannot report type and inode through statx:
        // fall through to fstatat, which always does.
    } else if (errno != ENOSYS && errno != EINVAL && errno != EPERM) {
        // ENOSYS, EINVAL and EPERM are what kernels without statx, or
        // sandboxes that filter it, answer; anything else is the entry's own
        // error and fstatat would only repeat it.
        return errno;
    }
    struct stat st {};
    if (::fstatat(dirfd, name, &st, flags) != 0)
        return errno;
    out = Node{};
    out.mode = st.st_mode;
    out.dev = st.st_dev;
    out.ino = st.st_ino;
    return 0;
}

// Mount points strictly below dir (canonical), relative to it.
std::set<std::string> mount_points_below(const std::string& dir,
                                         const std::vector<mounts::Mount>& table) {
    std::set<std::string> rel;
    if (dir.empty())
        return rel;
    const std::string prefix = dir == "/" ? "/" : dir + "/";
    for (const mounts::Mount& m : table) {
        if (m.point.size() > prefix.size() && su::starts_with(m.point, prefix))
            rel.insert(m.point.substr(prefix.size()));
    }
    return rel;
}

bool is_dot_or_dotdot(const char* name) {
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

class Walker {
public:
    Walker(int parent_fd, const Node& parent, std::set<std::string> mount_points,
           const detail::RemoveLimits& limits)
        : m_parent_fd(parent_fd),
          m_parent(parent),
          m_mount_points(std::move(mount_points)),
          m_limits(limits) {
        if (m_limits.max_open_dirs == 0)
            m_limits.max_open_dirs = 1;
    }
    ~Walker() { close_all(); }
    Walker(const Walker&) = delete;
    Walker& operator=(const Walker&) = delete;

    bool run(const std::string& name);

private:
    enum class Outcome { Removed, Failed, Entered };

    struct Frame {
        std::string name;  // its name in the folder one level up
        dev_t dev = 0;     // identity, checked when re-opened via ".."
        ino_t ino = 0;
        DIR* dir = nullptr;                    // open stream; null while closed for depth
        std::size_t rel_len = 0;               // length of m_rel before this folder's name
        int passes = 1;                        // readings of the folder so far
        bool failed = false;                   // an entry inside could not be removed
        bool removed = false;                  // something went since the stream (re)started
        std::unordered_set<std::string> skip;  // entries that failed: not tried again
    };

    Outcome remove_or_enter(int dirfd, const std::string& name, unsigned char d_type);
    bool is_other_mount(const Node& n, const std::string& name) const;
    int open_child(int dirfd, const std::string& name);
    void push(const std::string& name, const Node& n, DIR* dir);
    void pop(Outcome outcome);
    void finish_top();
    int parent_fd_of(std::size_t i, std::size_t& reachable);
    std::size_t reach_from_top(std::size_t target);
    void give_up_below(std::size_t reached);
    void close_oldest();
    void close_all();

    int m_parent_fd;                       // the folder holding the entry (not ours)
    Node m_parent;                         // its mount and filesystem bound the walk
    std::set<std::string> m_mount_points;  // from the table, relative to m_parent_fd
    detail::RemoveLimits m_limits;
    std::vector<Frame> m_frames;   // the folders being emptied, outermost first
    std::size_t m_first_open = 0;  // frames before this index are closed
    std::string m_rel;             // path of the innermost frame (with mount points)
    bool m_result = false;         // the entry is gone; set when the walk ends
};

// A folder on another mount or filesystem than the entry's parent. Device
// numbers catch another filesystem; a bind mount of the same disk shows only
// in the mount id, the mount-root flag or the mount table.
bool Walker::is_other_mount(const Node& n, const std::string& name) const {
    if (n.dev != m_parent.dev)
        return true;
    if (m_limits.kernel_mount_checks) {
        if (n.mount_root)
            return true;
        if (n.has_mnt_id && m_parent.has_mnt_id && n.mnt_id != m_parent.mnt_id)
            return true;
    }
    if (!m_mount_points.empty()) {
        const std::string rel = m_rel.empty() ? name : m_rel + "/" + name;
        if (m_mount_points.count(rel) > 0)
            return true;
    }
    return false;
}

// O_NOFOLLOW: a link swapped in since the look fails with ELOOP instead of
// being followed. O_NONBLOCK: should anything but a folder slip through, its
// open must not wait (O_DIRECTORY already refuses it before that).
int Walker::open_child(int dirfd, const std::string& name) {
    for (;;) {
        const int fd = ::openat(dirfd, name.c_str(),
                                O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        if (fd >= 0)
            return fd;
        // Out of descriptors: give up an outer folder's (it is re-opened on
        // the way back) as long as one is held besides the current folder.
        if ((errno == EMFILE || errno == ENFILE) && m_frames.size() - m_first_open >= 2) {
            close_oldest();
            continue;
        }
        return -1;
    }
}

Walker::Outcome Walker::remove_or_enter(int dirfd, const std::string& name, unsigned char d_type) {
    // readdir's type saves a stat for everything that is not a folder; unlink
    // never follows a link and never opens, and fails with EISDIR should a
    // folder have taken the name since.
    if (d_type != DT_DIR && d_type != DT_UNKNOWN) {
        if (::unlinkat(dirfd, name.c_str(), 0) == 0 || errno == ENOENT)
            return Outcome::Removed;
        if (errno != EISDIR)
            return Outcome::Failed;
    }
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        Node n;
        const int err = stat_node(dirfd, name.c_str(), AT_SYMLINK_NOFOLLOW, n);
        if (err == ENOENT)
            return Outcome::Removed;  // someone else removed it
        if (err != 0)
            return Outcome::Failed;
        if (!S_ISDIR(n.mode)) {
            if (::unlinkat(dirfd, name.c_str(), 0) == 0 || errno == ENOENT)
                return Outcome::Removed;
            if (errno == EISDIR)
                continue;  // became a folder since the look
            return Outcome::Failed;
        }
        // A mount point is never opened: its data lives elsewhere, and a dead
        // network mount would hang the open.
        if (is_other_mount(n, name))
            return Outcome::Failed;
        if (m_limits.before_open)
            m_limits.before_open(dirfd, name);
        const int fd = open_child(dirfd, name);
        if (fd < 0) {
            if (errno == ENOENT)
                return Outcome::Removed;
            if (errno == ELOOP || errno == ENOTDIR)
                continue;  // swapped for a link or a file since the look
            // Unreadable, or no descriptor left: an empty folder can still go.
            if (::unlinkat(dirfd, name.c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT)
                return Outcome::Removed;
            return Outcome::Failed;
        }
        Node opened;
        if (stat_node(fd, "", AT_EMPTY_PATH, opened) != 0 || !S_ISDIR(opened.mode)) {
            ::close(fd);
            return Outcome::Failed;
        }
        if (opened.dev != n.dev || opened.ino != n.ino) {
            ::close(fd);  // another folder took the name between look and open
            continue;
        }
        if (is_other_mount(opened, name)) {
            ::close(fd);  // mounted on between look and open
            return Outcome::Failed;
        }
        DIR* dir = ::fdopendir(fd);
        if (dir == nullptr) {
            ::close(fd);
            return Outcome::Failed;
        }
        push(name, opened, dir);
        return Outcome::Entered;
    }
    return Outcome::Failed;  // it kept changing under us
}

void Walker::push(const std::string& name, const Node& n, DIR* dir) {
    Frame f;
    f.name = name;
    f.dev = n.dev;
    f.ino = n.ino;
    f.dir = dir;
    if (!m_mount_points.empty()) {
        f.rel_len = m_rel.size();
        m_rel = m_rel.empty() ? name : m_rel + "/" + name;
    }
    m_frames.push_back(std::move(f));
    while (m_frames.size() - m_first_open > m_limits.max_open_dirs)
        close_oldest();
}

void Walker::close_oldest() {
    Frame& f = m_frames[m_first_open];
    if (f.dir != nullptr) {
        ::closedir(f.dir);
        f.dir = nullptr;
    }
    ++m_first_open;
}

// The descriptor of the folder holding frame i, re-opened through ".." when it
// was closed for depth, or failing that by name from the entry's parent; -1
// when it cannot be reached either way as the same folder, with reachable set
// to how many frames from the outermost still can be.
int Walker::parent_fd_of(std::size_t i, std::size_t& reachable) {
    if (i == 0)
        return m_parent_fd;
    Frame& up = m_frames[i - 1];
    if (up.dir != nullptr)
        return ::dirfd(up.dir);
    const int fd = ::openat(::dirfd(m_frames[i].dir), "..",
                            O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    Node n;
    const bool same = fd >= 0 && stat_node(fd, "", AT_EMPTY_PATH, n) == 0 && n.dev == up.dev &&
                      n.ino == up.ino &&
                      !(n.has_mnt_id && m_parent.has_mnt_id && n.mnt_id != m_parent.mnt_id);
    DIR* dir = same ? ::fdopendir(fd) : nullptr;
    if (dir == nullptr) {
        if (fd >= 0)
            ::close(fd);
        // ".." leads elsewhere (this folder was moved) or cannot be opened:
        // the folder above may still be where it was.
        reachable = reach_from_top(i - 1);
        return reachable < i ? -1 : ::dirfd(up.dir);
    }
    // The stream starts over; what was removed is gone, and what failed is in
    // the skip list, so reading again from the top only finds what is left.
    up.dir = dir;
    up.removed = false;
    m_first_open = i - 1;
    return fd;
}

// Opens the closed frames 0 … target again, walking down by name from the
// entry's parent, each checked to be the folder entered before (device,
// inode, mount). Returns how many frames from the outermost could be reached;
// the deepest of them is left open, with its stream starting over.
std::size_t Walker::reach_from_top(std::size_t target) {
    int fd = m_parent_fd;
    std::size_t reached = 0;
    for (; reached <= target; ++reached) {
        const Frame& f = m_frames[reached];
        const int next = ::openat(fd, f.name.c_str(),
                                  O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
        Node n;
        const bool same = next >= 0 && stat_node(next, "", AT_EMPTY_PATH, n) == 0 &&
                          n.dev == f.dev && n.ino == f.ino &&
                          !(n.has_mnt_id && m_parent.has_mnt_id && n.mnt_id != m_parent.mnt_id);
        if (!same) {
            if (next >= 0)
                ::close(next);
            break;
        }
        if (fd != m_parent_fd)
            ::close(fd);
        fd = next;
    }
    if (reached == 0)
        return 0;
    Frame& deepest = m_frames[reached - 1];
    deepest.dir = ::fdopendir(fd);
    if (deepest.dir == nullptr) {
        // No stream to read it with (out of memory): with no open frame
        // above to fall back on, nothing is reachable.
        ::close(fd);
        return 0;
    }
    deepest.removed = false;
    m_first_open = reached - 1;
    return reached;
}

// Gives up every frame from index reached inwards: they cannot be reached
// from the entry's parent any more, so nothing in them can be removed. Each
// one counts as a failure of the folder above it.
void Walker::give_up_below(std::size_t reached) {
    while (m_frames.size() > reached)
        pop(Outcome::Failed);
}

void Walker::pop(Outcome outcome) {
    Frame& f = m_frames.back();
    const std::string name = std::move(f.name);
    if (f.dir != nullptr)
        ::closedir(f.dir);
    if (!m_mount_points.empty())
        m_rel.resize(f.rel_len);
    m_frames.pop_back();
    if (m_first_open > m_frames.size())
        m_first_open = m_frames.size();
    if (m_frames.empty()) {
        m_result = outcome == Outcome::Removed;
        return;
    }
    Frame& up = m_frames.back();
    if (outcome == Outcome::Removed) {
        up.removed = true;
    } else {
        up.failed = true;
        up.skip.insert(name);
    }
}

// The innermost folder has been read to its end: remove it, read it once more,
// or give up on it and on whatever above it can no longer be reached.
void Walker::finish_top() {
    const std::size_t i = m_frames.size() - 1;
    std::size_t reachable = 0;
    const int up_fd = parent_fd_of(i, reachable);
    if (up_fd < 0) {
        give_up_below(reachable);
        return;
    }
    Frame& f = m_frames[i];
    if (!f.failed) {
        if (::unlinkat(up_fd, f.name.c_str(), AT_REMOVEDIR) == 0 || errno == ENOENT) {
            pop(Outcome::Removed);
            return;
        }
        if (errno != ENOTEMPTY && errno != EEXIST) {
            pop(Outcome::Failed);
            return;
        }
    }
    // Not empty: entries arrived after the pass, or the pass missed some while
    // the folder shrank under it. Another reading finds them; one that can
    // change nothing (only failures, nothing removed) is not made.
    if (f.passes < kMaxPasses && (f.removed || !f.failed)) {
        ::rewinddir(f.dir);
        ++f.passes;
        f.removed = false;
        return;
    }
    pop(Outcome::Failed);
}

bool Walker::run(const std::string& name) {
    const Outcome first = remove_or_enter(m_parent_fd, name, DT_UNKNOWN);
    if (first != Outcome::Entered)
        return first == Outcome::Removed;
    while (!m_frames.empty()) {
        const std::size_t i = m_frames.size() - 1;
        errno = 0;
        const dirent* e = ::readdir(m_frames[i].dir);
        if (e == nullptr) {
            // A read error leaves entries unseen: the folder cannot be
            // emptied, and trying again would fail alike.
            if (errno != 0)
                m_frames[i].failed = true;
            finish_top();
            continue;
        }
        if (is_dot_or_dotdot(e->d_name) || m_frames[i].skip.count(e->d_name) > 0)
            continue;
        const std::string child = e->d_name;  // the stream's buffer is reused
        const Outcome o = remove_or_enter(::dirfd(m_frames[i].dir), child, e->d_type);
        if (o == Outcome::Removed) {
            m_frames[i].removed = true;
        } else if (o == Outcome::Failed) {
            m_frames[i].failed = true;
            m_frames[i].skip.insert(child);
        }
    }
    return m_result;
}

void Walker::close_all() {
    for (Frame& f : m_frames) {
        if (f.dir != nullptr)
            ::closedir(f.dir);
        f.dir = nullptr;
    }
    m_frames.clear();
    m_first_open = 0;
}

}  // namespace

namespace detail {

bool remove_entry(int parent_fd, const std::string& name, const std::vector<mounts::Mount>& table,
                  const RemoveLimits& limits) {
    // "." and ".." name the parent or its parent, never an entry inside it.
    if (name.empty() || name.find('/') != std::string::npos || name == "." || name == "..")
        return false;
    Node parent;
    if (stat_node(parent_fd, "", AT_EMPTY_PATH, parent) != 0 || !S_ISDIR(parent.mode))
        return false;
    Walker walker(parent_fd, parent, mount_points_below(paths::fd_path(parent_fd), table), limits);
    return walker.run(name);
}

}  // namespace detail

}  // namespace deletion
