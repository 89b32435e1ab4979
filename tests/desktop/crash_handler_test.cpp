// The crash handler: a child process installs it and dies of a real fault or
// an abort; the tests check that it died by that signal, the report's lines in
// order, and what a fake zenity and xdg-open on PATH received. Hostile texts,
// a hostile runtime folder and an injecting environment must arrive as plain
// data; a link planted at the report's path must not be followed.
//
// The fakes record their arguments and environment into files; the fake
// xdg-open, the script's last step, then writes a line into a FIFO the test
// waits on with a bounded poll.
#include "desktop/crash_handler.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "base/strutil.h"
#include "test_support.h"

namespace {

using testing_support::exists_no_follow;
using testing_support::make_dirs;
using testing_support::make_symlink;
using testing_support::read_file;
using testing_support::run_test_in_child;
using testing_support::TempDir;

constexpr const char* kCrashingChild = "CrashChild.DISABLED_InstallsAndCrashes";
constexpr int kDialogTimeoutMs = 30000;

// What the child gets with LANG=C, whatever the language of the test's own session.
const CrashHandler::Texts kEnglish = {"Brushwick - Can you describe when the error occurred?",
                                      "Send crash report", "Don't send",
                                      "Please attach this file: "};

const CrashHandler::Texts kGerman = {
    "Brushwick - Können Sie beschreiben, wann der Fehler aufgetreten ist?", "Absturzbericht senden",
    "Nicht senden", "Bitte die Datei anhängen: "};

// Texts that would run a command if a shell ever parsed them.
CrashHandler::Texts hostile_texts(const std::string& markers) {
    return {"it's \"$(touch " + markers + "/t1)\" `touch " + markers + "/t2`\nsecond line",
            "Send '$(touch " + markers + "/t3)'", "Don't send \\\" ; touch " + markers + "/t4",
            "$(touch " + markers + "/t5) "};
}

// The fake programs and the FIFO they report through, in a folder of their own.
class FakeDesktop {
public:
    FakeDesktop() {
        make_dirs(m_dir.path(), "bin/");
        ::mkfifo(fifo().c_str(), 0600);
        const std::string record = "for a in \"$@\"; do printf '%s\\0' \"$a\"; done > ";
        write_script("zenity", record + quoted(m_dir / "zenity.args") + "\nenv > " +
                                   quoted(m_dir / "zenity.env") +
                                   "\nprintf 'It crashed while I scrolled'\n");
        write_script("xdg-open", record + quoted(m_dir / "xdg-open.args") + "\necho done > " +
                                     quoted(fifo()) + "\n");
        // Opened before the child starts, so the fake's write finds a reader.
        m_fifo_fd = ::open(fifo().c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    }
    ~FakeDesktop() { ::close(m_fifo_fd); }

    std::string bin() const { return m_dir / "bin"; }
    std::string path_variable() const { return bin() + ":/usr/bin:/bin"; }

    // Waits, up to a bound, for the fake xdg-open to say it has run.
    bool wait_for_mail() const {
        pollfd p{m_fifo_fd, POLLIN, 0};
        return ::poll(&p, 1, kDialogTimeoutMs) == 1 && (p.revents & POLLIN) != 0;
    }

    std::vector<std::string> args(const char* program) const {
        const std::string raw = read_file(m_dir / (std::string(program) + ".args"));
        std::vector<std::string> out;
        std::size_t start = 0;
        for (std::size_t nul = raw.find('\0'); nul != std::string::npos;
             nul = raw.find('\0', start)) {
            out.push_back(raw.substr(start, nul - start));
            start = nul + 1;
        }
        return out;
    }
    std::string zenity_env() const { return read_file(m_dir / "zenity.env"); }

private:
    static std::string quoted(const std::string& s) { return "'" + s + "'"; }
    std::string fifo() const { return m_dir / "mail.fifo"; }
    void write_script(const char* name, const std::string& body) const {
        const std::string path = bin() + "/" + name;
        testing_support::write_file(path, 0);
        const std::string text = "#!/bin/sh\n" + body;
        const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC);
        ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(fd);
        ::chmod(path.c_str(), 0755);
    }

