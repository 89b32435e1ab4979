// The scanner: sizes against du, links, unreadable folders, cancellation,
// deep trees, every listing kind, and what the project search must never offer.
#include "engine/scanner.h"

#include <fcntl.h>
#include <linux/capability.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <future>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <thread>

#include "base/strutil.h"
#include "engine/catalog.h"
#include "test_support.h"

namespace {

using testing_support::du_bytes;
using testing_support::FakeHome;
using testing_support::make_dirs;
using testing_support::make_symlink;
using testing_support::make_tree;
using testing_support::run_process;
using testing_support::run_test_in_child;
using testing_support::TempDir;
using testing_support::write_file;

std::int64_t own_blocks(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return static_cast<std::int64_t>(st.st_blocks) * 512;
}

void set_mtime(const std::string& path, std::time_t t) {
    const struct timespec ts[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), ts, AT_SYMLINK_NOFOLLOW), 0) << path;
}

void hard_link(const std::string& from, const std::string& to) {
    ASSERT_EQ(::link(from.c_str(), to.c_str()), 0) << to;
}

std::vector<std::string> paths_of(const std::vector<scanner::ScannedInfo>& infos) {
    std::vector<std::string> out;
    for (const auto& i : infos)
        out.push_back(i.path);
    std::sort(out.begin(), out.end());
    return out;
}

// scanner::list with the scope of the catalog as it is now.
std::vector<scanner::ScannedInfo> list_now(const CategoryDef& def,
                                           const std::atomic<bool>* cancel) {
    return scanner::list(def, scanner::project_scope(catalog::all()), cancel);
}

const CategoryDef& row(const std::string& id) {
    for (const CategoryDef& d : catalog::all()) {
        if (d.id == id)
            return d;
    }
    ADD_FAILURE() << "no row " << id;
    static const CategoryDef none;
    return none;
}

CategoryDef flat_row(ListingKind kind, const std::string& path) {
    CategoryDef d;
    d.id = "test";
    d.listing = kind;
    d.path = path;
    return d;
}

// --- Measurement ---

TEST(Measure, EqualsDuForEveryShapeOfEntry) {
    TempDir t;
    make_tree(t.path(), {"empty/", "small/a.txt", "nested/x/y/z/deep.bin", "nested/.hidden/h",
                         "links/sub/", "other/"});
    write_file(t / "small/a.txt", 10);
    write_file(t / "nested/x/y/z/deep.bin", 300000);
    write_file(t / "nested/.hidden/h", 5000);
    write_file(t / "links/big", 1 << 20);
    hard_link(t / "links/big", t / "links/sub/big2");
    hard_link(t / "links/big", t / "links/big3");
    hard_link(t / "links/big", t / "other/big4");
    // Sparse: 8 MiB apparent size, a few blocks allocated.
    const int fd = ::open((t / "nested/sparse").c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "x", 1, 8 << 20), 1);
    ::close(fd);
    for (const char* e :
         {"empty", "small", "small/a.txt", "nested", "links", "links/sub", "other", ""}) {
        EXPECT_EQ(scanner::size(t / e, nullptr), du_bytes(t / e)) << e;
    }
    // The same file linked into two separately measured folders counts in both.
    EXPECT_GE(scanner::size(t / "links", nullptr), 1 << 20);
    EXPECT_GE(scanner::size(t / "other", nullptr), 1 << 20);
    EXPECT_LT(scanner::size(t / "links", nullptr), 2 << 20);
}

