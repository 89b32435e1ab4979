// scanner_fs — see scanner_fs.h.
#include "engine/scanner_fs.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

namespace scanner::fs {

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
    s.ok = ::fstatat(dirfd, name, &s.st, AT_SYMLINK_NOFOLLOW) == 0;
    return s;
}

}  // namespace scanner::fs