    TempDir m_dir;
    int m_fifo_fd = -1;
};

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string percent_decode(const std::string& s) {
    std::string out;
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            out += static_cast<char>(su::hex_digit(s[i + 1]) * 16 + su::hex_digit(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// In the AddressSanitizer build the sanitizer would catch the fault itself and
// exit; the handler under test must get it, as in the shipped program.
std::string sanitizer_options() {
    const char* given = std::getenv("ASAN_OPTIONS");
    return std::string(given != nullptr ? given : "") + ":handle_segv=0";
}

// The environment of every crashing child: the fakes first on PATH, a known
// runtime folder, no desktop or Snap variables, English.
std::map<std::string, std::optional<std::string>> child_env(const FakeDesktop& fakes,
                                                            const std::string& runtime,
                                                            const std::string& crash,
                                                            const std::string& texts) {
    return {{"PATH", fakes.path_variable()},
            {"XDG_RUNTIME_DIR", runtime},
            {"BRUSHWICK_TEST_CRASH", crash},
            {"BRUSHWICK_TEST_TEXTS", texts},
            {"XDG_CURRENT_DESKTOP", std::nullopt},
            {"XDG_SESSION_TYPE", std::nullopt},
            {"SNAP_REVISION", std::nullopt},
            {"SNAP_VERSION", std::nullopt},
            {"LANGUAGE", std::nullopt},
            {"LC_ALL", std::nullopt},
            {"LC_MESSAGES", std::nullopt},
            {"LANG", "C"},
            {"ASAN_OPTIONS", sanitizer_options()}};
}

std::vector<std::string> expected_dialog(const CrashHandler::Texts& t) {
    return {"--text-info",  "--editable",           "--title=" + t.title,           "--width=500",
            "--height=250", "--ok-label=" + t.send, "--cancel-label=" + t.dont_send};
}

// The mail's URL split into its decoded subject and body.
struct Mail {
    std::string address;
    std::string subject;
    std::string body;
};

Mail parse_mail(const std::string& url) {
    const std::string scheme = "mailto:";
    const std::size_t subject = url.find("?subject=");
    const std::size_t body = url.find("&body=");
    if (url.rfind(scheme, 0) != 0 || subject == std::string::npos || body == std::string::npos ||
        body < subject)
        return {};
    return {url.substr(scheme.size(), subject - scheme.size()),
            percent_decode(url.substr(subject + 9, body - subject - 9)),
            percent_decode(url.substr(body + 6))};
}

// "YYYY-MM-DD HH:MM:SS": digits everywhere but at the separators.
bool is_time_text(const std::string& s) {
    const std::string shape = "0000-00-00 00:00:00";
    if (s.size() != shape.size())
        return false;
    for (std::size_t i = 0; i < s.size(); ++i) {
        const bool digit = s[i] >= '0' && s[i] <= '9';
        if (shape[i] == '0' ? !digit : s[i] != shape[i])
            return false;
    }
    return true;
}

}  // namespace

// --- The crashing child ---

// Started by the tests below with BRUSHWICK_TEST_CRASH (segv or abort) and
// BRUSHWICK_TEST_TEXTS (session, german or the folder for hostile texts).
TEST(CrashChild, DISABLED_InstallsAndCrashes) {
    const std::string texts = std::getenv("BRUSHWICK_TEST_TEXTS");
    if (texts == "session") {
        CrashHandler::install();
    } else if (texts == "german") {
        CrashHandler::install(kGerman);
    } else {
        CrashHandler::install(hostile_texts(texts));
    }
    if (std::string(std::getenv("BRUSHWICK_TEST_CRASH")) == "abort")
        std::abort();
    // A store into a page that allows no access: a real fault, which neither
    // the compiler nor UndefinedBehaviorSanitizer can see coming (a null
    // store would be turned into a trap or reported as undefined behaviour).
    void* page = ::mmap(nullptr, 4096, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(page, MAP_FAILED);
    *static_cast<volatile int*>(page) = 1;
    FAIL() << "the child survived its crash";
}

// --- Report, dialog and mail ---

struct CrashCase {
    const char* crash;   // how the child dies
    int sig;             // the signal it must die by
    const char* signal;  // the report's signal text
};

// Names the case in test listings instead of dumping its bytes.
void PrintTo(const CrashCase& c, std::ostream* os) {
    *os << c.crash;
}

class ACrashLeavesAReportAndOffersTheMail : public ::testing::TestWithParam<CrashCase> {};

TEST_P(ACrashLeavesAReportAndOffersTheMail, InOrderAndDiesByItsSignal) {
    const CrashCase& c = GetParam();
    FakeDesktop fakes;
    TempDir runtime;
    const auto result =
        run_test_in_child(kCrashingChild, child_env(fakes, runtime.path(), c.crash, "session"));
    EXPECT_EQ(result.signal, c.sig);
    ASSERT_TRUE(fakes.wait_for_mail());

    const std::string report_path = runtime / crash_detail::kReportName;
    struct stat st {};
    ASSERT_EQ(::lstat(report_path.c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const std::vector<std::string> lines = lines_of(read_file(report_path));
    ASSERT_GE(lines.size(), 13u);
    EXPECT_EQ(lines[0], "=== Brushwick Crash Report ===");
    EXPECT_EQ(lines[1], std::string("Version: ") + BRUSHWICK_VERSION);
    EXPECT_EQ(lines[2], std::string("Signal: ") + c.signal + " (" + std::to_string(c.sig) + ")");
    ASSERT_EQ(lines[3].rfind("Time: ", 0), 0u) << lines[3];
    const std::string time = lines[3].substr(6);
    EXPECT_TRUE(is_time_text(time)) << time;
    EXPECT_EQ(lines[4].rfind("System: Linux ", 0), 0u) << lines[4];
    EXPECT_EQ(lines[5], "Desktop: unknown (unknown)");
    EXPECT_EQ(lines[6], "Snap: no");
    EXPECT_EQ(lines[7], "");
    EXPECT_EQ(lines[8], "Backtrace:");
    const std::size_t n = lines.size();
    EXPECT_GT(n - 4, 10u) << "no stack frames";
    EXPECT_EQ(lines[n - 5], "");
    EXPECT_EQ(lines[n - 4], "=== End Report ===");
    EXPECT_EQ(lines[n - 3], "");
    EXPECT_EQ(lines[n - 2], "User description:");
    EXPECT_EQ(lines[n - 1], "It crashed while I scrolled");

    EXPECT_EQ(fakes.args("zenity"), expected_dialog(kEnglish));
    const std::vector<std::string> open_args = fakes.args("xdg-open");
    ASSERT_EQ(open_args.size(), 1u);
    const Mail mail = parse_mail(open_args[0]);
    EXPECT_EQ(mail.address, "support@brushwick.dev") << open_args[0];
    EXPECT_EQ(mail.subject, std::string("Brushwick Crash: ") + c.signal + " - " + time);
    EXPECT_EQ(mail.body, kEnglish.attach + report_path);
}

INSTANTIATE_TEST_SUITE_P(Signals, ACrashLeavesAReportAndOffersTheMail,
                         ::testing::Values(CrashCase{"segv", SIGSEGV,
                                                     "SIGSEGV (Segmentation fault)"},
                                           CrashCase{"abort", SIGABRT, "SIGABRT (Abort)"}),
                         [](const auto& info) { return std::string(info.param.crash); });

TEST(CrashReport, InASnapTheHeaderNamesTheRevisionVersionAndDesktop) {
    FakeDesktop fakes;
    TempDir runtime;
    auto env = child_env(fakes, runtime.path(), "abort", "session");
    env["SNAP_REVISION"] = "42";
    env["SNAP_VERSION"] = "1.2.3";
    env["XDG_CURRENT_DESKTOP"] = "GNOME";
    env["XDG_SESSION_TYPE"] = "wayland";
    EXPECT_EQ(run_test_in_child(kCrashingChild, env).signal, SIGABRT);
    ASSERT_TRUE(fakes.wait_for_mail());
    const std::vector<std::string> lines = lines_of(read_file(runtime / crash_detail::kReportName));
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[2], "Snap revision: 42");
    EXPECT_EQ(lines[3], "Signal: SIGABRT (Abort) (6)");
    EXPECT_EQ(lines[6], "Desktop: GNOME (wayland)");
    EXPECT_EQ(lines[7], "Snap: yes (v1.2.3)");
}

TEST(CrashDialog, GermanTextsReachTheDialogAndTheMail) {
    FakeDesktop fakes;
    TempDir runtime;
    const auto result =
        run_test_in_child(kCrashingChild, child_env(fakes, runtime.path(), "abort", "german"));
    EXPECT_EQ(result.signal, SIGABRT);
    ASSERT_TRUE(fakes.wait_for_mail());
    EXPECT_EQ(fakes.args("zenity"), expected_dialog(kGerman));
    const std::vector<std::string> open_args = fakes.args("xdg-open");
    ASSERT_EQ(open_args.size(), 1u);
    EXPECT_EQ(parse_mail(open_args[0]).body,
              "Bitte die Datei anhängen: " + runtime / crash_detail::kReportName);
}

TEST(CrashDialog, HostileTextsPathAndEnvironmentArriveAsDataAndRunNothing) {
    FakeDesktop fakes;
    TempDir markers;
    const std::string m = markers.path();
    // A runtime folder whose name quotes, substitutes and breaks lines.
    const std::string runtime =
        m + "/run'$(touch " + m + "/p1)'`touch " + m + "/p2`\"$(touch " + m + "/p3)\"\nend";
    make_dirs("/", runtime.substr(1) + "/");
    testing_support::write_file(m + "/bash_env.sh", 0);
    {
        const std::string text = "touch '" + m + "/p4'\n";
        const int fd = ::open((m + "/bash_env.sh").c_str(), O_WRONLY | O_TRUNC);
        ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
        ::close(fd);
    }
    auto env = child_env(fakes, runtime, "segv", m);
    env["BASH_ENV"] = m + "/bash_env.sh";
    env["BASH_FUNC_printf%%"] = "() { touch '" + m + "/p5'; }";
    env["SHELLOPTS"] = "xtrace";
    const auto result = run_test_in_child(kCrashingChild, env);
    EXPECT_EQ(result.signal, SIGSEGV);
    ASSERT_TRUE(fakes.wait_for_mail());

    const CrashHandler::Texts texts = hostile_texts(m);
    EXPECT_EQ(fakes.args("zenity"), expected_dialog(texts));
    const std::vector<std::string> open_args = fakes.args("xdg-open");
    ASSERT_EQ(open_args.size(), 1u);
    EXPECT_EQ(parse_mail(open_args[0]).body,
              texts.attach + runtime + "/" + crash_detail::kReportName);
    const std::vector<std::string> report =
        lines_of(read_file(runtime + "/" + crash_detail::kReportName));
    ASSERT_FALSE(report.empty());
    EXPECT_EQ(report.back(), "It crashed while I scrolled");
    for (const char* marker : {"p1", "p2", "p3", "p4", "p5", "t1", "t2", "t3", "t4", "t5"})
        EXPECT_FALSE(exists_no_follow(m + "/" + marker)) << marker << " was created";

    const std::string seen = fakes.zenity_env();
    EXPECT_NE(seen.find("PATH=/usr/local/bin:/usr/bin:/bin\n"), std::string::npos) << seen;
    for (const char* leak : {"BASH_ENV", "BASH_FUNC", "SHELLOPTS", "BRUSHWICK_TEST"})
        EXPECT_EQ(seen.find(leak), std::string::npos) << leak << " reached the dialog";
}

TEST(CrashReport, ALinkPlantedAtTheReportPathIsNotFollowed) {
    FakeDesktop fakes;
    TempDir runtime;
    TempDir elsewhere;
    const std::string victim = elsewhere / "victim.txt";
    testing_support::write_file(victim, 4, 'k');
    make_symlink(victim, runtime / crash_detail::kReportName);
    const auto result =
        run_test_in_child(kCrashingChild, child_env(fakes, runtime.path(), "abort", "session"));
    EXPECT_EQ(result.signal, SIGABRT);
    ASSERT_TRUE(fakes.wait_for_mail());
    EXPECT_EQ(read_file(victim), "kkkk");
    struct stat st {};
    ASSERT_EQ(::lstat((runtime / crash_detail::kReportName).c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(lines_of(read_file(runtime / crash_detail::kReportName))[0],
              "=== Brushwick Crash Report ===");
}

// --- Pure steps ---

TEST(CrashMail, PercentEncodingKeepsOnlyUnreservedBytes) {
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"Brushwick Crash: SIGSEGV (Segmentation fault) - 2026-01-02 03:04:05",
         "Brushwick%20Crash%3A%20SIGSEGV%20%28Segmentation%20fault%29%20-%202026-01-02%2003%3A04%"
         "3A05"},
        {"Trap \u2014 usually", "Trap%20%E2%80%94%20usually"},
        {"/run/user/1000/a_b.c~d", "/run/user/1000/a_b.c~d"},
        {"&body=?#%'\"\n", "%26body%3D%3F%23%25%27%22%0A"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(crash_detail::percent_encode(c.in), c.out) << c.in;
    EXPECT_EQ(crash_detail::percent_encode(std::string_view("a\0b", 3)), "a%00b");
}

TEST(CrashReport, TimeTextCrossesDaysMonthsAndLeapYearsWithTheZoneOffset) {
    const struct {
        std::int64_t seconds;
        long offset;
        const char* text;
    } cases[] = {
        {0, 0, "1970-01-01 00:00:00"},
        {1767323045, 0, "2026-01-02 03:04:05"},
        {1767323045, -4 * 3600, "2026-01-01 23:04:05"},    // back over midnight and a year
        {1709164800, 3600 + 1800, "2024-02-29 01:30:00"},  // a leap day
        {1709251199, 1, "2024-03-01 00:00:00"},            // out of February in a leap year
        {4102444799, 0, "2099-12-31 23:59:59"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(crash_detail::format_time(c.seconds, c.offset), c.text) << c.seconds;
}
