// Revealing paths, naming the file manager, opening links and choosing a
// folder: the user's command run as a recording script, a fake
// org.freedesktop.FileManager1 on a private session bus, a fake default
// folder handler in private XDG folders (desktop_fakes.h), and what is left
// when there is no bus or no handler at all.
//
// GLib shares one session connection per process and computes the sandbox
// flags and the default applications once, so every test that depends on
// them runs in a child process (the DISABLED_ tests, started by the tests at
// the end).
#include "desktop/file_manager.h"

#include <gtest/gtest.h>
#include <gtk/gtk.h>
#include <sys/prctl.h>

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "desktop_fakes.h"
#include "session_services.h"
#include "test_support.h"

namespace {

using testing_support::answer_chooser;
using testing_support::FakeDesktop;
using testing_support::FakeFileManager;
using testing_support::PrivateSessionBus;
using testing_support::Recorder;
using testing_support::run_test_in_child;
using testing_support::ScopedEnv;
using testing_support::TempDir;
using Args = std::vector<std::string>;

// A critical from GLib means a call was misused (a wrong variant format, a
// GTK call without a display): fail loudly instead of going on.
const bool kCriticalsAreFatal = [] {
    g_log_set_always_fatal(static_cast<GLogLevelFlags>(G_LOG_FATAL_MASK | G_LOG_LEVEL_CRITICAL));
    return true;
}();

// --- Pure steps ---

TEST(CustomCommand, PlaceholdersExpandInsideTheirArgumentAndThePathIsNeverSplit) {
    const std::string spaced = "/home/ann/a b.txt";
    const struct {
        const char* command;
        std::string path;
        Args want;
    } cases[] = {
        {"fm --select %s", spaced, {"fm", "--select", spaced}},
        {"fm", spaced, {"fm", spaced}},
        {"fm --new-window", "/x", {"fm", "--new-window", "/x"}},
        {"fm --x=%s:%s", "/a b", {"fm", "--x=/a b:/a b"}},
        {"fm %s%s", "/p", {"fm", "/p/p"}},
        {"'my fm' --open %s", "/p", {"my fm", "--open", "/p"}},
        {"fm '--label=%s here'", "/p", {"fm", "--label=/p here"}},
        // The path's own "%s" is not a placeholder of the command.
        {"fm %s", "/tmp/100%s", {"fm", "/tmp/100%s"}},
        {"fm --a=%s --b=%s", "/%s", {"fm", "--a=/%s", "--b=/%s"}},
        // Shell characters in the path reach the program as they are.
        {"fm %s", "/home/ann/it's $HOME;`x`", {"fm", "/home/ann/it's $HOME;`x`"}},
        // A lone percent sign is no placeholder, so the path is appended.
        {"fm 100%", "/p", {"fm", "100%", "/p"}},
        {"  fm\t%s  ", "/p", {"fm", "/p"}},
    };
    for (const auto& c : cases) {
        const auto cmd = file_manager::detail::expand_command(c.command, c.path);
        EXPECT_EQ(cmd.refusal, nullptr) << c.command;
        EXPECT_EQ(cmd.argv, c.want) << c.command;
    }
}

TEST(CustomCommand, UnparsableCommandsAreRefusedWithAReason) {
    const struct {
        const char* command;
        const char* reason_part;
    } cases[] = {
        {"fm '%s", "quote"}, {"fm --select \"%s", "quote"}, {"'fm %s", "quote"},
        {"", "no program"},  {"   \t ", "no program"},
    };
    for (const auto& c : cases) {
        const auto cmd = file_manager::detail::expand_command(c.command, "/p");
        EXPECT_TRUE(cmd.argv.empty()) << c.command;
        ASSERT_NE(cmd.refusal, nullptr) << c.command;
        EXPECT_NE(std::string(cmd.refusal).find(c.reason_part), std::string::npos)
            << c.command << ": " << cmd.refusal;
    }
}

TEST(ProcessName, FirstLineIsTrimmedAndCapitalised) {
    const struct {
        const char* comm;
        const char* want;
    } cases[] = {
        {"nautilus\n", "Nautilus"},
        {"Thunar\n", "Thunar"},
        {"nemo  \n", "Nemo"},
        {"dolphin", "Dolphin"},
        {"caja\r\n", "Caja"},
        {"pcmanfm-qt\nx\n", "Pcmanfm-qt"},
        {"\n", ""},
        {"", ""},
        {"   \n", ""},
        {"1fm\n", "1fm"},
        {"\xc3\xa9tui\n", "\xc3\xa9tui"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(file_manager::detail::name_from_comm(c.comm), c.want) << '"' << c.comm << '"';
}

// file:// followed by an absolute path made only of characters a URI keeps
// as they are, except for the spaces written here as %20.
std::string uri_of(const std::string& path) {
    std::string uri = "file://";
    for (const char c : path)
        uri += c == ' ' ? std::string("%20") : std::string(1, c);
    return uri;
}

// The default handler was started for exactly this folder. GIO hands a local
// file to a "%u" handler as a plain path or as a URI depending on its
// version; either names the folder.
::testing::AssertionResult opened_folder(const Args& args, const std::string& folder) {
    if (args.size() == 1 && (args[0] == folder || args[0] == uri_of(folder)))
        return ::testing::AssertionSuccess();
    auto failure = ::testing::AssertionFailure() << "the handler got:";
    for (const std::string& a : args)
        failure << " [" << a << "]";
    return failure << ", not the folder " << folder;
}

// --- In the test process: the user's command ---

// Runs the reveal with PATH leading to the recorder first, so that the
// command's program name is looked up as the user's would be.
class CommandReveal : public ::testing::Test {
protected:
    file_manager::RevealResult reveal(const std::string& path, const std::string& command) {
        const char* inherited = std::getenv("PATH");
        ScopedEnv path_env{{"PATH", m_recorder.bin() + ":" + (inherited ? inherited : "/bin")}};
        return file_manager::reveal(path, command);
    }
    Recorder m_recorder;
};

TEST_F(CommandReveal, ThePathWithSpacesStaysOneArgument) {
    ASSERT_TRUE(reveal("/home/ann/a b.txt", "fm --select %s").ok);
    EXPECT_EQ(m_recorder.next_run(), (Args{"--select", "/home/ann/a b.txt"}));
}

TEST_F(CommandReveal, BothPlaceholdersOfOneArgumentAreExpanded) {
    ASSERT_TRUE(reveal("/srv/x y", "fm --x=%s:%s").ok);
    EXPECT_EQ(m_recorder.next_run(), (Args{"--x=/srv/x y:/srv/x y"}));
}

TEST_F(CommandReveal, WithoutAPlaceholderThePathIsTheLastArgument) {
    ASSERT_TRUE(reveal("/a b/c", "fm --new-window").ok);
    EXPECT_EQ(m_recorder.next_run(), (Args{"--new-window", "/a b/c"}));
}

TEST_F(CommandReveal, AnUnclosedQuoteStartsNothingAndSaysWhy) {
    const auto refused = reveal("/p", "fm --select '%s");
    EXPECT_FALSE(refused.ok);
    ASSERT_NE(refused.reason, nullptr);
    EXPECT_NE(std::string(refused.reason).find("quote"), std::string::npos) << refused.reason;
    // Had the refused command started the recorder, its run would come first.
    ASSERT_TRUE(reveal("/second", "fm").ok);
    EXPECT_EQ(m_recorder.next_run(), (Args{"/second"}));
}

TEST_F(CommandReveal, AMissingProgramIsReportedNotReplacedByAnotherRoad) {
    const auto r = reveal("/p", "no-such-file-manager-here %s");
    EXPECT_FALSE(r.ok);
    ASSERT_NE(r.reason, nullptr);
    EXPECT_NE(std::string(r.reason).find("not found"), std::string::npos) << r.reason;
}

// A folder (with a space in its name), a file in it, a link to the folder
// and a path that does not exist, below a fresh temporary folder.
struct Places {
    TempDir root;
    std::string folder = root / "my folder";
    std::string file = root / "my folder/notes.txt";
    std::string link = root / "link to folder";
    std::string missing = root / "gone/away.txt";
    Places() {
        testing_support::make_tree(root.path(), {"my folder/notes.txt"});
        testing_support::make_symlink(folder, link);
    }
};

// --- Children: run only through the tests further down ---

TEST(FileManagerChild, DISABLED_FoldersAndFilesGoToTheirMethodsWithTheirUris) {
    FakeDesktop desktop(nullptr);
    PrivateSessionBus bus;
    FakeFileManager fm(bus.address());
    const Places p;
    const struct {
        std::string path;
        const char* method;
    } cases[] = {
        {p.folder, "ShowFolders"},
        {p.link, "ShowFolders"},
        {p.file, "ShowItems"},
        {p.missing, "ShowItems"},
    };
    for (const auto& c : cases) {
        const auto r = file_manager::reveal(c.path, "");
        EXPECT_TRUE(r.ok) << c.path << ": " << (r.reason ? r.reason : "");
    }
    const auto calls = fm.calls();
    ASSERT_EQ(calls.size(), std::size(cases));
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].method, cases[i].method) << cases[i].path;
        EXPECT_EQ(calls[i].uris, Args{uri_of(cases[i].path)}) << cases[i].path;
        EXPECT_EQ(calls[i].startup_id, "");
    }
}

