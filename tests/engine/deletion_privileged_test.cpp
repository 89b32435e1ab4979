// Permanent deletion where root would see too much or change too much: the
// permission cases run in a child that has dropped to an unprivileged user (as
// root every permission bit is ignored), and the mount cases run in a child in
// a private mount namespace, so a failing case leaves no mount behind. Where
// the machine cannot do either, the cases skip, or fail when
// BRUSHWICK_REQUIRE_PRIVILEGED_TESTS=1.
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <optional>

#include "deletion_support.h"
#include "engine/deletion.h"
#include "engine/deletion_guard.h"

namespace {

using deletion::DeleteResult;
using testing_support::exists_no_follow;
using testing_support::make_tree;
using testing_support::snapshot;
using testing_support::TempDir;

using Strings = std::vector<std::string>;

// --- Bodies run in children ---

// Deletes the paths of BRUSHWICK_DELETE_PATHS and prints the result.
TEST(PrivilegedChild, DISABLED_DeletePaths) {
    testing_support::delete_env_paths_and_print();
}

std::string test_root() {
    const char* root = std::getenv("BRUSHWICK_TEST_ROOT");
    return root != nullptr ? root : "";
}

void mount_or_fail(const std::string& source, const std::string& target, const char* type,
                   unsigned long flags) {
    ASSERT_EQ(::mount(source.c_str(), target.c_str(), type, flags, nullptr), 0)
        << "mount " << target << ": " << std::strerror(errno);
}

bool remove_in(const std::string& dir, const std::string& name,
               const std::vector<mounts::Mount>& table, bool kernel_checks) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    EXPECT_GE(fd, 0) << dir;
    const bool gone = deletion::detail::remove_entry(fd, name, table, {64, kernel_checks, {}});
    ::close(fd);
    return gone;
}

TEST(MountChild, DISABLED_BindAndTmpfsInsideTheEntryKeepTheirData) {
    const std::string t = test_root();
    ASSERT_FALSE(t.empty());
    mount_or_fail(t + "/outside", t + "/e/bind", nullptr, MS_BIND);
    mount_or_fail("tmpfs", t + "/e/deep/er/tmp", "tmpfs", 0);
    std::ofstream(t + "/e/deep/er/tmp/data") << "tmpfs data";

    const DeleteResult r = deletion::delete_permanently({t + "/e"});
    EXPECT_TRUE(r.deleted.empty());
    EXPECT_EQ(r.failed, (Strings{t + "/e"}));
    EXPECT_EQ(r.failed_reasons, (Strings{deletion::kCouldNotBeMoved}));
    EXPECT_EQ(testing_support::read_file(t + "/e/deep/er/tmp/data"), "tmpfs data");
    EXPECT_TRUE(exists_no_follow(t + "/e/bind/f"));
    // Removed as far as possible: everything that is not on the way to a
    // mount point.
    EXPECT_FALSE(exists_no_follow(t + "/e/keep"));
    EXPECT_FALSE(exists_no_follow(t + "/e/deep/er/file"));
    EXPECT_FALSE(exists_no_follow(t + "/e/side"));
}

TEST(MountChild, DISABLED_MountsMadeAfterTheTableWasReadAreSeenByTheKernelChecks) {
    const std::string t = test_root();
    ASSERT_FALSE(t.empty());
    // Fix the process-wide table and rules before anything is mounted.
    ASSERT_FALSE(mounts::all().empty());
    ASSERT_FALSE(deletion_guard::is_protected(t + "/late"));
    mount_or_fail(t + "/outside", t + "/late/bind", nullptr, MS_BIND);
    mount_or_fail("tmpfs", t + "/late/tmp", "tmpfs", 0);
    std::ofstream(t + "/late/tmp/data") << "tmpfs data";
    const auto outside = snapshot(t + "/outside");

    // Kernel checks alone (the table knows nothing).
    EXPECT_FALSE(remove_in(t, "late", {}, true));
    // The current table alone, as on kernels without mount ids.
    EXPECT_FALSE(remove_in(t, "late", mounts::read_current(), false));
    // And the whole deletion, whose guard still has the old table.
    const DeleteResult r = deletion::delete_permanently({t + "/late"});
    EXPECT_EQ(r.failed_reasons, (Strings{deletion::kCouldNotBeMoved}));

    EXPECT_EQ(testing_support::read_file(t + "/late/tmp/data"), "tmpfs data");
    EXPECT_EQ(snapshot(t + "/late/bind"), outside);
    EXPECT_FALSE(exists_no_follow(t + "/late/file"));
}

