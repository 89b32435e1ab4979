// crash_handler — the fatal-signal report and dialog. See crash_handler.h.
//
// Sections: fixed texts; writing without allocating; preparing at install time;
// the handler; public functions.
#include "desktop/crash_handler.h"

#include <execinfo.h>
#include <fcntl.h>
#include <glib.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <vector>

#include "base/i18n.h"
#include "base/product.h"
#include "base/strutil.h"

namespace {

// --- Fixed texts ---

constexpr const char* kProduct = "Brushwick";

struct SignalRow {
    int sig;           // the signal number
    const char* text;  // its line in the report and the mail's subject
};

// The signals the handler takes, in the order they are installed.
constexpr SignalRow kSignals[] = {
    {SIGSEGV, "SIGSEGV (Segmentation fault)"},
    {SIGABRT, "SIGABRT (Abort)"},
    {SIGFPE, "SIGFPE (Floating point exception)"},
    {SIGBUS, "SIGBUS (Bus error)"},
    {SIGILL, "SIGILL (Illegal instruction)"},
    {SIGTRAP, "SIGTRAP (Trap \u2014 usually a fatal GLib/GTK error)"},
};

// The script the dialog runs. It never expands a text into code: each one
// arrives as a positional parameter and is used only inside double quotes.
// A cancelled or missing dialog ends it before the mail.
constexpr const char* kDialogScript =
    "zenity=$1 title=$2 send=$3 dont_send=$4 open=$5 report=$6 url=$7\n"
    "desc=$(\"$zenity\" --text-info --editable --title=\"$title\" --width=500 --height=250 "
    "--ok-label=\"$send\" --cancel-label=\"$dont_send\" 2>/dev/null) || exit 0\n"
    "printf '\\nUser description:\\n%s\\n' \"$desc\" >> \"$report\"\n"
    "exec \"$open\" \"$url\" 2>/dev/null\n";

// The variables the dialog and the mail program need to reach the session;
// everything else (BASH_ENV, exported functions, SHELLOPTS, PATH) stays behind.
constexpr const char* kKeptVariables[] = {
    "DISPLAY",
    "WAYLAND_DISPLAY",
    "XAUTHORITY",
    "DBUS_SESSION_BUS_ADDRESS",
    "XDG_RUNTIME_DIR",
    "HOME",
    "LANG",
    "LC_ALL",
    "LANGUAGE",
};
constexpr const char* kFixedPath = "PATH=/usr/local/bin:/usr/bin:/bin";

// Room for the time text "YYYY-MM-DD HH:MM:SS" and one line around it.
constexpr std::size_t kLineCapacity = 256;

// --- Writing without allocating ---

// Text appended into a buffer owned by someone else; what does not fit is cut
// off, so a long value can shorten a line but never overrun memory. Safe in a
// signal handler: no allocation, no locale, no stdio.
struct FixedText {
    char* data;              // the buffer, always NUL-terminated
    std::size_t capacity;    // its size in bytes, NUL included
    std::size_t length = 0;  // bytes used, NUL excluded

    FixedText(char* buffer, std::size_t size) : data(buffer), capacity(size) { data[0] = '\0'; }

    void add(const char* s, std::size_t n) {
        const std::size_t room = capacity - 1 - length;
        const std::size_t take = n < room ? n : room;
        std::memcpy(data + length, s, take);
        length += take;
        data[length] = '\0';
    }
    void add(const char* s) { add(s, std::strlen(s)); }
    void add(char c) { add(&c, 1); }

    // v in decimal, padded with zeros to at least width digits.
    void add_number(unsigned long v, int width) {
        char digits[24];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + v % 10);
            v /= 10;
        } while (v != 0 && n < 24);
        for (int i = n; i < width; ++i)
            add('0');
        while (n > 0)
            add(digits[--n]);
    }

    void add_encoded(const char* s, std::size_t n) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        for (std::size_t i = 0; i < n; ++i) {
            const auto c = static_cast<unsigned char>(s[i]);
            const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') ||
                               (c >= '0' && c <= '9') || std::strchr("-./_~", c) != nullptr;
            if (plain && c != '\0') {
                add(static_cast<char>(c));
            } else {
                const char escaped[3] = {'%', kHex[c >> 4], kHex[c & 15]};
                add(escaped, 3);
            }
        }
    }
    void add_encoded(const char* s) { add_encoded(s, std::strlen(s)); }
};

// Days since 1970-01-01 to a civil date (proleptic Gregorian), as in H. Hinnant's
// "chrono-compatible low-level date algorithms": no tables, no time-zone code.
void civil_from_days(std::int64_t days, std::int64_t& year, unsigned& month, unsigned& day) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto doe = static_cast<unsigned>(days - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    day = doy - (153 * mp + 2) / 5 + 1;
    month = mp < 10 ? mp + 3 : mp - 9;
    year = static_cast<std::int64_t>(yoe) + era * 400 + (month <= 2 ? 1 : 0);
}