TEST(FileManagerChild, DISABLED_DetectionNamesTheProcessOwningTheService) {
    FakeDesktop desktop(nullptr);
    PrivateSessionBus bus;
    // The service runs in this process: its name is the one the bus reports.
    ASSERT_EQ(::prctl(PR_SET_NAME, "nemo-desktop"), 0);
    FakeFileManager fm(bus.address());
    EXPECT_EQ(file_manager::detect(), "Nemo-desktop");
}

TEST(FileManagerChild, DISABLED_ARefusingFileManagerLeavesItToTheDefaultFolderHandler) {
    Recorder recorder;
    FakeDesktop desktop(&recorder);
    PrivateSessionBus bus;
    FakeFileManager fm(bus.address(), true);
    const Places p;
    ASSERT_TRUE(file_manager::reveal(p.file, "").ok);
    ASSERT_EQ(fm.calls().size(), 1u);
    EXPECT_EQ(fm.calls()[0].method, "ShowItems");
    // The handler opens the file's folder.
    EXPECT_TRUE(opened_folder(recorder.next_run(), p.folder));
}

TEST(FileManagerChild, DISABLED_InASnapTheCustomCommandHasNoEffect) {
    Recorder recorder;
    FakeDesktop desktop(nullptr);
    PrivateSessionBus bus;
    FakeFileManager fm(bus.address());
    const Places p;
    EXPECT_TRUE(file_manager::reveal(p.folder, recorder.program() + " %s").ok);
    const auto calls = fm.calls();
    ASSERT_EQ(calls.size(), 1u) << "the file manager must be asked instead of the command";
    EXPECT_EQ(calls[0].method, "ShowFolders");
}

