// The per-category fill shared by the app and brushwick-scan: version order,
// the keep-newest mark, measured and sorted items, cancellation, and the one
// project walk per scan.
#include "engine/category_scan.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "test_support.h"

namespace {

using testing_support::du_bytes;
using testing_support::FakeHome;
using testing_support::make_tree;
using testing_support::run_process;
using testing_support::write_file;

CategoryDef row_of(const std::string& id) {
    for (const CategoryDef& d : catalog::all()) {
        if (d.id == id)
            return d;
    }
    ADD_FAILURE() << "no row " << id;
    return {};
}

CatState filled(const CategoryDef& def, category_scan::Session& session,
                const std::atomic<bool>* cancel = nullptr) {
    CatState cat;
    cat.def = def;
    category_scan::fill(cat, session, cancel);
    return cat;
}

void set_time(const std::string& path, std::time_t t) {
    const struct timespec ts[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), ts, AT_SYMLINK_NOFOLLOW), 0) << path;
}

TEST(VersionOrder, ComparesNumbersByValueAndOtherBytesAsSignedChars) {
    struct Case {
        const char* a;
        const char* b;
        bool less;
    };
    const Case cases[] = {
        {"17.0.2", "17.0.10", true},
        {"17.0.10", "17.0.2", false},
        {"jdk-8", "jdk-11", true},
        {"1.9.0", "1.70.0", true},
        {"007", "7", false},
        {"7", "007", false},
        {"000", "0", false},
        {"release-02", "release-2b", true},
        {"1.2", "1.2.1", true},
        {"1.2.1", "1.2", false},
        {"a", "b", true},
        {"\xc3\xa9", "z", true},  // bytes from 0x80 sort before ASCII
        {"10", "9a", false},
        {"", "", false},
        {"", "0", true},
    };
    for (const Case& c : cases)
        EXPECT_EQ(category_scan::version_less(c.a, c.b), c.less) << c.a << " < " << c.b;
}

TEST(KeepNewest, MarksTheGreatestVersionAndTheFirstOfEqualOnes) {
    std::vector<Item> items(4);
    const char* names[] = {"11.0.2", "17.0.10", "17.0.9", "17.0.010"};
    for (int i = 0; i < 4; ++i) {
        items[i].name = names[i];
        items[i].safety = SafetyLevel::Caution;
    }
    category_scan::mark_newest(items);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(items[i].keep_hint, i == 1) << names[i];
        EXPECT_EQ(items[i].safety, i == 1 ? SafetyLevel::Risky : SafetyLevel::Caution) << names[i];
    }
    std::vector<Item> none;
    category_scan::mark_newest(none);
}

TEST(ToolOf, DropsTheVersionButNotDigitsThatBelongToTheName) {
    const std::pair<const char*, const char*> cases[] = {
        {"toolchain-gccarmnoneeabi@1.90301.200702", "toolchain-gccarmnoneeabi"},
        {"toolchain-gccarmnoneeabi", "toolchain-gccarmnoneeabi"},
        {"kotlin-native-prebuilt-linux-x86_64-1.9.22", "kotlin-native-prebuilt-linux-x86_64"},
        {"xtensa-esp32-elf", "xtensa-esp32-elf"},
        {"esp-2021r2-patch5-8.4.0", "esp-2021r2-patch5"},
        {"openocd-esp32-v0.12.0", "openocd-esp32"},
        {"cmake-3.24", "cmake"},
        {"jdk-17", "jdk"},
        {"17.0.10", ""},
        {"dependencies", "dependencies"},
    };
    for (const auto& [name, tool] : cases)
        EXPECT_EQ(category_scan::tool_of(name), tool) << name;
}

TEST(Fill, ARowOfSeveralToolsKeepsTheNewestOfEachToolNotOneOfThemAll) {
    FakeHome home;
    make_tree(home.path(),
              {".konan/kotlin-native-prebuilt-linux-x86_64-1.9.22/",
               ".konan/kotlin-native-prebuilt-linux-x86_64-1.7.20/", ".konan/dependencies/",
               ".platformio/packages/tool-scons/", ".platformio/packages/tool-scons@4.40400.0/",
               ".platformio/packages/framework-arduinoespressif32/"});
    category_scan::Session session(catalog::all());
    std::set<std::string> kept;
    for (const char* id : {"konan", "platformio"}) {
        for (const Item& it : filled(row_of(id), session).items) {
            if (it.keep_hint)
                kept.insert(it.name);
            EXPECT_EQ(it.safety, it.keep_hint ? SafetyLevel::Risky : SafetyLevel::Caution);
        }
    }
    EXPECT_EQ(kept,
              (std::set<std::string>{"kotlin-native-prebuilt-linux-x86_64-1.9.22", "dependencies",
                                     "tool-scons@4.40400.0", "framework-arduinoespressif32"}));
}