TEST(Measure, NewestTimeCoversEverythingCountedAndNothingElse) {
    TempDir t;
    make_tree(t.path(), {"d/sub/f", "d/g", "target/"});
    write_file(t / "target/huge", 1 << 20);
    make_symlink(t / "target", t / "d/link_dir");
    make_symlink(t / "target/huge", t / "d/link_file");
    set_mtime(t / "d/sub/f", 2000000000);
    set_mtime(t / "d/g", 1000);
    set_mtime(t / "d/link_file", 2100000000);  // a link's own time is ignored
    set_mtime(t / "d/sub", 1500);
    set_mtime(t / "d", 1200);
    const scanner::Measure m = scanner::measure(t / "d", nullptr);
    EXPECT_EQ(m.newest_mtime, 2000000000);
    EXPECT_EQ(m.bytes, du_bytes(t / "d"));
    EXPECT_LT(m.bytes, 1 << 20) << "a symbolic link was followed";

    write_file(t / "file", 10);
    set_mtime(t / "file", 1234);
    const scanner::Measure f = scanner::measure(t / "file", nullptr);
    EXPECT_EQ(f.bytes, own_blocks(t / "file"));
    EXPECT_EQ(f.newest_mtime, 1234);
}

TEST(Measure, MissingPathsAndLinksMeasureNothing) {
    TempDir t;
    make_dirs(t.path(), "big");
    write_file(t / "big/f", 1 << 20);
    make_symlink(t / "big", t / "link");
    for (const std::string& p : {t / "link", t / "link/", t / "missing", std::string()}) {
        const scanner::Measure m = scanner::measure(p, nullptr);
        EXPECT_EQ(m.bytes, 0) << p;
        EXPECT_EQ(m.newest_mtime, 0) << p;
    }
}

TEST(Measure, SetCancelFlagCountsOnlyTheFolderItself) {
    TempDir t;
    make_tree(t.path(), {"d/a/b/c", "d/e"});
    write_file(t / "d/e", 100000);
    set_mtime(t / "d", 777);
    const std::atomic<bool> cancel{true};
    const scanner::Measure m = scanner::measure(t / "d", &cancel);
    EXPECT_EQ(m.bytes, own_blocks(t / "d"));
    EXPECT_EQ(m.newest_mtime, 777);
}

// Creates a chain of `levels` folders below root, each also holding a side
// folder with one file, so that walking it keeps folders waiting at every
// level. Returns the allocated bytes of everything below root.
std::int64_t make_deep_tree(const std::string& root, int levels) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    // Which of two names the filesystem lists first decides which one is
    // walked first; the chain goes through that one so that the side folders
    // wait at every level.
    ::mkdirat(fd, "p", 0755);
    ::mkdirat(fd, "q", 0755);
    std::string first;
    for (const auto& e : std::filesystem::directory_iterator(root)) {
        first = e.path().filename().string();
        break;
    }
    const std::string chain = first;
    const std::string side = first == "p" ? "q" : "p";
    std::int64_t total = 0;
    struct stat st {};
    for (int i = 0; i < levels; ++i) {
        if (i > 0) {
            // In the same order as above, so that the listing order repeats.
            ::mkdirat(fd, "p", 0755);
            ::mkdirat(fd, "q", 0755);
        }
        const int s = ::openat(fd, side.c_str(), O_RDONLY | O_DIRECTORY);
        const int file = ::openat(s, "f", O_CREAT | O_WRONLY, 0644);
        // One byte: even a memory filesystem then allocates blocks for it.
        EXPECT_EQ(::write(file, "x", 1), 1);
        ::close(file);
        ::fstatat(s, "f", &st, 0);
        total += st.st_blocks * 512;
        ::close(s);
        for (const char* n : {chain.c_str(), side.c_str()}) {
            ::fstatat(fd, n, &st, 0);
            total += st.st_blocks * 512;
        }
        const int next = ::openat(fd, chain.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    ::close(fd);
    return total;
}

TEST(Measure, HundredThousandLevelsNeedNeitherStackNorDescriptors) {
    // A memory filesystem creates the 200,000 folders in seconds; the walk is
    // the same on any filesystem.
    testing_support::ScopedEnv tmp;
    if (::access("/dev/shm", W_OK) == 0)
        tmp.set("TMPDIR", "/dev/shm");
    TempDir t;
    make_dirs(t.path(), "deep");
    const std::int64_t below = make_deep_tree(t / "deep", 100000);
    // A walk needing a descriptor per level would run out here.
    struct rlimit old {};
    ::getrlimit(RLIMIT_NOFILE, &old);
    struct rlimit tight = old;
    tight.rlim_cur = 128;
    ::setrlimit(RLIMIT_NOFILE, &tight);
    const std::int64_t bytes = scanner::size(t / "deep", nullptr);
    ::setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_EQ(bytes, own_blocks(t / "deep") + below);
    // Deeper than any path can name; rm removes it through descriptors.
    EXPECT_EQ(run_process({"/bin/rm", "-rf", t / "deep"}).exit_code, 0);
}

// Drops the capabilities that let root read any folder, then prints the size
// of $SCANNER_TEST_DIR; run only through run_test_in_child.
TEST(MeasureChildProbe, DISABLED_MeasureWithoutOverride) {
    __user_cap_header_struct header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct data[2] = {};
    ASSERT_EQ(::syscall(SYS_capget, &header, data), 0);
    for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH})
        data[0].effective &= ~(1u << cap);
    ASSERT_EQ(::syscall(SYS_capset, &header, data), 0);
    std::cout << "size " << scanner::size(std::getenv("SCANNER_TEST_DIR"), nullptr) << "\n";
}

