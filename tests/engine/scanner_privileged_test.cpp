// The scanner where root must set the stage: mounts below a measured folder.
// Each case runs in a child in a private mount namespace, so that no mount outlives it; where the
// machine cannot provide one the cases skip, or fail when BRUSHWICK_REQUIRE_PRIVILEGED_TESTS=1.
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>

#include "deletion_support.h"
#include "engine/scanner.h"

namespace {

using testing_support::du_bytes;
using testing_support::make_tree;
using testing_support::TempDir;
using testing_support::write_file;

std::string test_root() {
    const char* root = std::getenv("BRUSHWICK_TEST_ROOT");
    return root != nullptr ? root : "";
}

std::int64_t own_blocks(const std::string& path) {
    struct stat st {};
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return static_cast<std::int64_t>(st.st_blocks) * 512;
}

// --- Bodies run in children ---

TEST(ScannerMountChild, DISABLED_MeasuringStopsAtMountsBelowTheEntry) {
    const std::string t = test_root();
    ASSERT_FALSE(t.empty());
    // What deleting e could free: everything but the two mount points.
    const std::int64_t reclaimable =
        du_bytes(t + "/e") - own_blocks(t + "/e/bind") - own_blocks(t + "/e/deep/tmp");
    ASSERT_EQ(::mount((t + "/outside").c_str(), (t + "/e/bind").c_str(), nullptr, MS_BIND, nullptr),
              0)
        << std::strerror(errno);
    ASSERT_EQ(::mount("tmpfs", (t + "/e/deep/tmp").c_str(), "tmpfs", 0, nullptr), 0)
        << std::strerror(errno);
    write_file(t + "/e/deep/tmp/data", 1 << 20);
    EXPECT_EQ(scanner::measure(t + "/e", nullptr).bytes, reclaimable);
}

// --- Parent side ---

class ScanInMountNamespace : public ::testing::Test {
protected:
    void SetUp() override {
        SKIP_UNLESS_MACHINE_CAN(testing_support::can_unshare_mounts(),
                                "enter a private mount namespace (needs root and unshare)");
    }

    bool run_child(const std::string& test_name,
                   std::map<std::string, std::optional<std::string>> env, std::string* log) {
        env["BRUSHWICK_TEST_ROOT"] = m_t.path();
        return testing_support::run_test_passes(
            {testing_support::find_program("unshare"), "-m", "--propagation", "private"},
            testing_support::this_binary(), test_name, env, log);
    }

    TempDir m_t;
};

TEST_F(ScanInMountNamespace, MeasuringStopsAtABindMountAndATmpfsBelowTheEntry) {
    make_tree(m_t.path(), {"outside/f", "e/keep", "e/bind/", "e/deep/tmp/"});
    write_file(m_t / "outside/f", 1 << 20);
    write_file(m_t / "e/keep", 8192);
    std::string log;
    EXPECT_TRUE(
        run_child("ScannerMountChild.DISABLED_MeasuringStopsAtMountsBelowTheEntry", {}, &log))
        << log;
}

}  // namespace
