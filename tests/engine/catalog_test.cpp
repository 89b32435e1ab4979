// The catalog: which rows exist for a given home, where their folders are,
// every row's fields and order, and when the cached list is rebuilt.
#include "engine/catalog.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>

#include <unistd.h>

#include "test_support.h"

namespace {

using testing_support::FakeHome;
using testing_support::make_dirs;
using testing_support::make_symlink;
using testing_support::run_test_in_child;
using testing_support::TempDir;

using G = GroupKind;
using I = Glyph;
using L = ListingKind;
using S = SafetyLevel;

enum Base { Home, Cache, Data, Config, Sdk, Projects };
constexpr ListingKind kDirs = ListingKind::ChildDirectories;
constexpr ListingKind kItems = ListingKind::ChildItems;
constexpr ListingKind kWhole = ListingKind::SelfFolder;
constexpr ListingKind kSearch = ListingKind::Recursive;

struct ExpectedRow {
    const char* id;
    GroupKind group;
    Glyph glyph;
    Base base;
    const char* rel;  // below the base; empty for the base itself
    ListingKind listing;
    SafetyLevel safety;
    bool keep_newest;
    std::vector<std::string> names;
    const char* title;
    const char* subtitle;
};

// Every row of the catalog, in order, as the user-facing contract.
// One row of the catalog per two lines, so the table reads as one.
// clang-format off
const std::vector<ExpectedRow> kRows = {
    {"jetbrainsCaches", G::Ides, I::Code, Cache, "JetBrains", kDirs, S::Safe, false, {},
     "JetBrains caches", "IntelliJ IDEA, PyCharm, WebStorm, CLion — one folder per version"},
    {"jetbrainsData", G::Ides, I::Puzzle, Data, "JetBrains", kDirs, S::Caution, true, {},
     "JetBrains plugins", "Plugins and settings, one folder per IDE version"},
    {"eclipseP2", G::Ides, I::Puzzle, Home, ".p2/pool/plugins", kDirs, S::Caution, false, {},
     "Eclipse bundle pool", "~/.p2 — plug-in bundles left behind by updates"},
    {"eclipseConfig", G::Ides, I::Code, Home, ".eclipse", kDirs, S::Safe, false, {},
     "Eclipse configuration cache", "~/.eclipse — OSGi and index caches per installation"},
    {"eclipseHistory", G::Ides, I::Doc, Home,
     "eclipse-workspace/.metadata/.plugins/org.eclipse.core.resources/.history",
     kWhole, S::Risky, false, {},
     "Eclipse local history", "Every saved version of your files in the workspace"},
    {"vscodeCachedData", G::Ides, I::Code, Config, "Code/CachedData", kDirs, S::Safe, false, {},
     "VS Code — CachedData", "One bundle per version the editor has ever run"},
    {"vscodeCache", G::Ides, I::Code, Config, "Code/Cache", kWhole, S::Safe, false, {},
     "VS Code — Cache", "Network and blob cache"},
    {"vscodeCodeCache", G::Ides, I::Code, Config, "Code/CachedProfilesData",
     kWhole, S::Safe, false, {},
     "VS Code — Code Cache", "Compiled JavaScript bytecode"},
    {"vscodeExtensions", G::Ides, I::Puzzle, Home, ".vscode/extensions",
     kDirs, S::Caution, false, {},
     "VS Code — extensions", "Installed extensions, older versions included"},
    {"vscodeWorkspaceStorage", G::Ides, I::Code, Config, "Code/User/workspaceStorage",
     kDirs, S::Caution, false, {},
     "VS Code — workspaceStorage",
     "State per opened folder — one for every project you ever opened"},
    {"androidStudioCaches", G::Ides, I::Wrench, Cache, "Google", kDirs, S::Safe, false, {},
     "Android Studio caches", "One folder per Android Studio version"},
    {"androidBuildTools", G::Android, I::Wrench, Sdk, "build-tools", kDirs, S::Caution, true, {},
     "SDK build tools", "Old build-tools versions (the newest is kept)"},
    {"androidPlatforms", G::Android, I::Layers, Sdk, "platforms", kDirs, S::Caution, true, {},
     "SDK platforms", "Installed Android API levels"},
    {"androidSystemImages", G::Android, I::Phone, Sdk, "system-images",
     kDirs, S::Caution, false, {},
     "System images", "Emulator system images — usually the biggest item here"},
    {"androidSources", G::Android, I::Doc, Sdk, "sources", kDirs, S::Safe, false, {},
     "SDK sources", "Android source code per API level"},
    {"androidNdk", G::Android, I::Layers, Sdk, "ndk", kDirs, S::Caution, true, {},
     "NDK", "Native development kits (the newest is kept)"},
    {"androidCmake", G::Android, I::Wrench, Sdk, "cmake", kDirs, S::Caution, true, {},
     "SDK CMake", "CMake versions installed by the SDK manager"},
    {"androidEmulatorCache", G::Android, I::Box, Sdk, ".temp", kWhole, S::Safe, false, {},
     "Emulator caches", "Downloaded emulator artefacts"},
    {"avds", G::Android, I::Phone, Home, ".android/avd", kItems, S::Risky, false, {},
     "Emulators (AVDs)", "Created Android emulators including their data"},
    {"androidCache", G::Android, I::Box, Home, ".android/cache", kWhole, S::Safe, false, {},
     "Android SDK download cache", "~/.android/cache — installer downloads"},
    {"androidBuildCache", G::Android, I::Box, Home, ".android/build-cache",
     kWhole, S::Safe, false, {},
     "Android build cache", "~/.android/build-cache"},
    {"gradleCaches", G::Java, I::Box, Home, ".gradle/caches", kDirs, S::Safe, false, {},
     "Gradle caches", "Downloaded dependencies and the build cache"},
    {"gradleDists", G::Java, I::Cube, Home, ".gradle/wrapper/dists", kDirs, S::Safe, false, {},
     "Gradle distributions", "Gradle versions unpacked by the wrapper"},
    {"gradleDaemon", G::Java, I::Doc, Home, ".gradle/daemon", kDirs, S::Safe, false, {},
     "Gradle daemon logs", "One log directory per Gradle version"},
    {"mavenRepo", G::Java, I::Box, Home, ".m2/repository", kDirs, S::Caution, false, {},
     "Maven repository", "~/.m2 — downloaded Java dependencies"},
    {"ivyCache", G::Java, I::Box, Home, ".ivy2/cache", kDirs, S::Safe, false, {},
     "Ivy cache", "~/.ivy2 — Scala and SBT dependencies"},
    {"coursierCache", G::Java, I::Box, Cache, "coursier", kWhole, S::Safe, false, {},
     "Coursier cache", "SBT and Scala CLI artefact cache"},
    {"sbtBoot", G::Java, I::Cube, Home, ".sbt/boot", kDirs, S::Safe, false, {},
     "SBT boot", "~/.sbt — bootstrapped SBT and Scala versions"},
    {"npmCache", G::JavaScript, I::Box, Home, ".npm/_cacache", kWhole, S::Safe, false, {},
     "npm cache", "~/.npm/_cacache"},
    {"yarnCache", G::JavaScript, I::Box, Cache, "yarn", kWhole, S::Safe, false, {},
     "Yarn cache", "Downloaded packages"},
    {"pnpmStore", G::JavaScript, I::Box, Data, "pnpm/store", kWhole, S::Safe, false, {},
     "pnpm store", "Shared package store"},
    {"nodeGyp", G::JavaScript, I::Wrench, Cache, "node-gyp", kWhole, S::Safe, false, {},
     "node-gyp headers", "Node headers per version, for native modules"},
    {"electronCache", G::JavaScript, I::Cube, Cache, "electron", kWhole, S::Safe, false, {},
     "Electron downloads", "Electron binaries per version"},
    {"playwright", G::JavaScript, I::Box, Cache, "ms-playwright", kDirs, S::Caution, false, {},
     "Playwright browsers", "Browser builds downloaded for tests"},
    {"puppeteer", G::JavaScript, I::Box, Cache, "puppeteer", kDirs, S::Caution, false, {},
     "Puppeteer browsers", "Chromium builds downloaded for tests"},
    {"cypress", G::JavaScript, I::Box, Cache, "Cypress", kDirs, S::Caution, false, {},
     "Cypress binaries", "One Cypress build per version"},
    {"bowerCache", G::JavaScript, I::Box, Cache, "bower", kWhole, S::Safe, false, {},
     "Bower cache", "Legacy front-end package cache"},
    {"expo", G::JavaScript, I::Box, Home, ".expo", kWhole, S::Safe, false, {},
     "Expo", "Downloaded packages"},
    {"pipCache", G::Python, I::Snake, Cache, "pip", kWhole, S::Safe, false, {},
     "pip cache", "Downloaded Python packages"},
    {"poetryCache", G::Python, I::Snake, Cache, "pypoetry", kWhole, S::Safe, false, {},
     "Poetry cache", "Poetry dependency cache"},
    {"uvCache", G::Python, I::Snake, Cache, "uv", kWhole, S::Safe, false, {},
     "uv cache", "uv package cache"},
    {"condaPkgs", G::Python, I::Box, Home, ".conda/pkgs", kDirs, S::Caution, false, {},
     "Conda packages", "Unpacked conda packages"},
    {"cargoRegistry", G::OtherLangs, I::Box, Home, ".cargo/registry", kDirs, S::Safe, false, {},
     "Cargo registry", "Downloaded and unpacked crates"},
    {"cargoGit", G::OtherLangs, I::Box, Home, ".cargo/git", kDirs, S::Safe, false, {},
     "Cargo git checkouts", "Dependencies pulled straight from git"},
    {"rustupToolchains", G::OtherLangs, I::Layers, Home, ".rustup/toolchains",
     kDirs, S::Caution, true, {},
     "Rust toolchains", "Installed toolchains (the newest is kept)"},
    {"goModCache", G::OtherLangs, I::Box, Home, "go/pkg/mod", kWhole, S::Caution, false, {},
     "Go module cache", "~/go/pkg/mod — downloaded modules"},
    {"goBuildCache", G::OtherLangs, I::Cube, Cache, "go-build", kWhole, S::Safe, false, {},
     "Go build cache", "Compiled intermediates"},
    {"nugetPackages", G::OtherLangs, I::Box, Home, ".nuget/packages", kDirs, S::Caution, false, {},
     ".NET NuGet packages", "~/.nuget — downloaded packages"},
    {"composerCache", G::OtherLangs, I::Box, Cache, "composer", kWhole, S::Safe, false, {},
     "Composer cache", "PHP dependency cache"},
    {"rubyGems", G::OtherLangs, I::Box, Home, ".gem", kDirs, S::Safe, false, {},
     "RubyGems", "Downloaded packages"},
    {"bundlerCache", G::OtherLangs, I::Box, Home, ".bundle/cache", kWhole, S::Safe, false, {},
     "Bundler", "Downloaded packages"},
    {"pubCache", G::OtherLangs, I::Box, Home, ".pub-cache", kDirs, S::Safe, false, {},
     "pub", "Downloaded packages"},
    {"stackSnapshots", G::OtherLangs, I::Cube, Home, ".stack/snapshots", kWhole, S::Safe, false, {},
     "Stack", "Compiled intermediates"},
    {"cabalPackages", G::OtherLangs, I::Box, Home, ".cabal/packages", kWhole, S::Safe, false, {},
     "Cabal", "Downloaded packages"},
    {"opamDownloads", G::OtherLangs, I::Box, Home, ".opam/download-cache",
     kWhole, S::Safe, false, {},
     "opam", "Downloaded packages"},
    {"juliaCompiled", G::OtherLangs, I::Cube, Home, ".julia/compiled", kDirs, S::Safe, false, {},
     "Julia", "Compiled intermediates"},
    {"juliaPackages", G::OtherLangs, I::Box, Home, ".julia/packages", kDirs, S::Safe, false, {},
     "Julia packages", "Downloaded packages"},
    {"denoCache", G::OtherLangs, I::Box, Cache, "deno", kWhole, S::Safe, false, {},
     "Deno", "Downloaded packages"},
    {"bunCache", G::OtherLangs, I::Box, Home, ".bun/install/cache", kWhole, S::Safe, false, {},
     "Bun", "Downloaded packages"},
    {"hexCache", G::OtherLangs, I::Box, Home, ".hex/packages", kWhole, S::Safe, false, {},
     "Hex", "Downloaded packages"},
    {"zigCache", G::OtherLangs, I::Cube, Cache, "zig", kWhole, S::Safe, false, {},
     "Zig", "Compiled intermediates"},
    {"cpanmCache", G::OtherLangs, I::Box, Home, ".cpanm", kWhole, S::Safe, false, {},
     "cpanm", "Downloaded packages"},
    {"konan", G::OtherLangs, I::Layers, Home, ".konan", kDirs, S::Caution, true, {},
     "Kotlin/Native", "Installed toolchains (the newest is kept)"},
    {"ccache", G::Native, I::Cube, Cache, "ccache", kWhole, S::Safe, false, {},
     "ccache", "C/C++ compiler cache"},
    {"ccacheLegacy", G::Native, I::Cube, Home, ".ccache", kWhole, S::Safe, false, {},
     "ccache (legacy path)", "~/.ccache from older ccache versions"},
    {"sccache", G::Native, I::Cube, Cache, "sccache", kWhole, S::Safe, false, {},
     "sccache", "C/C++ compiler cache"},
    {"bazel", G::Native, I::Cube, Cache, "bazel", kDirs, S::Safe, false, {},
     "Bazel", "Downloaded dependencies and the build cache"},
    {"conan2", G::Native, I::Box, Home, ".conan2/p", kWhole, S::Safe, false, {},
     "Conan 2", "Downloaded dependencies and the build cache"},
    {"conan1", G::Native, I::Box, Home, ".conan/data", kWhole, S::Safe, false, {},
     "Conan 1", "Downloaded dependencies and the build cache"},
    {"vcpkg", G::Native, I::Cube, Cache, "vcpkg", kWhole, S::Safe, false, {},
     "vcpkg", "Compiled intermediates"},
    {"podmanStorage", G::Containers, I::Layers, Data, "containers/storage",
     kDirs, S::Risky, false, {},
     "Podman", "Images and layers of your local containers"},
    {"dockerRootless", G::Containers, I::Layers, Data, "docker", kDirs, S::Risky, false, {},
     "Docker", "Images and layers of your local containers"},
    {"flatpakBuilder", G::Containers, I::Cube, Cache, "flatpak-builder", kDirs, S::Safe, false, {},
     "flatpak-builder", "Intermediate files from building packages"},
    {"snapcraftCache", G::Containers, I::Cube, Cache, "snapcraft", kWhole, S::Safe, false, {},
     "Snapcraft", "Intermediate files from building packages"},
    {"pbuilderCache", G::Containers, I::Cube, Cache, "pbuilder", kWhole, S::Safe, false, {},
     "pbuilder", "Intermediate files from building packages"},
    {"rpmbuild", G::Containers, I::Cube, Home, "rpmbuild", kDirs, S::Caution, false, {},
     "rpmbuild", "Build tree of your own packages"},
    {"vagrantBoxes", G::Containers, I::Layers, Home, ".vagrant.d/boxes",
     kDirs, S::Caution, false, {},
     "Vagrant", "Downloaded base images"},
    {"minikubeCache", G::Containers, I::Layers, Home, ".minikube/cache", kWhole, S::Safe, false, {},
     "minikube", "Downloaded base images"},
    {"platformio", G::Embedded, I::Layers, Home, ".platformio/packages",
     kDirs, S::Caution, true, {},
     "PlatformIO", "Installed toolchains (the newest is kept)"},
    {"arduinoStaging", G::Embedded, I::Box, Home, ".arduino15/staging", kWhole, S::Safe, false, {},
     "Arduino", "Downloaded packages"},
    {"espressif", G::Embedded, I::Layers, Home, ".espressif/tools", kDirs, S::Caution, true, {},
     "ESP-IDF", "Installed toolchains (the newest is kept)"},
    {"nodeModules", G::Projects, I::Folder, Projects, "", kSearch, S::Safe, false, {"node_modules"},
     "node_modules", "Dependency folders in your projects — npm install restores them"},
    {"buildDirs", G::Projects, I::Cube, Projects, "",
     kSearch, S::Safe, false, {"build", "out", "target", "dist", ".cxx", "cmake-build-debug",
                               "cmake-build-release", "cmake-build-relwithdebinfo"},
     "Build output", "build, out and target folders in your projects"},
    {"webCaches", G::Projects, I::Cube, Projects, "",
     kSearch, S::Safe, false, {".next", ".nuxt", ".svelte-kit", ".angular", ".astro", ".vite",
                               ".parcel-cache", ".turbo"},
     "Web framework caches", "Rebuilt by the next build in your projects"},
    {"vendored", G::Projects, I::Folder, Projects, "",
     kSearch, S::Caution, false, {"vendor", ".dart_tool", ".stack-work", "elm-stuff", ".terraform"},
     "Vendored dependencies", "Dependency folders your tools can fetch again"},
    {"testOutput", G::Projects, I::Doc, Projects, "",
     kSearch, S::Safe, false, {"coverage", ".nyc_output"},
     "Test reports", "Coverage and test output in your projects"},
    {"pycache", G::Projects, I::Snake, Projects, "",
     kSearch, S::Safe, false, {"__pycache__", ".pytest_cache", ".mypy_cache", ".ruff_cache"},
     "__pycache__", "Compiled Python bytecode in your projects"},
    {"venvs", G::Projects, I::Snake, Projects, "",
     kSearch, S::Caution, false, {"venv", ".venv", ".tox"},
     "Virtual environments", "venv and .venv folders — recreated from requirements"},
    {"gradleProject", G::Projects, I::Box, Projects, "", kSearch, S::Safe, false, {".gradle"},
     "Project Gradle caches", ".gradle folders inside your projects"},
    {"npmLogs", G::Logs, I::Doc, Home, ".npm/_logs", kItems, S::Safe, false, {},
     "npm logs", "~/.npm/_logs — one file per failed install"},
    {"vscodeLogs", G::Logs, I::Doc, Config, "Code/logs", kItems, S::Safe, false, {},
     "VS Code logs", "Logs of the editor and its extensions"},
    {"crashReports", G::Logs, I::Doc, Home, ".android/crashes", kItems, S::Safe, false, {},
     "Crash reports", "Crash dumps left by development tools"},
};
// clang-format on

struct Bases {
    std::string home, cache, data, config, sdk, projects;
    std::string resolve(const ExpectedRow& r) const {
        const std::string* base = nullptr;
        switch (r.base) {
            case Home:
                base = &home;
                break;
            case Cache:
                base = &cache;
                break;
            case Data:
                base = &data;
                break;
            case Config:
                base = &config;
                break;
            case Sdk:
                base = &sdk;
                break;
            case Projects:
                base = &projects;
                break;
        }
        return std::string(r.rel).empty() ? *base : *base + "/" + r.rel;
    }
};

Bases default_bases(const FakeHome& home) {
    return {home.path(),      home / ".cache",      home / ".local/share",
            home / ".config", home / "Android/Sdk", home.path()};
}

// Creates the folder of every row for the given bases.
void create_every_folder(const Bases& b) {
    for (const ExpectedRow& r : kRows)
        make_dirs("/", b.resolve(r));
}

std::vector<std::string> ids(const std::vector<CategoryDef>& rows) {
    std::vector<std::string> out;
    for (const CategoryDef& d : rows)
        out.push_back(d.id);
    return out;
}

const CategoryDef* find(const std::vector<CategoryDef>& rows, const std::string& id) {
    for (const CategoryDef& d : rows) {
        if (d.id == id)
            return &d;
    }
    return nullptr;
}

// Each test has its own home folder, so the projects folder (the home) differs
// from the previous test's and all() rebuilds.
class CatalogTest : public ::testing::Test {
protected:
    void SetUp() override { catalog::set_projects_root(""); }
    void TearDown() override { catalog::set_projects_root(""); }
    FakeHome home;
};

// --- Rows and fields ---

TEST_F(CatalogTest, EveryRowHasItsFieldsAndPlaceWhenEveryFolderExists) {
    const Bases b = default_bases(home);
    create_every_folder(b);
    const std::vector<CategoryDef>& rows = catalog::all();
    ASSERT_EQ(rows.size(), kRows.size());
    for (std::size_t i = 0; i < kRows.size(); ++i) {
        const ExpectedRow& e = kRows[i];
        const CategoryDef& d = rows[i];
        SCOPED_TRACE(e.id);
        EXPECT_EQ(d.id, e.id);
        EXPECT_EQ(d.group, e.group);
        EXPECT_EQ(d.title, e.title);
        EXPECT_EQ(d.subtitle, e.subtitle);
        EXPECT_EQ(d.glyph, e.glyph);
        EXPECT_EQ(d.path, b.resolve(e));
        EXPECT_EQ(d.listing, e.listing);
        EXPECT_EQ(d.names, e.names);
        EXPECT_EQ(d.max_depth, 5);
        EXPECT_EQ(d.safety, e.safety);
        EXPECT_EQ(d.keep_newest, e.keep_newest);
    }
}

TEST_F(CatalogTest, IdsAreUniqueAndGroupsAreContiguous) {
    create_every_folder(default_bases(home));
    const auto& rows = catalog::all();
    const auto list = ids(rows);
    EXPECT_EQ(std::set<std::string>(list.begin(), list.end()).size(), list.size());
    // The sidebar walks the catalog once per group; a group split in two
    // places would show its rows out of order.
    std::set<GroupKind> finished;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(finished.count(rows[i].group), 0u) << rows[i].id;
        if (i + 1 < rows.size() && rows[i + 1].group != rows[i].group) {
            finished.insert(rows[i].group);
        }
    }
}