TEST(Measure, UnreadableFolderCountsOnlyItsOwnBlocks) {
    TempDir t;
    make_tree(t.path(), {"d/a", "d/locked/inner/"});
    write_file(t / "d/a", 8192);
    write_file(t / "d/locked/big", 1 << 20);
    ASSERT_EQ(::chmod((t / "d/locked").c_str(), 0), 0);
    const auto r = run_test_in_child("MeasureChildProbe.DISABLED_MeasureWithoutOverride",
                                     {{"SCANNER_TEST_DIR", t / "d"}});
    ASSERT_EQ(r.exit_code, 0) << r.out;
    const std::int64_t expected =
        own_blocks(t / "d") + own_blocks(t / "d/a") + own_blocks(t / "d/locked");
    EXPECT_NE(r.out.find("size " + std::to_string(expected) + "\n"), std::string::npos) << r.out;
}

// du as a user without the capabilities that let root read any folder: the
// reference for trees with folders such a user cannot enter.
std::int64_t du_without_override(const std::string& path) {
    const auto r = run_process({"/usr/bin/setpriv", "--bounding-set=-dac_override,-dac_read_search",
                                "/usr/bin/du", "-s", "--block-size=1", path});
    // du exits 1 for the entries it could not read; its total still stands.
    EXPECT_FALSE(r.out.empty()) << path;
    return std::atoll(r.out.c_str());
}

// scanner::size of path in a child without those capabilities.
std::int64_t size_without_override(const std::string& path) {
    const auto r = run_test_in_child("MeasureChildProbe.DISABLED_MeasureWithoutOverride",
                                     {{"SCANNER_TEST_DIR", path}});
    EXPECT_EQ(r.exit_code, 0) << r.out;
    const std::size_t at = r.out.find("size ");
    EXPECT_NE(at, std::string::npos) << r.out;
    return at == std::string::npos ? -1 : std::atoll(r.out.c_str() + at + 5);
}

// The name readdir gives first in dir.
std::string first_in_directory_order(const std::string& dir) {
    for (const auto& e : std::filesystem::directory_iterator(dir))
        return e.path().filename();
    return {};
}

