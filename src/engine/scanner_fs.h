// scanner_fs — the filesystem primitives the scanner's walks share: opening a
// directory without touching access times, reading its entries in large
// batches straight from the kernel, and the cancellation test.
//
// Internal to the scanner (scanner*.cpp and its tests); never opens anything
// for writing, never follows a symbolic link unless asked to.
//
// Threads: any thread; the read buffer is per thread.
#pragma once

#include <dirent.h>
#include <sys/stat.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace scanner::fs {

// Size of one directory read. Large reads halve the system calls of a walk
// compared with the 32 KiB that readdir uses.
inline constexpr std::size_t kReadSize = 256 * 1024;

// True when flag is non-null and set (atomic load).
inline bool cancelled(const std::atomic<bool>* flag) {
    return flag != nullptr && flag->load();
}

// Opens name relative to dirfd (AT_FDCWD for a plain path) as a directory,
// read-only and close-on-exec, first with O_NOATIME and, when that fails for
// any reason (it needs ownership of the folder), once more without it. With
// follow false a symbolic link as the last component is refused. -1 on failure.
int open_dir(int dirfd, const char* name, bool follow);

// What a walk keeps of one directory entry.
struct Entry {
    const char* name;    // NUL-terminated, never "." or ".."
    unsigned char type;  // DT_DIR, DT_REG, DT_LNK, …; DT_UNKNOWN when the filesystem does not say
};

// The calling thread's read buffer of kReadSize bytes.
char* thread_buffer();

// Calls fn(const Entry&) for every entry of the open directory fd, in the
// order the kernel gives them, skipping "." and "..", reading kReadSize bytes
// at a time into buf. Stops early when fn returns false. Returns false when fn
// stopped it; a read error ends the listing as if the directory ended there.
template <class Fn>
bool for_each_entry(int fd, char* buf, Fn&& fn);

// The raw entry records of one whole directory, kept so that a walk can hold
// a directory's listing while it descends. Reused from one directory to the
// next: it only grows, and is never cleared byte by byte.
struct Listing {
    std::unique_ptr<char[]> data;  // the records, as the kernel wrote them
    std::size_t capacity = 0;      // bytes allocated at data
    std::size_t size = 0;          // bytes of records at data
};

// Reads every entry of the open directory fd into out. A read error keeps
// what was read before it.
void read_all(int fd, Listing& out);

// Calls fn(const Entry&) for every entry in records filled by read_all; stops
// when fn returns false.
template <class Fn>
bool for_each_record(const char* data, std::size_t size, Fn&& fn);

// What the kernel says about one entry, never following a final symbolic link.
struct Stat {
    bool ok = false;           // the call succeeded
    struct stat st {};         // mode, device, inode, links, blocks and times
    std::uint64_t mnt_id = 0;  // the mount holding it; 0 when the kernel does not say
    bool mount_root = false;   // the kernel flags it as the root of a mount
};
// statx where the kernel has it (for the mount facts), fstatat otherwise.
// Never triggers an automount.
Stat stat_at(int dirfd, const char* name);

// Helper threads that read folders and stat entries ahead of a walk that
// runs on one thread: on a cold cache such a walk waits for one read at a
// time, and what the helpers read is cached by the time the walk gets there.
// They read only what they are handed and keep nothing. The most recently
// handed paths are read first: a depth-first walk needs them next.
class ReadAhead {
public:
    // One thing to read ahead.
    struct Item {
        std::string path;  // scan path
        bool list;         // a folder to open and read whole; else an entry to stat
    };

    // Starts up to threads helpers (fewer when no more can be had); they stop
    // early when cancel is set.
    ReadAhead(int threads, const std::atomic<bool>* cancel);
    // Stops the helpers and waits for the reads they are in.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Hands over items, the first to be read first. Beyond a bound of waiting
    // items the oldest are dropped: reading ahead is only ever a head start.
    void add(std::vector<Item>& items);

private:
    void serve();

    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::vector<Item> m_todo;  // guarded by m_mutex; the next item is at the back
    bool m_stop = false;       // guarded by m_mutex
    const std::atomic<bool>* m_cancel;
    std::vector<std::thread> m_threads;
};

// Allocated bytes of a stat result.
inline std::int64_t allocated(const struct stat& st) {
    return static_cast<std::int64_t>(st.st_blocks) * 512;
}

// --- Template definitions ---

long read_entries(int fd, char* buf, std::size_t size);

template <class Fn>
bool for_each_record(const char* data, std::size_t size, Fn&& fn) {
    std::size_t pos = 0;
    while (pos < size) {
        const auto* d = reinterpret_cast<const struct dirent64*>(data + pos);
        pos += d->d_reclen;
        const char* n = d->d_name;
        if (n[0] == '.' && (n[1] == '\0' || (n[1] == '.' && n[2] == '\0')))
            continue;
        if (!fn(Entry{n, d->d_type}))
            return false;
    }
    return true;
}

template <class Fn>
bool for_each_entry(int fd, char* buf, Fn&& fn) {
    for (;;) {
        const long n = read_entries(fd, buf, kReadSize);
        // 0 is the end; a negative result is an I/O error or a directory
        // removed while it was read: what was listed so far stands.
        if (n <= 0)
            return true;
        if (!for_each_record(buf, static_cast<std::size_t>(n), fn))
            return false;
    }
}

}  // namespace scanner::fs