TEST_F(CatalogTest, TheJetBrainsDataFolderIsListedOnceOnly) {
    create_every_folder(default_bases(home));
    int listed = 0;
    for (const CategoryDef& d : catalog::all())
        listed += d.path == home / ".local/share/JetBrains";
    EXPECT_EQ(listed, 1);
    EXPECT_EQ(find(catalog::all(), "jetbrainsLogs"), nullptr);
}

TEST_F(CatalogTest, AHomeWithoutToolingHasExactlyTheEightProjectRows) {
    const auto& rows = catalog::all();
    EXPECT_EQ(ids(rows),
              (std::vector<std::string>{"nodeModules", "buildDirs", "webCaches", "vendored",
                                        "testOutput", "pycache", "venvs", "gradleProject"}));
    for (const CategoryDef& d : rows)
        EXPECT_EQ(d.path, home.path());
}

TEST_F(CatalogTest, RowsArePresentExactlyWhenTheirFolderExists) {
    make_dirs(home.path(), ".cache/pip/");
    make_dirs(home.path(), ".npm/");                      // the parent alone is not the npm cache
    testing_support::write_file(home / ".cache/uv", 10);  // a file is not a folder
    const auto& rows = catalog::all();
    EXPECT_NE(find(rows, "pipCache"), nullptr);
    EXPECT_EQ(find(rows, "npmCache"), nullptr);
    EXPECT_EQ(find(rows, "uvCache"), nullptr);
    EXPECT_EQ(rows.size(), 9u);
}

