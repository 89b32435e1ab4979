// paths — sandbox detection and display/scan path mapping. See paths.h.
#include "paths.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include "strutil.h"

namespace paths {

namespace {

// Folders a Snap with the removable-media interface reaches under their own name.
constexpr const char* kMedia[] = {"/media/", "/mnt/", "/run/media/"};
constexpr const char* kMediaRoots[] = {"/media", "/mnt", "/run/media"};

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

// --- Mapping ---

namespace detail {

bool reachable_directly(const std::string& path, const std::string& home) {
    if (!home.empty() && (path == home || su::starts_with(path, home + "/")))
        return true;
    for (const char* prefix : kMedia) {
        if (su::starts_with(path, prefix))
            return true;
    }
    for (const char* root : kMediaRoots) {
        if (path == root)
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
    if (display_path == prefix || su::starts_with(display_path, prefix + "/")) {
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
