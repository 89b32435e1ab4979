// Permanent deletion in this process: the batch report, links never followed,
// hard links, special files never opened, odd names, trees too deep or too wide
// for naive code, outer folders re-opened through "..", the mount-table
// fallback, and a folder swapped for a link while the deletion runs. The cases
// that need another user or a mount namespace are in
// deletion_privileged_test.cpp.
#include "engine/deletion.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <future>
#include <thread>

#include "deletion_support.h"
#include "engine/deletion_guard.h"

namespace {

using deletion::delete_permanently;
using deletion::DeleteResult;
using deletion::detail::remove_entry;
using deletion::detail::RemoveLimits;
using testing_support::count_open_fds;
using testing_support::exists_no_follow;
using testing_support::make_symlink;
using testing_support::make_tree;
using testing_support::snapshot;
using testing_support::TempDir;
using testing_support::write_file;

using Strings = std::vector<std::string>;

constexpr const char* kSystem = deletion_guard::kProtectedSystemLocation;

// A protected path that does not exist: should the guard ever fail, a test
// run as root still destroys nothing.
const std::string kProtectedButAbsent = "/usr/brushwick-test-nonexistent";

// The report must account for every input exactly once.
void expect_consistent(const DeleteResult& r, std::size_t inputs) {
    EXPECT_EQ(r.deleted.size() + r.failed.size(), inputs);
    EXPECT_EQ(static_cast<std::size_t>(r.failed_count), r.failed.size());
    EXPECT_EQ(r.failed.size(), r.failed_reasons.size());
    EXPECT_EQ(r.error.empty(), r.failed.empty());
}

// remove_entry on dir/name with chosen limits, through a descriptor of dir.
bool remove_in(const std::string& dir, const std::string& name, const RemoveLimits& limits,
               const std::vector<mounts::Mount>& table = {}) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_GE(fd, 0) << dir;
    const bool gone = remove_entry(fd, name, table, limits);
    ::close(fd);
    return gone;
}

// --- The batch report ---

TEST(DeleteBatch, EmptyListReportsNothing) {
    const DeleteResult r = delete_permanently({});
    EXPECT_TRUE(r.deleted.empty());
    EXPECT_TRUE(r.failed.empty());
    EXPECT_TRUE(r.failed_reasons.empty());
    EXPECT_EQ(r.failed_count, 0);
    EXPECT_EQ(r.error, "");
}

TEST(DeleteBatch, FailuresDoNotStopTheBatchAndBothListsKeepInputOrder) {
    TempDir t;
    make_tree(t.path(), {"a/x/y.txt", "a/z", "b", "c/"});
    const Strings input = {t / "a", kProtectedButAbsent, t / "no-such-parent/x", t / "b", "",
                           t / "c/"};
    const DeleteResult r = delete_permanently(input);
    expect_consistent(r, input.size());
    EXPECT_EQ(r.deleted, (Strings{t / "a", t / "b", t / "c/"}));
    EXPECT_EQ(r.failed, (Strings{kProtectedButAbsent, t / "no-such-parent/x", ""}));
    EXPECT_EQ(r.failed_reasons, (Strings{kSystem, deletion::kNoAccess, kSystem}));
    EXPECT_EQ(r.error, kSystem);
    for (const char* gone : {"a", "b", "c"})
        EXPECT_FALSE(exists_no_follow(t / gone)) << gone;
}

TEST(DeleteBatch, TheFirstFailureIsTheErrorWhateverItsKind) {
    TempDir t;
    const DeleteResult r = delete_permanently({t / "missing/x", kProtectedButAbsent});
    EXPECT_EQ(r.error, deletion::kNoAccess);
    EXPECT_EQ(r.failed_reasons, (Strings{deletion::kNoAccess, kSystem}));
}

TEST(DeleteBatch, APathAlreadyGoneCountsAsDeletedWhileItsParentExists) {
    TempDir t;
    const DeleteResult r = delete_permanently({t / "vanished", t / "vanished-dir/"});
    EXPECT_EQ(r.deleted, (Strings{t / "vanished", t / "vanished-dir/"}));
    EXPECT_EQ(r.failed_count, 0);
}

