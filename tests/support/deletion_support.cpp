// Fixtures for the deletion tests. See deletion_support.h.
#include "deletion_support.h"

#include <dirent.h>
#include <fcntl.h>
#include <ftw.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <stdexcept>

namespace testing_support {

namespace {

[[noreturn]] void fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

// nftw has no user data pointer; the snapshot being built lives here.
std::map<std::string, std::string>* g_snapshot = nullptr;
std::size_t g_snapshot_root_len = 0;

int add_to_snapshot(const char* path, const struct stat* st, int type, struct FTW*) {
    const std::string p = path;
    if (p.size() <= g_snapshot_root_len)
        return 0;
    const std::string rel = p.substr(g_snapshot_root_len);
    if (type == FTW_SL || type == FTW_SLN) {
        char buf[4096];
        const ssize_t n = ::readlink(path, buf, sizeof buf);
        (*g_snapshot)[rel] = "link:" + std::string(buf, n > 0 ? static_cast<std::size_t>(n) : 0);
    } else if (S_ISDIR(st->st_mode)) {
        (*g_snapshot)[rel] = "dir";
    } else if (S_ISREG(st->st_mode)) {
        (*g_snapshot)[rel] = "file:" + read_file(p);
    } else {
        (*g_snapshot)[rel] = "other";
    }
    return 0;
}

// Likewise the owner that chown_tree hands out.
uid_t g_owner_uid = 0;
gid_t g_owner_gid = 0;

int chown_entry(const char* path, const struct stat*, int, struct FTW*) {
    return ::lchown(path, g_owner_uid, g_owner_gid);
}

std::string escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '\\') {
            out += "\\\\";
        } else if (c == '\n') {
            out += "\\n";
        } else {
            out += c;
        }
    }
    return out;
}

std::string unescape(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\\' && i + 1 < s.size()) {
            out += s[i + 1] == 'n' ? '\n' : s[i + 1];
            ++i;
        } else {
            out += s[i];
        }
    }
    return out;
}

std::vector<std::string> child_argv(const std::vector<std::string>& wrapper,
                                    const std::string& binary, const std::string& test_name) {
    std::vector<std::string> argv = wrapper;
    argv.push_back(binary);
    argv.push_back("--gtest_also_run_disabled_tests");
    argv.push_back("--gtest_filter=" + test_name);
    return argv;
}

}  // namespace

bool privileged_tests_required() {
    const char* v = std::getenv("BRUSHWICK_REQUIRE_PRIVILEGED_TESTS");
    return v != nullptr && std::string(v) == "1";
}

int count_open_fds() {
    DIR* d = ::opendir("/proc/self/fd");
    if (d == nullptr)
        fail("opendir /proc/self/fd");
    int n = 0;
    while (const dirent* e = ::readdir(d)) {
        if (e->d_name[0] != '.')
            ++n;
    }
    ::closedir(d);
    return n - 1;
}

void make_chain(const std::string& root, const std::string& name, int depth) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail("open " + root);
    std::string next = name;
    for (int level = 0; level < depth; ++level) {
        if (::mkdirat(fd, next.c_str(), 0755) != 0)
            fail("mkdirat at level " + std::to_string(level));
        const int child = ::openat(fd, next.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        if (child < 0)
            fail("openat at level " + std::to_string(level));
        fd = child;
        next = "d";
    }
    ::close(fd);
}

void make_wide(const std::string& dir, int count) {
    const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        fail("open " + dir);
    for (int i = 0; i < count; ++i) {
        const std::string name = "entry-" + std::to_string(i);
        if (i % 100 == 0) {
            if (::mkdirat(fd, name.c_str(), 0755) != 0)
                fail("mkdirat " + name);
            continue;
        }
        const int f = ::openat(fd, name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (f < 0)
            fail("create " + name);
        ::close(f);
    }
    ::close(fd);
}

std::map<std::string, std::string> snapshot(const std::string& dir) {
    std::map<std::string, std::string> result;
    g_snapshot = &result;
    g_snapshot_root_len = dir.size();
    ::nftw(dir.c_str(), add_to_snapshot, 32, FTW_PHYS);
    g_snapshot = nullptr;
    return result;
}

bool set_immutable(const std::string& path, bool on) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return false;
    int flags = 0;
    bool ok = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    if (ok) {
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        ok = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    }
    ::close(fd);
    return ok;
}

void chown_tree(const std::string& path, unsigned uid, unsigned gid) {
    g_owner_uid = static_cast<uid_t>(uid);
    g_owner_gid = static_cast<gid_t>(gid);
    if (::nftw(path.c_str(), chown_entry, 32, FTW_PHYS) != 0)
        fail("chown " + path);
}

std::string find_program(const std::string& name) {
    for (const char* dir : {"/usr/bin/", "/bin/", "/usr/sbin/", "/sbin/"}) {
        const std::string p = dir + name;
        if (::access(p.c_str(), X_OK) == 0)
            return p;
    }
    return {};
}

bool can_unshare_mounts() {
    const std::string unshare = find_program("unshare");
    const std::string truth = find_program("true");
    if (unshare.empty() || truth.empty())
        return false;
    return run_process({unshare, "-m", "--propagation", "private", truth}).exit_code == 0;
}

bool can_drop_privileges() {
    const std::string setpriv = find_program("setpriv");
    const std::string truth = find_program("true");
    if (setpriv.empty() || truth.empty() || ::geteuid() != 0)
        return false;
    return run_process({setpriv, "--reuid=" + std::to_string(kDroppedUid),
                        "--regid=" + std::to_string(kDroppedGid), "--clear-groups", truth})
               .exit_code == 0;
}

std::string this_binary() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        fail("readlink /proc/self/exe");
    return std::string(buf, static_cast<std::size_t>(n));
}

