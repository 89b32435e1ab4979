// Sandbox detection and the display/scan path mapping. The mapping cases run
// on the pure functions with chosen sandbox facts; the detection itself is
// computed once per process, so those cases run in a child process with its
// own environment.
#include "base/paths.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

#include <fstream>
#include <sstream>

#include "test_support.h"

namespace {

using paths::detail::SandboxFacts;
using testing_support::FakeHome;
using testing_support::read_file;
using testing_support::run_test_in_child;

const SandboxFacts kNative{false, false, "/home/ann"};
const SandboxFacts kSnapWithHostfs{true, true, "/home/ann"};
const SandboxFacts kSnapWithoutHostfs{true, false, "/home/ann"};

struct MappingCase {
    const char* display;
    const char* scan;
};

TEST(ScanPath, SnapWithHostFilesystemPrefixesOnlyFoldersOutsideHomeAndMedia) {
    const MappingCase cases[] = {
        {"/home/ann", "/home/ann"},
        {"/home/ann/.cache", "/home/ann/.cache"},
        {"/home/annex", "/var/lib/snapd/hostfs/home/annex"},
        {"/home/bob", "/var/lib/snapd/hostfs/home/bob"},
        {"/mnt", "/mnt"},
        {"/mnt/usb", "/mnt/usb"},
        {"/media", "/media"},
        {"/run/media/ann/stick", "/run/media/ann/stick"},
        {"/run/mediax", "/var/lib/snapd/hostfs/run/mediax"},
        {"/opt/sdk", "/var/lib/snapd/hostfs/opt/sdk"},
        {"/usr/share", "/var/lib/snapd/hostfs/usr/share"},
        {"/var/lib/snapd/hostfs", "/var/lib/snapd/hostfs"},
        {"/var/lib/snapd/hostfs/opt", "/var/lib/snapd/hostfs/opt"},
        {"relative/dir", "relative/dir"},
        {"", ""},
    };
    for (const MappingCase& c : cases) {
        const std::string once = paths::detail::to_scan_path(c.display, kSnapWithHostfs);
        EXPECT_EQ(once, c.scan) << c.display;
        EXPECT_EQ(paths::detail::to_scan_path(once, kSnapWithHostfs), once)
            << "not idempotent for " << c.display;
    }
}

TEST(ScanPath, NativeAndSnapWithoutHostFilesystemLeaveEveryPathAlone) {
    for (const SandboxFacts* facts : {&kNative, &kSnapWithoutHostfs}) {
        for (const char* p : {"/usr/lib", "/home/bob", "/opt/sdk", "/", "x"}) {
            EXPECT_EQ(paths::detail::to_scan_path(p, *facts), p);
        }
    }
}

TEST(ScanPath, EmptyHomeMakesNothingLieUnderTheHome) {
    const SandboxFacts no_home{true, true, ""};
    EXPECT_EQ(paths::detail::to_scan_path("/home/ann", no_home), "/var/lib/snapd/hostfs/home/ann");
    EXPECT_FALSE(paths::detail::reachable_directly("/x", ""));
    EXPECT_FALSE(paths::detail::reachable_directly("/", ""));
}

TEST(DisplayPath, StripsTheHostPrefixAsAWholeComponentOnly) {
    EXPECT_EQ(paths::to_display_path("/var/lib/snapd/hostfs"), "/");
    EXPECT_EQ(paths::to_display_path("/var/lib/snapd/hostfs/"), "/");
    EXPECT_EQ(paths::to_display_path("/var/lib/snapd/hostfs/opt/sdk"), "/opt/sdk");
    EXPECT_EQ(paths::to_display_path("/home/ann"), "/home/ann");
    // Another folder whose name merely starts like the prefix is no scan path.
    EXPECT_EQ(paths::to_display_path("/var/lib/snapd/hostfsX/y"), "/var/lib/snapd/hostfsX/y");
}

TEST(DisplayPath, RoundTripsEveryMappedPath) {
    for (const char* p : {"/opt/sdk", "/home/bob/x", "/home/ann/y", "/mnt/usb", "/"}) {
        EXPECT_EQ(paths::to_display_path(paths::detail::to_scan_path(p, kSnapWithHostfs)), p);
    }
}

TEST(WritableLocation, OnlyASnapRestrictsAndOnlyOutsideHomeAndMedia) {
    EXPECT_TRUE(paths::detail::is_writable_location("/usr/lib", kNative));
    EXPECT_FALSE(paths::detail::is_writable_location("/usr/lib", kSnapWithoutHostfs));
    EXPECT_FALSE(paths::detail::is_writable_location("/usr/lib", kSnapWithHostfs));
    EXPECT_FALSE(paths::detail::is_writable_location("/home/annex/x", kSnapWithHostfs));
    EXPECT_TRUE(paths::detail::is_writable_location("/home/ann/x", kSnapWithHostfs));
    EXPECT_TRUE(paths::detail::is_writable_location("/media/ann/disk", kSnapWithHostfs));
}

// --- Detection, in a child process ---

// Prints what the process detects; run only through run_test_in_child.
TEST(ChildProbe, DISABLED_PrintSandbox) {
    std::cout << "snap=" << paths::running_in_snap() << " hostfs=" << paths::hostfs_available()
              << " flatpak=" << paths::running_in_flatpak() << " home=" << paths::real_home()
              << " scan=" << paths::to_scan_path("/opt/sdk")
              << " writable=" << paths::is_writable_location("/usr/lib") << "\n";
}

std::string probe(const std::map<std::string, std::optional<std::string>>& env) {
    const auto r = run_test_in_child("ChildProbe.DISABLED_PrintSandbox", env);
    EXPECT_EQ(r.exit_code, 0) << r.out;
    std::istringstream lines(r.out);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("snap=", 0) == 0)
            return line;
    }
    ADD_FAILURE() << "no probe line in: " << r.out;
    return {};
}

