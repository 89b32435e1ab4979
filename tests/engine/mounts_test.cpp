// The mount table: the mountinfo parser on fixture lines, the longest-prefix
// lookup, the Snap-aware lookup, the scan roots and the filesystem classifiers.
#include "engine/mounts.h"

#include <gtest/gtest.h>

#include <sstream>

#include "test_support.h"

namespace {

using mounts::Mount;
using mounts::detail::parse;
using mounts::detail::parse_line;
using mounts::detail::unescape;

// A mountinfo line with the given mount point field, options, optional
// fields, type and source.
std::string line(const std::string& point, const std::string& options = "rw,relatime",
                 const std::string& optional = "shared:1", const std::string& type = "ext4",
                 const std::string& source = "/dev/sda1") {
    std::string l = "36 35 98:0 / " + point + " " + options;
    if (!optional.empty())
        l += " " + optional;
    return l + " - " + type + " " + source + " rw,errors=continue";
}

std::vector<Mount> table_of(const std::vector<std::string>& lines) {
    std::ostringstream text;
    for (const std::string& l : lines)
        text << l << "\n";
    std::istringstream in(text.str());
    return parse(in);
}

std::vector<std::string> points(const std::vector<Mount>& table) {
    std::vector<std::string> out;
    for (const Mount& m : table)
        out.push_back(m.point);
    return out;
}

// --- Parsing ---

TEST(MountinfoParser, ReadsPointTypeSourceAndReadOnlyFromTheirFields) {
    const auto m = parse_line(
        "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root "
        "rw,errors=continue");
    ASSERT_TRUE(m);
    EXPECT_EQ(m->point, "/mnt2");  // the mount point, not the root inside the filesystem
    EXPECT_EQ(m->fs_type, "ext3");
    EXPECT_EQ(m->source, "/dev/root");
    EXPECT_FALSE(m->read_only);

    const struct {
        const char* options;
        bool read_only;
    } cases[] = {
        {"ro,relatime", true},   {"ro", true},           {"rw", false},
        {"rox,relatime", false}, {"relatime,ro", false},
    };
    for (const auto& c : cases) {
        const auto r = parse_line(line("/mnt2", c.options));
        ASSERT_TRUE(r) << c.options;
        EXPECT_EQ(r->read_only, c.read_only) << c.options;
    }
}

TEST(MountinfoParser, AnyNumberOfOptionalFieldsParsesTheSame) {
    const auto none = parse_line(line("/data", "rw", ""));
    ASSERT_TRUE(none);
    for (const char* optional : {"shared:1", "shared:1 master:2", "a b c d e f g"}) {
        const auto m = parse_line(line("/data", "rw", optional));
        ASSERT_TRUE(m) << optional;
        EXPECT_EQ(m->point, none->point);
        EXPECT_EQ(m->fs_type, none->fs_type);
        EXPECT_EQ(m->source, none->source);
        EXPECT_EQ(m->read_only, none->read_only);
    }
}

TEST(MountinfoParser, MalformedLinesAreSkippedAndTheRestKept) {
    const std::vector<std::string> bad = {
        "36 35 98:0 / /five - ext4 /dev/sda1 rw",             // five fields before "-"
        "36 35 98:0 / /short rw shared:1 - ext4",             // only the type after it
        "36 35 98:0 / /nosep rw shared:1 ext4 /dev/sda1 rw",  // no separator at all
        "36 35 98:0 / relative rw - ext4 /dev/sda1 rw",       // mount point not absolute
        "36 35 - / /early rw x - ext4 /dev/sda1 rw",          // separator among the first six
        "",
        "   ",
    };
    for (const std::string& l : bad)
        EXPECT_FALSE(parse_line(l)) << l;

    std::vector<std::string> mixed = {line("/first")};
    mixed.insert(mixed.end(), bad.begin(), bad.end());
    mixed.push_back(line("/second"));
    EXPECT_EQ(points(table_of(mixed)), (std::vector<std::string>{"/first", "/second"}));
}

TEST(MountinfoParser, OctalEscapesAreDecodedAfterTheLineIsSplit) {
    const auto m = parse_line(line("/media/ann/My\\040Disk\\011tab\\012nl\\134bs", "rw", "shared:7",
                                   "fuse.sshfs", "ann@host:/srv\\040share"));
    ASSERT_TRUE(m);
    EXPECT_EQ(m->point, "/media/ann/My Disk\ttab\nnl\\bs");
    EXPECT_EQ(m->source, "ann@host:/srv share");
    EXPECT_EQ(m->fs_type, "fuse.sshfs");

    // A folder named "a - b" is one escaped field: its " - " must not be
    // taken for the separator.
    const auto dash = parse_line(line("/mnt/a\\040-\\040b", "ro", "", "xfs", "/dev/vdb"));
    ASSERT_TRUE(dash);
    EXPECT_EQ(dash->point, "/mnt/a - b");
    EXPECT_EQ(dash->fs_type, "xfs");
    EXPECT_EQ(dash->source, "/dev/vdb");
    EXPECT_TRUE(dash->read_only);
}

TEST(Unescape, DecodesOnlyABackslashWithThreeOctalDigits) {
    const struct {
        std::string in;
        std::string out;
    } cases[] = {
        {"My\\040Disk", "My Disk"},
        {"\\134", "\\"},
        {"\\134040", "\\040"},  // decoded once, never again
        {"a\\", "a\\"},         // lone backslash at the end
        {"\\04", "\\04"},       // too short
        {"\\089", "\\089"},     // 8 is no octal digit
        {"\\0401", " 1"},
        {"\\777", "\xff"},  // 511 kept to 8 bits
        {"\\040\\040", "  "},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(unescape(c.in), c.out) << c.in;
}

TEST(MountinfoParser, VeryLongLinesAreReadWhole) {
    const std::string long_name(100000, 'n');
    const std::string garbage(1 << 20, 'x');
    const auto table = table_of({line("/a"), line("/" + long_name), garbage, line("/b")});
    EXPECT_EQ(points(table), (std::vector<std::string>{"/a", "/" + long_name, "/b"}));
}

TEST(MountinfoParser, UnreadableFileIsAnEmptyTable) {
    testing_support::TempDir dir;
    EXPECT_TRUE(mounts::detail::read_file(dir / "missing").empty());
}

TEST(MountTable, ThisProcessHasARootMount) {
    // The real table of the machine running the tests.
    const auto& table = mounts::all();
    ASSERT_FALSE(table.empty());
    const Mount* root = mounts::for_path("/");
    ASSERT_NE(root, nullptr);
    EXPECT_EQ(root->point, "/");
    EXPECT_FALSE(mounts::read_current().empty());
}

// --- Lookup ---

std::vector<Mount> mounts_at(const std::vector<std::string>& pts) {
    std::vector<Mount> table;
    for (std::size_t i = 0; i < pts.size(); ++i)
        table.push_back(Mount{pts[i], "ext4", "/dev/sd" + std::to_string(i), false});
    return table;
}

TEST(MountLookup, LongestWholeComponentPrefixWinsAndTheLaterOfEqualOnes) {
    const auto table = mounts_at({"/", "/home", "/home/ann", "/home"});
    using mounts::detail::lookup;
    EXPECT_EQ(lookup(table, "/home/ann/x"), &table[2]);
    EXPECT_EQ(lookup(table, "/home/ann"), &table[2]);
    EXPECT_EQ(lookup(table, "/homework"), &table[0]);
    EXPECT_EQ(lookup(table, "/home/bob"), &table[3]);  // mounted last, on top
    EXPECT_EQ(lookup(mounts_at({"/home"}), "/usr"), nullptr);
    EXPECT_EQ(lookup({}, "/"), nullptr);
}

TEST(MountLookup, ForPathSeesThroughTheSnapHostFilesystem) {
    const paths::detail::SandboxFacts snap{true, true, "/home/ann"};
    const auto table =
        mounts_at({"/", "/var/lib/snapd/hostfs", "/var/lib/snapd/hostfs/opt", "/data"});
    using mounts::detail::for_path;
    // A host path outside the home is found under the host filesystem…
    EXPECT_EQ(for_path(table, "/opt/sdk", snap), &table[2]);
    // …a scan path under its display name…
    EXPECT_EQ(for_path(table, "/var/lib/snapd/hostfs/data/x", snap), &table[3]);
    // …and the host filesystem's own root mount is no answer, only "/" is.
    EXPECT_EQ(for_path(table, "/srv/x", snap), &table[0]);
    const paths::detail::SandboxFacts native{false, false, "/home/ann"};
    EXPECT_EQ(for_path(table, "/opt/sdk", native), &table[0]);
}

TEST(ScannableRoots, KeepsRealDisksAndMediaOnceAndDropsSystemAndSnapMounts) {
    const std::vector<Mount> table = {
        {"/", "ext4", "/dev/sda2", false},
        {"/home", "ext4", "/dev/sda3", false},
        {"/boot/efi", "vfat", "/dev/sda1", false},
        {"/var/lib/docker", "ext4", "/dev/sda4", false},
        {"/snap/core/123", "squashfs", "/dev/loop0", true},
        {"/proc", "proc", "proc", false},
        {"/tmp", "tmpfs", "tmpfs", false},
        {"/srv/bind", "ext4", "/dev/sda3", false},  // the home's disk again
        {"/run/media/ann/STICK", "vfat", "/dev/sdb1", false},
        {"/run/user/1000", "tmpfs", "tmpfs", false},
        {"/var/snap/x", "ext4", "/dev/sda5", false},
        {"/home", "ext4", "/dev/sda6", false},  // same point again
        {"/mnt/nas", "nfs4", "nas:/export", false},
    };
    EXPECT_EQ(points(mounts::detail::scannable_roots(table)),
              (std::vector<std::string>{"/", "/home", "/run/media/ann/STICK", "/mnt/nas"}));
}

// --- Classifiers ---

TEST(FilesystemKinds, PseudoRiskyAndImageSetsAreDisjointAndExact) {
    for (const char* t : {"proc", "sysfs", "cgroup2", "autofs", "ramfs", "swap", "nsfs"})
        EXPECT_TRUE(mounts::is_pseudo_fs(t)) << t;
    for (const char* t : {"tmpfs", "ext4", "proc2", "fuse"})
        EXPECT_FALSE(mounts::is_pseudo_fs(t)) << t;

    for (const char* t : {"fuse.sshfs", "fuseblk", "fuse", "nfs4", "cifs", "9p", "curlftpfs"})
        EXPECT_TRUE(mounts::is_risky_fs(t)) << t;
    for (const char* t : {"ext4", "tmpfs", "nfsd", "xfuse"})
        EXPECT_FALSE(mounts::is_risky_fs(t)) << t;

    for (const char* t : {"squashfs", "erofs", "iso9660"})
        EXPECT_TRUE(mounts::is_image_fs(t)) << t;
    for (const char* t : {"udf", "ext4", "squashfs2"})
        EXPECT_FALSE(mounts::is_image_fs(t)) << t;
}

}  // namespace
