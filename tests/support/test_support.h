// Shared fixtures for the tests: temporary folders, fake homes built from short
// lists, scoped environment changes, and re-running one test of the current
// binary in a child process with its own environment.
//
// Nothing here touches the real home: every tree lives below a fresh folder in
// the system's temporary directory and is removed when its owner goes away.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace testing_support {

// A fresh folder below $TMPDIR (or /tmp), removed with everything in it
// (permissions restored first) when this object is destroyed.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path() + "/" + rel
    std::string operator/(const std::string& rel) const;

private:
    std::string m_path;
};

// Sets (or with std::nullopt unsets) environment variables and restores their
// previous values on destruction.
class ScopedEnv {
public:
    ScopedEnv() = default;
    ScopedEnv(std::initializer_list<std::pair<const char*, std::optional<std::string>>> vars);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

    void set(const char* name, const std::optional<std::string>& value);

private:
    std::map<std::string, std::optional<std::string>> m_saved;
};

// The environment variables that decide where the program looks; FakeHome
// clears all of them before pointing HOME at its folder.
extern const char* const kLocationVariables[];

// A temporary home folder: HOME points at it, and every variable of
// kLocationVariables other than HOME is unset until destruction.
class FakeHome {
public:
    FakeHome();
    const std::string& path() const { return m_dir.path(); }
    std::string operator/(const std::string& rel) const { return m_dir / rel; }
    ScopedEnv& env() { return m_env; }

private:
    TempDir m_dir;
    ScopedEnv m_env;
};

// --- Building trees ---
// Paths are relative to root. A trailing "/" means a folder; anything else is a
// file. Parent folders are created as needed.

// mkdir -p root/rel
void make_dirs(const std::string& root, const std::string& rel);
// Folders and empty files from a list such as {"a/b/", "a/c.txt"}.
void make_tree(const std::string& root, const std::vector<std::string>& entries);
// A file of exactly `bytes` bytes (written, so its blocks are really allocated).
void write_file(const std::string& path, std::size_t bytes, char fill = 'x');
// A symbolic link at link_path whose content is target.
void make_symlink(const std::string& target, const std::string& link_path);
bool exists_no_follow(const std::string& path);
bool is_dir_no_follow(const std::string& path);
std::string read_file(const std::string& path);

// --- Child processes ---

struct ChildResult {
    int exit_code = -1;    // exit status, or -1 when killed by a signal
    int signal = 0;        // the signal that killed it, or 0
    std::string out;       // standard output
    bool overran = false;  // still running at the time limit: its process group was killed
    double seconds = 0;    // from the start until it ended or was killed
};

// Runs argv with exactly the given environment additions/removals applied to
// the current environment, capturing standard output. With a limit above zero
// the child gets a process group of its own, and the whole group is killed
// with SIGKILL when the child has not ended after limit: a guard against a
// hang, no measure of speed.
ChildResult run_process(const std::vector<std::string>& argv,
                        const std::map<std::string, std::optional<std::string>>& env = {},
                        std::chrono::milliseconds limit = std::chrono::milliseconds{0});

// Allocated bytes of a path as GNU du counts them (du -s --block-size=1):
// the reference every size the scanner reports is checked against.
std::int64_t du_bytes(const std::string& path);

// Re-runs a single test of the current binary (usually a DISABLED_ one that
// prints what it sees) in a child with the given environment changes. Used
// for process-wide facts that are computed once, such as the sandbox flags.
ChildResult run_test_in_child(const std::string& test_name,
                              const std::map<std::string, std::optional<std::string>>& env);

}  // namespace testing_support