TEST(SandboxDetection, SnapNeedsBothVariablesNonEmpty) {
    const std::string native =
        probe({{"SNAP", std::nullopt}, {"SNAP_NAME", std::nullopt}, {"HOME", "/home/ann"}});
    EXPECT_EQ(native, "snap=0 hostfs=0 flatpak=0 home=/home/ann scan=/opt/sdk writable=1");

    const std::string empty_name =
        probe({{"SNAP", "/snap/brushwick/1"}, {"SNAP_NAME", ""}, {"HOME", "/home/ann"}});
    EXPECT_EQ(empty_name, native);
}

TEST(SandboxDetection, SnapWithoutHostFilesystemMapsNothingButRefusesWrites) {
    // This machine has no /var/lib/snapd/hostfs, which is exactly this case.
    const std::string line = probe({{"SNAP", "/snap/brushwick/1"},
                                    {"SNAP_NAME", "brushwick"},
                                    {"SNAP_REAL_HOME", "/home/ann"},
                                    {"HOME", "/home/ann/snap/brushwick/1"}});
    EXPECT_EQ(line, "snap=1 hostfs=0 flatpak=0 home=/home/ann scan=/opt/sdk writable=0");
}

TEST(RealHome, FallsBackFromSnapRealHomeToHomeToThePasswordDatabase) {
    EXPECT_NE(probe({{"SNAP_REAL_HOME", "/r"}, {"HOME", "/h"}}).find("home=/r "),
              std::string::npos);
    EXPECT_NE(probe({{"SNAP_REAL_HOME", ""}, {"HOME", "/h"}}).find("home=/h "), std::string::npos);
    // With neither set, the password database answers; root's home here.
    const std::string pw = probe({{"SNAP_REAL_HOME", ""}, {"HOME", std::nullopt}});
    EXPECT_EQ(pw.find("home= "), std::string::npos) << pw;
}

// --- Configuration folder ---

unsigned mode_of(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) ? (st.st_mode & 07777) : 0;
}

void put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

TEST(ConfigDir, FirstStartCreatesPrivateFoldersAndWritesNothing) {
    FakeHome home;
    EXPECT_EQ(paths::config_dir(), home / ".config/Brushwick");
    EXPECT_EQ(mode_of(home / ".config"), 0700u);
    EXPECT_EQ(mode_of(home / ".config/Brushwick"), 0700u);
    EXPECT_FALSE(testing_support::exists_no_follow(home / ".config/Brushwick/settings.json"));
    // A folder that exists already keeps its mode.
    ::chmod((home / ".config").c_str(), 0755);
    EXPECT_EQ(paths::config_dir(), home / ".config/Brushwick");
    EXPECT_EQ(mode_of(home / ".config"), 0755u);
}