TEST_F(CatalogTest, ASymbolicLinkToAFolderCountsAsTheFolder) {
    TempDir elsewhere;
    make_dirs(elsewhere.path(), "gradle-caches");
    make_dirs(home.path(), ".gradle");
    make_symlink(elsewhere / "gradle-caches", home / ".gradle/caches");
    make_symlink(elsewhere / "missing", home / ".cache");  // dangling: no cache rows
    const CategoryDef* d = find(catalog::all(), "gradleCaches");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->path, home / ".gradle/caches");  // the link's own path, not its target
}

// --- Base folders ---

TEST_F(CatalogTest, RelativeXdgValuesAreIgnored) {
    home.env().set("XDG_CACHE_HOME", "relative/dir");
    make_dirs(home.path(), ".cache/pip");
    make_dirs(home.path(), "relative/dir/pip");
    const CategoryDef* d = find(catalog::all(), "pipCache");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->path, home / ".cache/pip");
}

TEST_F(CatalogTest, AbsoluteXdgValuesMoveTheirRowsNatively) {
    TempDir xdg;
    home.env().set("XDG_CACHE_HOME", xdg / "cache");
    home.env().set("XDG_DATA_HOME", xdg / "data");
    home.env().set("XDG_CONFIG_HOME", xdg / "config");
    Bases b = default_bases(home);
    b.cache = xdg / "cache";
    b.data = xdg / "data";
    b.config = xdg / "config";
    create_every_folder(b);
    const auto& rows = catalog::all();
    ASSERT_EQ(rows.size(), kRows.size());
    const std::set<std::string> moved_to_cache = {"jetbrainsCaches", "androidStudioCaches",
                                                  "coursierCache",   "yarnCache",
                                                  "nodeGyp",         "electronCache",
                                                  "playwright",      "puppeteer",
                                                  "cypress",         "bowerCache",
                                                  "pipCache",        "poetryCache",
                                                  "uvCache",         "goBuildCache",
                                                  "composerCache",   "denoCache",
                                                  "zigCache",        "ccache",
                                                  "sccache",         "bazel",
                                                  "vcpkg",           "flatpakBuilder",
                                                  "snapcraftCache",  "pbuilderCache"};
    for (std::size_t i = 0; i < rows.size(); ++i) {
        EXPECT_EQ(rows[i].path, b.resolve(kRows[i])) << rows[i].id;
        const bool below_cache = rows[i].path.rfind(b.cache + "/", 0) == 0;
        EXPECT_EQ(below_cache, moved_to_cache.count(rows[i].id) == 1) << rows[i].id;
    }
}

