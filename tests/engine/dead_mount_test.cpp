// brushwick-scan on a home holding a filesystem that stops answering: a FUSE
// mount whose server never replies, made in a child in a private mount
// namespace so that it dies with the child. The scan must end, report the
// dead folder as not answering and every other category exactly as a scan of
// the same home without the mount does. Where the machine cannot mount FUSE
// in a namespace the case skips, or fails when
// BRUSHWICK_REQUIRE_PRIVILEGED_TESTS=1.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>

#include "base/strutil.h"
#include "dead_mount.h"
#include "deletion_support.h"
#include "engine/scanner.h"
#include "test_support.h"

namespace {

using testing_support::du_bytes;
using testing_support::make_tree;
using testing_support::read_file;
using testing_support::TempDir;
using testing_support::write_file;

// Hang guards, not speed bounds: a scan that survives the dead mount takes
// seconds; one that does not would wait on it for ever.
constexpr std::chrono::seconds kScanLimit{60};
constexpr std::chrono::seconds kChildLimit{150};

std::string env_text(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr ? v : "";
}

// What a scan must see of the machine: only HOME decides where it looks.
std::map<std::string, std::optional<std::string>> home_env(const std::string& home) {
    std::map<std::string, std::optional<std::string>> env;
    for (const char* const* v = testing_support::kLocationVariables; *v != nullptr; ++v)
        env[*v] = std::nullopt;
    env["HOME"] = home;
    // LeakSanitizer's check at exit stops every thread with ptrace, and a
    // thread parked on the dead mount never stops: the sanitizer build would
    // hang there after the scan itself has finished. The program without
    // the sanitizer exits at once; leaks are checked by the unit tests.
    const std::string asan = env_text("ASAN_OPTIONS");
    env["ASAN_OPTIONS"] = (asan.empty() ? "" : asan + ":") + "detect_leaks=0";
    return env;
}

// One category of a JSON report: its own line and its entries' lines, with
// the commas that depend on its place in the report taken off.
struct Block {
    std::string path;                  // the category's folder
    std::string head;                  // the category's line
    std::vector<std::string> entries;  // one line per entry
    bool not_answering() const { return head.find("\"not_answering\": true") != std::string::npos; }
};

std::map<std::string, Block> categories_of(const std::string& report) {
    std::map<std::string, Block> out;
    std::istringstream in(report);
    std::string line;
    Block* current = nullptr;
    while (std::getline(in, line)) {
        while (!line.empty() && line.back() == ',')
            line.pop_back();
        if (line.rfind("  {\"id\": \"", 0) == 0) {
            const std::size_t start = line.find('"', 8) + 1;
            current = &out[line.substr(start, line.find('"', start) - start)];
            current->head = line;
            const std::size_t p = line.find("\"path\": \"") + 9;
            current->path = line.substr(p, line.find('"', p) - p);
        } else if (line.rfind("    {\"path\": ", 0) == 0 && current != nullptr) {
            current->entries.push_back(line);
        }
    }
    return out;
}

// --- Body run in the child ---

// BRUSHWICK_TEST_HOME: the home; BRUSHWICK_TEST_BASELINE: the report of a scan
// of it made before ~/.cache died.
TEST(DeadMountChild, DISABLED_ScanOfAHomeWhoseCacheNeverAnswers) {
    const std::string home = env_text("BRUSHWICK_TEST_HOME");
    ASSERT_FALSE(home.empty());
    const std::map<std::string, Block> before =
        categories_of(read_file(env_text("BRUSHWICK_TEST_BASELINE")));
    ASSERT_FALSE(before.empty());

    testing_support::DeadMount dead(home + "/.cache");
    ASSERT_EQ(dead.error(), "");
    const testing_support::ChildResult r =
        testing_support::run_process({BRUSHWICK_SCAN_EXE, "--json"}, home_env(home), kScanLimit);
    std::cout << "@@seconds " << r.seconds << "\n";
    ASSERT_FALSE(r.overran) << "brushwick-scan still ran after " << kScanLimit.count() << " s";
    ASSERT_EQ(r.exit_code, 0);
    const std::map<std::string, Block> after = categories_of(r.out);

    // Every category of the healthy scan, entries and sizes alike.
    for (const auto& [id, b] : before) {
        const auto it = after.find(id);
        ASSERT_NE(it, after.end()) << id;
        EXPECT_EQ(it->second.head, b.head) << id;
        EXPECT_EQ(it->second.entries, b.entries) << id;
    }
    // The rows in the dead folder are kept, as not answering; nothing else is.
    int dead_rows = 0;
    for (const auto& [id, b] : after) {
        const bool in_cache = su::is_at_or_under(b.path, home + "/.cache");
        EXPECT_EQ(b.not_answering(), in_cache) << id << " " << b.path;
        dead_rows += in_cache ? 1 : 0;
    }
    EXPECT_GT(dead_rows, 0);
}

// BRUSHWICK_TEST_ROOT holds e/ (measured) and code/ (searched for projects),
// each with an empty folder "dead" that becomes the dead mount.
TEST(DeadMountChild, DISABLED_WalksPassAMountPointThatNeverAnswers) {
    const std::string t = env_text("BRUSHWICK_TEST_ROOT");
    ASSERT_FALSE(t.empty());
    // What deleting e could free: everything but the mount point, measured
    // before the mount, when du can still be asked.
    struct stat st {};
    ASSERT_EQ(::lstat((t + "/e/dead").c_str(), &st), 0);
    const std::int64_t reclaimable =
        du_bytes(t + "/e") - static_cast<std::int64_t>(st.st_blocks) * 512;
    testing_support::DeadMount in_entry(t + "/e/dead");
    ASSERT_EQ(in_entry.error(), "");
    testing_support::DeadMount in_projects(t + "/code/dead");
    ASSERT_EQ(in_projects.error(), "");
    scanner::refresh_filesystems();

    // Measuring passes the mount point by the table: not even a stat, so the
    // filesystem is not yet known to hang afterwards.
    const scanner::Measure m = scanner::measure_guarded(t + "/e", 45.0, nullptr);
    EXPECT_EQ(m.outcome, scanner::Outcome::Done);
    EXPECT_EQ(m.bytes, reclaimable);
    EXPECT_FALSE(scanner::detail::presumed_hung(t + "/e/dead"));

    // The project search probes the mount point under a short deadline of its
    // own, leaves it out, and still ends with every other match; the list
    // says that something below did not answer.
    CategoryDef row;
    row.id = "modules";
    row.path = t + "/code";
    row.listing = ListingKind::Recursive;
    row.names = {"node_modules"};
    row.max_depth = 5;
    const std::vector<scanner::Listed> found =
        scanner::list_projects_guarded({row}, scanner::ProjectScope{}, 120.0, nullptr);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].outcome, scanner::Outcome::NotAnswering);
    ASSERT_EQ(found[0].entries.size(), 1u);
    EXPECT_EQ(found[0].entries[0].path, t + "/code/app/node_modules");
    EXPECT_TRUE(scanner::detail::presumed_hung(t + "/code/dead"));
    EXPECT_FALSE(scanner::detail::presumed_hung(scanner::detail::filesystem_of(t + "/code")));
}