// A comb at t/rel: `levels` levels, each with a 1 MiB leaf folder that the
// walk meets after the level below, so that the shallow levels wait with their
// descriptors given up. Returns the leaf of level locked_level.
std::string make_comb(const TempDir& t, std::string rel, int levels, int locked_level) {
    std::string locked;
    for (int depth = 0; depth < levels; ++depth) {
        make_dirs(t.path(), rel + "/a");
        make_dirs(t.path(), rel + "/b");
        const std::string chain = first_in_directory_order(t / rel);
        const std::string leaf = rel + (chain == "a" ? "/b" : "/a");
        write_file(t / (leaf + "/data"), 1 << 20);
        if (depth == locked_level)
            locked = leaf;
        rel += "/" + chain;
    }
    return locked;
}

TEST(Measure, AFolderThatCannotBeSearchedHidesOnlyItsOwnContents) {
    // A shallow leaf is readable but not searchable: climbing back through
    // its ".." fails, and the leaves of every other level must still count.
    TempDir t;
    const std::string locked = make_comb(t, "comb", 20, 2);
    ASSERT_EQ(::chmod((t / locked).c_str(), 0400), 0);
    const std::int64_t expected = du_without_override(t / "comb");
    EXPECT_GE(expected, std::int64_t{19} << 20);
    EXPECT_EQ(size_without_override(t / "comb"), expected);
}

TEST(Measure, AnUnreadableFolderEarlyInDirectoryOrderLeavesItsSiblingsCounted) {
    // d's first entry holds the folder that cannot be read or searched; the
    // siblings after it, with data of their own, wait meanwhile.
    TempDir t;
    for (int i = 0; i < 9; ++i)
        make_dirs(t.path(), "d/s" + std::to_string(i));
    const std::string first = first_in_directory_order(t / "d");
    for (int i = 0; i < 9; ++i) {
        const std::string s = "s" + std::to_string(i);
        if (s != first)
            write_file(t / ("d/" + s + "/data"), 64 * 1024);
    }
    const std::string locked = make_comb(t, "d/" + first, 20, 1);
    for (mode_t mode : {mode_t{0400}, mode_t{0}}) {
        ASSERT_EQ(::chmod((t / locked).c_str(), mode), 0);
        const std::int64_t expected = du_without_override(t / "d");
        EXPECT_GE(expected, (std::int64_t{19} << 20) + 8 * 64 * 1024) << std::oct << mode;
        EXPECT_EQ(size_without_override(t / "d"), expected) << std::oct << mode;
    }
}

// --- Flat listings ---

TEST(FlatListing, ListsVisibleChildrenAndNeverLinks) {
    TempDir t;
    make_tree(t.path(), {"c/a/", "c/.hidden/", "c/f", "target/"});
    make_symlink(t / "target", t / "c/l");
    set_mtime(t / "c/a", 4242);
    const auto dirs = list_now(flat_row(ListingKind::ChildDirectories, t / "c"), nullptr);
    ASSERT_EQ(dirs.size(), 1u);
    EXPECT_EQ(dirs[0].path, t / "c/a");
    EXPECT_EQ(dirs[0].name, "a");
    EXPECT_EQ(dirs[0].detail, t / "c/a");
    EXPECT_EQ(dirs[0].modified, 4242);
    const auto items = list_now(flat_row(ListingKind::ChildItems, t / "c"), nullptr);
    EXPECT_EQ(paths_of(items), (std::vector<std::string>{t / "c/a", t / "c/f"}));
}

TEST(FlatListing, FolderGivenAsLinkCountsOnlyForChildListings) {
    TempDir t;
    make_tree(t.path(), {"real/x/", "real/y/"});
    make_symlink(t / "real", t / "link");
    EXPECT_EQ(list_now(flat_row(ListingKind::ChildDirectories, t / "link"), nullptr).size(), 2u);
    EXPECT_TRUE(list_now(flat_row(ListingKind::SelfFolder, t / "link"), nullptr).empty());
    const auto self = list_now(flat_row(ListingKind::SelfFolder, t / "real"), nullptr);
    ASSERT_EQ(self.size(), 1u);
    EXPECT_EQ(self[0].name, "real");
    EXPECT_EQ(self[0].detail, t / "real");
    for (ListingKind k :
         {ListingKind::ChildDirectories, ListingKind::ChildItems, ListingKind::SelfFolder}) {
        EXPECT_TRUE(list_now(flat_row(k, t / "missing"), nullptr).empty());
    }
}

