// file_manager — the bridges to the desktop: showing a file or folder in the
// user's file manager, naming that file manager, opening a web or mail link,
// and asking the user for a folder.
//
// A reveal tries one road after the other: the user's own command when there
// is one; else the org.freedesktop.FileManager1 service on the session bus
// (ShowFolders for a folder, ShowItems for anything else, which selects the
// item in its folder); else the desktop's default handler for the folder.
// Paths handed in are display paths (the host paths the user knows); they go
// to the file manager unchanged, and only the local look at the path (is it a
// folder?) goes through the sandbox's scan path. Inside a Snap the user's
// command is ignored: the sandbox cannot start host programs.
//
// Never deletes or changes anything, never logs, never throws: failures come
// back as false, nothing, or an English reason text for the caller to
// translate (I18n::tr) and show.
//
// Threads: the GTK main thread only, and WITHOUT the application lock held:
// every call can block. reveal and detect make at most one D-Bus call each,
// answered or abandoned within kBusTimeoutMs; starting a program takes as
// long as fork and exec; pick_folder runs until the user closes the chooser.
// Nothing waits for a started program to end. Not bounded here: a session
// bus that accepts connections but never completes the handshake stalls
// GLib's own connection set-up (GIO's, when it starts an application, too).
#pragma once

#include <gtk/gtk.h>

#include <optional>
#include <string>
#include <vector>

namespace file_manager {

// How long one D-Bus call may take before the next road is tried. A file
// manager that is started on demand needs a moment; a hung one must not
// freeze the window for long.
inline constexpr int kBusTimeoutMs = 2000;

// What revealing a path came to.
struct RevealResult {
    bool ok = false;               // some road reported success (not that a window appeared)
    const char* reason = nullptr;  // when !ok: why, as an English interface text; null when ok
};

// Shows display_path in the file manager. custom_command is the user's
// setting ("" = the system's file manager); "%s" in it stands for the path,
// and without "%s" the path is appended as the last argument. A command that
// cannot be parsed or started is not followed by the other roads: the user
// asked for that program, and a different one opening would hide the fault.
RevealResult reveal(const std::string& display_path, const std::string& custom_command);

// A readable name of the user's file manager for the settings screen: the
// process that owns org.freedesktop.FileManager1, named after its process
// name ("nautilus" gives "Nautilus"); else the name of the default application
// for folders; else empty. Makes at most one D-Bus call.
std::string detect();

// Opens url (https:, mailto:, file:) with the desktop's default handler.
// False when no handler could be started.
bool open_url(const std::string& url);

// A native folder chooser, modal for parent (may be null); the chosen local
// folder, or nothing when the user cancels or there is no display to show
// the chooser on.
std::optional<std::string> pick_folder(GtkWindow* parent);

// --- Pure steps, exposed for the tests ---
namespace detail {

// The user's command turned into the program's arguments for path.
struct Command {
    std::vector<std::string> argv;  // the program first; empty when refused
    const char* refusal = nullptr;  // why nothing can be started; null when argv is usable
};

// Splits command by the shell's quoting rules (g_shell_parse_argv), replaces
// every "%s" inside every argument with path (a "%s" within the inserted path
// is not expanded again) and appends path when no argument held "%s". The
// path is never split or quoted: it stays inside its argument.
Command expand_command(const std::string& command, const std::string& path);

// The first line of a /proc/PID/comm text made readable: trailing spaces and
// line ends removed, a leading ASCII lower-case letter made upper case.
std::string name_from_comm(const std::string& comm);

}  // namespace detail

}  // namespace file_manager