// --- Parent side ---

TEST(DeadMount, AScanOfAHomeWhoseCacheNeverAnswersEndsWithEveryOtherCategoryExact) {
    SKIP_UNLESS_MACHINE_CAN(testing_support::can_mount_dead_filesystem(),
                            "mount FUSE in a private mount namespace (needs root and /dev/fuse)");
    TempDir t;
    const std::string home = t / "home";
    make_tree(t.path(), {"home/"});
    make_tree(home, {".cache/", ".gradle/caches/modules-2/", ".npm/_cacache/index/",
                     "code/app/package.json", "code/app/node_modules/a/", "code/tool/Cargo.toml",
                     "code/tool/target/debug/"});
    write_file(home + "/.gradle/caches/modules-2/jar", 200000);
    write_file(home + "/.npm/_cacache/index/x", 30000);
    write_file(home + "/code/app/node_modules/a/index.js", 5000);
    write_file(home + "/code/tool/target/debug/bin", 70000);
    const testing_support::ChildResult baseline =
        testing_support::run_process({BRUSHWICK_SCAN_EXE, "--json"}, home_env(home), kScanLimit);
    ASSERT_FALSE(baseline.overran);
    ASSERT_EQ(baseline.exit_code, 0);
    // The comparison in the child means something only if the healthy scan
    // measured what du measures.
    const std::string modules = home + "/code/app/node_modules";
    ASSERT_NE(baseline.out.find("\"path\": \"" + modules + "\", \"name\": \"app/node_modules\"" +
                                ", \"detail\": \"" + home +
                                "/code/app\", \"size\": " + std::to_string(du_bytes(modules))),
              std::string::npos)
        << baseline.out;
    std::ofstream(t / "baseline.json") << baseline.out;

    std::string log;
    const bool passed = testing_support::run_in_mount_namespace(
        "DeadMountChild.DISABLED_ScanOfAHomeWhoseCacheNeverAnswers",
        {{"BRUSHWICK_TEST_HOME", home}, {"BRUSHWICK_TEST_BASELINE", t / "baseline.json"}},
        kChildLimit, &log);
    EXPECT_TRUE(passed) << log;
    const std::size_t at = log.find("@@seconds ");
    if (at != std::string::npos)
        std::cout << "brushwick-scan with ~/.cache dead took "
                  << log.substr(at + 10, log.find('\n', at) - at - 10) << " s\n";
}

TEST(DeadMount, MeasuringAndTheProjectSearchPassAMountPointThatNeverAnswers) {
    SKIP_UNLESS_MACHINE_CAN(testing_support::can_mount_dead_filesystem(),
                            "mount FUSE in a private mount namespace (needs root and /dev/fuse)");
    TempDir t;
    make_tree(t.path(), {"e/dead/", "e/keep/f", "code/dead/", "code/app/package.json",
                         "code/app/node_modules/a/"});
    write_file(t / "e/keep/f", 40000);
    std::string log;
    EXPECT_TRUE(testing_support::run_in_mount_namespace(
        "DeadMountChild.DISABLED_WalksPassAMountPointThatNeverAnswers",
        {{"BRUSHWICK_TEST_ROOT", t.path()}}, kChildLimit, &log))
        << log;
}

}  // namespace
