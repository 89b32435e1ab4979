// file_manager — reveal, detection, links and the folder chooser. See
// file_manager.h.
//
// Sections: the user's command; the session bus; the default handler;
// pure steps; public interface.
#include "desktop/file_manager.h"

#include <gio/gio.h>
#include <sys/stat.h>

#include <string>
#include <string_view>

#include "base/i18n.h"
#include "base/paths.h"
#include "base/small_file.h"
#include "base/strutil.h"

namespace file_manager {

namespace {

constexpr const char* kFmName = "org.freedesktop.FileManager1";
constexpr const char* kFmPath = "/org/freedesktop/FileManager1";
constexpr const char* kBusName = "org.freedesktop.DBus";
constexpr const char* kBusPath = "/org/freedesktop/DBus";
constexpr std::string_view kPlaceholder = "%s";

// Reasons, English interface texts (keys of po/brushwick.pot).
constexpr const char* kUnclosedQuote = "The file manager command has a quote that is not closed.";
constexpr const char* kNoProgram = "The file manager command names no program.";
constexpr const char* kUnreadable = "The file manager command could not be read.";
constexpr const char* kNotFound = "The program of the file manager command was not found.";
constexpr const char* kNotStarted = "The file manager command could not be started.";
constexpr const char* kNoAnswer = "No file manager answered.";

// Owns a g_malloc'ed string.
struct OwnedChars {
    gchar* p = nullptr;
    ~OwnedChars() { g_free(p); }
};

// --- The user's command ---

// Replaces every "%s" of arg with path; found tells whether there was one.
std::string expand_placeholders(const std::string& arg, const std::string& path, bool& found) {
    std::string out;
    std::size_t from = 0;
    for (;;) {
        const std::size_t at = arg.find(kPlaceholder, from);
        if (at == std::string::npos)
            break;
        out.append(arg, from, at - from);
        out += path;
        from = at + kPlaceholder.size();
        found = true;
    }
    out.append(arg, from, std::string::npos);
    return out;
}

const char* refusal_of(const GError* error) {
    if (error == nullptr)
        return kNoProgram;  // parsed, but into nothing
    if (g_error_matches(error, G_SHELL_ERROR, G_SHELL_ERROR_BAD_QUOTING))
        return kUnclosedQuote;
    if (g_error_matches(error, G_SHELL_ERROR, G_SHELL_ERROR_EMPTY_STRING))
        return kNoProgram;
    return kUnreadable;
}

RevealResult run_command(const std::string& command, const std::string& path) {
    const detail::Command cmd = detail::expand_command(command, path);
    if (cmd.refusal != nullptr)
        return {false, cmd.refusal};
    std::vector<char*> argv;
    for (const std::string& a : cmd.argv)
        argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    GError* error = nullptr;
    // Without G_SPAWN_DO_NOT_REAP_CHILD GLib starts the program through an
    // intermediate child, so no zombie is left and nothing waits for it.
    const gboolean started = g_spawn_async(nullptr, argv.data(), nullptr, G_SPAWN_SEARCH_PATH,
                                           nullptr, nullptr, nullptr, &error);
    if (started)
        return {true, nullptr};
    const bool missing = g_error_matches(error, G_SPAWN_ERROR, G_SPAWN_ERROR_NOENT);
    g_clear_error(&error);
    return {false, missing ? kNotFound : kNotStarted};
}

// --- The session bus ---

// The session bus, or null when there is none (no address, no daemon); the
// reason is of no use to the user, who gets the next road instead.
GDBusConnection* session_bus() {
    GError* error = nullptr;
    GDBusConnection* bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, &error);
    g_clear_error(&error);
    return bus;
}

// Calls ShowFolders or ShowItems for one URI; true when the service replied.
bool ask_file_manager(const char* method, const std::string& uri) {
    GDBusConnection* bus = session_bus();
    if (bus == nullptr)
        return false;
    const gchar* uris[] = {uri.c_str(), nullptr};
    GError* error = nullptr;
    // Not owned and not activatable, refused, or silent past the time-out:
    // every error means the next road.
    GVariant* reply = g_dbus_connection_call_sync(
        bus, kFmName, kFmPath, kFmName, method, g_variant_new("(^ass)", uris, ""), nullptr,
        G_DBUS_CALL_FLAGS_NONE, kBusTimeoutMs, nullptr, &error);
    g_object_unref(bus);
    g_clear_error(&error);
    if (reply == nullptr)
        return false;
    g_variant_unref(reply);
    return true;
}

// The process id of the connection owning the file-manager name; 0 for none.
guint32 file_manager_pid() {
    GDBusConnection* bus = session_bus();
    if (bus == nullptr)
        return 0;
    GError* error = nullptr;
    GVariant* reply =
        g_dbus_connection_call_sync(bus, kBusName, kBusPath, kBusName, "GetConnectionUnixProcessID",
                                    g_variant_new("(s)", kFmName), G_VARIANT_TYPE("(u)"),
                                    G_DBUS_CALL_FLAGS_NONE, kBusTimeoutMs, nullptr, &error);
    g_object_unref(bus);
    // Nobody owns the name: the usual answer on a desktop whose file manager
    // runs only on demand.
    g_clear_error(&error);
    guint32 pid = 0;
    if (reply != nullptr) {
        g_variant_get(reply, "(u)", &pid);
        g_variant_unref(reply);
    }
    return pid;
}

// The process name of the running file-manager service, made readable.
std::string file_manager_process_name() {
    // A Flatpak sees the host's process ids through the bus but its own
    // process table in /proc: the number would name an unrelated process.
    if (paths::running_in_flatpak())
        return {};
    const guint32 pid = file_manager_pid();
    if (pid == 0)
        return {};
    const auto comm = small_file::read("/proc/" + std::to_string(pid) + "/comm", 4096);
    return comm ? detail::name_from_comm(*comm) : std::string();
}

// --- The default handler ---

// Hands uri to the desktop's default application. GTK knows the display's
// launch context (startup notification, the right screen); without a display
// GIO alone starts the handler.
bool show_with_default_handler(const std::string& uri) {
    GError* error = nullptr;
    gboolean ok = FALSE;
    if (gdk_display_get_default() != nullptr)
        ok = gtk_show_uri_on_window(nullptr, uri.c_str(), GDK_CURRENT_TIME, &error);
    else
        ok = g_app_info_launch_default_for_uri(uri.c_str(), nullptr, &error);
    // No handler, or one that failed to start: the caller explains with the
    // path itself, which is more use than GIO's message.
    g_clear_error(&error);
    return ok != FALSE;
}

// A local path as a file URI; empty when the path is not absolute.
std::string file_uri(const std::string& path) {
    OwnedChars uri{g_filename_to_uri(path.c_str(), nullptr, nullptr)};
    return uri.p != nullptr ? std::string(uri.p) : std::string();
}

bool is_directory(const std::string& display_path) {
    struct stat st {};
    return ::stat(paths::to_scan_path(display_path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

RevealResult reveal_through_desktop(const std::string& path) {
    const bool folder = is_directory(path);
    const std::string uri = file_uri(path);
    if (!uri.empty() && ask_file_manager(folder ? "ShowFolders" : "ShowItems", uri))
        return {true, nullptr};
    // The default handler only opens folders: a file's folder is shown
    // instead, without the file selected.
    const std::string target = folder ? path : su::parent_of(path);
    const std::string target_uri = target.empty() ? std::string() : file_uri(target);
    if (!target_uri.empty() && show_with_default_handler(target_uri))
        return {true, nullptr};
    return {false, kNoAnswer};
}

}  // namespace

// --- Pure steps ---

namespace detail {

Command expand_command(const std::string& command, const std::string& path) {
    gint argc = 0;
    gchar** parsed = nullptr;
    GError* error = nullptr;
    Command cmd;
    if (!g_shell_parse_argv(command.c_str(), &argc, &parsed, &error) || argc == 0) {
        cmd.refusal = refusal_of(error);
        g_clear_error(&error);
        g_strfreev(parsed);
        return cmd;
    }
    bool found = false;
    for (gint i = 0; i < argc; ++i)
        cmd.argv.push_back(expand_placeholders(parsed[i], path, found));
    g_strfreev(parsed);
    if (!found)
        cmd.argv.push_back(path);
    return cmd;
}

std::string name_from_comm(const std::string& comm) {
    std::string name = comm.substr(0, comm.find('\n'));
    while (!name.empty() && (name.back() == ' ' || name.back() == '\r'))
        name.pop_back();
    if (!name.empty() && name[0] >= 'a' && name[0] <= 'z')
        name[0] = static_cast<char>(name[0] - 'a' + 'A');
    return name;
}

}  // namespace detail

// --- Public interface ---

RevealResult reveal(const std::string& display_path, const std::string& custom_command) {
    if (!custom_command.empty() && !paths::running_in_snap())
        return run_command(custom_command, display_path);
    return reveal_through_desktop(display_path);
}

std::string detect() {
    std::string name = file_manager_process_name();
    if (!name.empty())
        return name;
    GAppInfo* app = g_app_info_get_default_for_type("inode/directory", FALSE);
    if (app == nullptr)
        return {};
    const char* display_name = g_app_info_get_display_name(app);
    if (display_name != nullptr)
        name = display_name;
    g_object_unref(app);
    return name;
}

bool open_url(const std::string& url) {
    return !url.empty() && show_with_default_handler(url);
}

std::optional<std::string> pick_folder(GtkWindow* parent) {
    // Without a display GTK cannot build the chooser (and was never started).
    if (gdk_display_get_default() == nullptr)
        return std::nullopt;
    const I18n& i18n = I18n::instance();
    GtkFileChooserNative* chooser = gtk_file_chooser_native_new(
        i18n.tr("Choose folder"), parent, GTK_FILE_CHOOSER_ACTION_SELECT_FOLDER, i18n.tr("Choose"),
        i18n.tr("Cancel"));
    gtk_native_dialog_set_modal(GTK_NATIVE_DIALOG(chooser), TRUE);
    std::optional<std::string> chosen;
    if (gtk_native_dialog_run(GTK_NATIVE_DIALOG(chooser)) == GTK_RESPONSE_ACCEPT) {
        OwnedChars file{gtk_file_chooser_get_filename(GTK_FILE_CHOOSER(chooser))};
        // A folder of a remote location has no local name: nothing to keep.
        if (file.p != nullptr)
            chosen = file.p;
    }
    g_object_unref(chooser);
    return chosen;
}

}  // namespace file_manager