TEST(ConfigDir, XdgConfigHomeCountsOnlyWhenSetAndAbsolute) {
    FakeHome home;
    home.env().set("XDG_CONFIG_HOME", home / "xdg");
    EXPECT_EQ(paths::config_dir(), home / "xdg/Brushwick");
    EXPECT_EQ(mode_of(home / "xdg"), 0700u);
    for (const char* ignored : {"", "relative/conf"}) {
        home.env().set("XDG_CONFIG_HOME", std::string(ignored));
        EXPECT_EQ(paths::config_dir(), home / ".config/Brushwick") << ignored;
    }
}

TEST(ConfigDir, WithoutHomeOrXdgItIsTheCurrentFolder) {
    FakeHome home;
    home.env().set("HOME", std::nullopt);
    EXPECT_EQ(paths::config_dir(), ".");
    home.env().set("HOME", std::string());
    EXPECT_EQ(paths::config_dir(), ".");
}

TEST(ConfigDir, MovesTheLegacySettingsFileOnceAndNothingElse) {
    FakeHome home;
    testing_support::make_dirs(home.path(), ".config/Vetchmoor");
    put(home / ".config/Vetchmoor/settings.json", "old settings");
    put(home / ".config/Vetchmoor/other.json", "stays");
    const std::string dir = paths::config_dir();
    EXPECT_EQ(read_file(dir + "/settings.json"), "old settings");
    EXPECT_FALSE(testing_support::exists_no_follow(home / ".config/Vetchmoor/settings.json"));
    EXPECT_EQ(read_file(home / ".config/Vetchmoor/other.json"), "stays");

    // Once moved, a new legacy file is not taken over the current one.
    put(home / ".config/Vetchmoor/settings.json", "older still");
    put(dir + "/settings.json", "current");
    paths::config_dir();
    EXPECT_EQ(read_file(dir + "/settings.json"), "current");
    EXPECT_EQ(read_file(home / ".config/Vetchmoor/settings.json"), "older still");
}

TEST(ConfigDir, ALegacyFolderNamedLikeTheFileIsNotMoved) {
    FakeHome home;
    testing_support::make_dirs(home.path(), ".config/Vetchmoor/settings.json");
    const std::string dir = paths::config_dir();
    EXPECT_FALSE(testing_support::exists_no_follow(dir + "/settings.json"));
    EXPECT_TRUE(testing_support::is_dir_no_follow(home / ".config/Vetchmoor/settings.json"));
}

TEST(FdPath, AFolderIsReportedWhereItIsNowWithItsNameByteForByte) {
    testing_support::TempDir t;
    char* real = ::realpath(t.path().c_str(), nullptr);
    ASSERT_NE(real, nullptr);
    const std::string base = real;
    std::free(real);
    const std::string odd = "we ird\nname\xff";
    testing_support::make_dirs(t.path(), odd);
    testing_support::make_dirs(t.path(), "elsewhere");
    const int fd = ::open((t / odd).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(paths::fd_path(fd), base + "/" + odd);
    // Moved since it was opened: the answer follows the folder.
    ASSERT_EQ(::rename((t / odd).c_str(), (t / "elsewhere/moved").c_str()), 0);
    EXPECT_EQ(paths::fd_path(fd), base + "/elsewhere/moved");
    ::close(fd);
}

TEST(FdPath, ADescriptorThatIsNoFolderOrNotOpenGivesNothing) {
    int pipe_fds[2];
    ASSERT_EQ(::pipe(pipe_fds), 0);
    EXPECT_EQ(paths::fd_path(pipe_fds[0]), "");  // "pipe:[…]" is no path
    ::close(pipe_fds[0]);
    ::close(pipe_fds[1]);
    EXPECT_EQ(paths::fd_path(pipe_fds[0]), "");
}

}  // namespace