void add_time(FixedText& out, std::int64_t seconds, long utc_offset) {
    const std::int64_t local = seconds + utc_offset;
    std::int64_t days = local / 86400;
    std::int64_t rest = local % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    std::int64_t year = 0;
    unsigned month = 0;
    unsigned day = 0;
    civil_from_days(days, year, month, day);
    out.add_number(static_cast<unsigned long>(year), 4);
    out.add('-');
    out.add_number(month, 2);
    out.add('-');
    out.add_number(day, 2);
    out.add(' ');
    out.add_number(static_cast<unsigned long>(rest / 3600), 2);
    out.add(':');
    out.add_number(static_cast<unsigned long>(rest / 60 % 60), 2);
    out.add(':');
    out.add_number(static_cast<unsigned long>(rest % 60), 2);
}

// Writes all of s, going on after a partial write or an interruption; gives up
// silently on an error, since a crash report has nobody to report to.
void write_all(int fd, const char* s, std::size_t n) {
    while (n > 0) {
        const ssize_t done = ::write(fd, s, n);
        if (done < 0 && errno == EINTR)
            continue;
        if (done <= 0)
            return;
        s += done;
        n -= static_cast<std::size_t>(done);
    }
}

// --- Preparing at install time ---

// Everything the handler reads, built once and never freed: a crash during
// the static destructors at exit must still find it intact.
struct Prepared {
    std::string report_path;        // where the report goes
    std::string head;               // the title and version lines (and the Snap revision)
    std::string tail;               // system, desktop and Snap lines, then the backtrace title
    long utc_offset = 0;            // the local zone's offset from UTC in seconds
    std::string mail_prefix;        // "mailto:" up to the encoded subject's first words
    std::string mail_body;          // "&body=" and the encoded lead-in with the report's path
    std::vector<char> url;          // the mail's URL, filled in by the handler
    std::vector<std::string> args;  // the script's arguments, fixed at install time
    std::vector<char*> argv;        // pointers into args and url, null-terminated
    std::vector<std::string> env;   // the script's whole environment
    std::vector<char*> envp;        // pointers into env, null-terminated
};

Prepared* g_prepared = nullptr;  // set by install before any handler exists
std::atomic_flag g_handling;     // a first crash is being reported

std::string env_or(const char* name, const char* fallback) {
    const char* v = std::getenv(name);
    return v != nullptr && v[0] != '\0' ? v : fallback;
}

// The program's absolute path as the PATH at start-up finds it, or empty.
std::string find_program(const char* name) {
    gchar* found = g_find_program_in_path(name);
    std::string path = found != nullptr ? found : "";
    g_free(found);
    return path;
}

std::string encoded(std::string_view s) {
    std::vector<char> buffer(s.size() * 3 + 1);
    FixedText out(buffer.data(), buffer.size());
    out.add_encoded(s.data(), s.size());
    return std::string(out.data, out.length);
}

std::string report_head() {
    std::string head =
        "=== " + std::string(kProduct) + " Crash Report ===\nVersion: " + product::kVersion + "\n";
    const std::string revision = env_or("SNAP_REVISION", "");
    if (!revision.empty())
        head += "Snap revision: " + revision + "\n";
    return head;
}

std::string report_tail() {
    std::string tail;
    struct utsname u;
    if (::uname(&u) == 0)
        tail += std::string("System: ") + u.sysname + " " + u.release + " " + u.machine + "\n";
    tail += "Desktop: " + env_or("XDG_CURRENT_DESKTOP", "unknown") + " (" +
            env_or("XDG_SESSION_TYPE", "unknown") + ")\n";
    const char* snap_version = std::getenv("SNAP_VERSION");
    tail +=
        snap_version != nullptr ? "Snap: yes (v" + std::string(snap_version) + ")\n" : "Snap: no\n";
    return tail + "\nBacktrace:\n";
}

long local_utc_offset() {
    const std::time_t now = std::time(nullptr);
    struct tm local;
    return ::localtime_r(&now, &local) != nullptr ? local.tm_gmtoff : 0;
}

void prepare_script(Prepared& p, const CrashHandler::Texts& texts) {
    // The longest subject: product, the longest signal text and the time, each
    // byte encoded as three.
    std::size_t longest_signal = 0;
    for (const SignalRow& row : kSignals)
        longest_signal = std::max(longest_signal, std::strlen(row.text));
    p.url.assign(
        p.mail_prefix.size() + 3 * (longest_signal + kLineCapacity) + p.mail_body.size() + 1, '\0');
    p.args = {
        "bash",      "-c",       kDialogScript,   "brushwick-crash-dialog", find_program("zenity"),
        texts.title, texts.send, texts.dont_send, find_program("xdg-open"), p.report_path};
    for (std::string& a : p.args)
        p.argv.push_back(a.data());
    p.argv.push_back(p.url.data());
    p.argv.push_back(nullptr);

    for (const char* name : kKeptVariables) {
        if (const char* v = std::getenv(name))
            p.env.push_back(std::string(name) + "=" + v);
    }
    p.env.emplace_back(kFixedPath);
    for (std::string& e : p.env)
        p.envp.push_back(e.data());
    p.envp.push_back(nullptr);
}