// Prints the catalog's paths; run only through run_test_in_child.
TEST(CatalogChildProbe, DISABLED_PrintPaths) {
    catalog::set_projects_root("");
    for (const CategoryDef& d : catalog::all())
        std::cout << "row " << d.id << " " << d.path << "\n";
    std::cout << "claimed";
    for (const std::string& n : catalog::recursive_claimed())
        std::cout << " " << n;
    std::cout << "\n";
}

std::map<std::string, std::string> child_rows(
    const std::map<std::string, std::optional<std::string>>& env, std::string* claimed = nullptr) {
    const auto r = run_test_in_child("CatalogChildProbe.DISABLED_PrintPaths", env);
    EXPECT_EQ(r.exit_code, 0) << r.out;
    std::map<std::string, std::string> rows;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("row ", 0) == 0) {
            const std::size_t space = line.find(' ', 4);
            rows[line.substr(4, space - 4)] = line.substr(space + 1);
        } else if (claimed != nullptr && line.rfind("claimed", 0) == 0) {
            *claimed = line;
        }
    }
    return rows;
}

TEST(CatalogSandbox, XdgVariablesAreIgnoredInsideASnapOrAFlatpakLikeSandbox) {
    FakeHome home;
    TempDir xdg;
    make_dirs(xdg.path(), "config/Code/logs");
    make_dirs(home.path(), ".config/Code/logs");
    const std::map<std::string, std::optional<std::string>> base_env = {
        {"HOME", home.path()}, {"XDG_CONFIG_HOME", xdg / "config"}};

    auto native = base_env;
    native["SNAP"] = std::nullopt;
    native["SNAP_NAME"] = std::nullopt;
    EXPECT_EQ(child_rows(native)["vscodeLogs"], xdg / "config/Code/logs");

    auto snap = base_env;
    snap["SNAP"] = "/snap/brushwick/7";
    snap["SNAP_NAME"] = "brushwick";
    EXPECT_EQ(child_rows(snap)["vscodeLogs"], home / ".config/Code/logs");
}

