// mounts — the kernel's mount table of this process, read from
// "/proc/self/mountinfo": which mount holds a path, which filesystem types are
// pseudo, network or image filesystems, and which mounts are worth offering as
// places to scan.
//
// The table behind all() is read once, on first use, and never refreshed; the
// deletion, which must also see a disk mounted after start-up, reads a fresh
// copy with read_current(). Nothing here mounts, unmounts or opens anything but
// the mountinfo file, and nothing throws: an unreadable table is an empty one,
// malformed lines are skipped.
//
// Threads: any thread may call any function; the one-time read is thread-safe
// and the table is read-only afterwards.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <vector>

#include "base/paths.h"

namespace mounts {

// One line of the mount table.
struct Mount {
    std::string point;       // where it is mounted, octal escapes decoded
    std::string fs_type;     // filesystem type as listed ("ext4", "fuse.sshfs"), not decoded
    std::string source;      // device, server share or pseudo name, octal escapes decoded
    bool read_only = false;  // the per-mount options are "ro" or begin with "ro,"
};

// The process's mount table in mountinfo order (later lines are mounted on top
// of earlier ones). Read on the first call, never refreshed.
const std::vector<Mount>& all();

// A fresh read of the mount table, for callers that must see mounts made after
// start-up. Empty when the table cannot be read.
std::vector<Mount> read_current();

// The mount that holds path (the longest mount point that is path or one of its
// ancestors; the later of two equal ones), seeing through the Snap host
// filesystem mapping. Null when the table has no candidate.
const Mount* for_path(const std::string& path);

// Copies of the mounts worth offering as scan roots, in table order: no pseudo
// filesystems, tmpfs, Snap internals or system trees (removable media under
// "/run/media" excepted), each mount point and each "/dev/" source only once.
std::vector<Mount> scannable_roots();

// Kernel-internal filesystems ("proc", "sysfs", "cgroup2", …); not "tmpfs".
bool is_pseudo_fs(const std::string& fs_type);

// Network and user-space filesystems ("nfs", "cifs", "sshfs", every "fuse*"),
// where walking or deleting can be slow or reach another machine.
bool is_risky_fs(const std::string& fs_type);

// Read-only image filesystems: "squashfs", "erofs", "iso9660".
bool is_image_fs(const std::string& fs_type);

// --- The same operations on a given table ---
// The public functions above use the process's table and sandbox facts; tests
// pass chosen ones, because the process-wide table is read only once.
namespace detail {

// Decodes the kernel's octal escapes: a backslash and three octal digits become
// that byte (kept to 8 bits); any other character, a lone backslash included,
// is copied. "My\040Disk" -> "My Disk", "\134" -> "\".
std::string unescape(const std::string& field);

// One mountinfo line, or nothing when it is malformed: fewer than six fields
// before the "-" separator, fewer than two after it, no separator, or a mount
// point that is not absolute.
std::optional<Mount> parse_line(const std::string& line);

// Every well-formed line of a mountinfo stream, in order.
std::vector<Mount> parse(std::istream& in);

// parse() of a file; empty when it cannot be opened.
std::vector<Mount> read_file(const std::string& path);

// The entry with the longest mount point that is "/", equals path, or is
// followed in path by "/"; on equal length the later entry. Null when none.
const Mount* lookup(const std::vector<Mount>& table, const std::string& path);

// lookup(), retried with the scan and the display form of path when the first
// answer is only the root mount.
const Mount* for_path(const std::vector<Mount>& table, const std::string& path,
                      const paths::detail::SandboxFacts& facts);

std::vector<Mount> scannable_roots(const std::vector<Mount>& table);

}  // namespace detail

}  // namespace mounts
