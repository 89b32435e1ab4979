// catalog_linux — the catalog as it is on Linux: base folders, the rows, the
// cache keyed by the projects folder, and the presentation tables.
//
// Sections:
//   Base folders   — home, XDG base directories, Android SDK
//   Builder        — collects rows whose folder exists
//   Rows           — every category, in display order
//   Public         — all(), projects folder, name lists, presentation tables
#include "engine/catalog.h"

#include <sys/stat.h>

#include <cstdlib>
#include <utility>

#include "base/paths.h"

namespace catalog {

namespace {

using G = GroupKind;
using I = Glyph;
using S = SafetyLevel;

// Empty means the home folder.
std::string g_projects_root;

// --- Base folders ---

std::string home() {
    return paths::real_home();
}

std::string h(const std::string& rel) {
    const std::string base = home();
    return base.empty() ? std::string() : base + "/" + rel;
}

// An XDG variable is honoured only natively and only when absolute: inside a
// sandbox it points into the sandbox's private copy, not at the user's folders.
std::string xdg(const char* var, const char* fallback) {
    if (!paths::running_in_snap() && !paths::running_in_flatpak()) {
        const char* v = std::getenv(var);
        if (v != nullptr && v[0] == '/')
            return v;
    }
    return h(fallback);
}

std::string cache_home() {
    return xdg("XDG_CACHE_HOME", ".cache");
}
std::string data_home() {
    return xdg("XDG_DATA_HOME", ".local/share");
}
std::string config_home() {
    return xdg("XDG_CONFIG_HOME", ".config");
}

const char* env_or_null(const char* name) {
    const char* v = std::getenv(name);
    return (v != nullptr && v[0] != '\0') ? v : nullptr;
}

bool dir_exists(const std::string& p) {
    if (p.empty())
        return false;
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The SDK variables are honoured inside sandboxes too: they name a folder the
// user chose, not a sandbox-private one.
std::string android_sdk() {
    for (const char* var : {"ANDROID_HOME", "ANDROID_SDK_ROOT"}) {
        const char* v = env_or_null(var);
        if (v != nullptr && dir_exists(v))
            return v;
    }
    for (const char* rel : {"Android/Sdk", "Android/sdk", ".android-sdk"}) {
        const std::string p = h(rel);
        if (dir_exists(p))
            return p;
    }
    return {};
}

// --- Builder ---

struct Builder {
    std::vector<CategoryDef> out;

    void add(CategoryDef d) {
        if (!dir_exists(d.path))
            return;
        out.push_back(std::move(d));
    }

    static CategoryDef make(const char* id, G g, const char* title, const char* sub, I icon) {
        CategoryDef d;
        d.id = id;
        d.group = g;
        d.title = title;
        d.subtitle = sub;
        d.glyph = icon;
        return d;
    }

    // A row of one of the three folder listings, not added yet.
    static CategoryDef listed_def(const char* id, G g, const char* title, const char* sub, I icon,
                                  const std::string& path, S safety, ListingKind listing,
                                  bool keep_newest) {
        CategoryDef d = make(id, g, title, sub, icon);
        d.path = path;
        d.listing = listing;
        d.safety = safety;
        d.keep_newest = keep_newest;
        return d;
    }

    void listed(const char* id, G g, const char* title, const char* sub, I icon,
                const std::string& path, S safety, ListingKind listing, bool keep_newest) {
        add(listed_def(id, g, title, sub, icon, path, safety, listing, keep_newest));
    }

    // A folder of several tools' installations, some in several versions:
    // the newest of each tool is kept, not one of them all.
    void tools(const char* id, G g, const char* title, const char* sub, I icon,
               const std::string& path, S safety) {
        CategoryDef d =
            listed_def(id, g, title, sub, icon, path, safety, ListingKind::ChildDirectories, true);
        d.per_tool = true;
        add(std::move(d));
    }

    void dirs(const char* id, G g, const char* title, const char* sub, I icon,
              const std::string& path, S safety, bool keep_newest) {
        listed(id, g, title, sub, icon, path, safety, ListingKind::ChildDirectories, keep_newest);
    }

    void items(const char* id, G g, const char* title, const char* sub, I icon,
               const std::string& path, S safety) {
        listed(id, g, title, sub, icon, path, safety, ListingKind::ChildItems, false);
    }

    void whole(const char* id, G g, const char* title, const char* sub, I icon,
               const std::string& path, S safety) {
        listed(id, g, title, sub, icon, path, safety, ListingKind::SelfFolder, false);
    }

    void recursive(const char* id, G g, const char* title, const char* sub, I icon,
                   std::vector<std::string> names, S safety) {
        CategoryDef d = make(id, g, title, sub, icon);
        d.path = projects_root();
        d.listing = ListingKind::Recursive;
        d.names = std::move(names);
        d.max_depth = 5;
        d.safety = safety;
        add(std::move(d));
    }
};

// --- Rows ---

void add_ide_rows(Builder& b, const std::string& cache, const std::string& data,
                  const std::string& config) {
    b.dirs("jetbrainsCaches", G::Ides, "JetBrains caches",
           "IntelliJ IDEA, PyCharm, WebStorm, CLion — one folder per version", I::Code,
           cache + "/JetBrains", S::Safe, false);
    b.dirs("jetbrainsData", G::Ides, "JetBrains plugins",
           "Plugins and settings, one folder per IDE version", I::Puzzle, data + "/JetBrains",
           S::Caution, true);
    b.dirs("eclipseP2", G::Ides, "Eclipse bundle pool",
           "~/.p2 — plug-in bundles left behind by updates", I::Puzzle, h(".p2/pool/plugins"),
           S::Caution, false);
    b.dirs("eclipseConfig", G::Ides, "Eclipse configuration cache",
           "~/.eclipse — OSGi and index caches per installation", I::Code, h(".eclipse"), S::Safe,
           false);
    b.whole("eclipseHistory", G::Ides, "Eclipse local history",
            "Every saved version of your files in the workspace", I::Doc,
            h("eclipse-workspace/.metadata/.plugins/org.eclipse.core.resources/.history"),
            S::Risky);
    b.dirs("vscodeCachedData", G::Ides, "VS Code — CachedData",
           "One bundle per version the editor has ever run", I::Code, config + "/Code/CachedData",
           S::Safe, false);
    b.whole("vscodeCache", G::Ides, "VS Code — Cache", "Network and blob cache", I::Code,
            config + "/Code/Cache", S::Safe);
    b.whole("vscodeCodeCache", G::Ides, "VS Code — Code Cache", "Compiled JavaScript bytecode",
            I::Code, config + "/Code/CachedProfilesData", S::Safe);
    b.dirs("vscodeExtensions", G::Ides, "VS Code — extensions",
           "Installed extensions, older versions included", I::Puzzle, h(".vscode/extensions"),
           S::Caution, false);
    b.dirs("vscodeWorkspaceStorage", G::Ides, "VS Code — workspaceStorage",
           "State per opened folder — one for every project you ever opened", I::Code,
           config + "/Code/User/workspaceStorage", S::Caution, false);
    b.dirs("androidStudioCaches", G::Ides, "Android Studio caches",
           "One folder per Android Studio version", I::Wrench, cache + "/Google", S::Safe, false);
}

void add_android_rows(Builder& b, const std::string& sdk) {
    if (!sdk.empty()) {
        b.dirs("androidBuildTools", G::Android, "SDK build tools",
               "Old build-tools versions (the newest is kept)", I::Wrench, sdk + "/build-tools",
               S::Caution, true);
        b.dirs("androidPlatforms", G::Android, "SDK platforms", "Installed Android API levels",
               I::Layers, sdk + "/platforms", S::Caution, true);
        b.dirs("androidSystemImages", G::Android, "System images",
               "Emulator system images — usually the biggest item here", I::Phone,
               sdk + "/system-images", S::Caution, false);
        b.dirs("androidSources", G::Android, "SDK sources", "Android source code per API level",
               I::Doc, sdk + "/sources", S::Safe, false);
        b.dirs("androidNdk", G::Android, "NDK", "Native development kits (the newest is kept)",
               I::Layers, sdk + "/ndk", S::Caution, true);
        b.dirs("androidCmake", G::Android, "SDK CMake",
               "CMake versions installed by the SDK manager", I::Wrench, sdk + "/cmake", S::Caution,
               true);
        b.whole("androidEmulatorCache", G::Android, "Emulator caches",
                "Downloaded emulator artefacts", I::Box, sdk + "/.temp", S::Safe);
    }
    b.items("avds", G::Android, "Emulators (AVDs)",
            "Created Android emulators including their data", I::Phone, h(".android/avd"),
            S::Risky);
    b.whole("androidCache", G::Android, "Android SDK download cache",
            "~/.android/cache — installer downloads", I::Box, h(".android/cache"), S::Safe);
    b.whole("androidBuildCache", G::Android, "Android build cache", "~/.android/build-cache",
            I::Box, h(".android/build-cache"), S::Safe);
}

void add_java_rows(Builder& b, const std::string& cache) {
    b.dirs("gradleCaches", G::Java, "Gradle caches", "Downloaded dependencies and the build cache",
           I::Box, h(".gradle/caches"), S::Safe, false);
    b.dirs("gradleDists", G::Java, "Gradle distributions",
           "Gradle versions unpacked by the wrapper", I::Cube, h(".gradle/wrapper/dists"), S::Safe,
           false);
    b.dirs("gradleDaemon", G::Java, "Gradle daemon logs", "One log directory per Gradle version",
           I::Doc, h(".gradle/daemon"), S::Safe, false);
    b.dirs("mavenRepo", G::Java, "Maven repository", "~/.m2 — downloaded Java dependencies", I::Box,
           h(".m2/repository"), S::Caution, false);
    b.dirs("ivyCache", G::Java, "Ivy cache", "~/.ivy2 — Scala and SBT dependencies", I::Box,
           h(".ivy2/cache"), S::Safe, false);
    b.whole("coursierCache", G::Java, "Coursier cache", "SBT and Scala CLI artefact cache", I::Box,
            cache + "/coursier", S::Safe);
    b.dirs("sbtBoot", G::Java, "SBT boot", "~/.sbt — bootstrapped SBT and Scala versions", I::Cube,
           h(".sbt/boot"), S::Safe, false);
}

void add_javascript_rows(Builder& b, const std::string& cache, const std::string& data) {
    b.whole("npmCache", G::JavaScript, "npm cache", "~/.npm/_cacache", I::Box, h(".npm/_cacache"),
            S::Safe);
    b.whole("yarnCache", G::JavaScript, "Yarn cache", "Downloaded packages", I::Box,
            cache + "/yarn", S::Safe);
    b.whole("pnpmStore", G::JavaScript, "pnpm store", "Shared package store", I::Box,
            data + "/pnpm/store", S::Safe);
    b.whole("nodeGyp", G::JavaScript, "node-gyp headers",
            "Node headers per version, for native modules", I::Wrench, cache + "/node-gyp",
            S::Safe);
    b.whole("electronCache", G::JavaScript, "Electron downloads", "Electron binaries per version",
            I::Cube, cache + "/electron", S::Safe);
    b.dirs("playwright", G::JavaScript, "Playwright browsers",
           "Browser builds downloaded for tests", I::Box, cache + "/ms-playwright", S::Caution,
           false);
    b.dirs("puppeteer", G::JavaScript, "Puppeteer browsers", "Chromium builds downloaded for tests",
           I::Box, cache + "/puppeteer", S::Caution, false);
    b.dirs("cypress", G::JavaScript, "Cypress binaries", "One Cypress build per version", I::Box,
           cache + "/Cypress", S::Caution, false);
    b.whole("bowerCache", G::JavaScript, "Bower cache", "Legacy front-end package cache", I::Box,
            cache + "/bower", S::Safe);
    b.whole("expo", G::JavaScript, "Expo", "Downloaded packages", I::Box, h(".expo"), S::Safe);
}

void add_python_rows(Builder& b, const std::string& cache) {
    b.whole("pipCache", G::Python, "pip cache", "Downloaded Python packages", I::Snake,
            cache + "/pip", S::Safe);
    b.whole("poetryCache", G::Python, "Poetry cache", "Poetry dependency cache", I::Snake,
            cache + "/pypoetry", S::Safe);
    b.whole("uvCache", G::Python, "uv cache", "uv package cache", I::Snake, cache + "/uv", S::Safe);
    b.dirs("condaPkgs", G::Python, "Conda packages", "Unpacked conda packages", I::Box,
           h(".conda/pkgs"), S::Caution, false);
}

void add_other_language_rows(Builder& b, const std::string& cache) {
    constexpr const char* kPackages = "Downloaded packages";
    constexpr const char* kCompiled = "Compiled intermediates";
    constexpr const char* kToolchains = "Installed toolchains (the newest is kept)";
    b.dirs("cargoRegistry", G::OtherLangs, "Cargo registry", "Downloaded and unpacked crates",
           I::Box, h(".cargo/registry"), S::Safe, false);
    b.dirs("cargoGit", G::OtherLangs, "Cargo git checkouts",
           "Dependencies pulled straight from git", I::Box, h(".cargo/git"), S::Safe, false);
    b.dirs("rustupToolchains", G::OtherLangs, "Rust toolchains", kToolchains, I::Layers,
           h(".rustup/toolchains"), S::Caution, true);
    b.whole("goModCache", G::OtherLangs, "Go module cache", "~/go/pkg/mod — downloaded modules",
            I::Box, h("go/pkg/mod"), S::Caution);
    b.whole("goBuildCache", G::OtherLangs, "Go build cache", kCompiled, I::Cube,
            cache + "/go-build", S::Safe);
    b.dirs("nugetPackages", G::OtherLangs, ".NET NuGet packages", "~/.nuget — downloaded packages",
           I::Box, h(".nuget/packages"), S::Caution, false);
    b.whole("composerCache", G::OtherLangs, "Composer cache", "PHP dependency cache", I::Box,
            cache + "/composer", S::Safe);
    b.dirs("rubyGems", G::OtherLangs, "RubyGems", kPackages, I::Box, h(".gem"), S::Safe, false);
    b.whole("bundlerCache", G::OtherLangs, "Bundler", kPackages, I::Box, h(".bundle/cache"),
            S::Safe);
    b.dirs("pubCache", G::OtherLangs, "pub", kPackages, I::Box, h(".pub-cache"), S::Safe, false);
    b.whole("stackSnapshots", G::OtherLangs, "Stack", kCompiled, I::Cube, h(".stack/snapshots"),
            S::Safe);
    b.whole("cabalPackages", G::OtherLangs, "Cabal", kPackages, I::Box, h(".cabal/packages"),
            S::Safe);
    b.whole("opamDownloads", G::OtherLangs, "opam", kPackages, I::Box, h(".opam/download-cache"),
            S::Safe);
    b.dirs("juliaCompiled", G::OtherLangs, "Julia", kCompiled, I::Cube, h(".julia/compiled"),
           S::Safe, false);
    b.dirs("juliaPackages", G::OtherLangs, "Julia packages", kPackages, I::Box,
           h(".julia/packages"), S::Safe, false);
    b.whole("denoCache", G::OtherLangs, "Deno", kPackages, I::Box, cache + "/deno", S::Safe);
    b.whole("bunCache", G::OtherLangs, "Bun", kPackages, I::Box, h(".bun/install/cache"), S::Safe);
    b.whole("hexCache", G::OtherLangs, "Hex", kPackages, I::Box, h(".hex/packages"), S::Safe);
    b.whole("zigCache", G::OtherLangs, "Zig", kCompiled, I::Cube, cache + "/zig", S::Safe);
    b.whole("cpanmCache", G::OtherLangs, "cpanm", kPackages, I::Box, h(".cpanm"), S::Safe);
    b.tools("konan", G::OtherLangs, "Kotlin/Native", kToolchains, I::Layers, h(".konan"),
            S::Caution);
}

void add_native_rows(Builder& b, const std::string& cache) {
    constexpr const char* kCompilerCache = "C/C++ compiler cache";
    constexpr const char* kDeps = "Downloaded dependencies and the build cache";
    b.whole("ccache", G::Native, "ccache", kCompilerCache, I::Cube, cache + "/ccache", S::Safe);
    b.whole("ccacheLegacy", G::Native, "ccache (legacy path)",
            "~/.ccache from older ccache versions", I::Cube, h(".ccache"), S::Safe);
    b.whole("sccache", G::Native, "sccache", kCompilerCache, I::Cube, cache + "/sccache", S::Safe);
    b.dirs("bazel", G::Native, "Bazel", kDeps, I::Cube, cache + "/bazel", S::Safe, false);
    b.whole("conan2", G::Native, "Conan 2", kDeps, I::Box, h(".conan2/p"), S::Safe);
    b.whole("conan1", G::Native, "Conan 1", kDeps, I::Box, h(".conan/data"), S::Safe);
    b.whole("vcpkg", G::Native, "vcpkg", "Compiled intermediates", I::Cube, cache + "/vcpkg",
            S::Safe);
}

void add_container_rows(Builder& b, const std::string& cache, const std::string& data) {
    constexpr const char* kImages = "Images and layers of your local containers";
    constexpr const char* kPackaging = "Intermediate files from building packages";
    constexpr const char* kBaseImages = "Downloaded base images";
    b.dirs("podmanStorage", G::Containers, "Podman", kImages, I::Layers,
           data + "/containers/storage", S::Risky, false);
    b.dirs("dockerRootless", G::Containers, "Docker", kImages, I::Layers, data + "/docker",
           S::Risky, false);
    b.dirs("flatpakBuilder", G::Containers, "flatpak-builder", kPackaging, I::Cube,
           cache + "/flatpak-builder", S::Safe, false);
    b.whole("snapcraftCache", G::Containers, "Snapcraft", kPackaging, I::Cube, cache + "/snapcraft",
            S::Safe);
    b.whole("pbuilderCache", G::Containers, "pbuilder", kPackaging, I::Cube, cache + "/pbuilder",
            S::Safe);
    // SPECS and SOURCES hold what the user wrote and gathered; only the rest
    // is rebuilt by rpmbuild.
    CategoryDef rpm = Builder::listed_def("rpmbuild", G::Containers, "rpmbuild",
                                          "Build tree of your own packages", I::Cube, h("rpmbuild"),
                                          S::Caution, ListingKind::ChildDirectories, false);
    rpm.own_work = {"SPECS", "SOURCES"};
    b.add(std::move(rpm));
    b.dirs("vagrantBoxes", G::Containers, "Vagrant", kBaseImages, I::Layers, h(".vagrant.d/boxes"),
           S::Caution, false);
    b.whole("minikubeCache", G::Containers, "minikube", kBaseImages, I::Layers,
            h(".minikube/cache"), S::Safe);
}

void add_embedded_rows(Builder& b) {
    constexpr const char* kToolchains = "Installed toolchains (the newest is kept)";
    b.tools("platformio", G::Embedded, "PlatformIO", kToolchains, I::Layers,
            h(".platformio/packages"), S::Caution);
    b.whole("arduinoStaging", G::Embedded, "Arduino", "Downloaded packages", I::Box,
            h(".arduino15/staging"), S::Safe);
    b.tools("espressif", G::Embedded, "ESP-IDF", kToolchains, I::Layers, h(".espressif/tools"),
            S::Caution);
}

void add_project_rows(Builder& b) {
    b.recursive("nodeModules", G::Projects, "node_modules",
                "Dependency folders in your projects — npm install restores them", I::Folder,
                {"node_modules"}, S::Safe);
    b.recursive("buildDirs", G::Projects, "Build output",
                "build, out and target folders in your projects", I::Cube,
                {"build", "out", "target", "dist", ".cxx", "cmake-build-debug",
                 "cmake-build-release", "cmake-build-relwithdebinfo"},
                S::Safe);
    b.recursive(
        "webCaches", G::Projects, "Web framework caches",
        "Rebuilt by the next build in your projects", I::Cube,
        {".next", ".nuxt", ".svelte-kit", ".angular", ".astro", ".vite", ".parcel-cache", ".turbo"},
        S::Safe);
    b.recursive("vendored", G::Projects, "Vendored dependencies",
                "Dependency folders your tools can fetch again", I::Folder,
                {"vendor", ".dart_tool", ".stack-work", "elm-stuff", ".terraform"}, S::Caution);
    b.recursive("testOutput", G::Projects, "Test reports",
                "Coverage and test output in your projects", I::Doc, {"coverage", ".nyc_output"},
                S::Safe);
    b.recursive("pycache", G::Projects, "__pycache__", "Compiled Python bytecode in your projects",
                I::Snake, {"__pycache__", ".pytest_cache", ".mypy_cache", ".ruff_cache"}, S::Safe);
    b.recursive("venvs", G::Projects, "Virtual environments",
                "venv and .venv folders — recreated from requirements", I::Snake,
                {"venv", ".venv", ".tox"}, S::Caution);
    b.recursive("gradleProject", G::Projects, "Project Gradle caches",
                ".gradle folders inside your projects", I::Box, {".gradle"}, S::Safe);
}

void add_log_rows(Builder& b, const std::string& config) {
    b.items("npmLogs", G::Logs, "npm logs", "~/.npm/_logs — one file per failed install", I::Doc,
            h(".npm/_logs"), S::Safe);
    b.items("vscodeLogs", G::Logs, "VS Code logs", "Logs of the editor and its extensions", I::Doc,
            config + "/Code/logs", S::Safe);
    // There is no "JetBrains logs" row here. The JetBrains data folder holds each
    // IDE's plug-ins and settings (listed above as "JetBrains plugins", with the
    // newest version kept); listing it again as safe-to-delete logs would offer
    // those plug-ins as disposable and count them twice in every total. The IDEs'
    // real logs live inside their cache folders, which "JetBrains caches" lists.
    b.items("crashReports", G::Logs, "Crash reports", "Crash dumps left by development tools",
            I::Doc, h(".android/crashes"), S::Safe);
}

std::vector<CategoryDef> build() {
    if (home().empty())
        return {};
    const std::string cache = cache_home();
    const std::string data = data_home();
    const std::string config = config_home();
    const std::string sdk = android_sdk();

    Builder b;
    add_ide_rows(b, cache, data, config);
    add_android_rows(b, sdk);
    add_java_rows(b, cache);
    add_javascript_rows(b, cache, data);
    add_python_rows(b, cache);
    add_other_language_rows(b, cache);
    add_native_rows(b, cache);
    add_container_rows(b, cache, data);
    add_embedded_rows(b);
    add_project_rows(b);
    add_log_rows(b, config);
    return std::move(b.out);
}

// --- Presentation tables ---

struct GroupStyle {
    const char* title;
    Glyph glyph;
    const char* color;
};

constexpr GroupStyle kGroups[] = {
    {"IDEs & editors", I::Code, "#FF5B54"},
    {"Android", I::Phone, "#FF8A2B"},
    {"Java & Gradle", I::Cube, "#FFB020"},
    {"JavaScript & Node", I::Box, "#FF3D91"},
    {"Python", I::Snake, "#FF7EB0"},
    {"Rust, Go & others", I::Gear, "#FF9C6B"},
    {"C/C++ & build systems", I::Wrench, "#FF6F3C"},
    {"Containers & packaging", I::Layers, "#FFA45B"},
    {"Embedded", I::Phone, "#FFC53D"},
    {"Your projects", I::Folder, "#FF599E"},
    {"Logs", I::Doc, "#FFD93D"},
};
constexpr GroupStyle kOtherGroup = {"", I::Box, "#FF599E"};

struct SafetyStyle {
    const char* title;
    const char* color;
    const char* explanation;
};

constexpr SafetyStyle kSafety[] = {
    {"Safe", "#34A853", "Recreated automatically on the next build or launch."},
    {"Caution", "#F5A623", "Recreated or downloaded again when needed — costs time, not data."},
    {"Risky", "#E5484D", "May hold data that cannot be recreated."},
};
constexpr SafetyStyle kOtherSafety = {"", "#888888", ""};

const GroupStyle& group_style(GroupKind g) {
    const auto i = static_cast<std::int32_t>(g);
    return (i >= 0 && i < static_cast<std::int32_t>(GroupKind::_Count)) ? kGroups[i] : kOtherGroup;
}

const SafetyStyle& safety_style(SafetyLevel s) {
    const auto i = static_cast<std::int32_t>(s);
    return (i >= 0 && i <= static_cast<std::int32_t>(SafetyLevel::Risky)) ? kSafety[i]
                                                                          : kOtherSafety;
}

}  // namespace

// --- Public ---

const std::vector<CategoryDef>& all() {
    // 0x01 is no path's first byte, so the first call always builds.
    static std::vector<CategoryDef> cached;
    static std::string built_for(1, '\x01');
    if (projects_root() != built_for) {
        cached = build();
        built_for = projects_root();
    }
    return cached;
}

std::string projects_root() {
    return g_projects_root.empty() ? home() : g_projects_root;
}

void set_projects_root(const std::string& path) {
    g_projects_root = path;
}

const std::vector<std::string>& recursive_skip() {
    static const std::vector<std::string> skip = {
        ".cache",   ".local",   ".config", ".var",      "snap",    ".steam", ".wine",
        ".gradle",  ".m2",      ".npm",    ".cargo",    ".rustup", ".nuget", ".ivy2",
        ".android", "Android",  "go",      ".git",      ".svn",    ".Trash", ".local/share",
        "Music",    "Pictures", "Videos",  "Downloads",
    };
    return skip;
}

const std::vector<std::string>& recursive_claimed() {
    static const std::vector<std::string> claimed = [] {
        std::vector<std::string> names;
        for (const CategoryDef& d : all()) {
            if (d.listing != ListingKind::Recursive)
                continue;
            for (const std::string& n : d.names) {
                bool seen = false;
                for (const std::string& m : names)
                    seen = seen || m == n;
                if (!seen)
                    names.push_back(n);
            }
        }
        return names;
    }();
    return claimed;
}

const char* group_title(GroupKind g) {
    return group_style(g).title;
}
Glyph group_glyph(GroupKind g) {
    return group_style(g).glyph;
}
const char* group_color(GroupKind g) {
    return group_style(g).color;
}
const char* safety_title(SafetyLevel s) {
    return safety_style(s).title;
}
const char* safety_explanation(SafetyLevel s) {
    return safety_style(s).explanation;
}
const char* safety_color(SafetyLevel s) {
    return safety_style(s).color;
}

}  // namespace catalog
