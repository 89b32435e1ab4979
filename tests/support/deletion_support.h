// Fixtures for the deletion tests: trees too deep or too wide for path-based
// helpers, snapshots of folders that must survive, open-descriptor counts,
// immutable files, and running a deletion in a child process that has dropped
// to an unprivileged user or lives in a private mount namespace.
//
// Cases that need such a child skip with a clear message where the machine
// cannot provide one, unless BRUSHWICK_REQUIRE_PRIVILEGED_TESTS=1 (set by CI),
// in which case they fail instead.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "engine/deletion.h"
#include "test_support.h"

namespace testing_support {

// The unprivileged user the permission cases drop to ("nobody" on Debian).
inline constexpr unsigned kDroppedUid = 65534;
inline constexpr unsigned kDroppedGid = 65534;

// Skips the current test, or fails it when privileged tests are required.
#define SKIP_UNLESS_MACHINE_CAN(condition, what)                                 \
    do {                                                                         \
        if (!(condition)) {                                                      \
            if (::testing_support::privileged_tests_required())                  \
                FAIL() << "required but impossible on this machine: " << (what); \
            GTEST_SKIP() << "this machine cannot " << (what);                    \
        }                                                                        \
    } while (0)

// BRUSHWICK_REQUIRE_PRIVILEGED_TESTS is "1".
bool privileged_tests_required();

// Entries of /proc/self/fd, the one used to list them excluded.
int count_open_fds();

// root/name/d/d/…/d with depth folders below root/name counted from name
// itself, built through descriptors (no path length limit).
void make_chain(const std::string& root, const std::string& name, int depth);

// count empty files (and every hundredth an empty folder) in dir.
void make_wide(const std::string& dir, int count);

// Every entry below dir (relative path -> type and, for files and links, the
// content or target), links not followed. Equal snapshots mean untouched.
std::map<std::string, std::string> snapshot(const std::string& dir);

// Sets or clears the immutable attribute; false where the filesystem or the
// process cannot.
bool set_immutable(const std::string& path, bool on);

// Clears the immutable attribute of a path when it goes out of scope, so that
// the temporary folder can be removed.
class ImmutableFile {
public:
    explicit ImmutableFile(std::string path) : m_path(std::move(path)) {}
    ~ImmutableFile() { set_immutable(m_path, false); }
    ImmutableFile(const ImmutableFile&) = delete;
    ImmutableFile& operator=(const ImmutableFile&) = delete;

private:
    std::string m_path;
};

// Changes the owner of path and everything below it (links themselves).
void chown_tree(const std::string& path, unsigned uid, unsigned gid);

// Full path of a system program, or empty.
std::string find_program(const std::string& name);

// Whether this machine lets a child enter a private mount namespace, or drop
// to kDroppedUid.
bool can_unshare_mounts();
bool can_drop_privileges();

// The running test binary.
std::string this_binary();

// A copy of the running test binary at dir/name, executable by everybody: the
// build folder may not be reachable for the unprivileged user.
std::string copy_of_this_binary(const std::string& dir);

// --- Deletion in a child ---

// The body of a DISABLED_ test in each deletion test binary: deletes the
// paths in BRUSHWICK_DELETE_PATHS (separated by newlines) and prints the
// result in a form run_deletion_in_child reads back.
void delete_env_paths_and_print();

// Runs `wrapper... binary --gtest_filter=test_name` with env, the paths handed
// over in BRUSHWICK_DELETE_PATHS, and rebuilds the child's DeleteResult. The
// child's whole output is appended to *log. Nothing when the child did not
// report (it crashed or the test was not found).
std::optional<deletion::DeleteResult> run_deletion_in_child(
    const std::vector<std::string>& wrapper, const std::string& binary,
    const std::string& test_name, const std::vector<std::string>& paths,
    const std::map<std::string, std::optional<std::string>>& env, std::string* log);

// Runs one DISABLED_ test of this binary in a child on a fast scratch folder:
// a fresh tmpfs in a private mount namespace where the machine allows it,
// otherwise an ordinary temporary folder. Trees of a hundred thousand entries
// take seconds there instead of minutes on a slow disk, and the tmpfs leaves
// nothing behind. True when the test ran and passed.
bool run_on_scratch(const std::string& test_name, std::string* log);

// Like run_on_scratch, but the child also makes the tmpfs its root directory
// (with a /proc of its own): a case whose tree holds a link to "/" cannot
// reach the machine's files even if the deletion were to follow it. Needs a mount namespace (check
// can_unshare_mounts first).
bool run_in_scratch_jail(const std::string& test_name, std::string* log);

// In such a child: the scratch folder, with the tmpfs mounted on it when the
// parent asked for one ("/" inside a jail). TMPDIR points there as well
// outside a jail, so TempDir folders made after this call are on the scratch;
// inside a jail TempDir cannot be used.
std::string scratch_dir();

// A process started for one test and killed when the test ends. The
// constructor returns only once the process runs its final program: setup
// runs in the child before exec, and exec closing the gate pipe is the signal.
class Sleeper {
public:
    // program runs as "sleep 1000"; setup runs in the child before exec.
    Sleeper(const std::string& program, const std::function<void()>& setup) {
        int gate[2];
        if (::pipe2(gate, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(gate[0]);
            setup();
            ::execl(program.c_str(), "sleep", "1000", static_cast<char*>(nullptr));
            const char failed = static_cast<char>(errno);
            (void)!::write(gate[1], &failed, 1);
            ::_exit(127);
        }
        ::close(gate[1]);
        char failed = 0;
        // EOF means exec succeeded; a byte means it did not.
        m_started = m_pid > 0 && ::read(gate[0], &failed, 1) == 0;
        ::close(gate[0]);
    }
    ~Sleeper() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            ::waitpid(m_pid, nullptr, 0);
        }
    }
    Sleeper(const Sleeper&) = delete;
    Sleeper& operator=(const Sleeper&) = delete;

    bool started() const { return m_started; }
    int pid() const { return m_pid; }

private:
    pid_t m_pid = -1;
    bool m_started = false;
};

// Runs `wrapper... binary` on one DISABLED_ test; true when it ran and passed.
bool run_test_passes(const std::vector<std::string>& wrapper, const std::string& binary,
                     const std::string& test_name,
                     const std::map<std::string, std::optional<std::string>>& env,
                     std::string* log);

}  // namespace testing_support
