// crash_handler — what happens when the process dies of a fatal signal: a
// plain-text crash report in the runtime folder, a small dialog (zenity) that
// asks the user what they were doing and appends it to the report, a mail to
// the support address prefilled through xdg-open, and then death by the very
// same signal.
//
// Everything the handler needs is prepared at install time: the texts, the
// report's fixed lines, the dialog's argument vector and its environment. The
// handler itself only calls async-signal-safe functions (no malloc, no stdio,
// no locks), because it may interrupt any thread holding any lock. The dialog
// runs as a fixed bash script that receives every text as a separate argument
// and never parses one, in a clean environment, so nothing a text or the
// environment holds can run as code.
//
// Never waits for the dialog or the mail, never follows a link planted at the
// report's path, never reports its own failures (each step is best effort).
//
// Threads: install belongs to the main thread, before any other thread starts.
// The handler runs on whichever thread received the signal.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

class CrashHandler {
public:
    // The dialog's texts in the interface language.
    struct Texts {
        std::string title;      // window title of the dialog
        std::string send;       // the accepting button
        std::string dont_send;  // the cancelling button
        std::string attach;     // the mail's lead-in before the report's path
    };

    // Installs the handler for SIGSEGV, SIGABRT, SIGFPE, SIGBUS, SIGILL and
    // SIGTRAP, with the texts of the session's language. Call it first in main.
    static void install();

    // The same with the given texts.
    static void install(const Texts& texts);
};

// --- Pure steps, exposed for the tests ---
namespace crash_detail {

// The report's name inside the runtime folder (or /tmp).
inline constexpr const char* kReportName = "Brushwick_crash.txt";

// The signal's line text, e.g. "SIGSEGV (Segmentation fault)"; "Unknown
// signal" for a signal without one.
const char* signal_text(int sig);

// s with every byte other than ASCII letters, digits and -./_~ written as %XX
// (upper-case hex), as a mailto: URL needs it.
std::string percent_encode(std::string_view s);

// "YYYY-MM-DD HH:MM:SS" of the UTC time seconds shifted by utc_offset seconds
// (the local zone's offset, measured at install time because the handler may
// not ask the time-zone code).
std::string format_time(std::int64_t seconds, long utc_offset);

}  // namespace crash_detail
