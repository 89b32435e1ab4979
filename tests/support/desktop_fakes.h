// Stand-ins for the desktop that the file-manager bridge talks to: a program
// that records its arguments, private XDG folders whose default application
// for folders and mail links is that program, and a fake
// org.freedesktop.FileManager1 service on a given bus.
//
// Everything lives below fresh temporary folders; nothing touches the real
// home or the real desktop's settings. Waiting is done on the fakes
// themselves (a FIFO, a D-Bus reply), never on a clock.
//
// Threads: create, use and destroy on the test's main thread. The fake file
// manager answers on a thread of its own, so that code under test may call it
// synchronously from the main thread.
#pragma once

#include <gio/gio.h>
#include <gtk/gtk.h>

#include <future>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "test_support.h"

namespace testing_support {

// A shell script called "fm" that writes its arguments, each ended by a NUL
// byte, into a FIFO. Opening the FIFO for writing blocks until the test
// reads, so the test waits on the program itself.
class Recorder {
public:
    Recorder();
    // Lets a run still blocked on the FIFO (a test that failed before
    // reading) through; it then ends on the broken pipe.
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    // The folder to put into PATH so that "fm" finds the script.
    std::string bin() const { return m_dir / "bin"; }
    // The script's absolute path.
    std::string program() const { return m_dir / "bin/fm"; }

    // The arguments of the next run, the program name not included. Adds a
    // test failure and answers nothing when no run writes within a minute: a
    // safety net against a hanging test, not a measured time.
    std::vector<std::string> next_run() const;

private:
    TempDir m_dir;
    std::string m_fifo;  // where each run writes its arguments
};

// A fake home with private XDG folders (XDG_DATA_HOME, XDG_CONFIG_HOME,
// XDG_DATA_DIRS, XDG_CONFIG_DIRS), set until destruction. With a recorder,
// its program is the only application, named "Fake Folders" and the default
// for folders, mail and web links; without one there is no application at all.
// GTK's windows need the system's type database to tell an icon's format:
// system_data keeps the system's data folders behind the private ones.
class FakeDesktop {
public:
    explicit FakeDesktop(const Recorder* recorder, bool system_data = false);

private:
    FakeHome m_home;
};

// Answers the next folder chooser shown by this process with response, after
// it has moved to folder when one is given (the chooser changes folders
// asynchronously). Runs as an idle step of the chooser's own loop, so the
// test waits on the chooser's state, never on a clock.
void answer_chooser(GtkResponseType response, const std::string& folder);

// One call the fake file manager received.
struct FileManagerCall {
    std::string method;             // "ShowFolders" or "ShowItems"
    std::vector<std::string> uris;  // the URIs to show
    std::string startup_id;         // the startup-notification id sent along
};

// Owns org.freedesktop.FileManager1 on the bus at address and serves
// ShowFolders and ShowItems on a connection and main loop of its own thread.
// Every call is recorded before it is answered, so once the caller has its
// reply the call is listed.
// Ends loop, which runs context on a service thread, from inside the loop
// itself: a quit sent before the loop starts running would be forgotten.
void quit_loop_from_inside(GMainLoop* loop, GMainContext* context);

class FakeFileManager {
public:
    // refuse: answer every call with an error instead of success. Throws
    // std::runtime_error when the name cannot be taken.
    explicit FakeFileManager(const std::string& address, bool refuse = false);
    ~FakeFileManager();
    FakeFileManager(const FakeFileManager&) = delete;
    FakeFileManager& operator=(const FakeFileManager&) = delete;

    // The calls received so far, oldest first.
    std::vector<FileManagerCall> calls();

private:
    void run(const std::string& address, std::promise<bool>& ready);
    static void on_call(GDBusConnection*, const gchar*, const gchar*, const gchar*,
                        const gchar* method, GVariant* parameters, GDBusMethodInvocation* inv,
                        gpointer self);

    const bool m_refuse;  // answer every call with an error
    std::thread m_thread;
    GMainContext* m_context = nullptr;  // the service thread's own context
    GMainLoop* m_loop = nullptr;
    GDBusConnection* m_conn = nullptr;
    guint m_registration = 0;  // the exported object
    std::mutex m_mutex;        // guards m_calls
    std::vector<FileManagerCall> m_calls;
};

}  // namespace testing_support
