// Fakes of the desktop's file-manager services. See desktop_fakes.h.
#include "desktop_fakes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace testing_support {

namespace {

// The folder chooser on the screen, or null while there is none.
GtkFileChooser* shown_chooser() {
    GList* windows = gtk_window_list_toplevels();
    GtkFileChooser* chooser = nullptr;
    for (GList* w = windows; w != nullptr; w = w->next) {
        if (GTK_IS_FILE_CHOOSER_DIALOG(w->data) && gtk_widget_get_mapped(GTK_WIDGET(w->data)))
            chooser = GTK_FILE_CHOOSER(w->data);
    }
    g_list_free(windows);
    return chooser;
}

constexpr const char* kFmName = "org.freedesktop.FileManager1";
constexpr const char* kFmPath = "/org/freedesktop/FileManager1";
constexpr const char* kFmXml =
    "<node><interface name='org.freedesktop.FileManager1'>"
    "<method name='ShowFolders'><arg type='as' direction='in'/><arg type='s' direction='in'/>"
    "</method>"
    "<method name='ShowItems'><arg type='as' direction='in'/><arg type='s' direction='in'/>"
    "</method>"
    "</interface></node>";
// RequestName's flag "do not queue": fail at once when the name is taken.
constexpr guint32 kDoNotQueue = 4;
// RequestName's answer "primary owner".
constexpr guint32 kPrimaryOwner = 1;
// The safety net of Recorder::next_run.
constexpr int kRunWaitLimitMs = 60000;

std::vector<std::string> split_at_nul(const std::string& bytes) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (std::size_t end; (end = bytes.find('\0', from)) != std::string::npos; from = end + 1)
        parts.push_back(bytes.substr(from, end - from));
    return parts;
}

}  // namespace

// --- Recorder ---

Recorder::Recorder() : m_fifo(m_dir / "args.fifo") {
    make_dirs(m_dir.path(), "bin/");
    if (::mkfifo(m_fifo.c_str(), 0600) != 0)
        throw std::runtime_error(std::string("mkfifo: ") + std::strerror(errno));
    std::ofstream(program()) << "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" << m_fifo << "'\n";
    ::chmod(program().c_str(), 0755);
}

Recorder::~Recorder() {
    const int fd = ::open(m_fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0)
        ::close(fd);
}