TEST(Listing, SetCancelFlagListsNothingButTheFolderItself) {
    FakeHome home;
    make_tree(home.path(), {"c/a/", "c/b", "code/app/node_modules/"});
    const std::atomic<bool> cancel{true};
    EXPECT_TRUE(list_now(flat_row(ListingKind::ChildDirectories, home / "c"), &cancel).empty());
    EXPECT_TRUE(list_now(flat_row(ListingKind::ChildItems, home / "c"), &cancel).empty());
    EXPECT_TRUE(list_now(row("nodeModules"), &cancel).empty());
    EXPECT_EQ(list_now(flat_row(ListingKind::SelfFolder, home / "c"), &cancel).size(), 1u);
}

// --- The project search ---

// Which paths below the home the project search offers, by row id.
std::map<std::string, std::set<std::string>> offered(const FakeHome& home) {
    std::map<std::string, std::set<std::string>> out;
    for (const CategoryDef& d : catalog::all()) {
        if (d.listing != ListingKind::Recursive)
            continue;
        for (const auto& i : list_now(d, nullptr))
            out[d.id].insert(i.path.substr(home.path().size() + 1));
    }
    return out;
}

bool offered_anywhere(const std::map<std::string, std::set<std::string>>& o, const std::string& p) {
    for (const auto& [id, set] : o) {
        if (set.count(p))
            return true;
    }
    return false;
}

TEST(ProjectSearch, FindsProjectFoldersByRowWithNameAndDetail) {
    FakeHome home;
    make_tree(home.path(),
              {"p/app/node_modules/", "p/app/build/", "p/app/package.json", "p/web/.next/",
               "p/go/vendor/", "p/app/coverage/", "p/py/__pycache__/", "p/py/.venv/pyvenv.cfg",
               "p/and/.gradle/", "p/infra/.terraform/", "p/c/cmake-build-debug/"});
    const auto o = offered(home);
    EXPECT_EQ(o.at("nodeModules"), std::set<std::string>{"p/app/node_modules"});
    EXPECT_EQ(o.at("buildDirs"), (std::set<std::string>{"p/app/build", "p/c/cmake-build-debug"}));
    EXPECT_EQ(o.at("webCaches"), std::set<std::string>{"p/web/.next"});
    EXPECT_EQ(o.at("vendored"), (std::set<std::string>{"p/go/vendor", "p/infra/.terraform"}));
    EXPECT_EQ(o.at("testOutput"), std::set<std::string>{"p/app/coverage"});
    EXPECT_EQ(o.at("pycache"), std::set<std::string>{"p/py/__pycache__"});
    EXPECT_EQ(o.at("venvs"), std::set<std::string>{"p/py/.venv"});
    EXPECT_EQ(o.at("gradleProject"), std::set<std::string>{"p/and/.gradle"});
    const auto nm = list_now(row("nodeModules"), nullptr);
    ASSERT_EQ(nm.size(), 1u);
    EXPECT_EQ(nm[0].name, "app/node_modules");
    EXPECT_EQ(nm[0].detail, home / "p/app");
}

