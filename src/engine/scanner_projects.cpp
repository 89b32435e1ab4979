// scanner_projects — the project search: folders that Recursive rows look for
// (node_modules, build, venv, …) below the projects folder.
//
// One walk serves every Recursive row at once: all rows enter exactly the same
// folders (none enters a name that any row looks for), so each row's result is
// the same as from a walk of its own. The walk trusts the directory entries'
// file types and stats only matches (for their time) and entries of unknown
// type.
//
// What it never offers, because deleting it breaks something or counts it
// twice: anything inside another row's folder (that row lists it already); the
// install trees of version managers, editors, plug-in managers, package and SDK
// managers in the home; folders that say by their content that they are an
// installed tool or environment (pyvenv.cfg, conda-meta, an editor extension's
// manifest); a venv without pyvenv.cfg; the global node_modules of an
// installed Node.js.
//
// A match by a generic name ("build", "target", …) is offered as Caution at
// most, with a note instead of its folder as detail, unless a project file of
// a build system that writes there sits beside it (kProjectFiles): only then
// does a tool recreate it.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <unordered_set>

#include "base/paths.h"
#include "base/strutil.h"
#include "engine/scanner.h"
#include "engine/scanner_fs.h"

namespace scanner {

namespace {

// --- What is not a project ---

// clang-format off
// The lists read best grouped by kind, several to a line.

// Install trees of tools below the home, relative to it. Entering them would
// offer a tool's own files (its bundled node_modules, its build folders, a
// runtime's venv module) as project output.
constexpr const char* kToolFolders[] = {
    // JavaScript runtimes, version and package managers
    ".nvm", ".fnm", ".local/share/fnm", ".volta", ".nodenv", ".nodebrew", ".nvs", ".n",
    ".npm-global", ".npm-packages", ".npm", ".yarn", ".config/yarn", ".local/share/pnpm",
    ".pnpm-store", ".bun", ".deno",
    // Python
    ".pyenv", ".conda", "miniconda3", "miniconda", "anaconda3", "anaconda", "miniforge3",
    "mambaforge", "micromamba", ".local/share/mamba", ".pixi", ".local/pipx", ".local/share/pipx",
    ".local/lib", ".local/share/virtualenvs", ".virtualenvs", ".local/share/uv", ".rye",
    ".poetry", ".local/share/pypoetry",
    // Ruby, Perl, PHP, Lua
    ".rbenv", ".rvm", ".gem", ".local/share/gem", ".bundle", ".plenv", "perl5", ".cpan", ".cpanm",
    ".phpenv", ".composer", ".config/composer", ".local/share/composer", ".luaenv", ".luarocks",
    // Version managers for many languages
    ".asdf", ".local/share/mise", ".local/share/rtx", ".proto", ".sdkman", ".jenv", ".goenv",
    ".gvm", ".tfenv", ".swiftenv", ".swiftly", ".local/share/swiftly", ".kiex", ".kerl",
    // JVM, .NET, Go, Rust, Haskell, OCaml, Julia, Dart, Elixir, Lean, Kotlin/Native
    ".m2", ".gradle", ".ivy2", ".sbt", ".lein", ".local/share/coursier", ".jdks", ".konan",
    ".dotnet", ".nuget", "go", "sdk", ".cargo", ".rustup", ".ghcup", ".cabal", ".stack", ".opam",
    ".julia", ".juliaup", ".pub-cache", "flutter", "development/flutter", ".fvm", "fvm", ".mix",
    ".hex", ".elan",
    // C/C++, embedded, WebAssembly, other SDKs
    ".conan", ".conan2", "vcpkg", "emsdk", ".emscripten_cache", ".platformio", ".arduino15",
    ".espressif", ".mozbuild", ".wasmtime", ".wasmer", ".foundry", ".local/share/solana",
    // Android
    ".android", "Android", ".android-sdk", "android-sdk",
    // Package managers of the system, containers and clusters
    ".nix-profile", ".nix-defexpr", ".local/state/nix", ".guix-profile", ".linuxbrew",
    ".local/share/flatpak", ".local/share/containers", ".docker", ".minikube", ".vagrant.d",
    ".krew", ".terraform.d", ".pulumi",
    // Editors, IDEs and their extension and plug-in managers
    ".vscode", ".vscode-insiders", ".vscode-oss", ".vscode-server", ".vscode-server-insiders",
    ".cursor", ".cursor-server", ".windsurf", ".windsurf-server", ".config/Code",
    ".config/Cursor", ".config/VSCodium", ".eclipse", ".p2", ".atom", ".pulsar", ".theia",
    ".arduinoIDE", ".local/share/JetBrains", ".config/JetBrains", ".cache/JetBrains",
    ".local/share/zed", ".config/sublime-text", ".emacs.d", ".config/emacs", ".vim",
    ".local/share/nvim", ".tmux/plugins", ".oh-my-zsh", ".local/share/zinit",
};

// Environment variables that name where a tool keeps its installation. Only
// honoured for folders that neither are nor contain the home.
constexpr const char* kToolVariables[] = {
    "ANDROID_HOME", "ANDROID_SDK_ROOT", "ANDROID_NDK_HOME", "ANDROID_NDK_ROOT",
    "CARGO_HOME", "RUSTUP_HOME", "GOROOT", "GOMODCACHE", "NVM_DIR", "FNM_DIR", "VOLTA_HOME",
    "PYENV_ROOT", "RBENV_ROOT", "NODENV_ROOT", "SDKMAN_DIR", "ASDF_DATA_DIR", "MISE_DATA_DIR",
    "BUN_INSTALL", "PNPM_HOME", "GEM_HOME", "GRADLE_USER_HOME", "FLUTTER_ROOT", "PUB_CACHE",
    "DOTNET_ROOT", "CONDA_ROOT",
};

// Folders whose whole content is installed packages, wherever they are.
constexpr const char* kPackageFolders[] = {"site-packages", "dist-packages"};

// Entries by which a folder says it is an installed tool or environment: a
// Python virtual environment, a conda installation or environment, an
// installed editor extension.
constexpr const char* kToolMarkers[] = {"pyvenv.cfg", "conda-meta", ".vsixmanifest"};

// What makes a folder by a generic name the output of a tool that recreates
// it: a project file of a build system that writes there, in the same folder.
// A "build" beside no such file may be anything the user made, so it is never
// offered as Safe. Names not listed here are specific to one tool.
struct ProjectFiles {
    const char* name;          // the folder name a row looks for
    const char* const* files;  // null-terminated: any one of them vouches for it
};
constexpr const char* kNodeProject[] = {"package.json", nullptr};
constexpr const char* kBuildWriters[] = {
    "CMakeLists.txt", "meson.build", "Makefile", "makefile", "GNUmakefile", "build.gradle",
    "build.gradle.kts", "settings.gradle", "settings.gradle.kts", "package.json", "pyproject.toml",
    "setup.py", "pubspec.yaml", "build.xml", "SConstruct", "wscript", nullptr};
constexpr const char* kOutWriters[] = {
    "CMakeLists.txt", "CMakePresets.json", "package.json", "build.gradle", "build.gradle.kts",
    "meson.build", "Makefile", "makefile", "GNUmakefile", ".idea", nullptr};
constexpr const char* kTargetWriters[] = {"Cargo.toml", "pom.xml", "build.sbt", "project.clj",
                                          "build.mill", nullptr};
constexpr const char* kDistWriters[] = {"package.json", "pyproject.toml", "setup.py", "setup.cfg",
                                        nullptr};
constexpr const char* kCoverageWriters[] = {"package.json", "Gemfile", "pyproject.toml", "setup.py",
                                            "setup.cfg", "go.mod", nullptr};
constexpr const char* kVendorWriters[] = {"composer.json", "go.mod", "Gemfile", "Cargo.toml",
                                          nullptr};
constexpr const char* kGradleProject[] = {"build.gradle", "build.gradle.kts", "settings.gradle",
                                          "settings.gradle.kts", "gradlew", nullptr};
constexpr ProjectFiles kProjectFiles[] = {
    {"node_modules", kNodeProject}, {"build", kBuildWriters},       {"out", kOutWriters},
    {"target", kTargetWriters},     {"dist", kDistWriters},         {"coverage", kCoverageWriters},
    {"vendor", kVendorWriters},     {".gradle", kGradleProject},
};

// clang-format on

// Helpers reading ahead of the walk: with the walk itself, as many threads as
// a category's measuring uses, which is idle while the projects are searched.
constexpr int kReadAheadThreads = 5;

// Deepest level any row may search; rows asking for more are clamped, so a
// walk holds at most this many descriptors and stack frames.
constexpr int kMaxDepth = 64;

bool is_one_of(const char* name, const char* const* first, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (std::strcmp(name, first[i]) == 0)
            return true;
    }
    return false;
}

template <std::size_t N>
bool is_one_of(const char* name, const char* const (&list)[N]) {
    return is_one_of(name, list, N);
}

std::string without_trailing_slashes(std::string p) {
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

// How long resolving a fenced folder or probing a mount point below the
// projects folder may take: as long as a catalog folder check, since both
// may cross into a filesystem that never answers.
constexpr double kProbeSeconds = catalog::kCheckSeconds;

std::string real_path_of(const std::string& p) {
    char buf[PATH_MAX];
    return ::realpath(p.c_str(), buf) != nullptr ? std::string(buf) : std::string();
}

// real_path_of(p) where p lies on the filesystem of the walk itself; elsewhere
// under a deadline of its own, so that a folder on a mount that does not
// answer (a tool's cache on a dead ~/.cache) costs the walk kProbeSeconds
// once, and nothing once its filesystem is presumed hung. "" when p does not
// resolve or does not answer.
std::string real_path_near(const std::string& p, const std::string& walk_filesystem,
                           const std::atomic<bool>* cancel) {
    const std::string filesystem = detail::filesystem_of(p);
    if (filesystem == walk_filesystem)
        return real_path_of(p);
    return detail::with_deadline<std::string>(kProbeSeconds, filesystem, std::string(), cancel,
                                              [p] { return real_path_of(p); })
        .value;
}

// --- The folders a walk must leave alone, in the walk's own path space ---

struct Fence {
    bool blocked = false;                     // the root itself is such a folder or inside one
    std::unordered_set<std::string> folders;  // never entered nor reported (walk paths)
    std::vector<std::string> rows;            // other rows' folders below the root (walk paths)
};

// Places folder (a display path) below root in the walk's terms, by its
// literal path and by its resolved one, so that neither a symbolic link in
// the home nor one in the folder's path lets the walk reach it unnoticed.
void fence_in(Fence& fence, const std::string& folder, bool is_row, const std::string& root,
              const std::string& real_root, const std::atomic<bool>* cancel) {
    const std::string lit = without_trailing_slashes(paths::to_scan_path(folder));
    if (lit.empty() || lit[0] != '/')
        return;
    const std::string real = real_path_near(lit, detail::filesystem_of(root), cancel);
    const std::pair<const std::string*, const std::string*> forms[] = {{&lit, &root},
                                                                       {&real, &real_root}};
    for (const auto& [f, r] : forms) {
        if (f->empty() || r->empty())
            continue;
        // A projects folder chosen inside a tool's folder (~/go/src) is
        // searched: the fence keeps the walk out of tools' folders below the
        // projects folder, not out of the one the user chose. Inside another
        // row's folder it would count that row's data twice.
        if (su::is_at_or_under(*r, *f)) {
            fence.blocked = fence.blocked || is_row;
        } else if (su::is_at_or_under(*f, *r)) {
            const std::string walk_path =
                root + (root == "/" ? "" : "/") + f->substr(r->size() + (*r == "/" ? 0 : 1));
            fence.folders.insert(walk_path);
            if (is_row)
                fence.rows.push_back(walk_path);
        }
    }
}

Fence build_fence(const ProjectScope& scope, const std::string& root,
                  const std::atomic<bool>* cancel) {
    Fence fence;
    const std::string real_root = real_path_of(root);
    for (const std::string& f : scope.other_rows)
        fence_in(fence, f, true, root, real_root, cancel);
    for (const std::string& f : scope.tool_folders)
        fence_in(fence, f, false, root, real_root, cancel);
    return fence;
}

// --- The walk ---

class ProjectWalk {
public:
    ProjectWalk(const std::vector<CategoryDef>& rows, const ProjectScope& scope,
                const std::atomic<bool>* cancel)
        : m_rows(rows), m_scope(scope), m_cancel(cancel), m_out(rows.size()) {}

    std::vector<Listed> run();

private:
    std::vector<Listed> finish();
    void visit(int fd, int depth);
    bool consider(int fd, int depth, const fs::Entry& e);
    void report(int fd, int depth, const char* name, const struct stat& st,
                const std::vector<std::size_t>& rows);
    bool is_tool_content(const char* name, int fd) const;
    bool lacks_project_file(const char* name, int depth) const;
    bool is_claimed(const char* name) const;
    bool is_top_skipped(const char* name) const;
    bool answers(const char* name);
    bool matches(const char* name);
    bool may_enter(int depth, const char* name) const;
    void read_ahead(int depth, const fs::Listing& listing);

    const std::vector<CategoryDef>& m_rows;
    const ProjectScope& m_scope;
    const std::atomic<bool>* m_cancel;
    std::vector<std::vector<ScannedInfo>> m_out;
    bool m_left_out = false;     // a mount point below the root did not answer
    std::vector<bool> m_active;  // rows this walk serves
    int m_max_depth = -1;        // deepest level any active row searches
    std::string m_root;          // scan path of the projects folder
    std::string m_dir;           // scan path of the folder being read
    Fence m_fence;
    // Mount points below the projects folder in the mount table (walk paths),
    // each with whether its filesystem answered a probe under the deadline
    // (nullopt until it is first met).
    std::unordered_map<std::string, std::optional<bool>> m_mount_points;
    std::vector<fs::Listing> m_listings;      // one per depth, reused between folders
    std::vector<std::size_t> m_matching;      // scratch: rows matching the current name
    std::unique_ptr<fs::ReadAhead> m_ahead;   // null when no helper could be had
    std::vector<fs::ReadAhead::Item> m_next;  // scratch: what the walk reads next
};

bool ProjectWalk::is_top_skipped(const char* name) const {
    for (const std::string& skip : m_scope.top_skip) {
        if (skip == name)
            return true;
    }
    return false;
}

bool ProjectWalk::is_claimed(const char* name) const {
    for (const std::string& c : m_scope.claimed) {
        if (c == name)
            return true;
    }
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (!m_active[i])
            continue;
        for (const std::string& n : m_rows[i].names) {
            if (n == name)
                return true;
        }
    }
    return false;
}

// A folder a row looks for that is really part of an installed tool.
bool ProjectWalk::is_tool_content(const char* name, int fd) const {
    // A venv is a virtual environment only when it says so; a folder of that
    // name without pyvenv.cfg is, for instance, the standard library's module.
    if (std::strcmp(name, "venv") == 0 || std::strcmp(name, ".venv") == 0) {
        const fs::Stat cfg = fs::stat_at(fd, (std::string(name) + "/pyvenv.cfg").c_str());
        return !cfg.ok || !S_ISREG(cfg.st.st_mode);
    }
    // lib/node_modules next to bin/node is an installed Node.js's global
    // package folder (npm itself lives there), not a project's dependencies.
    if (std::strcmp(name, "node_modules") == 0) {
        if (su::basename_of(m_dir) != "lib")
            return false;
        const std::string node = su::join_path(su::parent_of(m_dir), "bin/node");
        struct stat st {};
        return ::lstat(node.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
    }
    return false;
}

// A match by a generic name with no project file beside it, in the listing of
// the folder being read (no further system call).
bool ProjectWalk::lacks_project_file(const char* name, int depth) const {
    for (const ProjectFiles& p : kProjectFiles) {
        if (std::strcmp(p.name, name) != 0)
            continue;
        const fs::Listing& here = m_listings[static_cast<std::size_t>(depth)];
        const bool vouched =
            !fs::for_each_record(here.data.get(), here.size, [&](const fs::Entry& e) {
                for (const char* const* f = p.files; *f != nullptr; ++f) {
                    if (std::strcmp(e.name, *f) == 0)
                        return false;
                }
                return true;
            });
        return !vouched;
    }
    return false;
}

void ProjectWalk::report(int fd, int depth, const char* name, const struct stat& st,
                         const std::vector<std::size_t>& rows) {
    const std::string child = su::join_path(m_dir, name);
    if (m_fence.folders.count(child) != 0)
        return;
    // A match holding another row's folder would count that folder twice.
    for (const std::string& row : m_fence.rows) {
        if (su::is_at_or_under(row, child))
            return;
    }
    if (is_tool_content(name, fd))
        return;
    ScannedInfo info;
    info.path = paths::to_display_path(child);
    // The project's folder name and the match: "app/node_modules".
    const std::string project = su::basename_of(m_dir);
    info.name = project == "/" ? std::string(name) : su::join_path(project, name);
    info.detail = paths::to_display_path(m_dir);
    info.project = info.detail;
    info.modified = st.st_mtim.tv_sec;
    info.dev = st.st_dev;
    info.ino = st.st_ino;
    if (lacks_project_file(name, depth)) {
        info.least_safety = SafetyLevel::Caution;
        info.detail = kNoProjectFile;
    }
    for (std::size_t r : rows) {
        if (depth <= m_rows[r].max_depth)
            m_out[r].push_back(info);
    }
}

// Collects in m_matching the active rows that look for name; true when any does.
bool ProjectWalk::matches(const char* name) {
    m_matching.clear();
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        if (!m_active[i])
            continue;
        for (const std::string& n : m_rows[i].names) {
            if (n == name) {
                m_matching.push_back(i);
                break;
            }
        }
    }
    return !m_matching.empty();
}

// A folder by this name at depth that matches no row is searched below,
// unless it is one the search never enters by its name or too deep.
bool ProjectWalk::may_enter(int depth, const char* name) const {
    return !is_one_of(name, kAlwaysSkip) && !is_claimed(name) && depth + 1 <= m_max_depth &&
           !is_one_of(name, kPackageFolders);
}

// Hands the helpers what the walk will read in the folder just listed, in
// the order it will: the sub-folders it enters and the matches it stats.
// Mount points are left to the walk, which probes them first.
void ProjectWalk::read_ahead(int depth, const fs::Listing& listing) {
    if (!m_ahead)
        return;
    fs::for_each_record(listing.data.get(), listing.size, [&](const fs::Entry& e) {
        if (e.type != DT_DIR || (depth == 0 && is_top_skipped(e.name)))
            return true;
        std::string p = su::join_path(m_dir, e.name);
        if (m_mount_points.count(p) != 0 || m_fence.folders.count(p) != 0)
            return true;
        if (matches(e.name))
            m_next.push_back({std::move(p), false});
        else if (may_enter(depth, e.name))
            m_next.push_back({std::move(p), true});
        return true;
    });
    m_ahead->add(m_next);
}

// Whether name, in the folder being read, may be looked at: anything but a
// mount point of the table, or one whose filesystem answers. A mount point is
// first asked whether it is a folder under the deadline, because even a stat
// of it waits on its filesystem; when that does not answer, it is left out
// and the lists say they are partial.
bool ProjectWalk::answers(const char* name) {
    if (m_mount_points.empty())
        return true;
    const auto it = m_mount_points.find(su::join_path(m_dir, name));
    // A fenced folder is neither entered nor reported whatever its mount.
    if (it == m_mount_points.end() || m_fence.folders.count(it->first) != 0)
        return true;
    if (!it->second) {
        it->second =
            scanner::is_dir_guarded(paths::to_display_path(it->first), kProbeSeconds, m_cancel)
                .has_value();
        m_left_out = m_left_out || !*it->second;
    }
    return *it->second;
}

// Handles one entry of the folder at depth; false stops the walk (cancelled).
bool ProjectWalk::consider(int fd, int depth, const fs::Entry& e) {
    if (fs::cancelled(m_cancel))
        return false;
    // Files and symbolic links are neither reported nor entered; the entry
    // type tells without a stat unless the filesystem leaves it unknown.
    if (e.type != DT_DIR && e.type != DT_UNKNOWN)
        return true;
    if (depth == 0 && is_top_skipped(e.name))
        return true;
    const bool match = matches(e.name);
    if (!match && !may_enter(depth, e.name))
        return true;
    // Only a folder the walk would look at is worth a probe of its mount: a
    // dead ~/.cache is skipped by its name and costs nothing.
    if (!answers(e.name))
        return true;
    fs::Stat s;
    if (e.type == DT_UNKNOWN) {
        s = fs::stat_at(fd, e.name);
        if (!s.ok || !S_ISDIR(s.st.st_mode))
            return true;
    }
    if (match) {
        // A match is reported, never entered. Its time comes from a stat,
        // which also makes sure it is still a folder and not a link.
        if (!s.ok)
            s = fs::stat_at(fd, e.name);
        if (s.ok && S_ISDIR(s.st.st_mode)) {
            report(fd, depth, e.name, s.st, m_matching);
        }
        return true;
    }
    const std::size_t dir_len = m_dir.size();
    if (m_dir != "/")
        m_dir += '/';
    m_dir += e.name;
    if (m_fence.folders.count(m_dir) == 0) {
        const int child = fs::open_dir(fd, e.name, false);
        // An unreadable folder is searched no further.
        if (child >= 0) {
            visit(child, depth + 1);
            ::close(child);
        }
    }
    m_dir.resize(dir_len);
    return !fs::cancelled(m_cancel);
}

void ProjectWalk::visit(int fd, int depth) {
    fs::Listing& listing = m_listings[static_cast<std::size_t>(depth)];
    fs::read_all(fd, listing);
    // A folder that says it is an installed tool or environment holds
    // nothing of a project.
    const bool is_tool =
        !fs::for_each_record(listing.data.get(), listing.size,
                             [](const fs::Entry& e) { return !is_one_of(e.name, kToolMarkers); });
    if (is_tool)
        return;
    read_ahead(depth, listing);
    fs::for_each_record(listing.data.get(), listing.size,
                        [&](const fs::Entry& e) { return consider(fd, depth, e); });
}

// The lists found, each with how the walk ended: a cancel wins over a mount
// point that did not answer, because a cancelled walk saw even less.
std::vector<Listed> ProjectWalk::finish() {
    Outcome outcome = Outcome::Done;
    if (fs::cancelled(m_cancel))
        outcome = Outcome::Cancelled;
    else if (m_left_out)
        outcome = Outcome::NotAnswering;
    std::vector<Listed> out;
    out.reserve(m_out.size());
    for (std::vector<ScannedInfo>& l : m_out)
        out.push_back(Listed{std::move(l), outcome});
    return out;
}

std::vector<Listed> ProjectWalk::run() {
    if (m_rows.empty())
        return finish();
    const std::string path = m_rows.front().path;
    m_active.assign(m_rows.size(), false);
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        const CategoryDef& d = m_rows[i];
        if (d.listing != ListingKind::Recursive || d.path != path || d.max_depth < 0)
            continue;
        m_active[i] = true;
        m_max_depth = std::max(m_max_depth, std::min(d.max_depth, kMaxDepth));
    }
    m_root = without_trailing_slashes(paths::to_scan_path(path));
    if (m_max_depth < 0 || m_root.empty() || fs::cancelled(m_cancel))
        return finish();
    m_fence = build_fence(m_scope, m_root, m_cancel);
    for (std::string& point : detail::mount_points_below(m_root))
        m_mount_points.emplace(std::move(point), std::nullopt);
    if (m_fence.blocked)
        return finish();
    const int fd = fs::open_dir(AT_FDCWD, m_root.c_str(), true);
    // The projects folder cannot be read: nothing is found.
    if (fd < 0)
        return finish();
    m_listings.resize(static_cast<std::size_t>(m_max_depth) + 1);
    m_dir = m_root;
    // Only a search that goes below the projects folder has anything to read
    // ahead.
    if (m_max_depth > 0)
        m_ahead = std::make_unique<fs::ReadAhead>(kReadAheadThreads, m_cancel);
    visit(fd, 0);
    ::close(fd);
    m_ahead.reset();
    return finish();
}

