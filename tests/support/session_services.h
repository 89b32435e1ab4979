// Desktop services for tests that talk to the session: a private D-Bus session
// bus and a virtual X display, each started for the lifetime of one object.
//
// Both set the environment variable their clients read (DBUS_SESSION_BUS_ADDRESS,
// DISPLAY) and restore it afterwards. The services are started as children that
// die with the test (PR_SET_PDEATHSIG), so a crashed test leaves nothing behind.
// GLib keeps one shared session connection per process, so a test that uses
// the bus through the program's code should run in a child process of its own
// (run_test_in_child).
//
// Threads: create and destroy on the test's main thread, before the code under
// test starts threads of its own.
#pragma once

#include <sys/types.h>

#include <string>

#include "test_support.h"

namespace testing_support {

// A dbus-daemon of its own, with no service activation (nothing is started on
// demand, so a name nobody owns stays unowned) and a permissive policy.
class PrivateSessionBus {
public:
    // Starts the daemon and points DBUS_SESSION_BUS_ADDRESS at it. Throws
    // std::runtime_error when dbus-daemon cannot be started.
    PrivateSessionBus();
    // Stops the daemon. The process's shared session connection, if any, is
    // first told not to end the process when the bus goes away.
    ~PrivateSessionBus();
    PrivateSessionBus(const PrivateSessionBus&) = delete;
    PrivateSessionBus& operator=(const PrivateSessionBus&) = delete;

    const std::string& address() const { return m_address; }

private:
    TempDir m_dir;
    ScopedEnv m_env;
    pid_t m_pid = -1;
    std::string m_address;
};

// An Xvfb server on a display number it picks itself (so parallel tests never
// collide), with DISPLAY pointing at it.
class VirtualDisplay {
public:
    // screen is Xvfb's WxHxDEPTH of its one screen; dpi, when above 0, goes
    // into the display's X resources as Xft.dpi, where GTK reads the desktop's
    // text size from when no settings daemon runs (96 is ordinary text).
    // Throws std::runtime_error when Xvfb cannot be started.
    explicit VirtualDisplay(const std::string& screen = "800x600x24", int dpi = 0);
    ~VirtualDisplay();
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;

    // ":N"
    const std::string& display() const { return m_display; }

private:
    ScopedEnv m_env;
    pid_t m_pid = -1;
    std::string m_display;
};

}  // namespace testing_support