TEST(Fill, AnEntryShowsTheLeastSafeOfItsRowsLevelAndItsOwn) {
    FakeHome home;
    make_tree(home.path(), {"p/a/build/o", "p/a/CMakeLists.txt", "p/b/build/o",
                            "rpmbuild/SPECS/app.txt", "rpmbuild/BUILD/"});
    catalog::set_projects_root(home / "p");
    category_scan::Session session(catalog::all());
    std::map<std::string, std::pair<SafetyLevel, std::string>> seen;
    for (const char* id : {"buildDirs", "rpmbuild"}) {
        for (const Item& it : filled(row_of(id), session).items)
            seen[it.path.substr(home.path().size() + 1)] = {it.safety, it.detail};
    }
    catalog::set_projects_root("");
    using S = SafetyLevel;
    EXPECT_EQ(seen, (std::map<std::string, std::pair<S, std::string>>{
                        {"p/a/build", {S::Safe, home / "p/a"}},
                        {"p/b/build", {S::Caution, scanner::kNoProjectFile}},
                        {"rpmbuild/BUILD", {S::Caution, home / "rpmbuild/BUILD"}},
                        {"rpmbuild/SPECS", {S::Risky, home / "rpmbuild/SPECS"}},
                    }));
}

TEST(CategoryTotals, CountOnlyMeasuredNonEmptySizesAndThreadsStayWithinSix) {
    CatState cat;
    for (std::int64_t s :
         {std::int64_t{-1}, std::int64_t{0}, std::int64_t{4096}, std::int64_t{1} << 40}) {
        Item it;
        it.size = s;
        cat.items.push_back(it);
    }
    EXPECT_EQ(cat.total_size(), 4096 + (std::int64_t{1} << 40));
    EXPECT_EQ(category_scan::measuring_threads(0), 1);
    EXPECT_EQ(category_scan::measuring_threads(2), 2);
    EXPECT_EQ(category_scan::measuring_threads(40), 6);
}