std::vector<std::string> Recorder::next_run() const {
    const int fd = ::open(m_fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        ADD_FAILURE() << "cannot open the FIFO: " << std::strerror(errno);
        return {};
    }
    // Linux reports no hang-up on a FIFO that never had a writer, so this
    // waits for a run to open it and write.
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, kRunWaitLimitMs) != 1) {
        ::close(fd);
        ADD_FAILURE() << "the recording program never ran";
        return {};
    }
    // Blocking again: read until the run closes its end.
    ::fcntl(fd, F_SETFL, 0);
    std::string bytes;
    char buf[4096];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0 || (n < 0 && errno == EINTR)) {
        if (n > 0)
            bytes.append(buf, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return split_at_nul(bytes);
}

// --- FakeDesktop ---

FakeDesktop::FakeDesktop(const Recorder* recorder, bool system_data) {
    const std::string data = m_home / "data";
    const std::string config = m_home / "config";
    const std::string system = m_home / "system";
    for (const char* dir : {"data/applications/", "config/", "system/"})
        make_dirs(m_home.path(), dir);
    if (recorder != nullptr) {
        std::ofstream(data + "/applications/fake-folders.desktop")
            << "[Desktop Entry]\nType=Application\nName=Fake Folders\nExec=" << recorder->program()
            << " %u\nMimeType=inode/directory;x-scheme-handler/mailto;x-scheme-handler/https;\n";
        std::ofstream(config + "/mimeapps.list")
            << "[Default Applications]\ninode/directory=fake-folders.desktop\n"
               "x-scheme-handler/mailto=fake-folders.desktop\n"
               "x-scheme-handler/https=fake-folders.desktop\n";
    }
    ScopedEnv& env = m_home.env();
    env.set("XDG_DATA_HOME", data);
    env.set("XDG_CONFIG_HOME", config);
    env.set("XDG_DATA_DIRS", system_data ? system + ":/usr/local/share:/usr/share" : system);
    env.set("XDG_CONFIG_DIRS", system);
}

// --- The folder chooser ---

void answer_chooser(GtkResponseType response, const std::string& folder) {
    struct Answer {
        GtkResponseType response;
        std::string folder;
        bool moving = false;  // the chooser was asked to change to folder
    };
    g_idle_add_full(
        G_PRIORITY_DEFAULT_IDLE,
        [](gpointer data) -> gboolean {
            auto* answer = static_cast<Answer*>(data);
            GtkFileChooser* chooser = shown_chooser();
            if (chooser == nullptr)
                return G_SOURCE_CONTINUE;
            if (!answer->folder.empty()) {
                if (!answer->moving) {
                    gtk_file_chooser_set_current_folder(chooser, answer->folder.c_str());
                    answer->moving = true;
                }
                gchar* current = gtk_file_chooser_get_current_folder(chooser);
                const bool there = current != nullptr && answer->folder == current;
                g_free(current);
                if (!there)
                    return G_SOURCE_CONTINUE;
            }
            gtk_dialog_response(GTK_DIALOG(chooser), answer->response);
            return G_SOURCE_REMOVE;
        },
        new Answer{response, folder}, [](gpointer data) { delete static_cast<Answer*>(data); });
}

// --- FakeFileManager ---

FakeFileManager::FakeFileManager(const std::string& address, bool refuse) : m_refuse(refuse) {
    std::promise<bool> ready;
    m_thread = std::thread([this, address, &ready] { run(address, ready); });
    if (!ready.get_future().get()) {
        m_thread.join();
        throw std::runtime_error("the fake file manager could not start");
    }
}

void quit_loop_from_inside(GMainLoop* loop, GMainContext* context) {
    GSource* quit = g_idle_source_new();
    g_source_set_callback(
        quit,
        [](gpointer l) {
            g_main_loop_quit(static_cast<GMainLoop*>(l));
            return G_SOURCE_REMOVE;
        },
        loop, nullptr);
    g_source_attach(quit, context);
    g_source_unref(quit);
}

FakeFileManager::~FakeFileManager() {
    quit_loop_from_inside(m_loop, m_context);
    m_thread.join();
    g_dbus_connection_unregister_object(m_conn, m_registration);
    g_dbus_connection_close_sync(m_conn, nullptr, nullptr);
    g_object_unref(m_conn);
    g_main_loop_unref(m_loop);
    g_main_context_unref(m_context);
}

std::vector<FileManagerCall> FakeFileManager::calls() {
    std::lock_guard lock(m_mutex);
    return m_calls;
}

void FakeFileManager::run(const std::string& address, std::promise<bool>& ready) {
    m_context = g_main_context_new();
    g_main_context_push_thread_default(m_context);
    m_loop = g_main_loop_new(m_context, FALSE);
    m_conn = g_dbus_connection_new_for_address_sync(
        address.c_str(),
        static_cast<GDBusConnectionFlags>(G_DBUS_CONNECTION_FLAGS_AUTHENTICATION_CLIENT |
                                          G_DBUS_CONNECTION_FLAGS_MESSAGE_BUS_CONNECTION),
        nullptr, nullptr, nullptr);
    bool ok = m_conn != nullptr;
    if (ok) {
        GDBusNodeInfo* node = g_dbus_node_info_new_for_xml(kFmXml, nullptr);
        static const GDBusInterfaceVTable vtable = {
            &FakeFileManager::on_call, nullptr, nullptr, {}};
        m_registration = g_dbus_connection_register_object(m_conn, kFmPath, node->interfaces[0],
                                                           &vtable, this, nullptr, nullptr);
        g_dbus_node_info_unref(node);
        // The name is taken only once the object is there to answer.
        GVariant* owned = g_dbus_connection_call_sync(
            m_conn, "org.freedesktop.DBus", "/org/freedesktop/DBus", "org.freedesktop.DBus",
            "RequestName", g_variant_new("(su)", kFmName, kDoNotQueue), G_VARIANT_TYPE("(u)"),
            G_DBUS_CALL_FLAGS_NONE, -1, nullptr, nullptr);
        guint32 result = 0;
        if (owned != nullptr) {
            g_variant_get(owned, "(u)", &result);
            g_variant_unref(owned);
        }
        ok = result == kPrimaryOwner && m_registration != 0;
    }
    ready.set_value(ok);
    if (ok)
        g_main_loop_run(m_loop);
    g_main_context_pop_thread_default(m_context);
}

void FakeFileManager::on_call(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                              const gchar* method, GVariant* parameters, GDBusMethodInvocation* inv,
                              gpointer self_ptr) {
    auto* self = static_cast<FakeFileManager*>(self_ptr);
    FileManagerCall call{method, {}, {}};
    GVariantIter* uris = nullptr;
    const gchar* startup = nullptr;
    g_variant_get(parameters, "(as&s)", &uris, &startup);
    const gchar* uri = nullptr;
    while (g_variant_iter_next(uris, "&s", &uri))
        call.uris.emplace_back(uri);
    g_variant_iter_free(uris);
    call.startup_id = startup;
    {
        std::lock_guard lock(self->m_mutex);
        self->m_calls.push_back(call);
    }
    if (self->m_refuse)
        g_dbus_method_invocation_return_dbus_error(inv, "org.freedesktop.DBus.Error.Failed",
                                                   "refused by the test");
    else
        g_dbus_method_invocation_return_value(inv, nullptr);
}

}  // namespace testing_support
