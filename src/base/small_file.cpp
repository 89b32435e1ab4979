// small_file — reading a whole small file. See small_file.h.
#include "base/small_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace small_file {

// --- Reading ---

std::optional<std::string> read(const std::string& path, std::size_t max_bytes) {
    // O_NONBLOCK: a FIFO put in the file's place must not hang the caller;
    // fstat then refuses it as no regular file.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return std::nullopt;
    struct stat st {};
    std::optional<std::string> text;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
        static_cast<std::size_t>(st.st_size) <= max_bytes) {
        text.emplace();
        char buf[16384];
        for (;;) {
            const ssize_t n = ::read(fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 || text->size() + static_cast<std::size_t>(n) > max_bytes) {
                text.reset();  // unreadable, or it grew past the limit while read
                break;
            }
            if (n == 0)
                break;
            text->append(buf, static_cast<std::size_t>(n));
        }
    }
    ::close(fd);
    return text;
}

}  // namespace small_file
