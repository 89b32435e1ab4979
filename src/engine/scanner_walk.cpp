// scanner_walk — measuring: the allocated size and newest modification time
// of a path and everything below it, on the path's own mount.
//
// The walk is iterative and works relative to directory descriptors: each
// directory is read in large batches and every entry is examined with one
// stat call on the directory's descriptor, with no path built per entry. A
// directory keeps its descriptor only while sub-folders of it wait to be
// walked, and at most kOpenBudget descriptors are held at once; a folder whose
// descriptor was given up is reached again through ".." from its descendant,
// or, when ".." cannot be climbed (a folder readable but not searchable, or
// one moved away), by descending again from the measured folder by name. In
// both cases it is recognised by its device and inode. So a tree of any depth
// costs neither stack nor descriptors in proportion to its depth.
//
// A folder on another mount (another device, a mount root or another mount
// id) is neither counted nor entered: deleting the entry could never free it.
// A mount point the mount table lists is passed without even a stat, which
// would wait on its filesystem when that does not answer.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/paths.h"
#include "engine/scanner.h"
#include "engine/scanner_fs.h"

namespace scanner {

namespace {

// Descriptors one walk may hold. Several walks run at once (the measuring
// threads and the guard's pool), and the process limit is often 1024.
constexpr std::size_t kOpenBudget = 16;

// Levels of ".." per openat when climbing back to a folder (3 bytes each,
// well below PATH_MAX).
constexpr std::size_t kClimbChunk = 1000;

// Most bytes of names per openat when descending to a folder again; names are
// at most 255 bytes, so every chunk holds at least one.
constexpr std::size_t kDescendChunk = 2048;

// The hard-link memory of one measurement: a file with several links is
// counted the first time one of its names is met.
struct LinkSet {
    struct Key {
        dev_t dev;
        ino_t ino;
        bool operator==(const Key& o) const { return dev == o.dev && ino == o.ino; }
    };
    struct KeyHash {
        std::size_t operator()(const Key& k) const {
            return std::hash<std::uint64_t>()(static_cast<std::uint64_t>(k.ino) * 31 +
                                              static_cast<std::uint64_t>(k.dev));
        }
    };
    // The whole (device, inode) pair: no two files can share it.
    std::unordered_set<Key, KeyHash> seen;

    bool first_time(const struct stat& st) { return seen.insert(Key{st.st_dev, st.st_ino}).second; }
};

// A directory that has sub-folders still to be walked.
struct Frame {
    int fd = -1;            // its descriptor, or -1 while given up to the budget
    std::size_t depth = 0;  // levels below the measured folder
    dev_t dev = 0;          // identity, checked when the folder is reached again
    ino_t ino = 0;          //
    std::string pending;    // sub-folders to walk: records of dev, inode, name, NUL
    std::size_t next = 0;   // offset of the next record in pending
    std::size_t path_len =
        0;  // its path below the measured folder: this many bytes of the walk's path
};

void append_pending(std::string& pending, const struct stat& st, const char* name) {
    const dev_t dev = st.st_dev;
    const ino_t ino = st.st_ino;
    pending.append(reinterpret_cast<const char*>(&dev), sizeof dev);
    pending.append(reinterpret_cast<const char*>(&ino), sizeof ino);
    pending.append(name, std::strlen(name) + 1);
}

// Opens the folder `levels` above the one open at from, and checks that it is
// still the folder with this device and inode. -1 when it is gone or moved.
int climb(int from, std::size_t levels, dev_t dev, ino_t ino) {
    int fd = from;
    while (levels > 0) {
        const std::size_t step = levels < kClimbChunk ? levels : kClimbChunk;
        std::string rel;
        rel.reserve(step * 3);
        for (std::size_t i = 0; i < step; ++i)
            rel += i == 0 ? ".." : "/..";
        const int up = fs::open_dir(fd, rel.c_str(), false);
        if (fd != from)
            ::close(fd);
        if (up < 0)
            return -1;
        fd = up;
        levels -= step;
    }
    struct stat st {};
    if (fd == from || ::fstat(fd, &st) != 0 || st.st_dev != dev || st.st_ino != ino) {
        // Renamed or removed while it was walked: what is left of it is not
        // where it was, so it is not counted.
        if (fd != from)
            ::close(fd);
        return -1;
    }
    return fd;
}

// Opens the folder at rel, a path of names below the folder open at root,
// one openat per chunk of names, and checks that it is the folder with this
// device and inode. -1 when it cannot be reached or is another folder.
int descend(int root, const std::string& rel, dev_t dev, ino_t ino) {
    int fd = ::fcntl(root, F_DUPFD_CLOEXEC, 0);
    std::size_t pos = 0;
    while (fd >= 0 && pos < rel.size()) {
        std::size_t end = pos;
        for (;;) {
            const std::size_t slash = rel.find('/', end + 1);
            const std::size_t stop = slash == std::string::npos ? rel.size() : slash;
            if (end > pos && stop - pos > kDescendChunk)
                break;
            end = stop;
            if (end == rel.size())
                break;
        }
        const int down = fs::open_dir(fd, rel.substr(pos, end - pos).c_str(), false);
        ::close(fd);
        fd = down;
        pos = end + 1;
    }
    struct stat st {};
    if (fd >= 0 && (::fstat(fd, &st) != 0 || st.st_dev != dev || st.st_ino != ino)) {
        // Moved or replaced since it was listed: what is there now is not it.
        ::close(fd);
        return -1;
    }
    return fd;
}

// Where the measured folder lives: a sub-folder elsewhere is a mount point.
struct Mount {
    dev_t dev = 0;
    std::uint64_t id = 0;  // 0 when the kernel does not report mount ids
};

bool on_other_mount(const fs::Stat& s, const Mount& root) {
    if (s.st.st_dev != root.dev || s.mount_root)
        return true;
    return s.mnt_id != 0 && root.id != 0 && s.mnt_id != root.id;
}

class SizeWalk {
public:
    SizeWalk(Measure& m, const std::atomic<bool>* cancel)
        : m_total(m.bytes), m_newest(m.newest_mtime), m_cancel(cancel) {}
    ~SizeWalk() {
        for (Frame& f : m_stack)
            close_frame(f);
        if (m_root_fd >= 0)
            ::close(m_root_fd);
    }
    SizeWalk(const SizeWalk&) = delete;
    SizeWalk& operator=(const SizeWalk&) = delete;