TEST(ProjectSearch, KeepsTheSearchRulesOfNestingDepthSkipsAndLinks) {
    FakeHome home;
    make_tree(home.path(), {
                               "a/node_modules/pkg/node_modules/",    // no descent into a match
                               "a/node_modules/x/build/",             // nor into a claimed name
                               "b/.git/build/", "b/.cache/x/build/",  // always skipped
                               "Downloads/x/node_modules/",           // top-level skip list
                               ".local/y/node_modules/",              //
                               "code/Downloads/x/node_modules/",      // skip list is top-level only
                               "1/2/3/4/5/node_modules/",             // deepest level found
                               "d/1/2/3/4/5/node_modules/",           // one too deep
                               "t/", "e/build",                       // a file named build
                           });
    make_symlink(home / "t", home / "e/node_modules");
    const auto o = offered(home);
    EXPECT_EQ(o.at("nodeModules"),
              (std::set<std::string>{"a/node_modules", "code/Downloads/x/node_modules",
                                     "1/2/3/4/5/node_modules"}));
    EXPECT_FALSE(o.count("buildDirs"));
}

TEST(ProjectSearch, NeverOffersInstalledToolsOrOtherRowsFolders) {
    FakeHome home;
    const char* rel_cache = "realcache";
    make_tree(home.path(), {
                               ".nvm/versions/node/v20.1.0/lib/node_modules/npm/node_modules/",
                               ".nvm/versions/node/v20.1.0/bin/node",
                               "opt/node-v22/lib/node_modules/npm/",
                               "opt/node-v22/bin/node",   // installed Node.js
                               "mono/lib/node_modules/",  // a project's lib
                               ".vscode/extensions/ms.ext-1.0/out/",
                               ".vscode/extensions/ms.ext-1.0/node_modules/",
                               "x/ext/.vsixmanifest",
                               "x/ext/dist/",  // extension elsewhere
                               ".pyenv/versions/3.12.1/lib/python3.12/venv/",
                               "proj/venv/",
                               "proj/src/__init__.py",  // venv without pyvenv.cfg
                               "proj/.venv/lib/",       // .venv without pyvenv.cfg
                               "proj/env/pyvenv.cfg",
                               "proj/env/lib/python3.12/site-packages/pkg/build/",
                               "conda/envs/e/conda-meta/",
                               "conda/envs/e/lib/x/build/",
                               "lib2/python3/site-packages/foo/build/",
                               "rpmbuild/SPECS/x/build/",
                               "rpmbuild/BUILD/y/node_modules/",  // another row's folder
                               ".julia/packages/Foo/build/",
                               ".conan2/p/lib/build/",
                               "realcache/bazel/c/out/",  // row folder via a link
                               "infra/.terraform/modules/m/node_modules/",
                               "rusty/registry/build/",  // a CARGO_HOME
                           });
    make_symlink(home / rel_cache, home.path() + "-cachelink");
    home.env().set("XDG_CACHE_HOME", home.path() + "-cachelink");
    home.env().set("CARGO_HOME", home / "rusty");
    const auto o = offered(home);
    ::unlink((home.path() + "-cachelink").c_str());
    std::set<std::string> all;
    for (const auto& [id, set] : o)
        all.insert(set.begin(), set.end());
    EXPECT_EQ(all, (std::set<std::string>{"mono/lib/node_modules", "infra/.terraform"}));
}

TEST(ProjectSearch, ProjectsFolderInsideAnotherRowsFolderOffersNothing) {
    FakeHome home;
    make_tree(home.path(), {"rpmbuild/BUILD/y/node_modules/", "code/z/node_modules/"});
    catalog::set_projects_root(home / "rpmbuild/BUILD");
    EXPECT_TRUE(list_now(row("nodeModules"), nullptr).empty());
    catalog::set_projects_root(home / "code");
    EXPECT_EQ(list_now(row("nodeModules"), nullptr).size(), 1u);
    catalog::set_projects_root("");
}

TEST(ProjectSearch, AProjectsFolderChosenInsideAToolsFolderIsSearched) {
    // ~/go is fenced off for a search of the home; one of ~/go or ~/go/src
    // itself must still find the projects there.
    FakeHome home;
    make_tree(home.path(), {"go/src/app/node_modules/", "go/src/app/package.json"});
    catalog::set_projects_root(home / "go/src");
    EXPECT_EQ(paths_of(list_now(row("nodeModules"), nullptr)),
              (std::vector<std::string>{home / "go/src/app/node_modules"}));
    catalog::set_projects_root(home / "go");
    EXPECT_EQ(paths_of(list_now(row("nodeModules"), nullptr)),
              (std::vector<std::string>{home / "go/src/app/node_modules"}));
    catalog::set_projects_root("");
    EXPECT_TRUE(list_now(row("nodeModules"), nullptr).empty());
}

