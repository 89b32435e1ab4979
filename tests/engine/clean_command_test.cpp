// brushwick-clean run as a program on fake homes: a dry run leaves the home
// as it was, --yes removes exactly the plan, the filters pick what they say,
// kept, in-use and changed entries are refused with their reasons, a typed
// answer other than "yes" deletes nothing, and mistakes in the options end
// with status 2 before anything is touched.
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <ctime>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "deletion_support.h"
#include "test_support.h"

namespace {

using testing_support::FakeHome;
using testing_support::snapshot;
using testing_support::TempDir;
using testing_support::write_file;

using Tree = std::map<std::string, std::string>;

constexpr std::time_t kDay = 86400;

// --- Running the program ---

struct Outcome {
    int status = -1;  // exit status, -1 when it did not exit normally
    std::string out;  // standard output
    std::string err;  // standard error
};

std::vector<char*> argv_of(std::vector<std::string>& args) {
    std::vector<char*> argv;
    for (std::string& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    return argv;
}

int exit_status_of(pid_t pid) {
    int raw = 0;
    while (::waitpid(pid, &raw, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
}

// Runs brushwick-clean with standard input on /dev/null (no terminal, so it
// never asks) and both outputs captured in files outside the home.
Outcome run_clean(const std::vector<std::string>& options) {
    TempDir io;
    const std::string out_path = io / "out";
    const std::string err_path = io / "err";
    std::vector<std::string> args = {BRUSHWICK_CLEAN_EXE};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv = argv_of(args);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int in = ::open("/dev/null", O_RDONLY);
        const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (in < 0 || out < 0 || err < 0 || ::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 ||
            ::dup2(err, 2) < 0)
            ::_exit(126);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    Outcome o;
    o.status = exit_status_of(pid);
    o.out = testing_support::read_file(out_path);
    o.err = testing_support::read_file(err_path);
    return o;
}

// brushwick-clean on a terminal: waits until it asks, lets the test act,
// types answer and returns everything the terminal showed.
Outcome run_on_terminal(const std::vector<std::string>& options, const std::string& answer,
                        const std::function<void()>& before_answer) {
    std::vector<std::string> args = {BRUSHWICK_CLEAN_EXE};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv = argv_of(args);
    int master = -1;
    const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
    if (pid == 0) {
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    Outcome o;
    if (pid < 0)
        return o;
    // Blocking reads are the gate: the question is printed only after the
    // scan, and the read after the child ended fails with EIO.
    const auto read_some = [&] {
        char buf[4096];
        const ssize_t n = ::read(master, buf, sizeof buf);
        if (n > 0)
            o.out.append(buf, static_cast<std::size_t>(n));
        return n > 0 || (n < 0 && errno == EINTR);
    };
    while (o.out.find("Type 'yes'") == std::string::npos && read_some()) {
    }
    before_answer();
    const std::string line = answer + "\n";
    EXPECT_EQ(::write(master, line.data(), line.size()), static_cast<ssize_t>(line.size()));
    while (read_some()) {
    }
    ::close(master);
    o.status = exit_status_of(pid);
    return o;
}

// The paths of the plan in the JSON output, in order.
std::vector<std::string> planned(const std::string& json) {
    std::vector<std::string> out;
    const std::string end_of_plan = json.substr(0, json.find("\"total\""));
    const std::string key = "{\"path\": \"";
    for (std::size_t at = end_of_plan.find(key); at != std::string::npos;
         at = end_of_plan.find(key, at + 1)) {
        const std::size_t from = at + key.size();
        out.push_back(end_of_plan.substr(from, end_of_plan.find('"', from) - from));
    }
    return out;
}

// The tree without the entries at or below the given absolute paths.
Tree without(Tree tree, const std::string& root, const std::vector<std::string>& gone) {
    for (const std::string& path : gone) {
        const std::string rel = path.substr(root.size());
        for (auto it = tree.begin(); it != tree.end();) {
            const bool below = it->first == rel || it->first.rfind(rel + "/", 0) == 0;
            it = below ? tree.erase(it) : std::next(it);
        }
    }
    return tree;
}

// A file of bytes bytes at root/rel, its folders made first.
void put(const std::string& root, const std::string& rel, std::size_t bytes) {
    testing_support::make_dirs(root, rel.substr(0, rel.rfind('/') + 1));
    write_file(root + "/" + rel, bytes);
}

// The paths that differ between two trees, one a line ("-" gone, "+" new,
// "~" changed): short messages where whole trees would flood the log.
std::string changes(const Tree& expected, const Tree& actual) {
    std::string out;
    for (const auto& [path, what] : expected) {
        const auto it = actual.find(path);
        if (it == actual.end())
            out += "- " + path + "\n";
        else if (it->second != what)
            out += "~ " + path + "\n";
    }
    for (const auto& entry : actual) {
        if (!expected.count(entry.first))
            out += "+ " + entry.first + "\n";
    }
    return out;
}

void set_times(const std::string& path, std::time_t when) {
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

// --- A fake home with one entry of each kind ---

class CleanCommand : public ::testing::Test {
protected:
    void SetUp() override {
        // The settings live outside the home, so that the home's snapshot
        // sees only what deletion does.
        m_home.env().set("XDG_CONFIG_HOME", m_config.path());
        put(home().path(), ".npm/_cacache/content-v2/blob", 200000);
        put(home().path(), ".cache/pip/http/blob", 50000);
        put(home().path(), ".rustup/toolchains/1.70.0/bin/rustc", 30000);
        put(home().path(), ".rustup/toolchains/1.9.0/bin/rustc", 20000);
        put(home().path(), ".m2/repository/org/lib.jar", 10000);
        put(home().path(), "code/app/package.json", 100);
        put(home().path(), "code/app/node_modules/a/index.js", 5000);
        put(home().path(), "code/old/package.json", 100);
        put(home().path(), "code/old/node_modules/b/index.js", 8000);
        put(home().path(), "notes/todo.txt", 300);
        // The old project was last worked on 100 days ago; its node_modules
        // itself is new.
        const std::time_t long_ago = std::time(nullptr) - 100 * kDay;
        for (const char* rel : {"code/old/package.json", "code/old"})
            set_times(at(rel), long_ago);
    }

    const FakeHome& home() const { return m_home; }
    std::string at(const std::string& rel) const { return m_home / rel; }
    Tree tree() const { return snapshot(m_home.path()); }

    void keep(const std::string& path) {
        testing_support::make_dirs(m_config.path(), "Brushwick/");
        const std::string json = "{\"kept\": [\"" + path + "\"]}\n";
        FILE* f = std::fopen((m_config / "Brushwick/settings.json").c_str(), "w");
        ASSERT_NE(f, nullptr);
        ASSERT_EQ(std::fwrite(json.data(), 1, json.size(), f), json.size());
        ASSERT_EQ(std::fclose(f), 0);
    }

    // What the default filters plan on this home: the Safe entries.
    std::vector<std::string> safe_entries() const {
        return {at(".npm/_cacache"), at(".cache/pip"), at("code/app/node_modules"),
                at("code/old/node_modules")};
    }

private:
    FakeHome m_home;   // HOME points here
    TempDir m_config;  // XDG_CONFIG_HOME: the settings and their keep-list
};

// Compares sets so that the catalog's order does not matter.
std::set<std::string> as_set(const std::vector<std::string>& v) {
    return {v.begin(), v.end()};
}

// --- Dry run and deletion ---

TEST_F(CleanCommand, ADryRunDeletesNothing) {
    const Tree before = tree();
    const Outcome text = run_clean({});
    EXPECT_EQ(text.status, 0) << text.err;
    for (const std::string& path : safe_entries())
        EXPECT_NE(text.out.find("  " + path + "\n"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("Nothing deleted (add --yes to delete)."), std::string::npos);
    const Outcome json = run_clean({"--json", "--safety", "risky"});
    EXPECT_EQ(json.status, 0) << json.err;
    EXPECT_NE(json.out.find("\"result\": null}"), std::string::npos) << json.out;
    EXPECT_EQ(changes(before, tree()), "");
    // Not a terminal: no progress line.
    EXPECT_EQ(text.err.find('\r'), std::string::npos);
}

TEST_F(CleanCommand, YesDeletesExactlyThePlanAndNothingElse) {
    const Tree before = tree();
    const Outcome o = run_clean({"--yes", "--json"});
    ASSERT_EQ(o.status, 0) << o.err << o.out;
    EXPECT_EQ(as_set(planned(o.out)), as_set(safe_entries())) << o.out;
    const std::size_t list = o.out.find("\"deleted\": [");
    ASSERT_NE(list, std::string::npos) << o.out;
    const std::string deleted = o.out.substr(list, o.out.find(']', list) - list);
    for (const std::string& path : safe_entries())
        EXPECT_NE(deleted.find("\"" + path + "\""), std::string::npos) << deleted;
    EXPECT_NE(o.out.find("\"failed\": [], \"space\": [{\"mount_point\": "), std::string::npos)
        << o.out;
    EXPECT_EQ(changes(without(before, home().path(), safe_entries()), tree()), "");
}

TEST_F(CleanCommand, TheTextRunReportsTheSpaceFreedPerFilesystem) {
    const Outcome o = run_clean({"--yes", "--category", "npmCache"});
    ASSERT_EQ(o.status, 0) << o.err;
    EXPECT_NE(o.out.find("Deleted 1 of 1, freed "), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("Free on "), std::string::npos) << o.out;
    EXPECT_FALSE(testing_support::exists_no_follow(at(".npm/_cacache")));
    EXPECT_TRUE(testing_support::exists_no_follow(at(".cache/pip/http/blob")));
}

TEST_F(CleanCommand, FiltersPickWhatTheyShould) {
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> planned;
    };
    const Case cases[] = {
        {{"--category", "npmCache", "--category", "pipCache"},
         {at(".npm/_cacache"), at(".cache/pip")}},
        // The newest toolchain is spared; the older one is Caution.
        {{"--category", "rustupToolchains"}, {}},
        {{"--category", "rustupToolchains", "--safety", "caution"},
         {at(".rustup/toolchains/1.9.0")}},
        {{"--category", "mavenRepo", "--safety=caution"}, {at(".m2/repository/org")}},
        // A project's leftover is as old as the project's own files.
        {{"--older-than", "30"}, {at("code/old/node_modules")}},
        {{"--min-size", "100K"}, {at(".npm/_cacache")}},
        {{"--path", at(".rustup/toolchains/1.70.0")}, {at(".rustup/toolchains/1.70.0")}},
    };
    const Tree before = tree();
    for (const Case& c : cases) {
        std::vector<std::string> args = c.args;
        args.push_back("--json");
        const Outcome o = run_clean(args);
        EXPECT_EQ(o.status, 0) << c.args[0] << ": " << o.err;
        EXPECT_EQ(as_set(planned(o.out)), as_set(c.planned)) << c.args[0] << " " << c.args[1];
    }
    EXPECT_EQ(changes(before, tree()), "");
}

// --- Refusals ---

TEST_F(CleanCommand, AKeptEntryIsRefusedWithItsReason) {
    keep(at(".cache/pip"));
    const Tree before = tree();
    const Outcome filtered = run_clean({"--yes", "--category", "pipCache"});
    EXPECT_EQ(filtered.status, 0) << filtered.err;
    EXPECT_NE(filtered.out.find("1 kept entry left alone"), std::string::npos) << filtered.out;
    const Outcome asked = run_clean({"--yes", "--path", at(".cache/pip")});
    EXPECT_EQ(asked.status, 1);
    EXPECT_NE(asked.err.find("brushwick-clean: " + at(".cache/pip") + ": On your keep list\n"),
              std::string::npos)
        << asked.err;
    EXPECT_EQ(changes(before, tree()), "");
}

TEST_F(CleanCommand, AnEntryInUseIsRefusedWithTheProcessAndTheRestGoes) {
    // A process whose working folder is inside the npm cache, running until
    // the test ends.
    const std::string inside = at(".npm/_cacache/content-v2");
    const testing_support::Sleeper holder(testing_support::find_program("sleep"), [&] {
        if (::chdir(inside.c_str()) != 0)
            ::_exit(126);
    });
    ASSERT_TRUE(holder.started());

    const Tree before = tree();
    const Outcome o = run_clean({"--yes", "--category", "npmCache", "--category", "pipCache"});

    EXPECT_EQ(o.status, 1);
    const std::string refusal = "brushwick-clean: " + at(".npm/_cacache") + ": In use by sleep (" +
                                std::to_string(holder.pid()) + ")\n";
    EXPECT_NE(o.err.find(refusal), std::string::npos) << o.err;
    EXPECT_EQ(changes(without(before, home().path(), {at(".cache/pip")}), tree()), "");
}

TEST_F(CleanCommand, OnATerminalOnlyYesDeletesAndAChangedEntryIsRefused) {
    const Tree before = tree();
    const Outcome declined = run_on_terminal({"--category", "pipCache"}, "y", [] {});
    EXPECT_EQ(declined.status, 0) << declined.out;
    EXPECT_NE(declined.out.find("Nothing deleted"), std::string::npos) << declined.out;
    // The progress line, rewritten in place while the scan runs.
    EXPECT_NE(declined.out.find("\rScanning "), std::string::npos) << declined.out;
    EXPECT_EQ(changes(before, tree()), "");

    // Replaced after the scan and before the answer: another folder stands
    // at the path the plan names.
    const Outcome changed = run_on_terminal({"--category", "pipCache"}, "yes", [&] {
        ASSERT_EQ(::rename(at(".cache/pip").c_str(), at(".cache/pip-moved").c_str()), 0);
        put(home().path(), ".cache/pip/new", 10);
    });
    EXPECT_EQ(changed.status, 1) << changed.out;
    EXPECT_NE(changed.out.find("\rDeleting 1/1: " + at(".cache/pip")), std::string::npos)
        << changed.out;
    EXPECT_NE(changed.out.find(at(".cache/pip") + ": Changed since the scan"), std::string::npos)
        << changed.out;
    EXPECT_TRUE(testing_support::exists_no_follow(at(".cache/pip/new")));
    EXPECT_TRUE(testing_support::exists_no_follow(at(".cache/pip-moved/http/blob")));
}

// --- Mistakes ---

TEST_F(CleanCommand, MistakesEndWithStatus2AndTouchNothing) {
    struct Case {
        std::vector<std::string> args;
        std::string in_error;
    };
    const Case cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"--safety", "extreme"}, "'extreme'"},
        {{"--older-than", "-3"}, "'-3'"},
        {{"--min-size", "12X"}, "'12X'"},
        {{"--min-size", "99999999999999999999"}, "'99999999999999999999'"},
        {{"--category"}, "--category needs a value"},
        {{"--category", "npmcache"}, "unknown category 'npmcache'"},
        {{"--path", at("notes"), "--safety", "risky"}, "cannot be combined"},
        {{"--path", at("notes"), "--yes"}, at("notes") + " is no entry the scan found"},
        {{"--projects", at("missing")}, "no such folder"},
    };
    const Tree before = tree();
    for (const Case& c : cases) {
        const Outcome o = run_clean(c.args);
        EXPECT_EQ(o.status, 2) << c.args[0];
        EXPECT_NE(o.err.find(c.in_error), std::string::npos) << c.args[0] << ": " << o.err;
        EXPECT_NE(o.err.find("Try 'brushwick-clean --help'."), std::string::npos) << o.err;
        EXPECT_EQ(o.out, "") << c.args[0];
    }
    EXPECT_EQ(changes(before, tree()), "");
    const Outcome help = run_clean({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind("Usage: brushwick-clean", 0), 0u) << help.out;
}

}  // namespace
