// The deletion guard: which paths are refused and with which reason, how the
// user-dirs file adds protections (and never runs or removes any), and that
// links in the parent path or a home reached through a link change nothing.
#include "engine/deletion_guard.h"

#include <sys/stat.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "test_support.h"

namespace {

using deletion_guard::kOtherUsersHome;
using deletion_guard::kProtectedSystemLocation;
using deletion_guard::kReadOnlyLocation;
using deletion_guard::detail::classify;
using deletion_guard::detail::make_rules;
using deletion_guard::detail::Rules;
using testing_support::make_dirs;
using testing_support::make_symlink;
using testing_support::TempDir;

const char* const kFree = nullptr;

bool native(const std::string&) {
    return true;
}

bool snap_with_home_ann(const std::string& p) {
    return paths::detail::is_writable_location(p, {true, true, "/home/ann"});
}

struct Case {
    std::string path;
    const char* reason;
};

void expect_reasons(const Rules& rules, const std::vector<Case>& cases,
                    bool (*writable)(const std::string&) = native) {
    for (const Case& c : cases) {
        const char* got = classify(c.path, rules, writable);
        EXPECT_STREQ(got, c.reason) << "path: " << c.path;
    }
}

// --- Fixed lists and the home, without touching the filesystem ---

TEST(DeletionGuard, RefusesSystemTreesTopLevelFoldersAndMalformedPaths) {
    const Rules rules = make_rules("/home/ann", {}, "/home");
    expect_reasons(rules, {
                              {"", kProtectedSystemLocation},
                              {"cache/x", kProtectedSystemLocation},
                              {"/", kProtectedSystemLocation},
                              {"//", kProtectedSystemLocation},
                              {"///", kProtectedSystemLocation},
                              {"/usr", kProtectedSystemLocation},
                              {"/usr/lib/x", kProtectedSystemLocation},
                              {"//usr///lib/", kProtectedSystemLocation},
                              {"/usrlocal", kFree},
                              {"/var", kProtectedSystemLocation},
                              {"/var/", kProtectedSystemLocation},
                              {"/tmp", kProtectedSystemLocation},
                              {"/var/cache/foo", kFree},
                              {"/tmp/build-1", kFree},
                              {"/var/lib/snapd/x", kProtectedSystemLocation},
                              {"/var/lib/snapdx", kFree},
                              {"/proc/self/cwd", kProtectedSystemLocation},
                              {"/run/user/1000", kProtectedSystemLocation},
                              {"/opt", kProtectedSystemLocation},
                              {"/opt/sdk", kFree},
                              // "." and ".." never reach what they spell.
                              {"/./usr/", kProtectedSystemLocation},
                              {"/usr/..", kProtectedSystemLocation},
                              {"/tmp/x/..", kProtectedSystemLocation},
                              {"/tmp/x/.", kProtectedSystemLocation},
                              {"/home/ann/../bob", kProtectedSystemLocation},
                              {"/home/ann/.cache/..", kProtectedSystemLocation},
                              {"/tmp/..x", kFree},
                              {"/tmp/x.", kFree},
                          });
    for (const std::string tree :
         {"/boot", "/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32", "/usr", "/etc", "/proc",
          "/sys", "/dev", "/run", "/snap", "/var/lib/snapd"}) {
        EXPECT_STREQ(classify(tree, rules, native), kProtectedSystemLocation) << tree;
        EXPECT_STREQ(classify(tree + "/a/b", rules, native), kProtectedSystemLocation) << tree;
    }
    for (const std::string top : {"/root", "/srv", "/media", "/mnt"}) {
        EXPECT_STREQ(classify(top, rules, native), kProtectedSystemLocation) << top;
        EXPECT_STREQ(classify(top + "/x", rules, native), kFree) << top;
    }
}

TEST(DeletionGuard, ProtectsTheHomeItsStandardFoldersAndOtherUsersHomes) {
    const Rules rules = make_rules("/home/ann", {}, "/home");
    for (const char* name :
         {"Desktop", "Documents", "Downloads", "Music", "Pictures", "Videos", "Templates", "Public",
          ".config", ".local", ".local/share", ".cache", ".ssh", ".gnupg", ".var", "snap"}) {
        const std::string p = std::string("/home/ann/") + name;
        EXPECT_STREQ(classify(p, rules, native), kProtectedSystemLocation) << p;
        EXPECT_STREQ(classify(p + "/", rules, native), kProtectedSystemLocation) << p;
        EXPECT_STREQ(classify(p + "/inside", rules, native), kFree) << p;
    }
    expect_reasons(rules, {
                              {"/home/ann", kProtectedSystemLocation},
                              {"/home/ann///", kProtectedSystemLocation},
                              {"/home//ann/Documents", kProtectedSystemLocation},
                              {"/home/ann/.cache/pip", kFree},
                              {"/home/ann/Downloads/x", kFree},
                              {"/home/ann/Documents2", kFree},
                              {"/home/ann/projects", kFree},
                              {"/home/bob", kOtherUsersHome},
                              {"/home/bob/", kOtherUsersHome},
                              {"/home/ann2", kOtherUsersHome},
                              {"/home/bob/.cache", kFree},
                          });
}

TEST(DeletionGuard, AncestorsOfAHomeOutsideHomeAreProtected) {
    const Rules rules = make_rules("/data/users/ann", {}, "/home");
    expect_reasons(rules, {
                              {"/data", kProtectedSystemLocation},
                              {"/data/users", kProtectedSystemLocation},
                              {"/data/users/ann", kProtectedSystemLocation},
                              {"/data/users/ann/Music", kProtectedSystemLocation},
                              {"/data/other", kFree},
                              {"/data/users/annex", kFree},
                              {"/data/users/ann/.cache/go", kFree},
                          });
}

TEST(DeletionGuard, WithoutAHomeOnlyTheFixedListsApply) {
    for (const char* home : {"", "relative/home"}) {
        const Rules rules = make_rules(home, {}, "/home");
        expect_reasons(rules, {
                                  {"/usr/x", kProtectedSystemLocation},
                                  {"/home", kProtectedSystemLocation},
                                  {"/home/ann", kOtherUsersHome},
                                  {"/home/ann/Documents", kFree},
                                  {"/data/x", kFree},
                              });
    }
}

TEST(DeletionGuard, MountPointsAreProtectedEvenInsideTheHome) {
    const std::vector<mounts::Mount> table = {
        {"/", "ext4", "/dev/sda1", false},
        {"/home/ann/data", "ext4", "/dev/sdb1", false},
        {"/home/ann/My Disk", "vfat", "/dev/sdc1", false},
    };
    const Rules rules = make_rules("/home/ann", table, "/home");
    expect_reasons(rules, {
                              {"/home/ann/data", kProtectedSystemLocation},
                              {"/home/ann/data/", kProtectedSystemLocation},
                              {"/home/ann//data", kProtectedSystemLocation},
                              {"/home/ann/My Disk", kProtectedSystemLocation},
                              {"/home/ann/data/build", kFree},
                              {"/home/ann/database", kFree},
                          });
}

TEST(DeletionGuard, InsideASnapUnwritablePlacesAreReadOnlyBeforeAnyList) {
    const Rules rules = make_rules("/home/ann", {}, "/home");
    expect_reasons(rules,
                   {
                       {"/opt/sdk", kReadOnlyLocation},
                       {"/usr", kReadOnlyLocation},
                       {"/home/bob", kReadOnlyLocation},
                       {"/home/ann/.cache/pip", kFree},
                       {"/home/ann", kProtectedSystemLocation},
                       {"/media/ann/stick/build", kFree},
                       {"", kProtectedSystemLocation},
                   },
                   snap_with_home_ann);
}

// --- The user-dirs file ---

void write_user_dirs(const std::string& home, const std::string& text) {
    make_dirs(home, ".config");
    std::ofstream(home + "/.config/user-dirs.dirs", std::ios::binary) << text;
}

TEST(UserDirs, QuotedAndBareHomeValuesAndAbsoluteValuesAreProtected) {
    TempDir t;
    const std::string h = t.path();
    write_user_dirs(h,
                    "# written by xdg-user-dirs-update\n"
                    "#XDG_COMMENTED_DIR=\"$HOME/Commented\"\n"
                    "XDG_MUSIC_DIR=\"$HOME/Musik\"\n"
                    "XDG_VIDEOS_DIR=$HOME/Filme\n"
                    "XDG_TEMPLATES_DIR=\"/srv/work/\"\n"
                    "XDG_PUBLICSHARE_DIR=\"$HOME/\xc3\x96"
                    "ffentlich\"\r\n"
                    "XDG_DESKTOP_DIR=\"$HOME/Schreibtisch\"   \n"
                    "no equals sign here\n");
    EXPECT_EQ(deletion_guard::detail::read_user_dirs(h),
              (std::vector<std::string>{h + "/Musik", h + "/Filme", "/srv/work/",
                                        h + "/\xc3\x96"
                                            "ffentlich",
                                        h + "/Schreibtisch"}));
    const Rules rules = make_rules(h, {}, "/home");
    expect_reasons(rules, {
                              {h + "/Musik", kProtectedSystemLocation},
                              {h + "/Filme", kProtectedSystemLocation},
                              {"/srv/work", kProtectedSystemLocation},
                              {h + "/\xc3\x96"
                                   "ffentlich",
                               kProtectedSystemLocation},
                              {h + "/Schreibtisch", kProtectedSystemLocation},
                              {h + "/Musik/old", kFree},
                              {h + "/Commented", kFree},
                              {"/srv/workshop", kFree},
                          });
}

TEST(UserDirs, OddValuesAreNeverRunAndNeverLiftAProtection) {
    TempDir t;
    make_dirs(t.path(), "home");
    const std::string h = t / "home";
    const std::string marker = t / "ran";
    write_user_dirs(h,
                    "XDG_A_DIR=\"$HOME/../..\"\n"
                    "XDG_B_DIR=\"$(touch " +
                        marker +
                        ")\"\n"
                        "XDG_C_DIR=/`touch " +
                        marker +
                        "`\n"
                        "XDG_D_DIR=\"relative/dir\"\n"
                        "XDG_E_DIR=\"~/Tilde\"\n"
                        "XDG_F_DIR=\"\"\n"
                        "XDG_G_DIR=\"$HOME\"\n"
                        "XDG_H_DIR=\"\n"
                        "=\n"
                        "XDG_DOCUMENTS_DIR=\"/nonexistent/elsewhere\"\n");
    const Rules rules = make_rules(h, {}, "/home");
    EXPECT_FALSE(testing_support::exists_no_follow(marker)) << "a value was executed";
    expect_reasons(rules, {
                              {h, kProtectedSystemLocation},
                              {h + "/Documents", kProtectedSystemLocation},
                              {h + "/.ssh", kProtectedSystemLocation},
                              {"/nonexistent/elsewhere", kProtectedSystemLocation},
                              {"/", kProtectedSystemLocation},
                              {"/usr/lib", kProtectedSystemLocation},
                              {h + "/relative/dir", kFree},
                              {h + "/~/Tilde", kFree},
                              {h + "/Tilde", kFree},
                              {h + "/projects", kFree},
                          });
}

TEST(UserDirs, AFifoInPlaceOfTheFileDoesNotBlock) {
    TempDir t;
    make_dirs(t.path(), ".config");
    ASSERT_EQ(::mkfifo((t / ".config/user-dirs.dirs").c_str(), 0600), 0);
    EXPECT_TRUE(deletion_guard::detail::read_user_dirs(t.path()).empty());
    const Rules rules = make_rules(t.path(), {}, "/home");
    EXPECT_STREQ(classify(t / "Documents", rules, native), kProtectedSystemLocation);
}

// --- Links ---

TEST(DeletionGuardLinks, ALinkIsJudgedWhereItIsAndALinkedParentWhereItLeads) {
    TempDir t;
    const std::string h = t.path();
    make_dirs(h, "Documents");
    make_dirs(h, "real");
    make_symlink("/usr", h + "/sys");
    make_symlink(h + "/Documents", h + "/docs-link");
    make_symlink("/", h + "/rootlink");
    make_symlink(h, h + "/selflink");
    const Rules rules = make_rules(h, {}, "/home");
    expect_reasons(rules, {
                              // The link itself is what would be removed.
                              {h + "/sys", kFree},
                              {h + "/docs-link", kFree},
                              {h + "/rootlink", kFree},
                              // Through a link, the place reached counts.
                              {h + "/sys/lib", kProtectedSystemLocation},
                              {h + "/sys/lib/x", kProtectedSystemLocation},
                              {h + "/rootlink/bin", kProtectedSystemLocation},
                              {h + "/rootlink/home", kProtectedSystemLocation},
                              {h + "/rootlink/tmp", kProtectedSystemLocation},
                              {h + "/rootlink/opt/sdk", kFree},
                              {h + "/selflink/Documents", kProtectedSystemLocation},
                              {h + "/selflink/real", kFree},
                          });
}

TEST(DeletionGuardLinks, AMountPointReachedThroughALinkedParentIsStillAMountPoint) {
    // The table names the mount by its real path; the user may select it
    // through a link to the folder holding it.
    TempDir t;
    make_dirs(t.path(), "real/disk");
    char* resolved = ::realpath(t.path().c_str(), nullptr);
    ASSERT_NE(resolved, nullptr);
    const std::string real = resolved;
    std::free(resolved);
    make_symlink(real + "/real", t / "link");
    const std::vector<mounts::Mount> table = {{"/", "ext4", "/dev/sda1", false},
                                              {real + "/real/disk", "ext4", "/dev/sdb1", false}};
    const Rules rules = make_rules(t.path(), table, "/home");
    expect_reasons(rules, {
                              {t / "link/disk", kProtectedSystemLocation},
                              {real + "/real/disk", kProtectedSystemLocation},
                              {t / "link/other", kFree},
                          });
}

TEST(DeletionGuardLinks, AHomeReachedThroughALinkedHomesFolderIsProtectedUnderBothNames) {
    // The layout of systems where "/home" links to "/var/home".
    TempDir t;
    make_dirs(t.path(), "var/home/ann/Documents");
    make_dirs(t.path(), "var/home/bob");
    make_symlink("var/home", t / "home");
    const std::string link_home = t / "home/ann";
    const std::string real_home = t / "var/home/ann";
    for (const std::string& home : {link_home, real_home}) {
        SCOPED_TRACE(home);
        const Rules rules = make_rules(home, {}, t / "home");
        expect_reasons(rules, {
                                  {link_home, kProtectedSystemLocation},
                                  {real_home, kProtectedSystemLocation},
                                  {link_home + "/Documents", kProtectedSystemLocation},
                                  {real_home + "/Documents", kProtectedSystemLocation},
                                  {real_home + "/.cache", kProtectedSystemLocation},
                                  {real_home + "/.cache/pip", kFree},
                                  {real_home + "/Documents2", kFree},
                                  {t / "var/home/bob", kOtherUsersHome},
                                  {t / "home/bob", kOtherUsersHome},
                                  {t / "var/home", kProtectedSystemLocation},
                                  {t / "var", kProtectedSystemLocation},
                              });
    }
}

// --- The process's own rules, in a child with its own home ---

// Prints the reason for each path listed in BRUSHWICK_GUARD_PATHS (one per
// line); run only through run_test_in_child.
TEST(GuardChild, DISABLED_PrintReasons) {
    std::istringstream paths(std::getenv("BRUSHWICK_GUARD_PATHS"));
    std::string p;
    while (std::getline(paths, p)) {
        const char* r = deletion_guard::reason_key(p);
        std::cout << "reason " << (r ? r : "-") << " " << deletion_guard::is_protected(p) << "\n";
    }
}

TEST(DeletionGuard, TheProcessRulesFollowHomeAndItsUserDirsFile) {
    TempDir t;
    write_user_dirs(t.path(), "XDG_MUSIC_DIR=\"$HOME/Musik\"\n");
    const auto r = testing_support::run_test_in_child(
        "GuardChild.DISABLED_PrintReasons",
        {{"HOME", t.path()},
         {"SNAP", std::nullopt},
         {"SNAP_REAL_HOME", std::nullopt},
         {"BRUSHWICK_GUARD_PATHS",
          t.path() + "\n" + t.path() + "/Musik\n" + t.path() + "/.cache/pip\n/usr/lib\n/proc\n"}});
    ASSERT_EQ(r.exit_code, 0) << r.out;
    std::vector<std::string> lines;
    std::istringstream out(r.out);
    std::string l;
    while (std::getline(out, l)) {
        if (l.rfind("reason ", 0) == 0)
            lines.push_back(l);
    }
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "reason Protected system location 1",
                         "reason Protected system location 1",
                         "reason - 0",
                         "reason Protected system location 1",
                         "reason Protected system location 1",
                     }));
}

}  // namespace