TEST(CatalogSandbox, SnapRealHomeIsTheHomeOfEveryRow) {
    FakeHome real;
    TempDir snap_home;
    make_dirs(real.path(), ".cargo/registry");
    make_dirs(snap_home.path(), ".cargo/git");
    const auto rows = child_rows({{"SNAP", "/snap/brushwick/7"},
                                  {"SNAP_NAME", "brushwick"},
                                  {"SNAP_REAL_HOME", real.path()},
                                  {"HOME", snap_home.path()}});
    EXPECT_EQ(rows.count("cargoGit"), 0u);
    ASSERT_EQ(rows.count("cargoRegistry"), 1u);
    EXPECT_EQ(rows.at("cargoRegistry"), real / ".cargo/registry");
    EXPECT_EQ(rows.at("nodeModules"), real.path());
}

TEST(CatalogRecursiveNames, ClaimedNamesAreTheThirtyTwoProjectNamesInOrder) {
    FakeHome home;
    std::string claimed;
    child_rows({{"HOME", home.path()}}, &claimed);
    EXPECT_EQ(claimed,
              "claimed node_modules build out target dist .cxx cmake-build-debug "
              "cmake-build-release cmake-build-relwithdebinfo .next .nuxt .svelte-kit .angular "
              ".astro .vite .parcel-cache .turbo vendor .dart_tool .stack-work elm-stuff "
              ".terraform coverage .nyc_output __pycache__ .pytest_cache .mypy_cache .ruff_cache "
              "venv .venv .tox .gradle");
}