TEST(MountChild, DISABLED_AnEntryThatIsItselfAMountPointIsRefused) {
    const std::string t = test_root();
    ASSERT_FALSE(t.empty());
    mount_or_fail("tmpfs", t + "/m", "tmpfs", 0);
    std::ofstream(t + "/m/data") << "tmpfs data";
    mount_or_fail(t + "/outside", t + "/b", nullptr, MS_BIND);

    const DeleteResult r = deletion::delete_permanently({t + "/m", t + "/b"});
    EXPECT_EQ(r.failed, (Strings{t + "/m", t + "/b"}));
    EXPECT_EQ(r.failed_reasons, (Strings{deletion_guard::kProtectedSystemLocation,
                                         deletion_guard::kProtectedSystemLocation}));
    // The tree removal refuses it too, without the guard.
    EXPECT_FALSE(remove_in(t, "m", {}, true));
    EXPECT_FALSE(remove_in(t, "b", {}, true));
    EXPECT_EQ(testing_support::read_file(t + "/m/data"), "tmpfs data");
    EXPECT_TRUE(exists_no_follow(t + "/b/f"));
}

// --- Mount namespace ---

class DeleteInMountNamespace : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_UNLESS_MACHINE_CAN(testing_support::can_unshare_mounts(),
                                "enter a private mount namespace (needs root and unshare)");
        make_tree(m_t.path(), {"outside/f", "outside/sub/g", "home/"});
    }

    // Runs the child case, then checks that the bind source is untouched and
    // that no mount outlived the child.
    void run_child(const std::string& test_name) {
        const auto outside = snapshot(m_t / "outside");
        std::string log;
        EXPECT_TRUE(testing_support::run_test_passes(
            {testing_support::find_program("unshare"), "-m", "--propagation", "private"},
            testing_support::this_binary(), test_name,
            {{"BRUSHWICK_TEST_ROOT", m_t.path()}, {"HOME", m_t / "home"}}, &log))
            << log;
        EXPECT_EQ(snapshot(m_t / "outside"), outside);
        for (const mounts::Mount& m : mounts::read_current())
            EXPECT_NE(m.point.rfind(m_t.path(), 0), 0u) << "left mounted: " << m.point;
    }

    TempDir m_t;
};

TEST_F(DeleteInMountNamespace, BindMountAndTmpfsInsideTheEntryKeepTheirDataAndTheEntryFails) {
    make_tree(m_t.path(), {"e/keep", "e/side/x", "e/bind/", "e/deep/er/file", "e/deep/er/tmp/"});
    run_child("MountChild.DISABLED_BindAndTmpfsInsideTheEntryKeepTheirData");
}

TEST_F(DeleteInMountNamespace, MountsMadeAfterStartUpAreNotEnteredEither) {
    make_tree(m_t.path(), {"late/file", "late/bind/", "late/tmp/"});
    run_child("MountChild.DISABLED_MountsMadeAfterTheTableWasReadAreSeenByTheKernelChecks");
}

TEST_F(DeleteInMountNamespace, AnEntryThatIsAMountPointIsRefused) {
    make_tree(m_t.path(), {"m/", "b/"});
    run_child("MountChild.DISABLED_AnEntryThatIsItselfAMountPointIsRefused");
}

// --- As an unprivileged user ---

class DeleteAsDroppedUser : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_UNLESS_MACHINE_CAN(testing_support::can_drop_privileges(),
                                "drop to user 65534 (needs root and setpriv)");
        ASSERT_EQ(::chmod(m_t.path().c_str(), 0755), 0);
        testing_support::make_dirs(m_t.path(), "bin");
        testing_support::make_dirs(m_t.path(), "w/home");
        m_binary = testing_support::copy_of_this_binary(m_t / "bin");
    }

    std::string w(const std::string& rel) const { return m_t / ("w/" + rel); }

    // Builds the tree under w/ owned by the dropped user.
    void build(const Strings& entries) {
        make_tree(m_t / "w", entries);
        testing_support::chown_tree(m_t / "w", testing_support::kDroppedUid,
                                    testing_support::kDroppedGid);
    }

    std::optional<DeleteResult> delete_as_user(const Strings& paths) {
        std::string log;
        auto r = testing_support::run_deletion_in_child(
            {testing_support::find_program("setpriv"),
             "--reuid=" + std::to_string(testing_support::kDroppedUid),
             "--regid=" + std::to_string(testing_support::kDroppedGid), "--clear-groups"},
            m_binary, "PrivilegedChild.DISABLED_DeletePaths", paths,
            {{"HOME", w("home")}, {"SNAP", std::nullopt}, {"SNAP_REAL_HOME", std::nullopt}}, &log);
        EXPECT_TRUE(r) << log;
        return r;
    }

    TempDir m_t;
    std::string m_binary;
};

