// deletion_guard — which paths may never be deleted. See deletion_guard.h.
#include "engine/deletion_guard.h"

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string_view>

#include "base/paths.h"
#include "base/small_file.h"
#include "base/strutil.h"

namespace deletion_guard {

namespace {

// Protected together with everything inside them.
const char* const kProtectedTrees[] = {
    "/boot", "/bin",  "/sbin", "/lib", "/lib32", "/lib64", "/libx32",        "/usr",
    "/etc",  "/proc", "/sys",  "/dev", "/run",   "/snap",  "/var/lib/snapd",
};

// Protected themselves; what lies inside them may go.
const char* const kProtectedExact[] = {
    "/", "/home", "/root", "/var", "/opt", "/srv", "/tmp", "/media", "/mnt",
};

// The home's standard folders, relative to it.
const char* const kHomeFolders[] = {
    "Desktop", "Documents", "Downloads",    "Music",  "Pictures", "Videos", "Templates", "Public",
    ".config", ".local",    ".local/share", ".cache", ".ssh",     ".gnupg", ".var",      "snap",
};

// A user-dirs file is a dozen short lines; anything far larger is not one.
constexpr std::size_t kMaxUserDirsBytes = 1 << 20;

// The canonical path through realpath, normalised; nothing when it fails (the
// path or one of its parents does not exist, or cannot be searched).
std::optional<std::string> resolve(const std::string& path) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (real == nullptr)
        return std::nullopt;
    std::string out = detail::normalize(real);
    std::free(real);
    return out;
}

// A "." or ".." component makes a path name something other than what it
// spells; the program never builds such paths, so they are refused outright.
bool has_dot_component(const std::string& path) {
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        const std::string_view part(path.data() + start, end - start);
        if (part == "." || part == "..")
            return true;
        start = end + 1;
    }
    return false;
}

bool is_mount_point(const std::string& path, const detail::Rules& rules) {
    return rules.mount_points.count(path) > 0;
}

// The fixed and home-dependent lists in their order, each applied to every
// form of the path (as given, and where it really is) before the next.
const char* check_lists(const std::vector<std::string>& forms, const detail::Rules& rules) {
    for (const std::string& p : forms) {
        if (rules.exact.count(p) > 0)
            return kProtectedSystemLocation;
    }
    for (const std::string& p : forms) {
        for (const std::string& tree : rules.trees) {
            if (su::is_at_or_under(p, tree))
                return kProtectedSystemLocation;
        }
    }
    for (const std::string& p : forms) {
        for (const std::string& root : rules.homes_roots) {
            if (detail::is_direct_child(p, root))
                return kOtherUsersHome;
        }
    }
    for (const std::string& p : forms) {
        for (const std::string& home : rules.homes) {
            if (p != home && su::is_at_or_under(home, p))
                return kProtectedSystemLocation;
        }
    }
    return nullptr;
}

// Where path really is: its parent resolved through every link, its last
// component as it stands (a link there is what gets deleted, not its target).
// Nothing when the parent cannot be resolved.
std::optional<std::string> location_of(const std::string& p) {
    const std::optional<std::string> parent = resolve(su::parent_of(p));
    if (!parent)
        return std::nullopt;
    return su::join_path(*parent, su::basename_of(p));
}

// Adds a home-dependent entry as given, as resolved through links, and as
// written against the resolved home, so that each way of reaching it is known.
void add_home_entry(detail::Rules& rules, const std::string& entry, const std::string& home,
                    const std::string& home_resolved) {
    const std::string e = detail::normalize(entry);
    rules.exact.insert(e);
    if (const std::optional<std::string> r = resolve(e))
        rules.exact.insert(*r);
    if (home_resolved != home && su::is_at_or_under(e, home))
        rules.exact.insert(home_resolved + e.substr(home.size()));
}

const detail::Rules& process_rules() {
    static const detail::Rules rules =
        detail::make_rules(paths::real_home(), mounts::all(), "/home");
    return rules;
}

}  // namespace

// --- Rules and classification ---

namespace detail {

std::string normalize(const std::string& path) {
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '/' && !out.empty() && out.back() == '/')
            continue;
        out.push_back(c);
    }
    while (out.size() > 1 && out.back() == '/')
        out.pop_back();
    return out;
}

bool is_direct_child(const std::string& path, const std::string& parent) {
    if (parent.empty() || path.size() < parent.size() + 2 || !su::starts_with(path, parent) ||
        path[parent.size()] != '/') {
        return false;
    }
    return path.find('/', parent.size() + 1) == std::string::npos;
}