Prepared* prepare(const CrashHandler::Texts& texts) {
    auto* p = new Prepared;
    p->report_path = su::join_path(env_or("XDG_RUNTIME_DIR", "/tmp"), crash_detail::kReportName);
    p->head = report_head();
    p->tail = report_tail();
    p->utc_offset = local_utc_offset();
    p->mail_prefix = "mailto:" + std::string(product::kSupportMail) +
                     "?subject=" + encoded(std::string(kProduct) + " Crash: ");
    p->mail_body = "&body=" + encoded(texts.attach + p->report_path);
    prepare_script(*p, texts);
    return p;
}

// --- The handler ---

// Removes whatever has the report's name (an older report, or a link planted
// there: the link goes, its target stays) and creates a fresh file only this
// user can read. When the name cannot be removed, O_EXCL refuses to open it.
int create_report(const char* path) {
    ::unlink(path);  // its failure is caught by O_EXCL below
    return ::open(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
}

void write_report(int fd, const Prepared& p, int sig, const char* signal, const char* time) {
    write_all(fd, p.head.data(), p.head.size());
    char buffer[kLineCapacity];
    FixedText line(buffer, sizeof buffer);
    line.add("Signal: ");
    line.add(signal);
    line.add(" (");
    line.add_number(static_cast<unsigned long>(sig), 1);
    line.add(")\nTime: ");
    line.add(time);
    line.add('\n');
    write_all(fd, line.data, line.length);
    write_all(fd, p.tail.data(), p.tail.size());
    void* frames[32];
    const int count = ::backtrace(frames, 32);
    ::backtrace_symbols_fd(frames, count, fd);
    constexpr const char kEnd[] = "\n=== End Report ===\n";
    write_all(fd, kEnd, sizeof kEnd - 1);
}

void fill_mail_url(Prepared& p, const char* signal, const char* time) {
    FixedText url(p.url.data(), p.url.size());
    url.add(p.mail_prefix.c_str());
    url.add_encoded(signal);
    url.add_encoded(" - ");
    url.add_encoded(time);
    url.add(p.mail_body.c_str());
}

// Starts the dialog script in a child of its own session, so that it outlives
// this process and the terminal. _Fork, unlike fork, runs no atfork handlers
// (malloc's would take the locks a crashed thread may hold).
void start_dialog(const Prepared& p) {
    const pid_t pid = ::_Fork();
    if (pid != 0)
        return;  // the parent does not wait; a failed fork only loses the dialog
    ::setsid();
    const int null_fd = ::open("/dev/null", O_RDWR);
    if (null_fd >= 0) {
        ::dup2(null_fd, STDIN_FILENO);
        ::dup2(null_fd, STDOUT_FILENO);
        ::dup2(null_fd, STDERR_FILENO);
    }
    ::close_range(3, ~0U, 0);
    ::execve("/bin/bash", p.argv.data(), p.envp.data());
    ::_exit(0);
}

void on_fatal_signal(int sig) {
    ::signal(sig, SIG_DFL);
    // Only the first crash is reported; a second thread crashing meanwhile
    // goes straight on to die.
    if (g_prepared != nullptr && !g_handling.test_and_set()) {
        Prepared& p = *g_prepared;
        struct timespec now {};
        ::clock_gettime(CLOCK_REALTIME, &now);
        char time_buffer[32];
        FixedText time(time_buffer, sizeof time_buffer);
        add_time(time, now.tv_sec, p.utc_offset);
        const char* signal = crash_detail::signal_text(sig);
        const int fd = create_report(p.report_path.c_str());
        if (fd >= 0) {
            write_report(fd, p, sig, signal, time.data);
            ::close(fd);
            fill_mail_url(p, signal, time.data);
            start_dialog(p);
        }
    }
    // Blocked until the handler returns; the default action then ends the
    // process by this signal.
    ::raise(sig);
}

}  // namespace

// --- Public functions ---

namespace crash_detail {

const char* signal_text(int sig) {
    for (const SignalRow& row : kSignals) {
        if (row.sig == sig)
            return row.text;
    }
    return "Unknown signal";
}

std::string percent_encode(std::string_view s) {
    return encoded(s);
}

std::string format_time(std::int64_t seconds, long utc_offset) {
    char buffer[32];
    FixedText out(buffer, sizeof buffer);
    add_time(out, seconds, utc_offset);
    return std::string(out.data, out.length);
}

}  // namespace crash_detail

void CrashHandler::install() {
    // The language the session asks for: main installs this before the
    // settings, and with them the chosen language, are read.
    const I18n& i18n = I18n::instance();
    install({std::string(kProduct) + " - " + i18n.tr("Can you describe when the error occurred?"),
             i18n.tr("Send crash report"), i18n.tr("Don't send"),
             i18n.tr("Please attach this file:") + std::string(" ")});
}

void CrashHandler::install(const Texts& texts) {
    g_prepared = prepare(texts);
    // The first backtrace loads the unwinder, which allocates; do it now
    // rather than inside the handler.
    void* frame = nullptr;
    ::backtrace(&frame, 1);
    struct sigaction action {};
    action.sa_handler = on_fatal_signal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND;
    for (const SignalRow& row : kSignals)
        ::sigaction(row.sig, &action, nullptr);
}