struct VouchCase {
    const char* tree;      // files and folders below the projects folder
    const char* match;     // the match looked at
    bool needs_a_project;  // shown as Caution with the note
};

TEST(ProjectSearch, AGenericNameIsVouchedForOnlyByAProjectFileOfAToolThatWritesThere) {
    const VouchCase cases[] = {
        {"a/build/ a/CMakeLists.txt", "a/build", false},
        {"b/build/", "b/build", true},
        {"c/build/ c/README.md c/src/main.c", "c/build", true},
        {"d/target/ d/Cargo.toml", "d/target", false},
        {"e/target/ e/package.json", "e/target", true},  // npm writes no target
        {"f/dist/ f/pyproject.toml", "f/dist", false},
        {"g/out/ g/build.gradle.kts", "g/out", false},
        {"h/coverage/", "h/coverage", true},
        {"i/vendor/ i/composer.json", "i/vendor", false},
        {"j/vendor/", "j/vendor", true},
        {"k/node_modules/", "k/node_modules", true},
        {"l/node_modules/ l/package.json", "l/node_modules", false},
        {"m/.gradle/ m/settings.gradle", "m/.gradle", false},
        {"n/.next/", "n/.next", false},  // a name only one tool writes
        {"o/cmake-build-debug/", "o/cmake-build-debug", false},
    };
    for (const VouchCase& c : cases) {
        FakeHome home;
        std::vector<std::string> entries;
        std::istringstream words(c.tree);
        for (std::string w; words >> w;)
            entries.push_back("p/" + w);
        make_tree(home.path(), entries);
        catalog::set_projects_root(home / "p");
        const scanner::ScannedInfo* found = nullptr;
        std::vector<scanner::ScannedInfo> all;
        for (const CategoryDef& d : catalog::all()) {
            if (d.listing == ListingKind::Recursive) {
                for (scanner::ScannedInfo& i : list_now(d, nullptr))
                    all.push_back(std::move(i));
            }
        }
        for (const scanner::ScannedInfo& i : all) {
            if (i.path == home / ("p/" + std::string(c.match)))
                found = &i;
        }
        catalog::set_projects_root("");
        ASSERT_NE(found, nullptr) << c.match;
        EXPECT_EQ(found->least_safety, c.needs_a_project ? SafetyLevel::Caution : SafetyLevel::Safe)
            << c.tree;
        EXPECT_EQ(found->detail, c.needs_a_project ? std::string(scanner::kNoProjectFile)
                                                   : su::parent_of(found->path))
            << c.tree;
    }
}

TEST(FlatListing, TheUsersOwnFoldersInARowAreRisky) {
    FakeHome home;
    make_tree(home.path(),
              {"rpmbuild/SPECS/", "rpmbuild/SOURCES/", "rpmbuild/BUILD/", "rpmbuild/RPMS/"});
    std::map<std::string, SafetyLevel> level;
    for (const scanner::ScannedInfo& i : list_now(row("rpmbuild"), nullptr))
        level[i.name] = i.least_safety;
    EXPECT_EQ(level, (std::map<std::string, SafetyLevel>{{"BUILD", SafetyLevel::Safe},
                                                         {"RPMS", SafetyLevel::Safe},
                                                         {"SOURCES", SafetyLevel::Risky},
                                                         {"SPECS", SafetyLevel::Risky}}));
}

