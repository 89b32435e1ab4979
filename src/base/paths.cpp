// paths — sandbox detection and display/scan path mapping. See paths.h.
#include "base/paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>

#include "base/strutil.h"

namespace paths {

namespace {

// Folders a Snap with the removable-media interface reaches under their own name.
constexpr const char* kMedia[] = {"/media", "/mnt", "/run/media"};

bool env_non_empty(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && v[0] != '\0';
}

std::string env_string(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? std::string(v) : std::string();
}

std::string password_database_home() {
    // getpwuid_r keeps this safe to call from several threads at once.
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    if (size <= 0)
        size = 16384;
    std::string buffer(static_cast<std::size_t>(size), '\0');
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
        found == nullptr || found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

constexpr const char* kConfigFolder = "Brushwick";
// The folder the program kept its settings in under its former name.
constexpr const char* kLegacyConfigFolder = "Vetchmoor";
constexpr const char* kSettingsFile = "settings.json";

void make_private_dir(const std::string& path) {
    // An existing folder (EEXIST) is the usual case. Any other failure is not
    // reported here: the save that follows fails in turn, and the settings in
    // memory stay in force for this run.
    (void)::mkdir(path.c_str(), 0700);
}

// Moves base/Vetchmoor/settings.json to dir/settings.json unless dir already
// has one; the rest of the old folder stays untouched.
void move_legacy_settings(const std::string& base, const std::string& dir) {
    const std::string target = dir + "/" + kSettingsFile;
    const std::string legacy = base + "/" + kLegacyConfigFolder + "/" + kSettingsFile;
    struct stat st {};
    if (::lstat(target.c_str(), &st) == 0)
        return;  // the current settings win; the old file stays where it is
    if (::lstat(legacy.c_str(), &st) != 0 || S_ISDIR(st.st_mode))
        return;  // nothing to move, or a folder that no reader would accept
    // NOREPLACE: a settings file saved since the check above is never replaced.
    if (::renameat2(AT_FDCWD, legacy.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) != 0 &&
        errno == EINVAL) {
        // The filesystem has no NOREPLACE, so the check above has to do. Should
        // this fail too, the old file stays and the next call tries again.
        (void)::rename(legacy.c_str(), target.c_str());
    }
    // Any other failure (permissions, another filesystem) likewise leaves the
    // old file where it is; the defaults apply until the move succeeds.
}

detail::SandboxFacts own_facts() {
    return detail::SandboxFacts{running_in_snap(), hostfs_available(), real_home()};
}

}  // namespace

// --- Sandbox flags ---

bool running_in_snap() {
    static const bool snap = env_non_empty("SNAP") && env_non_empty("SNAP_NAME");
    return snap;
}

bool running_in_flatpak() {
    static const bool flatpak = [] {
        struct stat st {};
        return ::stat("/.flatpak-info", &st) == 0;
    }();
    return flatpak;
}

bool hostfs_available() {
    static const bool available = [] {
        if (!running_in_snap())
            return false;
        const int fd = ::open(kHostfsPrefix, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            return false;
        ::close(fd);
        return true;
    }();
    return available;
}

std::string real_home() {
    for (const char* name : {"SNAP_REAL_HOME", "HOME"}) {
        std::string v = env_string(name);
        if (!v.empty())
            return v;
    }
    return password_database_home();
}

// --- Configuration folder ---

std::string config_dir() {
    // The XDG rule: a relative XDG_CONFIG_HOME is ignored, like an empty one.
    std::string base = env_string("XDG_CONFIG_HOME");
    if (base.empty() || base[0] != '/') {
        const std::string home = env_string("HOME");
        if (home.empty())
            return ".";
        base = home + "/.config";
    }
    const std::string dir = base + "/" + kConfigFolder;
    make_private_dir(base);
    make_private_dir(dir);
    move_legacy_settings(base, dir);
    return dir;
}

// --- Mapping ---

namespace detail {

bool reachable_directly(const std::string& path, const std::string& home) {
    if (!home.empty() && su::is_at_or_under(path, home))
        return true;
    for (const char* media : kMedia) {
        if (su::is_at_or_under(path, media))
            return true;
    }
    return false;
}

std::string to_scan_path(const std::string& display_path, const SandboxFacts& facts) {
    if (!facts.hostfs || display_path.empty() || display_path[0] != '/' ||
        reachable_directly(display_path, facts.home)) {
        return display_path;
    }
    const std::string prefix = kHostfsPrefix;
    if (su::is_at_or_under(display_path, prefix)) {
        return display_path;
    }
    return prefix + display_path;
}

bool is_writable_location(const std::string& display_path, const SandboxFacts& facts) {
    if (!facts.snap)
        return true;
    return reachable_directly(display_path, facts.home);
}

}  // namespace detail

std::string to_scan_path(const std::string& display_path) {
    return detail::to_scan_path(display_path, own_facts());
}

std::string fd_path(int fd) {
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    // The kernel answers ENAMETOOLONG for a path longer than a page, so a
    // buffer of PATH_MAX holds every answer; a full one may be cut short.
    char buf[PATH_MAX];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf);
    if (n <= 0 || static_cast<std::size_t>(n) >= sizeof buf || buf[0] != '/')
        return {};
    return std::string(buf, static_cast<std::size_t>(n));
}

std::string to_display_path(const std::string& scan_path) {
    // Only whole components match: "/var/lib/snapd/hostfsX" is some
    // other folder, and stripping the prefix from it would yield "X".
    const std::string prefix = kHostfsPrefix;
    if (scan_path == prefix)
        return "/";
    if (su::starts_with(scan_path, prefix + "/"))
        return scan_path.substr(prefix.size());
    return scan_path;
}

bool is_writable_location(const std::string& display_path) {
    return detail::is_writable_location(display_path, own_facts());
}

}  // namespace paths