std::vector<std::string> read_user_dirs(const std::string& home) {
    std::vector<std::string> dirs;
    const std::optional<std::string> text =
        small_file::read(home + "/.config/user-dirs.dirs", kMaxUserDirsBytes);
    if (!text)
        return dirs;
    std::istringstream lines(*text);
    std::string line;
    while (std::getline(lines, line)) {
        // Files edited on other systems end lines with CR, and hand edits
        // leave trailing blanks; neither is part of the value.
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
            line.pop_back();
        const std::size_t eq = line.find('=');
        if (eq == std::string::npos || line[0] == '#')
            continue;
        std::string value = line.substr(eq + 1);
        if (value.size() > 1 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        // Only the two forms xdg-user-dirs writes are understood; "$(…)",
        // "${…}", "~" and relative values are left alone, never expanded.
        if (su::starts_with(value, "$HOME/")) {
            dirs.push_back(home + value.substr(5));
        } else if (su::starts_with(value, "/")) {
            dirs.push_back(value);
        }
    }
    return dirs;
}

Rules make_rules(const std::string& home, const std::vector<mounts::Mount>& table,
                 const std::string& homes_root) {
    Rules rules;
    for (const char* tree : kProtectedTrees)
        rules.trees.push_back(tree);
    for (const char* path : kProtectedExact)
        rules.exact.insert(path);

    const std::string root = normalize(homes_root);
    if (!root.empty()) {
        rules.homes_roots.push_back(root);
        // With "/home" a link (to "/var/home", say), users' homes are also
        // reached under the folder it points to.
        if (const std::optional<std::string> r = resolve(root); r && *r != root)
            rules.homes_roots.push_back(*r);
    }

    // A relative home names no place on disk: only the fixed lists apply.
    const std::string h = normalize(home);
    if (!h.empty() && h[0] == '/') {
        const std::string hr = resolve(h).value_or(h);
        rules.homes.push_back(h);
        if (hr != h)
            rules.homes.push_back(hr);
        add_home_entry(rules, h, h, hr);
        for (const char* name : kHomeFolders)
            add_home_entry(rules, h + "/" + name, h, hr);
        for (const std::string& dir : read_user_dirs(h))
            add_home_entry(rules, dir, h, hr);
    }

    for (const mounts::Mount& m : table)
        rules.mount_points.insert(normalize(m.point));
    return rules;
}

const char* classify(const std::string& raw, const Rules& rules,
                     bool (*writable)(const std::string&)) {
    const std::string p = normalize(raw);
    if (p.empty() || p[0] != '/' || has_dot_component(p))
        return kProtectedSystemLocation;
    // Judge the place the path really names as well: a parent path that runs
    // through a link ("~/sys/lib" with "sys" -> "/usr") or a home reached
    // under another name must not turn a protected place into a free one.
    std::vector<std::string> forms = {p};
    if (const std::optional<std::string> loc = location_of(p); loc && *loc != p)
        forms.push_back(*loc);
    for (const std::string& f : forms) {
        if (is_mount_point(f, rules))
            return kProtectedSystemLocation;
    }
    if (!writable(p))
        return kReadOnlyLocation;
    return check_lists(forms, rules);
}

}  // namespace detail

// --- Public interface ---

const char* reason_key(const std::string& path) {
    return detail::classify(path, process_rules(), paths::is_writable_location);
}

const std::string* kept_by(const std::vector<std::string>& kept, const std::string& path) {
    const std::string p = detail::normalize(path);
    if (p.empty())
        return nullptr;
    for (const std::string& k : kept) {
        const std::string folder = detail::normalize(k);
        if (!folder.empty() && (su::is_at_or_under(p, folder) || su::is_at_or_under(folder, p)))
            return &k;
    }
    return nullptr;
}

bool kept_on_disk(const std::vector<std::string>& kept, const std::string& path) {
    if (kept_by(kept, path) != nullptr)
        return true;
    const std::optional<std::string> real = location_of(detail::normalize(path));
    if (!real)
        return false;
    for (const std::string& k : kept) {
        const std::optional<std::string> folder = resolve(detail::normalize(k));
        if (folder && kept_by({*folder}, *real) != nullptr)
            return true;
    }
    return false;
}

bool is_protected(const std::string& path) {
    return reason_key(path) != nullptr;
}

}  // namespace deletion_guard