TEST(DeleteBatch, DotAndDotDotNeverReachTheFolderTheyName) {
    TempDir t;
    make_tree(t.path(), {"p/a/file", "p/a/sub/g", "p/sibling"});
    const auto before = snapshot(t.path());
    const Strings input = {t / "p/a/.", t / "p/a/..", t / "p/a/../a", t / "p/a/./sub"};
    const DeleteResult r = delete_permanently(input);
    EXPECT_TRUE(r.deleted.empty());
    EXPECT_EQ(r.failed, input);
    EXPECT_EQ(r.failed_reasons, Strings(input.size(), kSystem));
    EXPECT_EQ(snapshot(t.path()), before);

    // The tree removal refuses such names on its own as well.
    for (const char* name : {".", "..", "", "a/file"})
        EXPECT_FALSE(remove_in(t / "p", name, {})) << name;
    EXPECT_EQ(snapshot(t.path()), before);
}

TEST(DeleteBatch, DoubledAndTrailingSlashesNameTheSameEntryAndAreReportedAsGiven) {
    TempDir t;
    make_tree(t.path(), {"a/f", "b/f"});
    const Strings input = {t.path() + "//a/", t.path() + "/b//"};
    const DeleteResult r = delete_permanently(input);
    EXPECT_EQ(r.deleted, input);
    EXPECT_FALSE(exists_no_follow(t / "a"));
    EXPECT_FALSE(exists_no_follow(t / "b"));
}

// --- Links ---

TEST(DeleteLinks, ALinkToAFolderOutsideIsRemovedAndItsTargetSurvives) {
    TempDir t;
    make_tree(t.path(), {"outside/f", "outside/sub/g", "e/file"});
    make_symlink(t / "outside", t / "e/link");
    make_symlink(t / "outside", t / "selected-link");
    const auto outside = snapshot(t / "outside");
    const DeleteResult r = delete_permanently({t / "e", t / "selected-link"});
    EXPECT_EQ(r.deleted, (Strings{t / "e", t / "selected-link"}));
    EXPECT_FALSE(exists_no_follow(t / "e"));
    EXPECT_FALSE(exists_no_follow(t / "selected-link"));
    EXPECT_EQ(snapshot(t / "outside"), outside);
    EXPECT_EQ(outside.size(), 3u);
}

TEST(ScratchChild, DISABLED_LinksToSelfParentRootLoopAndNothing) {
    // Inside the jail "/" is the scratch tmpfs: /system stands for the
    // machine's files that a link to "/" would reach.
    const std::string root = testing_support::scratch_dir();
    ASSERT_EQ(root, "/");
    make_tree("/", {"system/etc/passwd", "system/usr/bin/sh", "t/keep/f", "t/keep/sub/g",
                    "t/e/sub/y", "t/e/file"});
    make_symlink(".", "/t/e/a");
    make_symlink("..", "/t/e/b");
    make_symlink("c", "/t/e/c");
    make_symlink("/", "/t/e/d");
    make_symlink("/nothing-here", "/t/e/dangling");
    make_symlink("../..", "/t/e/sub/x");
    make_symlink("/t/keep", "/t/e/sub/keep");
    const auto system = snapshot("/system");
    auto expected = snapshot("/t");
    const DeleteResult r = delete_permanently({"/t/e"});
    EXPECT_EQ(r.deleted, (Strings{"/t/e"}));
    EXPECT_FALSE(exists_no_follow("/t/e"));
    std::erase_if(expected, [](const auto& kv) { return kv.first.rfind("/e", 0) == 0; });
    EXPECT_EQ(snapshot("/t"), expected);
    EXPECT_EQ(expected.size(), 4u);
    EXPECT_EQ(snapshot("/system"), system);
    EXPECT_EQ(system.size(), 5u);
}

TEST(DeleteLinks, SelfParentRootLoopAndDanglingLinksInsideAreRemovedNotFollowed) {
    // A link to "/" is only built inside a jail: as root, a deletion that
    // followed it would take the machine with it.
    SKIP_UNLESS_MACHINE_CAN(testing_support::can_unshare_mounts(),
                            "build a chroot jail for a link to \"/\" (needs root and unshare)");
    std::string log;
    EXPECT_TRUE(testing_support::run_in_scratch_jail(
        "ScratchChild.DISABLED_LinksToSelfParentRootLoopAndNothing", &log))
        << log;
}

// Deletes the paths of BRUSHWICK_DELETE_PATHS and prints the result; run only
// through run_deletion_in_child.
TEST(DeleteChild, DISABLED_DeletePaths) {
    testing_support::delete_env_paths_and_print();
}

