// mounts — the mount table and its classifiers. See mounts.h.
#include "engine/mounts.h"

#include <fstream>
#include <set>

#include "base/strutil.h"

namespace mounts {

namespace {

const char* const kMountinfoPath = "/proc/self/mountinfo";

// System trees that are never offered as scan roots.
const char* const kNoise[] = {"/run", "/usr", "/etc", "/dev", "/proc", "/sys", "/boot", "/var"};

bool is_octal_digit(char c) {
    return c >= '0' && c <= '7';
}

// Fields are separated by spaces (tabs are tolerated); the kernel escapes both
// inside names, so splitting before decoding keeps names with blanks whole.
std::vector<std::string> split_fields(const std::string& line) {
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            fields.push_back(line.substr(start, i - start));
    }
    return fields;
}

bool is_noise(const std::string& point) {
    for (const char* tree : kNoise) {
        if (su::is_at_or_under(point, tree))
            return true;
    }
    return false;
}

bool is_snap_internal(const Mount& m) {
    return su::is_at_or_under(m.point, "/snap") || m.fs_type == "squashfs" ||
           su::is_at_or_under(m.point, "/var/lib/snapd") ||
           su::is_at_or_under(m.point, "/var/snap");
}

}  // namespace

// --- Parsing and lookup on a given table ---

namespace detail {

std::string unescape(const std::string& field) {
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && is_octal_digit(field[i + 1]) &&
            is_octal_digit(field[i + 2]) && is_octal_digit(field[i + 3])) {
            const int value =
                (field[i + 1] - '0') * 64 + (field[i + 2] - '0') * 8 + (field[i + 3] - '0');
            out.push_back(static_cast<char>(value & 0xff));
            i += 3;
            continue;
        }
        out.push_back(field[i]);
    }
    return out;
}

std::optional<Mount> parse_line(const std::string& line) {
    const std::vector<std::string> fields = split_fields(line);
    std::size_t separator = 0;
    while (separator < fields.size() && fields[separator] != "-")
        ++separator;
    // Six fields come before the optional ones (id, parent, device, root,
    // mount point, options); type and source follow the separator. The
    // separator is the first "-" field, so a line whose "-" arrives early is
    // rejected rather than read with its fields shifted.
    if (separator == fields.size() || separator < 6 || fields.size() - separator - 1 < 2)
        return std::nullopt;
    Mount m;
    m.point = unescape(fields[4]);
    if (m.point.empty() || m.point[0] != '/')
        return std::nullopt;
    m.fs_type = fields[separator + 1];
    m.source = unescape(fields[separator + 2]);
    const std::string& options = fields[5];
    m.read_only = options == "ro" || su::starts_with(options, "ro,");
    return m;
}

std::vector<Mount> parse(std::istream& in) {
    std::vector<Mount> table;
    std::string line;
    while (std::getline(in, line)) {
        if (std::optional<Mount> m = parse_line(line))
            table.push_back(std::move(*m));
    }
    return table;
}

std::vector<Mount> read_file(const std::string& path) {
    std::ifstream in(path);
    if (!in)
        return {};
    return parse(in);
}

const Mount* lookup(const std::vector<Mount>& table, const std::string& path) {
    const Mount* best = nullptr;
    for (const Mount& m : table) {
        const bool candidate = su::is_at_or_under(path, m.point);
        // ">=" lets the later of two mounts on the same point win: it is the
        // one on top.
        if (candidate && (best == nullptr || m.point.size() >= best->point.size()))
            best = &m;
    }
    return best;
}

const Mount* for_path(const std::vector<Mount>& table, const std::string& path,
                      const paths::detail::SandboxFacts& facts) {
    const auto below_root = [](const Mount* m) {
        return m != nullptr && paths::to_display_path(m->point) != "/";
    };
    const Mount* m = lookup(table, path);
    if (below_root(m))
        return m;
    for (const std::string& other :
         {paths::detail::to_scan_path(path, facts), paths::to_display_path(path)}) {
        if (other == path)
            continue;
        const Mount* m2 = lookup(table, other);
        if (below_root(m2))
            return m2;
    }
    return m;
}

std::vector<Mount> scannable_roots(const std::vector<Mount>& table) {
    std::vector<Mount> roots;
    std::set<std::string> points;
    std::set<std::string> sources;
    for (const Mount& m : table) {
        if (is_pseudo_fs(m.fs_type) || m.fs_type == "tmpfs" || is_snap_internal(m))
            continue;
        // Removable media are mounted below "/run", a system tree, and stay.
        if (is_noise(m.point) && !su::is_at_or_under(m.point, "/run/media"))
            continue;
        if (!points.insert(m.point).second)
            continue;
        // The same device a second time is a bind mount of what is already
        // offered.
        if (su::starts_with(m.source, "/dev/") && !sources.insert(m.source).second)
            continue;
        roots.push_back(m);
    }
    return roots;
}

}  // namespace detail

// --- Classifiers ---

bool is_pseudo_fs(const std::string& fs_type) {
    static const std::set<std::string> pseudo = {
        "proc",       "sysfs",     "devtmpfs",  "devpts",   "cgroup",      "cgroup2",
        "pstore",     "bpf",       "tracefs",   "debugfs",  "securityfs",  "configfs",
        "fusectl",    "hugetlbfs", "mqueue",    "efivarfs", "binfmt_misc", "autofs",
        "rpc_pipefs", "nsfs",      "selinuxfs", "ramfs",    "swap",
    };
    return pseudo.count(fs_type) > 0;
}

bool is_risky_fs(const std::string& fs_type) {
    static const std::set<std::string> risky = {
        "nfs",       "nfs4", "cifs",  "smb3",  "smbfs", "afs",       "ceph",
        "glusterfs", "9p",   "sshfs", "davfs", "ftpfs", "curlftpfs",
    };
    return risky.count(fs_type) > 0 || su::starts_with(fs_type, "fuse");
}

bool is_image_fs(const std::string& fs_type) {
    return fs_type == "squashfs" || fs_type == "erofs" || fs_type == "iso9660";
}

// --- The process's table ---

const std::vector<Mount>& all() {
    static const std::vector<Mount> table = detail::read_file(kMountinfoPath);
    return table;
}

std::vector<Mount> read_current() {
    return detail::read_file(kMountinfoPath);
}

const Mount* for_path(const std::string& path) {
    const paths::detail::SandboxFacts facts{paths::running_in_snap(), paths::hostfs_available(),
                                            paths::real_home()};
    return detail::for_path(all(), path, facts);
}

std::vector<Mount> scannable_roots() {
    return detail::scannable_roots(all());
}

}  // namespace mounts
