// The settings file: what save writes, what load accepts, values that must
// round-trip byte for byte, and files that are broken, hostile or too big.
#include "base/settings.h"

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using testing_support::exists_no_follow;
using testing_support::FakeHome;
using testing_support::read_file;

void put(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// A fake home whose settings file the tests write and read directly.
class SettingsFile : public ::testing::Test {
protected:
    std::string file() const { return SettingsStore().path(); }

    // What a fresh store takes from the file as it is.
    Settings load_existing() const {
        SettingsStore store;
        store.load();
        return store.get();
    }

    Settings load(const std::string& content) const {
        put(file(), content);
        return load_existing();
    }

    // A folder inside the fake home, for projects_root values that must exist.
    std::string folder(const std::string& name) const {
        testing_support::make_dirs(m_home.path(), name);
        return m_home / name;
    }

    FakeHome m_home;
};

// The defaults with one age chosen.
Settings with_age(int days) {
    Settings s;
    s.older_than_days = days;
    return s;
}

void expect_settings(const Settings& got, const Settings& want) {
    EXPECT_EQ(got.language, want.language);
    EXPECT_EQ(got.theme, want.theme);
    EXPECT_EQ(got.projects_root, want.projects_root);
    EXPECT_EQ(got.file_manager_command, want.file_manager_command);
    EXPECT_EQ(got.kept, want.kept);
    EXPECT_EQ(got.older_than_days, want.older_than_days);
}

// --- Saving ---

TEST_F(SettingsFile, SaveWritesEightLinesInFixedOrderAndLeavesNoTemporaryFile) {
    SettingsStore store;
    EXPECT_FALSE(exists_no_follow(file())) << "nothing is written before a change";
    store.mutable_get() = {"de", "dark", "/srv/code", "nautilus %s", {"/srv/code/app", "/a\"b"}};
    ASSERT_TRUE(store.save());
    EXPECT_EQ(read_file(file()),
              "{\n"
              "  \"language\": \"de\",\n"
              "  \"theme\": \"dark\",\n"
              "  \"projects_root\": \"/srv/code\",\n"
              "  \"file_manager_command\": \"nautilus %s\",\n"
              "  \"older_than_days\": \"90\",\n"
              "  \"kept\": [\"/srv/code/app\", \"/a\\\"b\"]\n"
              "}\n");
    EXPECT_FALSE(exists_no_follow(file() + ".tmp"));
    struct stat st {};
    ASSERT_EQ(::stat(file().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
}

TEST_F(SettingsFile, SaveWritesNoInvalidCommandAndNoUnstorableFolder) {
    SettingsStore store;
    store.mutable_get().file_manager_command = std::string(301, 'x');
    store.mutable_get().projects_root = "/home/ann/caf\xE9";  // Latin-1, not UTF-8
    ASSERT_TRUE(store.save());
    const std::string text = read_file(file());
    EXPECT_NE(text.find("\"file_manager_command\": \"\",\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\"projects_root\": \"\",\n"), std::string::npos) << text;
}

TEST_F(SettingsFile, EveryValueRoundTripsExactly) {
    // Folder names that the file's quoting and escaping must carry unchanged.
    const std::vector<std::string> names = {
        "plain",
        "with \"quotes\"",
        "back\\slash",
        "ends with backslash\\",
        "\\\"",
        "tab\there",
        "line\nbreak",
        "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC",
        "x\",\"theme\":\"dark",
        "\\u0041",
    };
    for (const std::string& name : names) {
        SCOPED_TRACE(name);
        SettingsStore store;
        store.mutable_get() = {
            "zh_TW", "auto", folder(name), "dolphin --select %s", {"/srv/" + name, folder(name)}};
        ASSERT_TRUE(store.save());
        SettingsStore fresh;
        fresh.load();
        expect_settings(fresh.get(), store.get());
    }
}

TEST_F(SettingsFile, AValueCannotSmuggleInAnotherKey) {
    const std::string sneaky =
        folder("x\",\"theme\":\"dark\",\"file_manager_command\":\"rm -rf %s");
    SettingsStore store;
    store.mutable_get().projects_root = sneaky;
    ASSERT_TRUE(store.save());
    const Settings got = load(read_file(file()));
    EXPECT_EQ(got.theme, "light");
    EXPECT_EQ(got.file_manager_command, "");
    EXPECT_EQ(got.projects_root, sneaky);

    // An older version wrote such a folder unescaped; the repeated keys it
    // produced are ambiguous and ignored.
    const Settings legacy = load(
        "{\n  \"language\": \"auto\",\n  \"theme\": \"light\",\n"
        "  \"projects_root\": \"/x\",\"theme\":\"dark\",\n"
        "  \"file_manager_command\": \"\"\n}\n");
    EXPECT_EQ(legacy.theme, "light");
}

TEST_F(SettingsFile, AFailedWriteLeavesThePreviousFileIntact) {
    SettingsStore store;
    store.mutable_get().theme = "dark";
    ASSERT_TRUE(store.save());
    const std::string before = read_file(file());

    // The temporary name is taken by a folder that cannot be removed.
    ::mkdir((file() + ".tmp").c_str(), 0700);
    put(file() + ".tmp/keep", "x");
    store.mutable_get().theme = "light";
    EXPECT_FALSE(store.save());
    EXPECT_EQ(read_file(file()), before);
    ::unlink((file() + ".tmp/keep").c_str());
    ::rmdir((file() + ".tmp").c_str());

    // The disk fills up halfway through the write (a file size limit of 16
    // bytes, in a child process so the limit stays there).
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        struct rlimit limit {
            16, 16
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::signal(SIGXFSZ, SIG_IGN);
        ::_exit(store.save() ? 0 : 3);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << "save did not report failure";
    EXPECT_EQ(read_file(file()), before);
    EXPECT_FALSE(exists_no_follow(file() + ".tmp"));
}

TEST_F(SettingsFile, SaveDoesNotWriteThroughALinkAtTheTemporaryName) {
    const std::string victim = m_home / "victim";
    put(victim, "precious");
    testing_support::make_symlink(victim, file() + ".tmp");
    SettingsStore store;
    ASSERT_TRUE(store.save());
    EXPECT_EQ(read_file(victim), "precious");
    EXPECT_NE(read_file(file()).find("\"theme\": \"light\""), std::string::npos);
}

// --- Loading ---

struct LoadCase {
    const char* name;
    std::string content;
    Settings expected;
};

TEST_F(SettingsFile, LoadTakesOnlyValuesThatPassTheirCheck) {
    const std::string dir = folder("code");
    put(m_home / "plain-file", "");
    const Settings d;  // the defaults
    const std::string cmd300(300, 'c');
    const LoadCase cases[] = {
        {"theme alone, one line", "{\"theme\":\"dark\"}", {"auto", "dark", "", "", {}}},
        {"no braces, odd spacing", "\"theme\"  :\n\t\"auto\"", {"auto", "auto", "", "", {}}},
        {"capitalised theme", "{\"theme\": \"Dark\"}", d},
        {"language code", "{\"language\": \"pt\"}", {"pt", "light", "", "", {}}},
        {"unknown language", "{\"language\": \"xx\"}", d},
        {"empty language", "{\"language\": \"\"}", d},
        {"region not compiled in", "{\"language\": \"pt_BR\"}", d},
        {"existing folder", "{\"projects_root\": \"" + dir + "\"}", {"auto", "light", dir, "", {}}},
        {"tilde folder", "{\"projects_root\": \"~/code\"}", d},
        {"relative folder", "{\"projects_root\": \"code\"}", d},
        {"missing folder", "{\"projects_root\": \"" + dir + "/nope\"}", d},
        {"file, not folder", "{\"projects_root\": \"" + m_home / "plain-file" + "\"}", d},
        {"command of 300 bytes",
         "{\"file_manager_command\": \"" + cmd300 + "\"}",
         {"auto", "light", "", cmd300, {}}},
        {"command of 301 bytes", "{\"file_manager_command\": \"" + cmd300 + "c\"}", d},
        {"command of blanks", "{\"file_manager_command\": \"  \"}", d},
        {"escaped quote in command", "{\"file_manager_command\": \"a\\\"b\"}", d},
        {"escaped tab in command", "{\"file_manager_command\": \"a\\tb\"}", d},
        {"keys in any order, extra keys",
         "{\"zoom\": \"2\", \"file_manager_command\": \"thunar\", \"theme\": \"dark\", "
         "\"language\": \"ar\"}",
         {"ar", "dark", "", "thunar", {}}},
        {"key repeated", "{\"theme\": \"dark\", \"theme\": \"auto\"}", d},
        {"key text inside a value", "{\"language\": \"theme\", \"x\": \"\\\"theme\\\": \\\"dark\"}",
         d},
        {"value not a string", "{\"theme\": dark, \"x\": \"dark\"}", d},
        {"malformed escape", "{\"theme\": \"da\\rk\", \"language\": \"d\\e\"}", d},
        {"escaped letters", "{\"theme\": \"\\u0064ark\"}", {"auto", "dark", "", "", {}}},
        {"unterminated value",
         "{\"language\": \"de\", \"theme\": \"dark",
         {"de", "light", "", "", {}}},
        {"empty file", "", d},
        {"keep-list", "{\"kept\": [\"/a\", \"/b c\"]}", {"auto", "light", "", "", {"/a", "/b c"}}},
        {"keep-list, odd spacing",
         "{\"kept\":[\n\"/a\"\t,\"/b\"  ]}",
         {"auto", "light", "", "", {"/a", "/b"}}},
        {"keep-list empty", "{\"kept\": []}", d},
        {"keep-list drops relative, empty, repeated and non-UTF-8 folders",
         "{\"kept\": [\"code\", \"\", \"/a\", \"/a\", \"/caf\xE9\", \"~/x\"]}",
         {"auto", "light", "", "", {"/a"}}},
        {"keep-list escapes",
         "{\"kept\": [\"/a\\\"b\", \"/\\u00e9\"]}",
         {"auto", "light", "", "", {"/a\"b", "/\xC3\xA9"}}},
        {"keep-list not closed", "{\"kept\": [\"/a\", \"/b\"", d},
        {"keep-list with a number", "{\"kept\": [\"/a\", 3]}", d},
        {"keep-list missing comma", "{\"kept\": [\"/a\" \"/b\"]}", d},
        {"keep-list trailing comma", "{\"kept\": [\"/a\",]}", d},
        {"keep-list a string", "{\"kept\": \"/a\"}", d},
        {"keep-list bad escape", "{\"kept\": [\"/a\\q\"]}", d},
        {"an offered age", "{\"older_than_days\": \"365\"}", with_age(365)},
        {"an age not offered", "{\"older_than_days\": \"45\"}", d},
        {"an age as a number", "{\"older_than_days\": 30}", d},
        {"an age with a sign", "{\"older_than_days\": \"+30\"}", d},
    };
    for (const LoadCase& c : cases) {
        SCOPED_TRACE(c.name);
        expect_settings(load(c.content), c.expected);
    }
}

TEST_F(SettingsFile, LoadKeepsWhatTheStoreHeldForValuesItCannotUse) {
    put(file(), "{\"theme\": \"purple\", \"language\": \"de\"}");
    SettingsStore store;
    store.mutable_get() = {"fr", "dark", "", "caja", {}};
    store.load();
    expect_settings(store.get(), {"de", "dark", "", "caja", {}});
}

TEST_F(SettingsFile, AnOlderVersionsFileLoadsAsBefore) {
    // Written without escaping: a backslash in a folder name was stored raw.
    const std::string dir = folder("C:\\new");
    const Settings got = load(
        "{\n  \"language\": \"sv\",\n  \"theme\": \"dark\",\n"
        "  \"projects_root\": \"" +
        dir +
        "\",\n"
        "  \"file_manager_command\": \"nemo %s\"\n}\n");
    expect_settings(got, {"sv", "dark", dir, "nemo %s", {}});
}

TEST_F(SettingsFile, BrokenFilesGiveDefaultsOrTheirOwnValuesNeverOthers) {
    const std::string dir = folder("proj");
    SettingsStore store;
    store.mutable_get() = {"de", "dark", dir, "nautilus %s", {}};
    ASSERT_TRUE(store.save());
    const std::string full = read_file(file());
    const Settings d;
    // Every truncation of a good file: each field is either its saved value or
    // the default, never anything else.
    for (std::size_t n = 0; n <= full.size(); ++n) {
        const Settings got = load(full.substr(0, n));
        SCOPED_TRACE(n);
        EXPECT_TRUE(got.language == "de" || got.language == d.language) << got.language;
        EXPECT_TRUE(got.theme == "dark" || got.theme == d.theme) << got.theme;
        EXPECT_TRUE(got.projects_root == dir || got.projects_root.empty()) << got.projects_root;
        EXPECT_TRUE(got.file_manager_command == "nautilus %s" || got.file_manager_command.empty());
    }
    // Random bytes, biased towards the characters the reader cares about.
    std::mt19937 rng(20240314);
    const char kAlphabet[] =
        "\"\\:{}, \n\tutheme\x00\xFF\x80"
        "dark";
    const std::string alphabet(kAlphabet, sizeof kAlphabet - 1);
    for (int round = 0; round < 300; ++round) {
        std::string junk(rng() % 400, '\0');
        for (char& c : junk)
            c = (rng() % 4 == 0) ? static_cast<char>(rng()) : alphabet[rng() % alphabet.size()];
        const Settings got = load(junk);
        EXPECT_TRUE(got.theme == "light" || got.theme == "dark" || got.theme == "auto");
        EXPECT_TRUE(got.projects_root.empty());
    }
}

TEST_F(SettingsFile, HugeOddAndUnreadableFilesGiveTheDefaults) {
    const Settings d;
    // Tens of megabytes: not a file this program wrote, even with a key inside.
    {
        std::ofstream big(file(), std::ios::binary | std::ios::trunc);
        big << "{\"theme\": \"dark\", \"pad\": \"";
        const std::string chunk(1 << 20, 'x');
        for (int i = 0; i < 40; ++i)
            big << chunk;
        big << "\"}";
    }
    expect_settings(load_existing(), d);

    ::unlink(file().c_str());
    ASSERT_EQ(::mkfifo(file().c_str(), 0600), 0);
    expect_settings(load_existing(), d);  // returns at once instead of waiting for a writer

    ::unlink(file().c_str());
    ASSERT_EQ(::mkdir(file().c_str(), 0700), 0);
    expect_settings(load_existing(), d);
    ::rmdir(file().c_str());

    expect_settings(load_existing(), d);  // no file at all
}

// --- Helpers ---

TEST(KeepList, AddingTakesEachStorableFolderOnceAndStopsWhenFull) {
    Settings s;
    EXPECT_TRUE(settings_util::add_kept(s, "/home/ann/code/app"));
    EXPECT_FALSE(settings_util::add_kept(s, "/home/ann/code/app")) << "already there";
    EXPECT_FALSE(settings_util::add_kept(s, "code/app")) << "relative";
    EXPECT_FALSE(settings_util::add_kept(s, "")) << "names no folder";
    EXPECT_FALSE(settings_util::add_kept(s, "/caf\xE9")) << "not UTF-8";
    EXPECT_EQ(s.kept, std::vector<std::string>{"/home/ann/code/app"});
    for (std::size_t i = s.kept.size(); i < settings_util::kMaxKept; ++i)
        ASSERT_TRUE(settings_util::add_kept(s, "/k/" + std::to_string(i)));
    EXPECT_FALSE(settings_util::add_kept(s, "/one/more"));
    EXPECT_EQ(s.kept.size(), settings_util::kMaxKept);
}

TEST(FileManagerCommand, AcceptsPrintableCommandsUpTo300Bytes) {
    struct Case {
        std::string cmd;
        bool valid;
    };
    const Case cases[] = {
        {"nautilus %s", true},
        {"dolphin --select %s", true},
        {"caja \xE2\x80\x94 %s", true},  // UTF-8 text passes
        {"\x80", true},
        {std::string(300, 'a'), true},
        {std::string(301, 'a'), false},
        {"", false},
        {" \t ", false},
        {"a\tb", false},
        {"a\nb", false},
        {"a\x7f", false},
        {"nautilus \"%s\"", false},
        {"C:\\tools", false},
        {std::string("a\0b", 3), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(settings_util::valid_file_manager_command(c.cmd), c.valid) << c.cmd;
}

TEST(ProjectsRoot, RefusesOnlyRelativePathsAndTextThatIsNotUtf8) {
    EXPECT_EQ(settings_util::projects_root_refusal(""), nullptr);
    EXPECT_EQ(settings_util::projects_root_refusal("/home/ann/code"), nullptr);
    EXPECT_EQ(settings_util::projects_root_refusal("/home/ann/\"odd\\\""), nullptr);
    EXPECT_EQ(settings_util::projects_root_refusal("/home/ann/caf\xC3\xA9"), nullptr);
    EXPECT_NE(settings_util::projects_root_refusal("code"), nullptr);
    EXPECT_NE(settings_util::projects_root_refusal("/home/ann/caf\xE9"), nullptr);
    EXPECT_NE(settings_util::projects_root_refusal("/home/ann/\xE6\x97"), nullptr);
}

TEST(JsonString, EscapingRoundTripsEveryByte) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    const std::string escaped = settings_util::json_escape(all);
    for (unsigned char c : escaped)
        EXPECT_TRUE(c >= 0x20 && c != 0x7F) << "raw control byte " << int(c);
    EXPECT_EQ(settings_util::json_unescape(escaped), all);
    EXPECT_EQ(settings_util::json_escape("a\"b\\c\n\x7f"), "a\\\"b\\\\c\\u000a\\u007f");
}

TEST(JsonString, UnescapesWhatOtherWritersProduceAndRefusesTheMalformed) {
    EXPECT_EQ(settings_util::json_unescape("\\/\\b\\f\\n\\r\\t"), "/\b\f\n\r\t");
    EXPECT_EQ(settings_util::json_unescape("caf\\u00e9"), "caf\xC3\xA9");
    EXPECT_EQ(settings_util::json_unescape("\\u65E5"), "\xE6\x97\xA5");
    EXPECT_EQ(settings_util::json_unescape("\\ud83d\\ude00"), "\xF0\x9F\x98\x80");
    for (const char* bad : {"\\", "a\\", "\\x", "\\u12", "\\u12g4", "\\u0000", "\\ud83d",
                            "\\ud83dx", "\\ud83d\\u0041", "\\ude00"}) {
        EXPECT_EQ(settings_util::json_unescape(bad), std::nullopt) << bad;
    }
}

TEST(JsonString, KeysAreFoundOnlyOutsideValuesAndOnlyOnce) {
    using settings_util::raw_string_value;
    EXPECT_EQ(raw_string_value("{\"a\": \"x\\\"y\"}", "a"), "x\\\"y");
    EXPECT_EQ(raw_string_value("{\"a\": \"\\\"b\\\": \\\"z\"}", "b"), std::nullopt);
    EXPECT_EQ(raw_string_value("{\"b\": \"a\", \"a\": \"q\"}", "a"), "q");
    EXPECT_EQ(raw_string_value("{\"a\": \"1\", \"a\": \"1\"}", "a"), std::nullopt);
    EXPECT_EQ(raw_string_value("{\"a\" \"x\"}", "a"), std::nullopt);
    EXPECT_EQ(raw_string_value("{\"a\": 5}", "a"), std::nullopt);
    EXPECT_EQ(raw_string_value("{\"a\": \"x", "a"), std::nullopt);
}

}  // namespace