TEST(DeleteLinks, ASelectedLinkToDocumentsRemovesOnlyTheLink) {
    // In a child whose home is a fake one, so the guard knows its Documents.
    TempDir t;
    make_tree(t.path(), {"home/Documents/report.txt", "home/projects/"});
    write_file(t / "home/Documents/report.txt", 100, 'r');
    make_symlink(t / "home/Documents", t / "home/projects/docs-link");
    make_symlink(t / "home/Documents", t / "home/Documents-link");
    const auto documents = snapshot(t / "home/Documents");
    std::string log;
    const auto r = testing_support::run_deletion_in_child(
        {}, testing_support::this_binary(), "DeleteChild.DISABLED_DeletePaths",
        {t / "home/projects/docs-link", t / "home/Documents-link", t / "home/Documents"},
        {{"HOME", t / "home"}, {"SNAP", std::nullopt}, {"SNAP_REAL_HOME", std::nullopt}}, &log);
    ASSERT_TRUE(r) << log;
    EXPECT_EQ(r->deleted, (Strings{t / "home/projects/docs-link", t / "home/Documents-link"}));
    EXPECT_EQ(r->failed, (Strings{t / "home/Documents"}));
    EXPECT_EQ(r->failed_reasons, (Strings{kSystem}));
    EXPECT_EQ(snapshot(t / "home/Documents"), documents);
}

