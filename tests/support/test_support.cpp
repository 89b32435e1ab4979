// Shared test fixtures. See test_support.h.
#include "test_support.h"

#include <fcntl.h>
#include <ftw.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

extern char** environ;

namespace testing_support {

namespace {

int make_writable(const char* path, const struct stat* st, int type, struct FTW*) {
    // Tests leave read-only and unopenable folders behind on purpose; give the
    // owner full access again so the removal below can enter them.
    if (type == FTW_D || type == FTW_DNR || type == FTW_DP)
        ::chmod(path, st->st_mode | 0700);
    return 0;
}

int remove_entry(const char* path, const struct stat*, int, struct FTW*) {
    ::remove(path);
    return 0;
}

void remove_tree(const std::string& path) {
    ::nftw(path.c_str(), make_writable, 64, FTW_PHYS);
    ::nftw(path.c_str(), remove_entry, 64, FTW_DEPTH | FTW_PHYS);
}

std::string self_exe() {
    char buf[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0)
        throw std::runtime_error("cannot read /proc/self/exe");
    return std::string(buf, static_cast<std::size_t>(n));
}

}  // namespace

// --- TempDir ---

TempDir::TempDir() {
    const char* tmp = std::getenv("TMPDIR");
    std::string templ = std::string(tmp && tmp[0] == '/' ? tmp : "/tmp") + "/brushwick-test-XXXXXX";
    if (::mkdtemp(templ.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed: " + std::string(std::strerror(errno)));
    }
    m_path = templ;
}

TempDir::~TempDir() {
    remove_tree(m_path);
}

std::string TempDir::operator/(const std::string& rel) const {
    return m_path + "/" + rel;
}

// --- ScopedEnv ---

const char* const kLocationVariables[] = {
    "HOME",         "SNAP_REAL_HOME",   "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME",
    "ANDROID_HOME", "ANDROID_SDK_ROOT", nullptr,
};

ScopedEnv::ScopedEnv(
    std::initializer_list<std::pair<const char*, std::optional<std::string>>> vars) {
    for (const auto& [name, value] : vars)
        set(name, value);
}

void ScopedEnv::set(const char* name, const std::optional<std::string>& value) {
    if (m_saved.find(name) == m_saved.end()) {
        const char* old = std::getenv(name);
        m_saved[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) {
        ::setenv(name, value->c_str(), 1);
    } else {
        ::unsetenv(name);
    }
}

ScopedEnv::~ScopedEnv() {
    for (const auto& [name, value] : m_saved) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }
}

// --- FakeHome ---

FakeHome::FakeHome() {
    for (const char* const* v = kLocationVariables; *v != nullptr; ++v)
        m_env.set(*v, std::nullopt);
    m_env.set("HOME", m_dir.path());
}

// --- Building trees ---

void make_dirs(const std::string& root, const std::string& rel) {
    std::string path = root;
    std::stringstream parts(rel);
    std::string part;
    while (std::getline(parts, part, '/')) {
        if (part.empty())
            continue;
        path += "/" + part;
        if (::mkdir(path.c_str(), 0755) != 0 && errno != EEXIST) {
            throw std::runtime_error("mkdir " + path + ": " + std::strerror(errno));
        }
    }
}

void make_tree(const std::string& root, const std::vector<std::string>& entries) {
    for (const std::string& e : entries) {
        if (!e.empty() && e.back() == '/') {
            make_dirs(root, e);
            continue;
        }
        const std::size_t slash = e.rfind('/');
        if (slash != std::string::npos)
            make_dirs(root, e.substr(0, slash));
        write_file(root + "/" + e, 0);
    }
}

void write_file(const std::string& path, std::size_t bytes, char fill) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    if (!f)
        throw std::runtime_error("cannot write " + path);
    const std::string chunk(64 * 1024, fill);
    while (bytes > 0) {
        const std::size_t n = bytes < chunk.size() ? bytes : chunk.size();
        f.write(chunk.data(), static_cast<std::streamsize>(n));
        bytes -= n;
    }
}

void make_symlink(const std::string& target, const std::string& link_path) {
    if (::symlink(target.c_str(), link_path.c_str()) != 0) {
        throw std::runtime_error("symlink " + link_path + ": " + std::strerror(errno));
    }
}

bool exists_no_follow(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

bool is_dir_no_follow(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

// --- Child processes ---

ChildResult run_process(const std::vector<std::string>& argv,
                        const std::map<std::string, std::optional<std::string>>& env,
                        std::chrono::milliseconds limit) {
    ScopedEnv scoped;
    for (const auto& [name, value] : env)
        scoped.set(name.c_str(), value);

    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
    // A group of its own, so that the guard ends whatever the child started.
    const bool guarded = limit.count() > 0;
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    if (guarded) {
        posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
        posix_spawnattr_setpgroup(&attr, 0);
    }
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);

    const auto start = std::chrono::steady_clock::now();
    pid_t pid = -1;
    const int rc = ::posix_spawn(&pid, args[0], &actions, &attr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attr);
    ::close(pipe_fds[1]);
    if (rc != 0) {
        ::close(pipe_fds[0]);
        throw std::runtime_error("posix_spawn " + argv[0] + ": " + std::strerror(rc));
    }
    ChildResult result;
    const auto deadline = start + limit;
    char buf[4096];
    for (;;) {
        int wait_ms = -1;
        if (guarded) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0) {
                result.overran = true;
                ::kill(-pid, SIGKILL);
                break;
            }
            wait_ms = static_cast<int>(left.count());
        }
        pollfd p{pipe_fds[0], POLLIN, 0};
        const int ready = ::poll(&p, 1, wait_ms);
        if (ready <= 0)
            continue;  // interrupted, or the limit is reached and checked above
        const ssize_t n = ::read(pipe_fds[0], buf, sizeof buf);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        result.out.append(buf, static_cast<std::size_t>(n));
    }
    ::close(pipe_fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
    return result;
}

std::int64_t du_bytes(const std::string& path) {
    const auto r = run_process({"/usr/bin/du", "-s", "--block-size=1", path});
    return std::strtoll(r.out.c_str(), nullptr, 10);
}

ChildResult run_test_in_child(const std::string& test_name,
                              const std::map<std::string, std::optional<std::string>>& env) {
    return run_process({self_exe(), "--gtest_also_run_disabled_tests",
                        "--gtest_filter=" + test_name, "--gtest_brief=1"},
                       env);
}

}  // namespace testing_support