TEST(CatalogSandbox, NoHomeAtAllMeansAnEmptyCatalog) {
    // A user without a password entry and without HOME has no home: run the
    // probe as such a user (root can switch to any uid).
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to run as a user without a passwd entry";
    char exe[4096];
    const ssize_t n = ::readlink("/proc/self/exe", exe, sizeof exe - 1);
    ASSERT_GT(n, 0);
    exe[n] = '\0';
    const auto r = testing_support::run_process(
        {"/usr/bin/setpriv", "--reuid=54321", "--regid=54321", "--clear-groups", exe,
         "--gtest_also_run_disabled_tests", "--gtest_filter=CatalogChildProbe.DISABLED_PrintPaths"},
        {{"HOME", std::nullopt}, {"SNAP_REAL_HOME", std::nullopt}});
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_EQ(r.out.find("row "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("claimed\n"), std::string::npos) << r.out;
}

TEST(CatalogRecursiveNames, SkipListHasTheTwentyFiveTopLevelNames) {
    const auto& skip = catalog::recursive_skip();
    EXPECT_EQ(skip.size(), 25u);
    EXPECT_EQ(skip.front(), ".cache");
    EXPECT_EQ(skip.back(), "Downloads");
    for (const char* n : {".git", "snap", "go", ".gradle", "Android", ".Trash"}) {
        EXPECT_NE(std::find(skip.begin(), skip.end(), n), skip.end()) << n;
    }
}

// --- Android SDK ---

struct SdkCase {
    const char* name;
    std::vector<std::string> folders;  // created below the home
    const char* android_home;          // relative to the home, or null for unset
    const char* android_sdk_root;
    const char* expected;  // SDK folder relative to the home, or "" for none
};

TEST_F(CatalogTest, AndroidSdkIsFoundInTheDocumentedOrder) {
    const SdkCase cases[] = {
        {"HomeVariableMissingFolderFallsToSdkRoot", {"sdk-root/"}, "nope", "sdk-root", "sdk-root"},
        {"HomeVariableWins", {"a/", "b/"}, "a", "b", "a"},
        {"AndroidSdkBeatsDotAndroidSdk",
         {"Android/Sdk/", ".android-sdk/"},
         nullptr,
         nullptr,
         "Android/Sdk"},
        {"LowerCaseSdkFolder", {"Android/sdk/", ".android-sdk/"}, nullptr, nullptr, "Android/sdk"},
        {"DotAndroidSdkLast", {".android-sdk/"}, nullptr, nullptr, ".android-sdk"},
        {"NothingFound", {}, "nope", "", ""},
    };
    for (const SdkCase& c : cases) {
        SCOPED_TRACE(c.name);
        FakeHome h;
        testing_support::make_tree(h.path(), c.folders);
        std::vector<std::string> sdks = c.folders;
        if (c.android_home)
            h.env().set("ANDROID_HOME", h / c.android_home);
        if (c.android_sdk_root) {
            h.env().set("ANDROID_SDK_ROOT",
                        std::string(c.android_sdk_root).empty() ? "" : h / c.android_sdk_root);
        }
        // Give every candidate an SDK sub-folder so the row shows which one won.
        for (const std::string& f : c.folders)
            make_dirs(h.path(), f + "platforms");
        const CategoryDef* d = find(catalog::all(), "androidPlatforms");
        if (std::string(c.expected).empty()) {
            EXPECT_EQ(d, nullptr);
        } else {
            ASSERT_NE(d, nullptr);
            EXPECT_EQ(d->path, h / (std::string(c.expected) + "/platforms"));
        }
    }
}

TEST_F(CatalogTest, WithoutAnSdkOnlyTheRowsBelowDotAndroidRemain) {
    Bases b = default_bases(home);
    create_every_folder(b);
    ASSERT_EQ(::rename((home / "Android").c_str(), (home / "NotAndroid").c_str()), 0);
    catalog::set_projects_root(home.path() + "/");  // force a rebuild for the same home
    const auto& rows = catalog::all();
    for (const char* gone :
         {"androidBuildTools", "androidPlatforms", "androidSystemImages", "androidSources",
          "androidNdk", "androidCmake", "androidEmulatorCache"}) {
        EXPECT_EQ(find(rows, gone), nullptr) << gone;
    }
    for (const char* kept : {"avds", "androidCache", "androidBuildCache"}) {
        EXPECT_NE(find(rows, kept), nullptr) << kept;
    }
}

TEST_F(CatalogTest, AnAndroidHomeOutsideTheHomeIsUsedAsGiven) {
    TempDir opt;
    make_dirs(opt.path(), "sdk/build-tools");
    home.env().set("ANDROID_HOME", opt / "sdk");
    const CategoryDef* d = find(catalog::all(), "androidBuildTools");
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->path, opt / "sdk/build-tools");
    EXPECT_TRUE(d->keep_newest);
}