TEST(DeleteLinks, AHardLinkInsideLeavesTheOutsideFileIntact) {
    TempDir t;
    make_tree(t.path(), {"e/sub/"});
    std::ofstream(t / "precious.txt") << "do not lose me";
    ASSERT_EQ(::link((t / "precious.txt").c_str(), (t / "e/sub/hard").c_str()), 0);
    const DeleteResult r = delete_permanently({t / "e"});
    EXPECT_EQ(r.deleted, (Strings{t / "e"}));
    EXPECT_EQ(testing_support::read_file(t / "precious.txt"), "do not lose me");
    struct stat st {};
    ASSERT_EQ(::stat((t / "precious.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_nlink, 1u);
}

// --- Special files ---

TEST(DeleteSpecialFiles, FifosSocketsAndDevicesAreUnlinkedWithoutBeingOpened) {
    TempDir t;
    make_tree(t.path(), {"e/sub/", "e/regular"});
    ASSERT_EQ(::mkfifo((t / "e/fifo").c_str(), 0644), 0);
    ASSERT_EQ(::mkfifo((t / "e/sub/fifo").c_str(), 0644), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sock_path = t / "e/socket";
    ASSERT_LT(sock_path.size(), sizeof addr.sun_path);
    std::memcpy(addr.sun_path, sock_path.c_str(), sock_path.size() + 1);
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    ::close(sock);
    // The same device as /dev/null: opening it would succeed and be seen.
    const bool have_device = ::mknod((t / "e/chardev").c_str(), S_IFCHR | 0644, makedev(1, 3)) == 0;

    const int watch = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ASSERT_GE(watch, 0);
    ASSERT_GE(::inotify_add_watch(watch, (t / "e").c_str(), IN_OPEN), 0);
    ASSERT_GE(::inotify_add_watch(watch, (t / "e/sub").c_str(), IN_OPEN), 0);

    std::promise<DeleteResult> done;
    std::future<DeleteResult> result = done.get_future();
    std::thread worker([&] { done.set_value(delete_permanently({t / "e"})); });
    if (result.wait_for(std::chrono::seconds(30)) != std::future_status::ready) {
        ADD_FAILURE() << "the deletion hangs on a FIFO";
        // Give a blocked reader its writer so the thread can end.
        for (const char* f : {"e/fifo", "e/sub/fifo"}) {
            const int w = ::open((t / f).c_str(), O_WRONLY | O_NONBLOCK);
            if (w >= 0)
                ::close(w);
        }
    }
    worker.join();
    const DeleteResult r = result.get();
    EXPECT_EQ(r.deleted, (Strings{t / "e"}));
    EXPECT_FALSE(exists_no_follow(t / "e"));

    Strings opened;
    alignas(inotify_event) char buf[8192];
    ssize_t n;
    while ((n = ::read(watch, buf, sizeof buf)) > 0) {
        for (char* p = buf; p < buf + n;) {
            const auto* ev = reinterpret_cast<const inotify_event*>(p);
            if ((ev->mask & IN_OPEN) != 0 && (ev->mask & IN_ISDIR) == 0 && ev->len > 0)
                opened.push_back(ev->name);
            p += sizeof(inotify_event) + ev->len;
        }
    }
    ::close(watch);
    EXPECT_TRUE(opened.empty()) << "opened: " << ::testing::PrintToString(opened);
    SKIP_UNLESS_MACHINE_CAN(have_device, "create a device node (mknod needs CAP_MKNOD)");
}

// --- Names ---

TEST(DeleteNames, OddNamesRemoveExactlyTheSelectedEntryAndNotItsNearTwin) {
    const std::string long_a(254, 'a');
    const struct {
        std::string selected;
        std::string twin;  // differs by one byte
    } names[] = {
        {"new\nline", "new\nlinf"},
        {"-rf", "-rg"},
        {"--", "-."},
        {"quote\"d'", "quote\"d("},
        {"back\\slash", "back\\slasi"},
        {"space ", "space!"},
        {long_a + "b", long_a + "c"},
        {"bad\xff\xfe", "bad\xff\xfd"},
        {"\xc3\x28", "\xc3\x29"},
        {"*", "+"},
    };
    TempDir t;
    Strings input;
    for (const auto& n : names) {
        for (const std::string& name : {n.selected, n.twin}) {
            testing_support::make_dirs(t.path(), name);
            write_file(t / (name + "/content"), 10);
        }
        input.push_back(t / n.selected);
    }
    const DeleteResult r = delete_permanently(input);
    EXPECT_EQ(r.deleted, input);
    EXPECT_EQ(r.failed_count, 0) << ::testing::PrintToString(r.failed);
    for (const auto& n : names) {
        EXPECT_FALSE(exists_no_follow(t / n.selected)) << n.selected;
        EXPECT_TRUE(exists_no_follow(t / (n.twin + "/content"))) << n.twin;
    }
}

// --- Depth and width ---

// The bodies of the large cases; each runs in a child on a scratch tmpfs.
TEST(ScratchChild, DISABLED_HundredThousandLevelChain) {
    const std::string root = testing_support::scratch_dir();
    testing_support::make_chain(root, "chain", 100000);
    const int fds = count_open_fds();
    const DeleteResult r = delete_permanently({root + "/chain"});
    EXPECT_EQ(count_open_fds(), fds);
    EXPECT_EQ(r.deleted, (Strings{root + "/chain"}));
    EXPECT_FALSE(exists_no_follow(root + "/chain"));
}

TEST(ScratchChild, DISABLED_TwoHundredThousandEntries) {
    const std::string root = testing_support::scratch_dir();
    testing_support::make_dirs(root, "wide");
    testing_support::make_wide(root + "/wide", 200000);
    const int fds = count_open_fds();
    const DeleteResult r = delete_permanently({root + "/wide"});
    EXPECT_EQ(count_open_fds(), fds);
    EXPECT_EQ(r.deleted, (Strings{root + "/wide"}));
    EXPECT_FALSE(exists_no_follow(root + "/wide"));
}

TEST(DeleteLargeTrees, AHundredThousandLevelChainIsRemovedWithoutLeakingDescriptors) {
    std::string log;
    EXPECT_TRUE(
        testing_support::run_on_scratch("ScratchChild.DISABLED_HundredThousandLevelChain", &log))
        << log;
}

TEST(DeleteLargeTrees, TwoHundredThousandEntriesInOneFolderAreRemoved) {
    std::string log;
    EXPECT_TRUE(
        testing_support::run_on_scratch("ScratchChild.DISABLED_TwoHundredThousandEntries", &log))
        << log;
}

// The lowest descriptor limit that leaves exactly `spare` numbers free.
rlim_t limit_leaving(int spare) {
    int free_below = 0;
    int fd = 0;
    for (; free_below < spare; ++fd) {
        if (::fcntl(fd, F_GETFD) < 0)
            ++free_below;
    }
    return static_cast<rlim_t>(fd);
}

// Removes a 300-level chain with only BRUSHWICK_SPARE_FDS descriptors left to
// open, and prints the outcome; run only through run_test_in_child.
TEST(DeleteChild, DISABLED_RemoveChainWithFewDescriptors) {
    TempDir t;
    testing_support::make_chain(t.path(), "chain", 300);
    // Once through everything but the walk, while descriptors are plenty:
    // the process-wide tables get read, and the sanitizers' first type checks
    // (which need a pipe) are done.
    ASSERT_EQ(delete_permanently({t / "not-there"}).deleted.size(), 1u);
    const int fds = count_open_fds();
    rlimit original{};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &original), 0);
    rlimit scarce = original;
    scarce.rlim_cur = limit_leaving(std::atoi(std::getenv("BRUSHWICK_SPARE_FDS")));
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &scarce), 0);
    const DeleteResult r = delete_permanently({t / "chain"});
    // Counting, and removing what is left of the chain, need descriptors.
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &original), 0);
    std::cout << "outcome deleted=" << r.deleted.size()
              << " reason=" << (r.failed_reasons.empty() ? "-" : r.failed_reasons[0])
              << " leaked=" << count_open_fds() - fds << "\n";
}

