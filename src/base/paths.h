// paths — which sandbox the process runs in, where the user's real home is, and
// how a path the user sees on the host (a display path) is reached from inside
// the process (a scan path).
//
// Inside a Snap with the host filesystem exposed, host folders outside the home
// and the removable-media folders are readable only below
// "/var/lib/snapd/hostfs", and not writable at all. Every path that is shown,
// stored or handed to the deletion guard is a display path; only the scanner
// and the deletion code open scan paths.
//
// Nothing here normalises paths or follows links; comparisons are byte-exact.
// The sandbox flags are computed once per process and never refreshed.
//
// Threads: any thread may call any function.
#pragma once

#include <string>

namespace paths {

// Where a Snap exposes the host's root filesystem (no trailing slash).
inline constexpr const char* kHostfsPrefix = "/var/lib/snapd/hostfs";

// True when SNAP and SNAP_NAME are both set and non-empty. Computed once.
bool running_in_snap();

// True when "/.flatpak-info" exists. Computed once.
bool running_in_flatpak();

// True inside a Snap whose host filesystem folder can be opened. Computed once;
// outside a Snap false without touching the filesystem.
bool hostfs_available();

// The first non-empty of SNAP_REAL_HOME, HOME and the password database's home
// of the real user; empty when none is known. Read anew on every call.
std::string real_home();

// The path under which the process reaches a display path: unchanged natively,
// prefixed with the host filesystem inside a Snap for host folders outside the
// home and the media folders. Idempotent; relative and empty paths unchanged.
std::string to_scan_path(const std::string& display_path);

// Inverse of to_scan_path: strips the host filesystem prefix ("/" when nothing
// remains). Applied whether or not a sandbox was detected.
std::string to_display_path(const std::string& scan_path);

// False only inside a Snap, for host folders that the sandbox can at most read
// (outside the home and the media folders). Always true natively and in Flatpak.
bool is_writable_location(const std::string& display_path);

// The path the kernel gives for an open descriptor (its /proc/self/fd link),
// as a scan path; empty when /proc is missing, the path is longer than the
// kernel reports, or the target is no path at all (a pipe, a socket). A
// removed folder reads as its old path with " (deleted)" appended.
std::string fd_path(int fd);

// The program's configuration folder: "Brushwick" inside XDG_CONFIG_HOME (when
// set and absolute) or else inside HOME + "/.config"; "." when neither is known
// (then nothing is created). The base folder and the folder itself are created
// with mode 0700 when missing, and a settings file left by the program's former
// name ("Vetchmoor") is moved in once, unless a settings file is already there.
// Every call repeats the creation and the move; errors are ignored.
std::string config_dir();

// --- The mapping as pure functions of the sandbox facts ---
// The public functions above pass the process's own facts; tests pass chosen
// ones, because the process-wide flags cannot be recomputed.
namespace detail {

struct SandboxFacts {
    bool snap = false;    // running in a Snap
    bool hostfs = false;  // the Snap's host filesystem folder is available
    std::string home;     // real_home() at the time of the call
};

// Is this host path visible inside a Snap under its own name: the home and
// everything below it, and the media folders.
bool reachable_directly(const std::string& path, const std::string& home);

std::string to_scan_path(const std::string& display_path, const SandboxFacts& facts);
bool is_writable_location(const std::string& display_path, const SandboxFacts& facts);

}  // namespace detail

}  // namespace paths