std::string copy_of_this_binary(const std::string& dir) {
    const std::string target = dir + "/test-binary";
    {
        std::ifstream in("/proc/self/exe", std::ios::binary);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out << in.rdbuf();
        if (!in || !out)
            fail("copy test binary to " + target);
    }
    if (::chmod(target.c_str(), 0755) != 0 || ::chmod(dir.c_str(), 0755) != 0)
        fail("chmod " + target);
    return target;
}

// --- Deletion in a child ---

void delete_env_paths_and_print() {
    const char* list = std::getenv("BRUSHWICK_DELETE_PATHS");
    std::vector<std::string> paths;
    std::istringstream in(list ? list : "");
    std::string p;
    while (std::getline(in, p))
        paths.push_back(unescape(p));
    const deletion::DeleteResult r = deletion::delete_permanently(paths);
    for (const std::string& d : r.deleted)
        std::cout << "@@deleted " << escape(d) << "\n";
    for (std::size_t i = 0; i < r.failed.size(); ++i) {
        const std::string reason = i < r.failed_reasons.size() ? r.failed_reasons[i] : "?";
        std::cout << "@@failed " << escape(reason) << "\t" << escape(r.failed[i]) << "\n";
    }
    std::cout << "@@error " << escape(r.error) << "\n";
    std::cout << "@@count " << r.failed_count << "\n";
    std::cout << "@@end" << std::endl;
}

std::optional<deletion::DeleteResult> run_deletion_in_child(
    const std::vector<std::string>& wrapper, const std::string& binary,
    const std::string& test_name, const std::vector<std::string>& paths,
    const std::map<std::string, std::optional<std::string>>& env, std::string* log) {
    std::string list;
    for (const std::string& p : paths)
        list += escape(p) + "\n";
    auto full_env = env;
    full_env["BRUSHWICK_DELETE_PATHS"] = list;
    const ChildResult child = run_process(child_argv(wrapper, binary, test_name), full_env);
    if (log != nullptr)
        *log += child.out;

    deletion::DeleteResult r;
    bool ended = false;
    std::istringstream out(child.out);
    std::string line;
    while (std::getline(out, line)) {
        if (line.rfind("@@deleted ", 0) == 0) {
            r.deleted.push_back(unescape(line.substr(10)));
        } else if (line.rfind("@@failed ", 0) == 0) {
            const std::size_t tab = line.find('\t');
            r.failed_reasons.push_back(unescape(line.substr(9, tab - 9)));
            r.failed.push_back(unescape(line.substr(tab + 1)));
        } else if (line.rfind("@@error ", 0) == 0) {
            r.error = unescape(line.substr(8));
        } else if (line.rfind("@@count ", 0) == 0) {
            r.failed_count = std::atoi(line.c_str() + 8);
        } else if (line == "@@end") {
            ended = true;
        }
    }
    if (!ended || child.exit_code != 0)
        return std::nullopt;
    return r;
}

namespace {

bool run_scratch_child(const std::string& test_name, bool jail, std::string* log) {
    TempDir scratch;
    std::vector<std::string> wrapper;
    // TMPDIR too, so that the child's TempDir folders land on the scratch.
    std::map<std::string, std::optional<std::string>> env = {{"BRUSHWICK_SCRATCH", scratch.path()},
                                                             {"TMPDIR", scratch.path()}};
    if (jail || can_unshare_mounts()) {
        wrapper = {find_program("unshare"), "-m", "--propagation", "private"};
        env["BRUSHWICK_SCRATCH_TMPFS"] = "1";
        env["BRUSHWICK_SCRATCH_JAIL"] = jail ? "1" : "0";
    }
    return run_test_passes(wrapper, this_binary(), test_name, env, log);
}

bool env_is_one(const char* name) {
    const char* v = std::getenv(name);
    return v != nullptr && std::string(v) == "1";
}

}  // namespace

bool run_on_scratch(const std::string& test_name, std::string* log) {
    return run_scratch_child(test_name, false, log);
}

bool run_in_scratch_jail(const std::string& test_name, std::string* log) {
    return run_scratch_child(test_name, true, log);
}

std::string scratch_dir() {
    const char* dir = std::getenv("BRUSHWICK_SCRATCH");
    if (dir == nullptr)
        throw std::runtime_error("not started through run_on_scratch");
    if (env_is_one("BRUSHWICK_SCRATCH_TMPFS") &&
        ::mount("tmpfs", dir, "tmpfs", MS_NOSUID | MS_NODEV, "size=1g,nr_inodes=400000") != 0) {
        fail(std::string("mount tmpfs on ") + dir);
    }
    if (env_is_one("BRUSHWICK_SCRATCH_JAIL")) {
        // The sanitizers read /proc/self/maps; the jail gets a /proc of its own.
        const std::string proc = std::string(dir) + "/proc";
        if (::mkdir(proc.c_str(), 0555) != 0 ||
            ::mount("proc", proc.c_str(), "proc", MS_NOSUID | MS_NODEV | MS_NOEXEC, nullptr) != 0) {
            fail("mount proc in " + proc);
        }
        if (::chroot(dir) != 0 || ::chdir("/") != 0)
            fail(std::string("chroot to ") + dir);
        return "/";
    }
    return dir;
}

bool run_test_passes(const std::vector<std::string>& wrapper, const std::string& binary,
                     const std::string& test_name,
                     const std::map<std::string, std::optional<std::string>>& env,
                     std::string* log) {
    const ChildResult child = run_process(child_argv(wrapper, binary, test_name), env);
    if (log != nullptr)
        *log += child.out;
    return child.exit_code == 0 && child.out.find("[  PASSED  ] 1 test.") != std::string::npos &&
           child.out.find("[  SKIPPED ]") == std::string::npos;
}

}  // namespace testing_support