// --- Project activity ---

// Folders of a project whose top level the user edits: what changes there is
// work on the project.
constexpr const char* kSourceFolders[] = {"src",      "lib",  "app",        "source", "sources",
                                          "include",  "test", "tests",      "pkg",    "cmd",
                                          "internal", "docs", "components", "pages",  "scripts"};

// Files a version-control system rewrites on every commit, checkout or add.
constexpr const char* kVcsIndexes[] = {".git/index", ".git/HEAD", ".hg/dirstate", ".svn/wc.db"};

// Entries of one folder looked at for activity at most; a project's top
// level holds dozens.
constexpr int kActivityEntries = 4096;

// The newest modification time among the entries of the folder open at fd
// that are not leftovers, with the source folders' own entries when
// descend; links count as themselves.
std::time_t newest_in(int fd, const std::vector<std::string>& leftovers, bool descend) {
    std::time_t newest = 0;
    std::vector<std::string> sources;  // entered after the listing: it shares one buffer
    int seen = 0;
    fs::for_each_entry(fd, fs::thread_buffer(), [&](const fs::Entry& e) {
        if (++seen > kActivityEntries)
            return false;
        if (is_one_of(e.name, kAlwaysSkip) || is_one_of(e.name, kPackageFolders) ||
            std::find(leftovers.begin(), leftovers.end(), e.name) != leftovers.end())
            return true;
        const fs::Stat s = fs::stat_at(fd, e.name);
        if (!s.ok)
            return true;
        newest = std::max<std::time_t>(newest, s.st.st_mtim.tv_sec);
        if (descend && S_ISDIR(s.st.st_mode) && is_one_of(e.name, kSourceFolders))
            sources.emplace_back(e.name);
        return true;
    });
    for (const std::string& name : sources) {
        const int child = fs::open_dir(fd, name.c_str(), false);
        if (child >= 0) {
            newest = std::max(newest, newest_in(child, leftovers, false));
            ::close(child);
        }
    }
    return newest;
}

}  // namespace