TEST(FileManagerChild, DISABLED_WithoutABusTheDefaultHandlerOpensTheFolder) {
    Recorder recorder;
    FakeDesktop desktop(&recorder);
    const Places p;
    ASSERT_TRUE(file_manager::reveal(p.file, "").ok);
    EXPECT_TRUE(opened_folder(recorder.next_run(), p.folder));
    ASSERT_TRUE(file_manager::reveal(p.folder, "").ok);
    EXPECT_TRUE(opened_folder(recorder.next_run(), p.folder));
    // A path whose folder is gone too leaves the handler nothing to open.
    const auto gone = file_manager::reveal(p.missing, "");
    EXPECT_FALSE(gone.ok);
    EXPECT_NE(gone.reason, nullptr);

    EXPECT_EQ(file_manager::detect(), "Fake Folders");
    ASSERT_TRUE(file_manager::open_url("mailto:support@example.org"));
    EXPECT_EQ(recorder.next_run(), Args{"mailto:support@example.org"});
    // No display to show a chooser on: nothing chosen, no crash.
    EXPECT_EQ(file_manager::pick_folder(nullptr), std::nullopt);
}

TEST(FileManagerChild, DISABLED_UnderADisplayGtkStartsTheHandlerAndRunsTheChooser) {
    Recorder recorder;
    FakeDesktop desktop(&recorder, true);
    testing_support::VirtualDisplay display;
    ASSERT_TRUE(gtk_init_check(nullptr, nullptr));
    const Places p;
    ASSERT_TRUE(file_manager::reveal(p.file, "").ok);
    EXPECT_TRUE(opened_folder(recorder.next_run(), p.folder));

    answer_chooser(GTK_RESPONSE_CANCEL, "");
    EXPECT_EQ(file_manager::pick_folder(nullptr), std::nullopt);
    answer_chooser(GTK_RESPONSE_ACCEPT, p.folder);
    EXPECT_EQ(file_manager::pick_folder(nullptr), p.folder);
}