// --- The cache ---

TEST_F(CatalogTest, TheListIsRebuiltOnlyWhenTheProjectsFolderChanges) {
    const std::vector<CategoryDef>& first = catalog::all();
    EXPECT_EQ(find(first, "pipCache"), nullptr);

    make_dirs(home.path(), ".cache/pip");
    EXPECT_EQ(find(catalog::all(), "pipCache"), nullptr) << "rebuilt without a new projects folder";

    catalog::set_projects_root(home.path());  // same folder as the home default
    EXPECT_EQ(find(catalog::all(), "pipCache"), nullptr) << "rebuilt for the same folder";

    TempDir projects;
    catalog::set_projects_root(projects.path());
    const std::vector<CategoryDef>& rebuilt = catalog::all();
    EXPECT_EQ(&rebuilt, &first) << "callers keep one reference across rebuilds";
    EXPECT_NE(find(rebuilt, "pipCache"), nullptr);
    EXPECT_EQ(find(rebuilt, "nodeModules")->path, projects.path());
    EXPECT_EQ(catalog::projects_root(), projects.path());

    catalog::set_projects_root("");
    EXPECT_EQ(catalog::projects_root(), home.path());
    EXPECT_EQ(find(catalog::all(), "nodeModules")->path, home.path());
}

TEST_F(CatalogTest, AMissingProjectsFolderDropsEveryProjectRow) {
    make_dirs(home.path(), ".cache/pip");
    catalog::set_projects_root(home / "no-such-folder");
    const auto& rows = catalog::all();
    EXPECT_EQ(ids(rows), std::vector<std::string>{"pipCache"});
}