TEST(ProjectSearch, ToolVariableNamingTheHomeFencesNothing) {
    FakeHome home;
    make_tree(home.path(), {"code/z/node_modules/"});
    home.env().set("GRADLE_USER_HOME", home.path());
    home.env().set("PYENV_ROOT", "/");
    EXPECT_TRUE(offered_anywhere(offered(home), "code/z/node_modules"));
}

TEST(ProjectSearch, OneWalkGivesEachRowWhatItsOwnWalkGives) {
    FakeHome home;
    make_tree(home.path(), {"a/node_modules/", "a/build/", "a/b/dist/", "a/b/.tox/", "c/d/out/",
                            "c/.pytest_cache/", "c/coverage/", "e/vendor/", "e/f/g/target/",
                            "e/.gradle/", "h/.venv/pyvenv.cfg", "h/.svelte-kit/"});
    std::vector<CategoryDef> rows;
    for (const CategoryDef& d : catalog::all()) {
        if (d.listing == ListingKind::Recursive)
            rows.push_back(d);
    }
    ASSERT_EQ(rows.size(), 8u);
    const scanner::ProjectScope scope = scanner::project_scope(catalog::all());
    const auto together = scanner::list_projects(rows, scope, nullptr);
    std::size_t found = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const auto alone = scanner::list(rows[i], scope, nullptr);
        EXPECT_EQ(together[i].outcome, scanner::Outcome::Done) << rows[i].id;
        const std::vector<scanner::ScannedInfo>& one = together[i].entries;
        ASSERT_EQ(one.size(), alone.size()) << rows[i].id;
        for (std::size_t k = 0; k < alone.size(); ++k) {
            EXPECT_EQ(one[k].path, alone[k].path);
            EXPECT_EQ(one[k].name, alone[k].name);
            EXPECT_EQ(one[k].modified, alone[k].modified);
        }
        found += alone.size();
    }
    EXPECT_EQ(found, 12u);
}

}  // namespace

// --- Project activity ---

TEST(ProjectActivity, CountsTheProjectsOwnFilesAndNeverItsLeftovers) {
    constexpr std::time_t kOld = 1'600'000'000;
    constexpr std::time_t kWork = 1'650'000'000;
    constexpr std::time_t kInstall = 1'700'000'000;
    // Each case: what changed last (at kWork) in a project whose every other
    // entry is old and whose leftovers changed at kInstall, and the answer.
    const struct {
        const char* name;
        const char* touched;  // relative to the project; null: nothing but leftovers
        std::time_t expected;
    } cases[] = {
        {"a file at the top", "README.md", kWork},
        {"a file in a source folder", "src/main.c", kWork},
        {"the version-control index", ".git/index", kWork},
        {"deeper than a source folder's top is not looked at", "src/deep/x.c", kOld},
        {"only leftovers changed", nullptr, kOld},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TempDir t;
        const std::string p = t / "app";
        make_tree(t.path(), {"app/README.md", "app/package.json", "app/src/main.c",
                             "app/src/deep/x.c", "app/.git/index", "app/.git/objects/",
                             "app/node_modules/a/index.js", "app/build/out.o", "app/.cache/x"});
        for (const char* rel : {"README.md", "package.json", "src/main.c", "src/deep/x.c",
                                ".git/index", ".git", "src/deep", "src", ".git/objects"})
            set_mtime(p + "/" + rel, kOld);
        for (const char* rel : {"node_modules", "node_modules/a", "build", ".cache"})
            set_mtime(p + "/" + rel, kInstall);
        if (c.touched != nullptr)
            set_mtime(p + "/" + c.touched, kWork);
        EXPECT_EQ(scanner::project_activity(p, {"node_modules", "build"}), c.expected);
    }
}

TEST(ProjectActivity, AProjectThatCannotBeReadHasNoActivity) {
    TempDir t;
    EXPECT_EQ(scanner::project_activity(t / "missing", {}), 0);
    EXPECT_EQ(scanner::project_activity("", {}), 0);
}