TEST(FileManagerChild, DISABLED_WithNoBusAndNoHandlerRevealExplainsAndDetectionIsEmpty) {
    FakeDesktop desktop(nullptr);
    const Places p;
    const auto r = file_manager::reveal(p.folder, "");
    EXPECT_FALSE(r.ok);
    ASSERT_NE(r.reason, nullptr);
    EXPECT_STREQ(r.reason, "No file manager answered.");
    EXPECT_EQ(file_manager::detect(), "");
    EXPECT_FALSE(file_manager::open_url("mailto:support@example.org"));
    EXPECT_FALSE(file_manager::open_url(""));
}

// --- Running the children ---

void expect_child_passes(const std::string& name,
                         std::map<std::string, std::optional<std::string>> env) {
    // No display: GIO starts the default handler itself, and nothing can
    // start a session bus through X11.
    env.emplace("DISPLAY", std::nullopt);
    env.emplace("WAYLAND_DISPLAY", std::nullopt);
    const auto r = run_test_in_child("FileManagerChild.DISABLED_" + name, env);
    EXPECT_EQ(r.exit_code, 0) << r.out;
    EXPECT_NE(r.out.find("[  PASSED  ] 1 test"), std::string::npos) << "did not run: " << r.out;
}

// No address, no bus socket in the runtime folder, no display: no bus at all.
std::map<std::string, std::optional<std::string>> no_bus(const TempDir& runtime) {
    return {{"DBUS_SESSION_BUS_ADDRESS", std::nullopt}, {"XDG_RUNTIME_DIR", runtime.path()}};
}

TEST(FileManagerBus, FoldersAndFilesGoToTheirMethodsWithTheirUris) {
    expect_child_passes("FoldersAndFilesGoToTheirMethodsWithTheirUris", {});
}

TEST(FileManagerBus, DetectionNamesTheProcessOwningTheService) {
    expect_child_passes("DetectionNamesTheProcessOwningTheService", {});
}

TEST(FileManagerBus, ARefusingFileManagerLeavesItToTheDefaultFolderHandler) {
    expect_child_passes("ARefusingFileManagerLeavesItToTheDefaultFolderHandler", {});
}

TEST(FileManagerBus, InASnapTheCustomCommandHasNoEffect) {
    expect_child_passes("InASnapTheCustomCommandHasNoEffect",
                        {{"SNAP", "/snap/brushwick/1"}, {"SNAP_NAME", "brushwick"}});
}

TEST(FileManagerWithoutBus, TheDefaultHandlerOpensTheFolderAndNothingHangs) {
    TempDir runtime;
    expect_child_passes("WithoutABusTheDefaultHandlerOpensTheFolder", no_bus(runtime));
    // An address that leads nowhere fails as fast as none.
    expect_child_passes("WithoutABusTheDefaultHandlerOpensTheFolder",
                        {{"DBUS_SESSION_BUS_ADDRESS", "unix:path=" + (runtime / "no-bus")}});
}

TEST(FileManagerWithoutBus, UnderADisplayGtkStartsTheHandlerAndRunsTheChooser) {
    TempDir runtime;
    auto env = no_bus(runtime);
    // GTK's accessibility bridge would look for a bus of its own.
    env.emplace("NO_AT_BRIDGE", "1");
    expect_child_passes("UnderADisplayGtkStartsTheHandlerAndRunsTheChooser", env);
}

TEST(FileManagerWithoutBus, NoHandlerEitherGivesAReasonAndNoName) {
    TempDir runtime;
    expect_child_passes("WithNoBusAndNoHandlerRevealExplainsAndDetectionIsEmpty", no_bus(runtime));
}

}  // namespace
