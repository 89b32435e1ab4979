// Tests for finding the processes that hold something inside an entry: real
// processes started here with their working folder, an open file or their
// own executable inside a fake entry, and ones that must not count.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <functional>

#include "deletion_support.h"
#include "engine/in_use.h"
#include "test_support.h"

using namespace testing_support;

namespace {

const std::string kSleep = "/bin/sleep";

class InUseTest : public ::testing::Test {
protected:
    void SetUp() override {
        make_tree(tmp.path(), {"entry/sub/", "entry/data.bin", "entry2/", "elsewhere/"});
    }

    // The answer for one path, or nothing.
    std::optional<in_use::User> user_of(const std::string& path) {
        return in_use::find_users({path}).at(0);
    }

    TempDir tmp;
};

}  // namespace

// --- Real processes ---

TEST_F(InUseTest, AWorkingFolderInsideTheEntryMarksItInUse) {
    const std::string sub = tmp / "entry/sub";
    Sleeper p(kSleep, [&] { (void)!::chdir(sub.c_str()); });
    ASSERT_TRUE(p.started());
    const auto user = user_of(tmp / "entry");
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->pid, p.pid());
    EXPECT_EQ(user->name, "sleep");
    EXPECT_FALSE(user_of(tmp / "entry2").has_value());
}

TEST_F(InUseTest, AFileHeldOpenMarksItsEntryInUse) {
    const std::string file = tmp / "entry/data.bin";
    Sleeper p(kSleep, [&] {
        // Not close-on-exec: the sleeping program keeps it open.
        (void)::open(file.c_str(), O_RDONLY);
        (void)!::chdir("/");
    });
    ASSERT_TRUE(p.started());
    const auto user = user_of(tmp / "entry");
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->pid, p.pid());
}

TEST_F(InUseTest, AProgramRunFromInsideTheEntryMarksItInUse) {
    const std::string copy = tmp / "entry/sub/sleep";
    std::filesystem::copy_file(kSleep, copy);
    std::filesystem::permissions(copy, std::filesystem::perms::owner_all);
    Sleeper p(copy, [] { (void)!::chdir("/"); });
    ASSERT_TRUE(p.started());
    const auto user = user_of(tmp / "entry");
    ASSERT_TRUE(user.has_value());
    EXPECT_EQ(user->pid, p.pid());
}

TEST_F(InUseTest, AFolderWhoseNameOnlyStartsLikeTheEntryIsNotInside) {
    make_dirs(tmp.path(), "entry-old");
    const std::string busy = tmp / "entry-old";
    Sleeper p(kSleep, [&] { (void)!::chdir(busy.c_str()); });
    ASSERT_TRUE(p.started());
    EXPECT_FALSE(user_of(tmp / "entry").has_value());
    EXPECT_TRUE(user_of(tmp / "entry-old").has_value());
}

TEST_F(InUseTest, AnEntryReachedThroughALinkIsMatchedByItsRealPath) {
    make_symlink(tmp / "entry", tmp / "link");
    const std::string sub = tmp / "entry/sub";
    Sleeper p(kSleep, [&] { (void)!::chdir(sub.c_str()); });
    ASSERT_TRUE(p.started());
    EXPECT_TRUE(user_of(tmp / "link").has_value());
}

TEST_F(InUseTest, EachPathGetsItsOwnAnswerAtItsIndex) {
    const std::string sub = tmp / "entry/sub";
    Sleeper p(kSleep, [&] { (void)!::chdir(sub.c_str()); });
    ASSERT_TRUE(p.started());
    const auto users =
        in_use::find_users({tmp / "elsewhere", tmp / "entry", tmp / "entry2", tmp / "nothing"});
    ASSERT_EQ(users.size(), 4u);
    EXPECT_FALSE(users[0]);
    ASSERT_TRUE(users[1]);
    EXPECT_EQ(users[1]->pid, p.pid());
    EXPECT_FALSE(users[2]);
    EXPECT_FALSE(users[3]);
}

TEST_F(InUseTest, AnotherUsersProcessDoesNotCount) {
    SKIP_UNLESS_MACHINE_CAN(::geteuid() == 0, "start a process as another user");
    chown_tree(tmp.path(), kDroppedUid, kDroppedGid);
    ::chmod(tmp.path().c_str(), 0755);
    const std::string sub = tmp / "entry/sub";
    Sleeper p(kSleep, [&] {
        (void)!::chdir(sub.c_str());
        if (::setgid(kDroppedGid) != 0 || ::setuid(kDroppedUid) != 0)
            ::_exit(126);
    });
    ASSERT_TRUE(p.started());
    EXPECT_FALSE(user_of(tmp / "entry").has_value());
}

TEST_F(InUseTest, TheCallingProcessItselfIsNeverReported) {
    const int fd = ::open((tmp / "entry/data.bin").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_FALSE(user_of(tmp / "entry").has_value());
    ::close(fd);
}

// --- Reading /proc ---

TEST(InUseMaps, OnlyFileBackedMappingsNameAPath) {
    const struct {
        const char* line;
        const char* path;
    } cases[] = {
        {"7f1c0a000000-7f1c0a021000 r--p 00000000 08:01 1311 /usr/lib/libc.so.6",
         "/usr/lib/libc.so.6"},
        {"7f1c0a000000-7f1c0a021000 r-xp 00000000 00:2a 77   /home/u/my dir/lib.so",
         "/home/u/my dir/lib.so"},
        {"7f1c0a000000-7f1c0a021000 rw-p 00000000 00:01 9 /memfd:x (deleted)",
         "/memfd:x (deleted)"},
        {"55d0e0a00000-55d0e0a21000 rw-p 00000000 00:00 0          [heap]", ""},
        {"7ffd1c000000-7ffd1c021000 rw-p 00000000 00:00 0 ", ""},
        {"7ffd1c000000-7ffd1c021000 rw-p 00000000 00:00 0", ""},
        {"garbage", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(in_use::detail::mapped_path(c.line), c.path) << c.line;
}

TEST(InUseMaps, AFileDeletedWhileHeldStillNamesItsOldPath) {
    TempDir tmp;
    write_file(tmp / "gone.bin", 10);
    const int fd = ::open((tmp / "gone.bin").c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ::unlink((tmp / "gone.bin").c_str());
    const std::vector<std::string> held = in_use::detail::held_paths(::getpid());
    ::close(fd);
    EXPECT_NE(std::find(held.begin(), held.end(), tmp / "gone.bin"), held.end());
}
