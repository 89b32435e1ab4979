// The catalog: which rows exist for a given home, where their folders are,
// every row's fields and order, and when the cached list is rebuilt.
#include "catalog.h"

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

enum class Base { Home, Cache, Data, Config, Sdk, Projects };

struct ExpectedRow {
    const char* id;
    GroupKind group;
    const char* title;
    const char* subtitle;
    Glyph glyph;
    Base base;
    const char* rel;  // below the base; empty for the base itself
    ListingKind listing;
    std::vector<std::string> names;
    SafetyLevel safety;
    bool keep_newest;
};

// Every row of the catalog, in order, as the user-facing contract.
const std::vector<ExpectedRow> kRows = {
    {"jetbrainsCaches",
     G::Ides,
     "JetBrains caches",
     "IntelliJ IDEA, PyCharm, WebStorm, CLion — one folder per version",
     I::Code,
     Base::Cache,
     "JetBrains",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"jetbrainsData",
     G::Ides,
     "JetBrains plugins",
     "Plugins and settings, one folder per IDE version",
     I::Puzzle,
     Base::Data,
     "JetBrains",
     L::ChildDirectories,
     {},
     S::Caution,
     true},
    {"eclipseP2",
     G::Ides,
     "Eclipse bundle pool",
     "~/.p2 — plug-in bundles left behind by updates",
     I::Puzzle,
     Base::Home,
     ".p2/pool/plugins",
     L::ChildDirectories,
     {},
     S::Caution,
     false},
    {"eclipseConfig",
     G::Ides,
     "Eclipse configuration cache",
     "~/.eclipse — OSGi and index caches per installation",
     I::Code,
     Base::Home,
     ".eclipse",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"eclipseHistory",
     G::Ides,
     "Eclipse local history",
     "Every saved version of your files in the workspace",
     I::Doc,
     Base::Home,
     "eclipse-workspace/.metadata/.plugins/org.eclipse.core.resources/.history",
     L::SelfFolder,
     {},
     S::Caution,
     false},
    {"vscodeCachedData",
     G::Ides,
     "VS Code — CachedData",
     "One bundle per version the editor has ever run",
     I::Code,
     Base::Config,
     "Code/CachedData",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"vscodeCache",
     G::Ides,
     "VS Code — Cache",
     "Network and blob cache",
     I::Code,
     Base::Config,
     "Code/Cache",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"vscodeCodeCache",
     G::Ides,
     "VS Code — Code Cache",
     "Compiled JavaScript bytecode",
     I::Code,
     Base::Config,
     "Code/CachedProfilesData",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"vscodeExtensions",
     G::Ides,
     "VS Code — extensions",
     "Installed extensions, older versions included",
     I::Puzzle,
     Base::Home,
     ".vscode/extensions",
     L::ChildDirectories,
     {},
     S::Caution,
     false},
    {"vscodeWorkspaceStorage",
     G::Ides,
     "VS Code — workspaceStorage",
     "State per opened folder — one for every project you ever opened",
     I::Code,
     Base::Config,
     "Code/User/workspaceStorage",
     L::ChildDirectories,
     {},
     S::Caution,
     false},
    {"androidStudioCaches",
     G::Ides,
     "Android Studio caches",
     "One folder per Android Studio version",
     I::Wrench,
     Base::Cache,
     "Google",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"androidBuildTools",
     G::Android,
     "SDK build tools",
     "Old build-tools versions (the newest is kept)",
     I::Wrench,
     Base::Sdk,
     "build-tools",
     L::ChildDirectories,
     {},
     S::Caution,
     true},
    {"androidPlatforms",
     G::Android,
     "SDK platforms",
     "Installed Android API levels",
     I::Layers,
     Base::Sdk,
     "platforms",
     L::ChildDirectories,
     {},
     S::Caution,
     true},
    {"androidSystemImages",
     G::Android,
     "System images",
     "Emulator system images — usually the biggest item here",
     I::Phone,
     Base::Sdk,
     "system-images",
     L::ChildDirectories,
     {},
     S::Caution,
     false},
    {"androidSources",
     G::Android,
     "SDK sources",
     "Android source code per API level",
     I::Doc,
     Base::Sdk,
     "sources",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"androidNdk",
     G::Android,
     "NDK",
     "Native development kits (the newest is kept)",
     I::Layers,
     Base::Sdk,
     "ndk",
     L::ChildDirectories,
     {},
     S::Caution,
     true},
    {"androidCmake",
     G::Android,
     "SDK CMake",
     "CMake versions installed by the SDK manager",
     I::Wrench,
     Base::Sdk,
     "cmake",
     L::ChildDirectories,
     {},
     S::Caution,
     true},
    {"androidEmulatorCache",
     G::Android,
     "Emulator caches",
     "Downloaded emulator artefacts",
     I::Box,
     Base::Sdk,
     ".temp",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"avds",
     G::Android,
     "Emulators (AVDs)",
     "Created Android emulators including their data",
     I::Phone,
     Base::Home,
     ".android/avd",
     L::ChildItems,
     {},
     S::Risky,
     false},
    {"androidCache",
     G::Android,
     "Android SDK download cache",
     "~/.android/cache — installer downloads",
     I::Box,
     Base::Home,
     ".android/cache",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"androidBuildCache",
     G::Android,
     "Android build cache",
     "~/.android/build-cache",
     I::Box,
     Base::Home,
     ".android/build-cache",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"gradleCaches",
     G::Java,
     "Gradle caches",
     "Downloaded dependencies and the build cache",
     I::Box,
     Base::Home,
     ".gradle/caches",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"gradleDists",
     G::Java,
     "Gradle distributions",
     "Gradle versions unpacked by the wrapper",
     I::Cube,
     Base::Home,
     ".gradle/wrapper/dists",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"gradleDaemon",
     G::Java,
     "Gradle daemon logs",
     "One log directory per Gradle version",
     I::Doc,
     Base::Home,
     ".gradle/daemon",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"mavenRepo",
     G::Java,
     "Maven repository",
     "~/.m2 — downloaded Java dependencies",
     I::Box,
     Base::Home,
     ".m2/repository",
     L::ChildDirectories,
     {},
     S::Caution,
     false},
    {"ivyCache",
     G::Java,
     "Ivy cache",
     "~/.ivy2 — Scala and SBT dependencies",
     I::Box,
     Base::Home,
     ".ivy2/cache",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"coursierCache",
     G::Java,
     "Coursier cache",
     "SBT and Scala CLI artefact cache",
     I::Box,
     Base::Cache,
     "coursier",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"sbtBoot",
     G::Java,
     "SBT boot",
     "~/.sbt — bootstrapped SBT and Scala versions",
     I::Cube,
     Base::Home,
     ".sbt/boot",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"npmCache",
     G::JavaScript,
     "npm cache",
     "~/.npm/_cacache",
     I::Box,
     Base::Home,
     ".npm/_cacache",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"yarnCache",
     G::JavaScript,
     "Yarn cache",
     "Downloaded packages",
     I::Box,
     Base::Cache,
     "yarn",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"pnpmStore",
     G::JavaScript,
     "pnpm store",
     "Shared package store",
     I::Box,
     Base::Data,
     "pnpm/store",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"nodeGyp",
     G::JavaScript,
     "node-gyp headers",
     "Node headers per version, for native modules",
     I::Wrench,
     Base::Cache,
     "node-gyp",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"electronCache",
     G::JavaScript,
     "Electron downloads",
     "Electron binaries per version",
     I::Cube,
     Base::Cache,
     "electron",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"playwright",
     G::JavaScript,
     "Playwright browsers",
     "Browser builds downloaded for tests",
     I::Box,
     Base::Cache,
     "ms-playwright",
     L::ChildDirectories,
     {},
     S::Caution,
     false},
    {"puppeteer",
     G::JavaScript,
     "Puppeteer browsers",
     "Chromium builds downloaded for tests",
     I::Box,
     Base::Cache,
     "puppeteer",
     L::ChildDirectories,
     {},
     S::Caution,
     false},
    {"cypress",
     G::JavaScript,
     "Cypress binaries",
     "One Cypress build per version",
     I::Box,
     Base::Cache,
     "Cypress",
     L::ChildDirectories,
     {},
     S::Caution,
     false},
    {"bowerCache",
     G::JavaScript,
     "Bower cache",
     "Legacy front-end package cache",
     I::Box,
     Base::Cache,
     "bower",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"expo",
     G::JavaScript,
     "Expo",
     "Downloaded packages",
     I::Box,
     Base::Home,
     ".expo",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"pipCache",
     G::Python,
     "pip cache",
     "Downloaded Python packages",
     I::Snake,
     Base::Cache,
     "pip",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"poetryCache",
     G::Python,
     "Poetry cache",
     "Poetry dependency cache",
     I::Snake,
     Base::Cache,
     "pypoetry",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"uvCache",
     G::Python,
     "uv cache",
     "uv package cache",
     I::Snake,
     Base::Cache,
     "uv",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"condaPkgs",
     G::Python,
     "Conda packages",
     "Unpacked conda packages",
     I::Box,
     Base::Home,
     ".conda/pkgs",
     L::ChildDirectories,
     {},
     S::Caution,
     false},
    {"cargoRegistry",
     G::OtherLangs,
     "Cargo registry",
     "Downloaded and unpacked crates",
     I::Box,
     Base::Home,
     ".cargo/registry",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"cargoGit",
     G::OtherLangs,
     "Cargo git checkouts",
     "Dependencies pulled straight from git",
     I::Box,
     Base::Home,
     ".cargo/git",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"rustupToolchains",
     G::OtherLangs,
     "Rust toolchains",
     "Installed toolchains (the newest is kept)",
     I::Layers,
     Base::Home,
     ".rustup/toolchains",
     L::ChildDirectories,
     {},
     S::Caution,
     true},
    {"goModCache",
     G::OtherLangs,
     "Go module cache",
     "~/go/pkg/mod — downloaded modules",
     I::Box,
     Base::Home,
     "go/pkg/mod",
     L::SelfFolder,
     {},
     S::Caution,
     false},
    {"goBuildCache",
     G::OtherLangs,
     "Go build cache",
     "Compiled intermediates",
     I::Cube,
     Base::Cache,
     "go-build",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"nugetPackages",
     G::OtherLangs,
     ".NET NuGet packages",
     "~/.nuget — downloaded packages",
     I::Box,
     Base::Home,
     ".nuget/packages",
     L::ChildDirectories,
     {},
     S::Caution,
     false},
    {"composerCache",
     G::OtherLangs,
     "Composer cache",
     "PHP dependency cache",
     I::Box,
     Base::Cache,
     "composer",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"rubyGems",
     G::OtherLangs,
     "RubyGems",
     "Downloaded packages",
     I::Box,
     Base::Home,
     ".gem",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"bundlerCache",
     G::OtherLangs,
     "Bundler",
     "Downloaded packages",
     I::Box,
     Base::Home,
     ".bundle/cache",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"pubCache",
     G::OtherLangs,
     "pub",
     "Downloaded packages",
     I::Box,
     Base::Home,
     ".pub-cache",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"stackSnapshots",
     G::OtherLangs,
     "Stack",
     "Compiled intermediates",
     I::Cube,
     Base::Home,
     ".stack/snapshots",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"cabalPackages",
     G::OtherLangs,
     "Cabal",
     "Downloaded packages",
     I::Box,
     Base::Home,
     ".cabal/packages",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"opamDownloads",
     G::OtherLangs,
     "opam",
     "Downloaded packages",
     I::Box,
     Base::Home,
     ".opam/download-cache",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"juliaCompiled",
     G::OtherLangs,
     "Julia",
     "Compiled intermediates",
     I::Cube,
     Base::Home,
     ".julia/compiled",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"juliaPackages",
     G::OtherLangs,
     "Julia packages",
     "Downloaded packages",
     I::Box,
     Base::Home,
     ".julia/packages",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"denoCache",
     G::OtherLangs,
     "Deno",
     "Downloaded packages",
     I::Box,
     Base::Cache,
     "deno",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"bunCache",
     G::OtherLangs,
     "Bun",
     "Downloaded packages",
     I::Box,
     Base::Home,
     ".bun/install/cache",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"hexCache",
     G::OtherLangs,
     "Hex",
     "Downloaded packages",
     I::Box,
     Base::Home,
     ".hex/packages",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"zigCache",
     G::OtherLangs,
     "Zig",
     "Compiled intermediates",
     I::Cube,
     Base::Cache,
     "zig",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"cpanmCache",
     G::OtherLangs,
     "cpanm",
     "Downloaded packages",
     I::Box,
     Base::Home,
     ".cpanm",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"konan",
     G::OtherLangs,
     "Kotlin/Native",
     "Installed toolchains (the newest is kept)",
     I::Layers,
     Base::Home,
     ".konan",
     L::ChildDirectories,
     {},
     S::Caution,
     true},
    {"ccache",
     G::Native,
     "ccache",
     "C/C++ compiler cache",
     I::Cube,
     Base::Cache,
     "ccache",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"ccacheLegacy",
     G::Native,
     "ccache (legacy path)",
     "~/.ccache from older ccache versions",
     I::Cube,
     Base::Home,
     ".ccache",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"sccache",
     G::Native,
     "sccache",
     "C/C++ compiler cache",
     I::Cube,
     Base::Cache,
     "sccache",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"bazel",
     G::Native,
     "Bazel",
     "Downloaded dependencies and the build cache",
     I::Cube,
     Base::Cache,
     "bazel",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"conan2",
     G::Native,
     "Conan 2",
     "Downloaded dependencies and the build cache",
     I::Box,
     Base::Home,
     ".conan2/p",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"conan1",
     G::Native,
     "Conan 1",
     "Downloaded dependencies and the build cache",
     I::Box,
     Base::Home,
     ".conan/data",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"vcpkg",
     G::Native,
     "vcpkg",
     "Compiled intermediates",
     I::Cube,
     Base::Cache,
     "vcpkg",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"podmanStorage",
     G::Containers,
     "Podman",
     "Images and layers of your local containers",
     I::Layers,
     Base::Data,
     "containers/storage",
     L::ChildDirectories,
     {},
     S::Risky,
     false},
    {"dockerRootless",
     G::Containers,
     "Docker",
     "Images and layers of your local containers",
     I::Layers,
     Base::Data,
     "docker",
     L::ChildDirectories,
     {},
     S::Risky,
     false},
    {"flatpakBuilder",
     G::Containers,
     "flatpak-builder",
     "Intermediate files from building packages",
     I::Cube,
     Base::Cache,
     "flatpak-builder",
     L::ChildDirectories,
     {},
     S::Safe,
     false},
    {"snapcraftCache",
     G::Containers,
     "Snapcraft",
     "Intermediate files from building packages",
     I::Cube,
     Base::Cache,
     "snapcraft",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"pbuilderCache",
     G::Containers,
     "pbuilder",
     "Intermediate files from building packages",
     I::Cube,
     Base::Cache,
     "pbuilder",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"rpmbuild",
     G::Containers,
     "rpmbuild",
     "Build tree of your own packages",
     I::Cube,
     Base::Home,
     "rpmbuild",
     L::ChildDirectories,
     {},
     S::Caution,
     false},
    {"vagrantBoxes",
     G::Containers,
     "Vagrant",
     "Downloaded base images",
     I::Layers,
     Base::Home,
     ".vagrant.d/boxes",
     L::ChildDirectories,
     {},
     S::Caution,
     false},
    {"minikubeCache",
     G::Containers,
     "minikube",
     "Downloaded base images",
     I::Layers,
     Base::Home,
     ".minikube/cache",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"platformio",
     G::Embedded,
     "PlatformIO",
     "Installed toolchains (the newest is kept)",
     I::Layers,
     Base::Home,
     ".platformio/packages",
     L::ChildDirectories,
     {},
     S::Caution,
     true},
    {"arduinoStaging",
     G::Embedded,
     "Arduino",
     "Downloaded packages",
     I::Box,
     Base::Home,
     ".arduino15/staging",
     L::SelfFolder,
     {},
     S::Safe,
     false},
    {"espressif",
     G::Embedded,
     "ESP-IDF",
     "Installed toolchains (the newest is kept)",
     I::Layers,
     Base::Home,
     ".espressif/tools",
     L::ChildDirectories,
     {},
     S::Caution,
     true},
    {"nodeModules",
     G::Projects,
     "node_modules",
     "Dependency folders in your projects — npm install restores them",
     I::Folder,
     Base::Projects,
     "",
     L::Recursive,
     {"node_modules"},
     S::Safe,
     false},
    {"buildDirs",
     G::Projects,
     "Build output",
     "build, out and target folders in your projects",
     I::Cube,
     Base::Projects,
     "",
     L::Recursive,
     {"build", "out", "target", "dist", ".cxx", "cmake-build-debug", "cmake-build-release",
      "cmake-build-relwithdebinfo"},
     S::Safe,
     false},
    {"webCaches",
     G::Projects,
     "Web framework caches",
     "Rebuilt by the next build in your projects",
     I::Cube,
     Base::Projects,
     "",
     L::Recursive,
     {".next", ".nuxt", ".svelte-kit", ".angular", ".astro", ".vite", ".parcel-cache", ".turbo"},
     S::Safe,
     false},
    {"vendored",
     G::Projects,
     "Vendored dependencies",
     "Dependency folders your tools can fetch again",
     I::Folder,
     Base::Projects,
     "",
     L::Recursive,
     {"vendor", ".dart_tool", ".stack-work", "elm-stuff", ".terraform"},
     S::Caution,
     false},
    {"testOutput",
     G::Projects,
     "Test reports",
     "Coverage and test output in your projects",
     I::Doc,
     Base::Projects,
     "",
     L::Recursive,
     {"coverage", ".nyc_output"},
     S::Safe,
     false},
    {"pycache",
     G::Projects,
     "__pycache__",
     "Compiled Python bytecode in your projects",
     I::Snake,
     Base::Projects,
     "",
     L::Recursive,
     {"__pycache__", ".pytest_cache", ".mypy_cache", ".ruff_cache"},
     S::Safe,
     false},
    {"venvs",
     G::Projects,
     "Virtual environments",
     "venv and .venv folders — recreated from requirements",
     I::Snake,
     Base::Projects,
     "",
     L::Recursive,
     {"venv", ".venv", ".tox"},
     S::Caution,
     false},
    {"gradleProject",
     G::Projects,
     "Project Gradle caches",
     ".gradle folders inside your projects",
     I::Box,
     Base::Projects,
     "",
     L::Recursive,
     {".gradle"},
     S::Safe,
     false},
    {"npmLogs",
     G::Logs,
     "npm logs",
     "~/.npm/_logs — one file per failed install",
     I::Doc,
     Base::Home,
     ".npm/_logs",
     L::ChildItems,
     {},
     S::Safe,
     false},
    {"vscodeLogs",
     G::Logs,
     "VS Code logs",
     "Logs of the editor and its extensions",
     I::Doc,
     Base::Config,
     "Code/logs",
     L::ChildItems,
     {},
     S::Safe,
     false},
    {"crashReports",
     G::Logs,
     "Crash reports",
     "Crash dumps left by development tools",
     I::Doc,
     Base::Home,
     ".android/crashes",
     L::ChildItems,
     {},
     S::Safe,
     false},
};

struct Bases {
    std::string home, cache, data, config, sdk, projects;
    std::string resolve(const ExpectedRow& r) const {
        const std::string* base = nullptr;
        switch (r.base) {
            case Base::Home:
                base = &home;
                break;
            case Base::Cache:
                base = &cache;
                break;
            case Base::Data:
                base = &data;
                break;
            case Base::Config:
                base = &config;
                break;
            case Base::Sdk:
                base = &sdk;
                break;
            case Base::Projects:
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