std::string chain_outcome(int spare_fds) {
    const auto c =
        testing_support::run_test_in_child("DeleteChild.DISABLED_RemoveChainWithFewDescriptors",
                                           {{"BRUSHWICK_SPARE_FDS", std::to_string(spare_fds)}});
    EXPECT_EQ(c.exit_code, 0) << c.out;
    const std::size_t at = c.out.find("outcome ");
    return at == std::string::npos ? c.out : c.out.substr(at, c.out.find('\n', at) - at);
}

TEST(DeleteLargeTrees, ScarceDescriptorsStillFinishOrFailCleanly) {
    // The folder holding the entry and two more are enough for any depth.
    EXPECT_EQ(chain_outcome(3), "outcome deleted=1 reason=- leaked=0");
    // With only the parent's descriptor, the entry cannot be opened at all.
    EXPECT_EQ(chain_outcome(1), "outcome deleted=0 reason=The item could not be moved leaked=0");
}

// --- Outer folders closed for depth ---

TEST(DeleteWalk, OuterFoldersClosedForDepthAreReopenedAndTheWholeTreeRemoved) {
    Strings tree;
    std::string level;
    for (int depth = 0; depth < 12; ++depth) {
        level += "l" + std::to_string(depth) + "/";
        for (const char* leaf : {"a", "b/c", "d/e/f"})
            tree.push_back("e/" + level + leaf);
    }
    for (std::size_t window : {1u, 2u, 3u, 64u}) {
        SCOPED_TRACE(window);
        TempDir t;
        make_tree(t.path(), tree);
        make_symlink(t.path(), t / "e/l0/l1/up");
        const int fds = count_open_fds();
        EXPECT_TRUE(remove_in(t.path(), "e", {window, true, {}}));
        EXPECT_EQ(count_open_fds(), fds);
        EXPECT_FALSE(exists_no_follow(t / "e"));
    }
}

TEST(DeleteWalk, MountTableAloneKeepsTheWalkOutOfListedMountPoints) {
    // Folders listed as mount points are never entered, whatever the kernel
    // says about them; with several of them under one folder and outer
    // folders closed for depth, each is skipped once and the walk ends.
    for (bool kernel_checks : {false, true}) {
        for (std::size_t window : {1u, 64u}) {
            SCOPED_TRACE(std::to_string(window) + (kernel_checks ? " kernel" : " table"));
            TempDir t;
            std::vector<mounts::Mount> table;
            Strings tree = {"e/top-file"};
            for (int i = 0; i < 4; ++i) {
                const std::string branch = "e/c" + std::to_string(i) + "/d1/d2/d3";
                tree.push_back(branch + "/mnt/data");
                tree.push_back(branch + "/sibling");
                table.push_back({t / (branch + "/mnt"), "ext4", "/dev/sdz", false});
            }
            make_tree(t.path(), tree);
            EXPECT_FALSE(remove_in(t.path(), "e", {window, kernel_checks, {}}, table));
            EXPECT_FALSE(exists_no_follow(t / "e/top-file"));
            for (int i = 0; i < 4; ++i) {
                const std::string branch = t / ("e/c" + std::to_string(i) + "/d1/d2/d3");
                EXPECT_TRUE(exists_no_follow(branch + "/mnt/data")) << branch;
                EXPECT_FALSE(exists_no_follow(branch + "/sibling")) << branch;
            }
        }
    }
}