// --- Presentation ---

TEST(CatalogPresentation, OutOfRangeValuesGetTheFallbackRow) {
    EXPECT_STREQ(catalog::group_title(static_cast<GroupKind>(11)), "");
    EXPECT_STREQ(catalog::group_title(static_cast<GroupKind>(-1)), "");
    EXPECT_EQ(catalog::group_glyph(static_cast<GroupKind>(99)), Glyph::Box);
    EXPECT_STREQ(catalog::group_color(static_cast<GroupKind>(99)), "#FF599E");
    EXPECT_STREQ(catalog::safety_title(static_cast<SafetyLevel>(3)), "");
    EXPECT_STREQ(catalog::safety_color(static_cast<SafetyLevel>(-2)), "#888888");
    EXPECT_STREQ(catalog::safety_explanation(static_cast<SafetyLevel>(3)), "");
}

TEST(CatalogPresentation, EveryGroupAndSafetyLevelHasTitleAndColour) {
    std::set<std::string> titles;
    for (int g = 0; g < static_cast<int>(GroupKind::_Count); ++g) {
        const std::string title = catalog::group_title(static_cast<GroupKind>(g));
        const std::string color = catalog::group_color(static_cast<GroupKind>(g));
        EXPECT_FALSE(title.empty()) << g;
        EXPECT_TRUE(titles.insert(title).second) << title;
        ASSERT_EQ(color.size(), 7u);
        EXPECT_EQ(color[0], '#');
        EXPECT_EQ(color.find_first_not_of("#0123456789ABCDEF"), std::string::npos) << color;
    }
    EXPECT_EQ(catalog::group_glyph(GroupKind::Embedded), catalog::group_glyph(GroupKind::Android));
    EXPECT_STREQ(catalog::safety_title(SafetyLevel::Risky), "Risky");
    EXPECT_STREQ(catalog::safety_color(SafetyLevel::Safe), "#34A853");
}

}  // namespace
