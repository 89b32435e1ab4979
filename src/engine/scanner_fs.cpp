// scanner_fs — see scanner_fs.h.
#include "engine/scanner_fs.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>
#include <utility>

namespace scanner::fs {

namespace {

// The fields of a stat that the scanner reads, and the mount facts.
void fill_from(const struct statx& sx, Stat& s) {
    s.ok = true;
    s.st.st_mode = sx.stx_mode;
    s.st.st_dev = makedev(sx.stx_dev_major, sx.stx_dev_minor);
    s.st.st_ino = sx.stx_ino;
    s.st.st_nlink = sx.stx_nlink;
    s.st.st_blocks = static_cast<blkcnt_t>(sx.stx_blocks);
    s.st.st_mtim.tv_sec = sx.stx_mtime.tv_sec;
    s.st.st_mtim.tv_nsec = sx.stx_mtime.tv_nsec;
    if ((sx.stx_mask & STATX_MNT_ID) != 0)
        s.mnt_id = sx.stx_mnt_id;
    s.mount_root = (sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 &&
                   (sx.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
}

// Items waiting to be read ahead, at most: a walk that outruns its helpers
// drops the oldest, which it has most likely read itself by then.
constexpr std::size_t kMaxWaiting = 4096;

}  // namespace

// --- Reading ahead ---

ReadAhead::ReadAhead(int threads, const std::atomic<bool>* cancel) : m_cancel(cancel) {
    for (int i = 0; i < threads; ++i) {
        try {
            m_threads.emplace_back([this] { serve(); });
        } catch (const std::system_error&) {
            // No more threads to be had: the walk reads for itself.
            break;
        }
    }
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stop = true;
    }
    m_cv.notify_all();
    for (std::thread& t : m_threads)
        t.join();
}

void ReadAhead::add(std::vector<Item>& items) {
    if (m_threads.empty() || items.empty())
        return;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        // The oldest waiting items make room: the walk has gone past them.
        const std::size_t total = m_todo.size() + items.size();
        if (total > kMaxWaiting) {
            const std::size_t drop = std::min(total - kMaxWaiting, m_todo.size());
            m_todo.erase(m_todo.begin(), m_todo.begin() + static_cast<std::ptrdiff_t>(drop));
        }
        for (auto it = items.rbegin(); it != items.rend() && m_todo.size() < kMaxWaiting; ++it)
            m_todo.push_back(std::move(*it));
    }
    items.clear();
    m_cv.notify_all();
}

void ReadAhead::serve() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_cv.wait(lock, [this] { return m_stop || !m_todo.empty(); });
        if (m_stop)
            return;
        const Item item = std::move(m_todo.back());
        m_todo.pop_back();
        lock.unlock();
        if (!cancelled(m_cancel)) {
            if (item.list) {
                const int fd = open_dir(AT_FDCWD, item.path.c_str(), false);
                // Unreadable: the walk will find it so too.
                if (fd >= 0) {
                    for_each_entry(fd, thread_buffer(), [](const Entry&) { return true; });
                    ::close(fd);
                }
            } else {
                stat_at(AT_FDCWD, item.path.c_str());
            }
        }
        lock.lock();
    }
}

// --- Primitives ---

int open_dir(int dirfd, const char* name, bool follow) {
    int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    if (!follow)
        flags |= O_NOFOLLOW;
    int fd = ::openat(dirfd, name, flags | O_NOATIME);
    // O_NOATIME is refused (EPERM) for folders of other owners; any other
    // failure is retried too, so that no error of the first attempt can hide
    // a folder the plain open could read.
    if (fd < 0)
        fd = ::openat(dirfd, name, flags);
    return fd;
}

char* thread_buffer() {
    // One buffer per thread for its whole life: the guard's pool threads run
    // many measurements, and a fresh 256 KiB allocation each time would cost
    // a mapping and its page faults per call.
    thread_local std::unique_ptr<char[]> buf(new char[kReadSize]);
    return buf.get();
}

long read_entries(int fd, char* buf, std::size_t size) {
    for (;;) {
        const ssize_t n = ::getdents64(fd, buf, size);
        if (n < 0 && errno == EINTR)
            continue;
        return static_cast<long>(n);
    }
}

void read_all(int fd, Listing& out) {
    out.size = 0;
    for (;;) {
        if (out.capacity - out.size < kReadSize) {
            // Grow without zeroing: only bytes the kernel wrote are ever read.
            const std::size_t cap = out.capacity == 0 ? kReadSize : out.capacity * 2;
            std::unique_ptr<char[]> grown(new char[cap]);
            if (out.size > 0)
                std::memcpy(grown.get(), out.data.get(), out.size);
            out.data = std::move(grown);
            out.capacity = cap;
        }
        const long n = read_entries(fd, out.data.get() + out.size, kReadSize);
        // 0 ends the directory; an error keeps what was read before it.
        if (n <= 0)
            return;
        out.size += static_cast<std::size_t>(n);
    }
}

Stat stat_at(int dirfd, const char* name) {
    Stat s;
    constexpr unsigned kWanted =
        STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_MTIME | STATX_BLOCKS;
    struct statx sx {};
    // AT_NO_AUTOMOUNT: measuring an automount point must not mount it.
    if (::statx(dirfd, name, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, kWanted | STATX_MNT_ID, &sx) ==
        0) {
        if ((sx.stx_mask & kWanted) == kWanted) {
            fill_from(sx, s);
            return s;
        }
        // A filesystem that cannot give every field through statx: fstatat
        // always does.
    } else if (errno != ENOSYS && errno != EINVAL && errno != EPERM) {
        // ENOSYS, EINVAL and EPERM come from kernels without statx or
        // sandboxes that filter it; any other error is the entry's own.
        return s;
    }
    s.ok = ::fstatat(dirfd, name, &s.st, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) == 0;
    return s;
}

}  // namespace scanner::fs
