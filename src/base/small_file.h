// small_file — reading a whole small file that the program or the desktop
// wrote (settings, window geometry, the user-dirs list) in one call.
//
// It never writes, never follows anything but the path's own links, and never
// blocks on a FIFO or a device put in a file's place: such a file is not read.
// A file larger than the caller's limit is refused whole rather than cut, so
// that no caller ever parses half a file as if it were all of it.
//
// Threads: any thread may call it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace small_file {

// The whole content of path when it is a regular file (symbolic links
// followed) of at most max_bytes bytes and could be read to its end; nullopt
// when it is missing, not a regular file, larger (also when it grew past
// max_bytes while being read), or a read failed.
std::optional<std::string> read(const std::string& path, std::size_t max_bytes);

}  // namespace small_file