TEST(Fill, AProjectLeftoverIsAsOldAsTheWorkOnItsProjectNotItsInstall) {
    FakeHome home;
    make_tree(home.path(), {"code/web/package.json", "code/web/node_modules/a/index.js"});
    set_time(home / "code/web/package.json", 1'650'000'000);
    set_time(home / "code/web/node_modules/a/index.js", 1'700'000'000);
    set_time(home / "code/web/node_modules/a", 1'700'000'000);
    set_time(home / "code/web/node_modules", 1'700'000'000);
    set_time(home / "code/web", 1'600'000'000);
    category_scan::Session session(catalog::all());
    const CatState cat = filled(row_of("nodeModules"), session);
    ASSERT_EQ(cat.items.size(), 1u);
    EXPECT_EQ(cat.items[0].project, home / "code/web");
    EXPECT_EQ(cat.items[0].activity, 1'650'000'000);
    EXPECT_EQ(cat.items[0].modified, 1'700'000'000) << "the install is newer than the work";
    EXPECT_EQ(cat.items[0].age_from(), 1'650'000'000) << "its age counts from the work";
}

TEST(Fill, MeasuresSortsMarksAndRaisesTimesToTheNewestInside) {
    FakeHome home;
    make_tree(home.path(), {".rustup/toolchains/1.9.0/", ".rustup/toolchains/1.70.0/",
                            ".rustup/toolchains/1.68.2/", ".rustup/toolchains/.hidden/"});
    const std::string tc = home / ".rustup/toolchains";
    write_file(tc + "/1.9.0/lib", 300000);
    write_file(tc + "/1.70.0/lib", 10000);
    write_file(tc + "/1.68.2/lib", 90000);
    const struct timespec t[2] = {{1900000000, 0}, {1900000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (tc + "/1.68.2/lib").c_str(), t, 0), 0);
    category_scan::Session session(catalog::all());
    const CatState cat = filled(row_of("rustupToolchains"), session);
    ASSERT_EQ(cat.items.size(), 3u);
    const char* order[] = {"1.9.0", "1.68.2", "1.70.0"};  // largest first
    for (int i = 0; i < 3; ++i) {
        const Item& it = cat.items[i];
        EXPECT_EQ(it.name, order[i]);
        EXPECT_EQ(it.size, du_bytes(it.path)) << it.name;
        EXPECT_TRUE(it.size_known);
        EXPECT_EQ(it.keep_hint, it.name == "1.70.0") << it.name;
        EXPECT_EQ(it.safety, it.name == "1.70.0" ? SafetyLevel::Risky : SafetyLevel::Caution);
        EXPECT_FALSE(it.selected);
    }
    EXPECT_EQ(cat.items[1].modified, 1900000000);
    EXPECT_EQ(cat.total_size(),
              du_bytes(tc + "/1.9.0") + du_bytes(tc + "/1.70.0") + du_bytes(tc + "/1.68.2"));
}

TEST(Fill, CancelledScanLeavesEntriesUnmeasured) {
    FakeHome home;
    make_tree(home.path(), {".cache/pip/x"});
    category_scan::Session session(catalog::all());
    const std::atomic<bool> cancel{true};
    const CatState cat = filled(row_of("pipCache"), session, &cancel);
    ASSERT_EQ(cat.items.size(), 1u);  // a folder row lists itself even when cancelled
    EXPECT_EQ(cat.items[0].size, -1);
    EXPECT_FALSE(cat.items[0].size_known);
    EXPECT_EQ(cat.total_size(), 0);
}

TEST(CatState, ATotalThatLeavesOutAnUnknownSizeIsPartial) {
    Item known;
    known.size = 10;
    known.size_known = true;
    Item unknown;
    struct Case {
        const char* what;
        bool did_scan, not_answering, list_partial;
        std::vector<Item> items;
        bool partial;
    };
    const Case cases[] = {
        {"not scanned yet", false, false, false, {unknown}, false},
        {"every size known", true, false, false, {known, known}, false},
        {"no entries", true, false, false, {}, false},
        {"one size unknown", true, false, false, {known, unknown}, true},
        {"folder not answering", true, true, false, {}, true},
        {"listing cut short", true, false, true, {known}, true},
    };
    for (const Case& c : cases) {
        CatState cat;
        cat.did_scan = c.did_scan;
        cat.not_answering = c.not_answering;
        cat.list_partial = c.list_partial;
        cat.items = c.items;
        EXPECT_EQ(cat.partial(), c.partial) << c.what;
    }
}

TEST(Session, OneProjectWalkServesEveryRowAndARescanWalksAnew) {
    FakeHome home;
    make_tree(home.path(),
              {"p/a/node_modules/m", "p/a/build/o", "p/a/package.json", "p/a/CMakeLists.txt",
               "p/b/.venv/pyvenv.cfg", "p/b/__pycache__/c", "p/c/vendor/v", "p/c/go.mod"});
    const scanner::ProjectScope scope = scanner::project_scope(catalog::all());
    category_scan::Session session(catalog::all());
    for (const CategoryDef& d : catalog::all()) {
        if (d.listing != ListingKind::Recursive)
            continue;
        const CatState cat = filled(d, session);
        const auto alone = scanner::list(d, scope, nullptr);
        ASSERT_EQ(cat.items.size(), alone.size()) << d.id;
        for (const Item& it : cat.items) {
            EXPECT_EQ(it.size, du_bytes(it.path)) << it.path;
            EXPECT_EQ(it.safety, d.safety);
        }
    }
    // The same session keeps its walk; a new one sees what appeared since.
    make_tree(home.path(), {"p/d/node_modules/"});
    EXPECT_EQ(filled(row_of("nodeModules"), session).items.size(), 1u);
    category_scan::Session rescan(catalog::all());
    EXPECT_EQ(filled(row_of("nodeModules"), rescan).items.size(), 2u);
    // A row the session's catalog does not hold is still searched.
    CategoryDef extra = row_of("buildDirs");
    extra.id = "extra";
    extra.names = {"node_modules"};
    EXPECT_EQ(filled(extra, rescan).items.size(), 2u);
}

}  // namespace