TEST_F(DeleteAsDroppedUser, AReadOnlySubfolderKeepsItsFilesAndTheRestIsRemoved) {
    build({"e/a", "e/sub/z", "e/ro/x", "e/ro/y", "e/ro/inner/q", "next/f"});
    ASSERT_EQ(::chmod(w("e/ro").c_str(), 0555), 0);
    const auto r = delete_as_user({w("e"), w("next")});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->deleted, (Strings{w("next")}));
    EXPECT_EQ(r->failed, (Strings{w("e")}));
    EXPECT_EQ(r->failed_reasons, (Strings{deletion::kCouldNotBeMoved}));
    EXPECT_EQ(r->error, deletion::kCouldNotBeMoved);
    EXPECT_EQ(snapshot(w("e")),
              (std::map<std::string, std::string>{
                  {"/ro", "dir"}, {"/ro/inner", "dir"}, {"/ro/x", "file:"}, {"/ro/y", "file:"}}));
}

TEST_F(DeleteAsDroppedUser, AParentThatCannotBeOpenedIsNoAccessAndTheBatchGoesOn) {
    build({"locked/e/f", "search-only/e/f", "free/f"});
    ASSERT_EQ(::chmod(w("locked").c_str(), 0000), 0);
    ASSERT_EQ(::chmod(w("search-only").c_str(), 0111), 0);
    const auto r = delete_as_user({w("locked/e"), w("search-only/e"), w("free")});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->deleted, (Strings{w("free")}));
    EXPECT_EQ(r->failed, (Strings{w("locked/e"), w("search-only/e")}));
    EXPECT_EQ(r->failed_reasons, (Strings{deletion::kNoAccess, deletion::kNoAccess}));
    EXPECT_TRUE(exists_no_follow(w("locked/e/f")));
    EXPECT_TRUE(exists_no_follow(w("search-only/e/f")));
}

TEST_F(DeleteAsDroppedUser, AnUnreadableFolderInsideStaysAndAnEmptyOneGoes) {
    build({"e/noread/f", "e/empty-noread/", "e/g"});
    ASSERT_EQ(::chmod(w("e/noread").c_str(), 0300), 0);
    ASSERT_EQ(::chmod(w("e/empty-noread").c_str(), 0000), 0);
    const auto r = delete_as_user({w("e")});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->failed_reasons, (Strings{deletion::kCouldNotBeMoved}));
    EXPECT_EQ(snapshot(w("e")),
              (std::map<std::string, std::string>{{"/noread", "dir"}, {"/noread/f", "file:"}}));
}

TEST_F(DeleteAsDroppedUser, AnImmutableFileIsReportedAndItsSiblingsRemoved) {
    build({"e/imm", "e/sib", "e/sub/sib2", "e/sub/imm2"});
    const testing_support::ImmutableFile guard1(w("e/imm"));
    const testing_support::ImmutableFile guard2(w("e/sub/imm2"));
    SKIP_UNLESS_MACHINE_CAN(
        testing_support::set_immutable(w("e/imm"), true) &&
            testing_support::set_immutable(w("e/sub/imm2"), true),
        "set the immutable attribute (chattr +i) on the temporary folder's filesystem");
    const auto r = delete_as_user({w("e")});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->failed, (Strings{w("e")}));
    EXPECT_EQ(r->failed_reasons, (Strings{deletion::kCouldNotBeMoved}));
    EXPECT_EQ(snapshot(w("e")), (std::map<std::string, std::string>{
                                    {"/imm", "file:"}, {"/sub", "dir"}, {"/sub/imm2", "file:"}}));
}

TEST_F(DeleteAsDroppedUser, TheUsersOwnTreeIsRemovedWhole) {
    // The same child, with nothing in the way: the failures above come from
    // the permissions, not from the dropped user.
    build({"e/a/b/c", "e/d"});
    const auto r = delete_as_user({w("e")});
    ASSERT_TRUE(r);
    EXPECT_EQ(r->deleted, (Strings{w("e")}));
    EXPECT_FALSE(exists_no_follow(w("e")));
}

}  // namespace
