// The checks a deletion makes before it touches an entry: the keep-list (as
// written and through links), the user's processes holding something inside,
// an entry that names another object than the scan saw, and the free space
// reported for each filesystem deleted on.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <filesystem>

#include "deletion_support.h"
#include "engine/deletion.h"
#include "engine/deletion_guard.h"

namespace {

using deletion::delete_checked;
using deletion::DeleteResult;
using deletion::Safeguards;
using deletion::Target;
using testing_support::exists_no_follow;
using testing_support::make_symlink;
using testing_support::make_tree;
using testing_support::Sleeper;
using testing_support::snapshot;
using testing_support::TempDir;
using testing_support::write_file;

// The entry at path as a scan records it: with its device and inode.
Target seen(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return Target{path, st.st_dev, st.st_ino};
}

// The reason a batch gave for path, with its subject in braces when it has
// one; "deleted" when it went.
std::string outcome(const DeleteResult& r, const std::string& path) {
    for (const std::string& d : r.deleted) {
        if (d == path)
            return "deleted";
    }
    for (std::size_t i = 0; i < r.failed.size(); ++i) {
        if (r.failed[i] == path)
            return r.failed_reasons[i] +
                   (r.failed_subjects[i].empty() ? "" : " {" + r.failed_subjects[i] + "}");
    }
    return "missing from the report";
}

// --- The keep-list ---

TEST(KeptBy, KeepsThePathEverythingUnderItAndEveryFolderHoldingIt) {
    const std::vector<std::string> kept = {"/home/ann/code/app/", "/srv//work"};
    const struct {
        const char* path;
        const char* kept_by;  // null: not kept
    } cases[] = {
        {"/home/ann/code/app", "/home/ann/code/app/"},
        {"/home/ann/code/app/node_modules", "/home/ann/code/app/"},
        {"/home/ann/code", "/home/ann/code/app/"},  // deleting it deletes the kept one
        {"/home/ann/code/application", nullptr},
        {"/home/ann/code/ap", nullptr},
        {"/home/ann/other/app", nullptr},
        {"/srv/work/x/build", "/srv//work"},
        {"/srv/workshop", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        const std::string* k = deletion_guard::kept_by(kept, c.path);
        if (c.kept_by == nullptr) {
            EXPECT_EQ(k, nullptr);
        } else {
            ASSERT_NE(k, nullptr);
            EXPECT_EQ(*k, c.kept_by);
        }
    }
    EXPECT_EQ(deletion_guard::kept_by({""}, "/a"), nullptr) << "an empty entry keeps nothing";
    EXPECT_EQ(deletion_guard::kept_by({}, "/a"), nullptr);
}

TEST(DeleteChecked, AKeptEntryIsRefusedAsWrittenAndThroughALinkAndTheRestGoes) {
    TempDir t;
    make_tree(t.path(), {"real/app/node_modules/a/index.js", "real/web/node_modules/b/index.js",
                         "real/api/node_modules/c/index.js"});
    make_symlink(t / "real", t / "link");
    const auto before = snapshot(t / "real/app");
    const Safeguards guards{{t / "real/app", t / "link/api"}, false};
    const std::string via_link = t / "link/app/node_modules";
    const std::string api = t / "real/api/node_modules";
    const std::string web = t / "real/web/node_modules";
    const DeleteResult r = delete_checked({seen(via_link), seen(api), seen(web)}, guards);
    EXPECT_EQ(outcome(r, via_link), deletion_guard::kKept) << "kept by its real path";
    EXPECT_EQ(outcome(r, api), deletion_guard::kKept) << "kept through a link in the list";
    EXPECT_EQ(outcome(r, web), "deleted");
    EXPECT_EQ(snapshot(t / "real/app"), before);
    EXPECT_TRUE(exists_no_follow(t / "real/api/node_modules/c/index.js"));
    EXPECT_FALSE(exists_no_follow(web));
}

// --- The entry the scan saw ---

TEST(DeleteChecked, AnEntryReplacedOrSwappedForALinkSinceTheScanIsLeftWhole) {
    TempDir t;
    make_tree(t.path(), {"replaced/old.o", "swapped/x.o", "precious/thesis.tex", "same/y.o",
                         "unknown/z.o", "gone/"});
    const Target replaced = seen(t / "replaced");
    const Target swapped = seen(t / "swapped");
    const Target same = seen(t / "same");
    const Target gone = seen(t / "gone");
    // The replacement must not reuse the inode: make it before the old one goes.
    make_tree(t.path(), {"replacement/new-work.c"});
    std::filesystem::remove_all(t / "replaced");
    std::filesystem::rename(t / "replacement", t / "replaced");
    std::filesystem::remove_all(t / "swapped");
    make_symlink(t / "precious", t / "swapped");
    std::filesystem::remove(t / "gone");
    const Target unknown{t / "unknown", 0, 0};

    const DeleteResult r = delete_checked({replaced, swapped, same, unknown, gone}, {{}, false});
    EXPECT_EQ(outcome(r, t / "replaced"), deletion::kChanged);
    EXPECT_TRUE(exists_no_follow(t / "replaced/new-work.c"));
    EXPECT_EQ(outcome(r, t / "swapped"), deletion::kChanged);
    EXPECT_TRUE(exists_no_follow(t / "swapped")) << "the link is not removed either";
    EXPECT_TRUE(exists_no_follow(t / "precious/thesis.tex"));
    EXPECT_EQ(outcome(r, t / "same"), "deleted");
    EXPECT_EQ(outcome(r, t / "unknown"), "deleted") << "no identity recorded: nothing to compare";
    EXPECT_EQ(outcome(r, t / "gone"), "deleted") << "already gone is gone";
}

// --- The user's processes ---

TEST(DeleteChecked, AnEntryAProcessUsesIsRefusedWithTheProcessNamed) {
    TempDir t;
    make_tree(t.path(), {"cwd/node_modules/a/x.js", "open/build/log.txt", "exe/target/debug/",
                         "idle/node_modules/b/y.js"});
    const std::string program = t / "exe/target/debug/sleep";
    std::filesystem::copy_file("/bin/sleep", program);
    std::filesystem::permissions(program, std::filesystem::perms::owner_all);
    const std::string cwd = t / "cwd/node_modules";
    const std::string log = t / "open/build/log.txt";
    Sleeper in_folder("/bin/sleep", [&] { (void)!::chdir((cwd + "/a").c_str()); });
    Sleeper holding("/bin/sleep", [&] { ::open(log.c_str(), O_RDONLY); });
    Sleeper running(program, [] {});
    ASSERT_TRUE(in_folder.started() && holding.started() && running.started());

    const std::vector<Target> targets = {seen(cwd), seen(t / "open/build"), seen(t / "exe/target"),
                                         seen(t / "idle/node_modules")};
    const DeleteResult r = delete_checked(targets, {{}, true});
    const auto in_use_by = [](const Sleeper& s) {
        return std::string(deletion::kInUse) + " {sleep (" + std::to_string(s.pid()) + ")}";
    };
    EXPECT_EQ(outcome(r, cwd), in_use_by(in_folder));
    EXPECT_EQ(outcome(r, t / "open/build"), in_use_by(holding));
    EXPECT_EQ(outcome(r, t / "exe/target"), in_use_by(running));
    EXPECT_EQ(outcome(r, t / "idle/node_modules"), "deleted");
    EXPECT_TRUE(exists_no_follow(cwd + "/a/x.js"));
    EXPECT_TRUE(exists_no_follow(log));
    EXPECT_TRUE(exists_no_follow(program));
    EXPECT_EQ(r.failed_count, 3);
    EXPECT_EQ(r.error, deletion::kInUse);
}

// --- Free space ---

TEST(DeleteChecked, FreeSpaceIsReportedOncePerFilesystemDeletedOn) {
    TempDir t;
    make_tree(t.path(), {"a/", "b/", "kept/"});
    write_file(t / "a/blob", 1 << 20);
    write_file(t / "b/blob", 1 << 20);
    const DeleteResult nothing = delete_checked({seen(t / "kept")}, {{t / "kept"}, false});
    EXPECT_TRUE(nothing.space.empty()) << "nothing was deleted anywhere";

    const DeleteResult r = delete_checked({seen(t / "a"), seen(t / "b")}, {{}, false});
    ASSERT_EQ(r.deleted.size(), 2u);
    ASSERT_EQ(r.space.size(), 1u) << "both entries lie on one filesystem";
    const std::vector<mounts::Mount> table = mounts::read_current();
    const mounts::Mount* m = mounts::detail::lookup(table, t.path());
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(r.space[0].mount_point, m->point);
    EXPECT_GT(r.space[0].before, 0u);
    EXPECT_GT(r.space[0].after, 0u);
}

}  // namespace