    // Walks root; false when cancelled before the end.
    bool run(const std::string& root, const fs::Stat& root_st);

private:
    bool scan(Frame& f);
    bool is_known_mount_point(const char* name) const;
    bool walk_pending();
    void finished(int fd, std::size_t depth);
    int reopen(const Frame& f);
    void keep_within_budget();
    void close_frame(Frame& f);

    std::int64_t& m_total;
    std::time_t& m_newest;
    const std::atomic<bool>* m_cancel;
    LinkSet m_links;
    Mount m_mount;            // the measured folder's mount
    int m_root_fd = -1;       // the measured folder, held for the whole walk
    std::string m_path;       // names from the measured folder down to the innermost frame
    std::string m_root_path;  // the measured folder (scan path)
    // Mount points below it in the mount table: passed by name, without the
    // stat that would already wait on a filesystem that does not answer.
    std::unordered_set<std::string> m_mount_points;
    std::vector<Frame> m_stack;
    std::size_t m_open = 0;        // descriptors held by frames on the stack
    std::size_t m_first_open = 0;  // no frame below this index holds one
};

void SizeWalk::close_frame(Frame& f) {
    if (f.fd >= 0) {
        ::close(f.fd);
        f.fd = -1;
        --m_open;
    }
}

// Counts every entry of f's folder and records its sub-folders. False when
// cancelled.
bool SizeWalk::scan(Frame& f) {
    return fs::for_each_entry(f.fd, fs::thread_buffer(), [&](const fs::Entry& e) {
        if (fs::cancelled(m_cancel))
            return false;
        // A symbolic link adds neither bytes nor a time and is never followed;
        // the entry type says so without a stat.
        if (e.type == DT_LNK)
            return true;
        if ((e.type == DT_DIR || e.type == DT_UNKNOWN) && is_known_mount_point(e.name))
            return true;
        const fs::Stat s = fs::stat_at(f.fd, e.name);
        // Gone between the listing and the stat: it no longer occupies space.
        if (!s.ok || S_ISLNK(s.st.st_mode))
            return true;
        // Another mount: deleting the entry never reaches it.
        if (S_ISDIR(s.st.st_mode) && on_other_mount(s, m_mount))
            return true;
        if (s.st.st_mtim.tv_sec > m_newest)
            m_newest = s.st.st_mtim.tv_sec;
        if (S_ISDIR(s.st.st_mode)) {
            m_total += fs::allocated(s.st);
            append_pending(f.pending, s.st, e.name);
        } else if (s.st.st_nlink <= 1 || m_links.first_time(s.st)) {
            m_total += fs::allocated(s.st);
        }
        return true;
    });
}

// name, in the folder being scanned, is a mount point the table lists.
bool SizeWalk::is_known_mount_point(const char* name) const {
    if (m_mount_points.empty())
        return false;
    std::string p = m_root_path;
    if (!m_path.empty())
        p += '/' + m_path;
    p += '/';
    p += name;
    return m_mount_points.count(p) != 0;
}

// fd (a folder at depth) has been walked completely: makes sure the frame now
// on top holds a descriptor, climbing back to it from fd when the budget took
// it, then closes fd.
void SizeWalk::finished(int fd, std::size_t depth) {
    if (!m_stack.empty() && m_stack.back().fd < 0) {
        Frame& top = m_stack.back();
        top.fd = climb(fd, depth - top.depth, top.dev, top.ino);
        // ".." of a folder that is not searchable, or moved: by name instead.
        if (top.fd < 0)
            top.fd = reopen(top);
        if (top.fd >= 0) {
            ++m_open;
            m_first_open = m_stack.size() - 1;
        } else {
            // Unreachable now: its remaining sub-folders are left out.
            top.next = top.pending.size();
        }
    }
    ::close(fd);
}

int SizeWalk::reopen(const Frame& f) {
    return descend(m_root_fd, m_path.substr(0, f.path_len), f.dev, f.ino);
}

void SizeWalk::keep_within_budget() {
    while (m_open > kOpenBudget && m_first_open + 1 < m_stack.size()) {
        close_frame(m_stack[m_first_open]);
        ++m_first_open;
    }
}

bool SizeWalk::walk_pending() {
    while (!m_stack.empty()) {
        if (fs::cancelled(m_cancel))
            return false;
        Frame& top = m_stack.back();
        // Given up to the budget and not reached again: its remaining
        // sub-folders cannot be opened, so they are left out.
        if (top.fd < 0)
            top.next = top.pending.size();
        if (top.next >= top.pending.size()) {
            const int fd = top.fd;
            const std::size_t depth = top.depth;
            m_stack.pop_back();
            if (fd < 0)
                continue;
            --m_open;
            if (m_first_open > m_stack.size())
                m_first_open = m_stack.size();
            finished(fd, depth);
            continue;
        }
        Frame child;
        const char* rec = top.pending.data() + top.next;
        std::memcpy(&child.dev, rec, sizeof child.dev);
        std::memcpy(&child.ino, rec + sizeof child.dev, sizeof child.ino);
        const char* name = rec + sizeof child.dev + sizeof child.ino;
        top.next += sizeof child.dev + sizeof child.ino + std::strlen(name) + 1;
        child.depth = top.depth + 1;
        m_path.resize(top.path_len);
        if (top.depth > 0)
            m_path += '/';
        m_path += name;
        child.path_len = m_path.size();
        child.fd = fs::open_dir(top.fd, name, false);
        // An unreadable folder adds only its own blocks, counted above.
        if (child.fd < 0)
            continue;
        if (top.next >= top.pending.size()) {
            // The parent has nothing left to walk: let it go before descending,
            // so that a long chain of folders holds one descriptor at a time.
            close_frame(top);
            m_stack.pop_back();
            if (m_first_open > m_stack.size())
                m_first_open = m_stack.size();
        }
        if (!scan(child)) {
            ::close(child.fd);
            return false;
        }
        if (child.pending.empty()) {
            finished(child.fd, child.depth);
            continue;
        }
        m_stack.push_back(std::move(child));
        ++m_open;
        keep_within_budget();
    }
    return true;
}

bool SizeWalk::run(const std::string& root, const fs::Stat& root_st) {
    if (fs::cancelled(m_cancel))
        return false;
    Frame f;
    f.fd = fs::open_dir(AT_FDCWD, root.c_str(), false);
    // An unreadable folder counts its own blocks only.
    if (f.fd < 0)
        return true;
    f.dev = root_st.st.st_dev;
    f.ino = root_st.st.st_ino;
    m_mount = Mount{root_st.st.st_dev, root_st.mnt_id};
    m_root_path = root == "/" ? std::string() : root;
    for (std::string& point : detail::mount_points_below(root))
        m_mount_points.insert(std::move(point));
    if (!scan(f)) {
        ::close(f.fd);
        return false;
    }
    if (f.pending.empty()) {
        ::close(f.fd);
        return true;
    }
    // Held apart from the frames: every folder below is reachable from it by
    // name, whatever the budget has let go.
    m_root_fd = ::fcntl(f.fd, F_DUPFD_CLOEXEC, 0);
    m_stack.push_back(std::move(f));
    m_open = 1;
    return walk_pending();
}

// "dir/" names the link's target when dir is a link; the path itself is meant.
std::string without_trailing_slashes(std::string p) {
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

}  // namespace

Measure measure(const std::string& path, const std::atomic<bool>* cancel) {
    Measure m;
    const std::string p = without_trailing_slashes(paths::to_scan_path(path));
    if (p.empty())
        return m;
    const fs::Stat s = fs::stat_at(AT_FDCWD, p.c_str());
    // Missing, unreadable or a symbolic link: nothing is counted, nothing followed.
    if (!s.ok || S_ISLNK(s.st.st_mode))
        return m;
    m.newest_mtime = s.st.st_mtim.tv_sec;
    m.bytes = fs::allocated(s.st);
    if (S_ISDIR(s.st.st_mode)) {
        SizeWalk walk(m, cancel);
        if (!walk.run(p, s))
            m.outcome = Outcome::Cancelled;
    }
    return m;
}

std::int64_t size(const std::string& path, const std::atomic<bool>* cancel) {
    return measure(path, cancel).bytes;
}

}  // namespace scanner