TEST(DeleteWalk, AFolderMovedAwayMidDeletionIsNotFollowedAndTheRestIsStillRemoved) {
    // While the deletion is inside e/a/b/c (one descriptor: every outer
    // folder closed), b is moved into the canary. Going back up, ".." of b
    // leads into the canary, not to a: the walk must not follow it, and must
    // still reach a and e from the top to remove what is left of the entry.
    TempDir t;
    make_tree(t.path(), {"canary/keep", "canary/inner/file", "e/a/b/c/x/f", "e/a/sib", "e/zz",
                         "e/a/z/deep/f"});
    int moved = -1;
    RemoveLimits limits{1, true, {}};
    limits.before_open = [&](int, const std::string& name) {
        if (name == "x" && moved < 0)
            moved = ::rename((t / "e/a/b").c_str(), (t / "canary/moved").c_str());
    };
    const bool gone = remove_in(t.path(), "e", limits);
    ASSERT_EQ(moved, 0) << "the move did not happen";
    EXPECT_TRUE(gone);
    EXPECT_FALSE(exists_no_follow(t / "e"));
    EXPECT_TRUE(exists_no_follow(t / "canary/keep"));
    EXPECT_TRUE(exists_no_follow(t / "canary/inner/file"));
    EXPECT_TRUE(exists_no_follow(t / "canary/moved"));
}

TEST(DeleteWalk, AFolderSwappedForALinkToItselfElsewhereIsNotEntered) {
    // Between the look at e/d and its open, d moves into the canary and a
    // link to it takes its name: the same folder, so only refusing to follow
    // the link at the open (O_NOFOLLOW) keeps the canary's copy whole.
    TempDir t;
    make_tree(t.path(), {"canary/", "e/d/keep1", "e/d/sub/keep2", "e/f"});
    int swapped = -1;
    RemoveLimits limits;
    limits.before_open = [&](int dirfd, const std::string& name) {
        if (name != "d" || swapped >= 0)
            return;
        swapped = ::renameat(dirfd, "d", AT_FDCWD, (t / "canary/d").c_str()) == 0 &&
                          ::symlinkat((t / "canary/d").c_str(), dirfd, "d") == 0
                      ? 0
                      : 1;
    };
    EXPECT_TRUE(remove_in(t.path(), "e", limits));
    ASSERT_EQ(swapped, 0) << "the swap did not happen";
    EXPECT_FALSE(exists_no_follow(t / "e"));
    EXPECT_EQ(snapshot(t / "canary/d"),
              (std::map<std::string, std::string>{
                  {"/keep1", "file:"}, {"/sub", "dir"}, {"/sub/keep2", "file:"}}));
}

// --- Races ---

TEST(ScratchChild, DISABLED_SwapRace) {
    // A helper thread keeps exchanging sub-folders of the entry with links to
    // a canary while the deletion runs, round after round for a few seconds;
    // the canary must come out unchanged. Each round is small, so that many
    // rounds give the swap many chances to land between a look and an open.
    testing_support::scratch_dir();
    TempDir t;
    make_tree(t.path(), {"canary/keep", "canary/inner/file", "canary/inner/deeper/x"});
    const auto canary = snapshot(t / "canary");
    constexpr int kPairs = 8;
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    int rounds = 0;
    while (rounds < 4 || std::chrono::steady_clock::now() < until) {
        TempDir round;
        Strings tree;
        for (int i = 0; i < kPairs; ++i)
            tree.push_back("e/x/sub" + std::to_string(i) + "/n/f");
        make_tree(round.path(), tree);
        Strings subs, links;
        for (int i = 0; i < kPairs; ++i) {
            subs.push_back(round / ("e/x/sub" + std::to_string(i)));
            links.push_back(round / ("e/x/lnk" + std::to_string(i)));
            make_symlink(t / "canary", links.back());
        }
        std::atomic<bool> stop{false};
        std::thread swapper([&] {
            while (!stop.load()) {
                for (int i = 0; i < kPairs; ++i) {
                    // Failures are expected once the deletion removed one side.
                    ::renameat2(AT_FDCWD, subs[i].c_str(), AT_FDCWD, links[i].c_str(),
                                RENAME_EXCHANGE);
                }
            }
        });
        if (rounds % 2 == 0) {
            const DeleteResult r = delete_permanently({round / "e"});
            expect_consistent(r, 1);
        } else {
            remove_in(round.path(), "e", {1, true, {}}, mounts::read_current());
        }
        stop = true;
        swapper.join();
        ASSERT_EQ(snapshot(t / "canary"), canary) << "round " << rounds;
        ++rounds;
    }
    std::cout << "rounds " << rounds << "\n";
}

TEST(DeleteRaces, SwappingSubfoldersForLinksToACanaryNeverReachesTheCanary) {
    std::string log;
    EXPECT_TRUE(testing_support::run_on_scratch("ScratchChild.DISABLED_SwapRace", &log)) << log;
}

}  // namespace