std::time_t project_activity(const std::string& project,
                             const std::vector<std::string>& leftovers) {
    const std::string p = paths::to_scan_path(project);
    if (p.empty())
        return 0;
    const int fd = fs::open_dir(AT_FDCWD, p.c_str(), true);
    if (fd < 0)
        return 0;
    std::time_t newest = newest_in(fd, leftovers, true);
    for (const char* index : kVcsIndexes) {
        const fs::Stat s = fs::stat_at(fd, index);
        if (s.ok)
            newest = std::max<std::time_t>(newest, s.st.st_mtim.tv_sec);
    }
    ::close(fd);
    return newest;
}

ProjectScope project_scope(const std::vector<CategoryDef>& catalog) {
    ProjectScope scope;
    scope.home = paths::real_home();
    for (const CategoryDef& d : catalog) {
        if (d.listing != ListingKind::Recursive) {
            if (!d.path.empty())
                scope.other_rows.push_back(d.path);
            continue;
        }
        for (const std::string& n : d.names) {
            if (std::find(scope.claimed.begin(), scope.claimed.end(), n) == scope.claimed.end())
                scope.claimed.push_back(n);
        }
    }
    scope.top_skip = catalog::recursive_skip();
    const std::string home = without_trailing_slashes(scope.home);
    if (!home.empty() && home[0] == '/') {
        for (const char* rel : kToolFolders)
            scope.tool_folders.push_back(home + (home == "/" ? "" : "/") + rel);
    }
    for (const char* var : kToolVariables) {
        const char* v = std::getenv(var);
        if (v == nullptr || v[0] != '/')
            continue;
        const std::string folder = without_trailing_slashes(v);
        // A variable pointing at the home or above it would fence off every
        // project; such a setting names no tool's own folder.
        if (!home.empty() && su::is_at_or_under(home, folder))
            continue;
        scope.tool_folders.push_back(folder);
    }
    return scope;
}

std::vector<Listed> list_projects(const std::vector<CategoryDef>& rows, const ProjectScope& scope,
                                  const std::atomic<bool>* cancel) {
    return ProjectWalk(rows, scope, cancel).run();
}

}  // namespace scanner
