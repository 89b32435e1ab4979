// Private session bus and virtual display for tests. See session_services.h.
#include "session_services.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gio/gio.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <vector>

// Last: Xlib defines macros (None, Status, Bool) that other headers use as names.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

namespace testing_support {

namespace {

struct Started {
    pid_t pid = -1;
    std::string line;  // the first line the program wrote to its report descriptor
};

// Starts argv (looked up in PATH) with descriptor report_fd of the child being
// the write end of a pipe, and waits for the first line written there: the
// address or display number the service announces once it is ready. Standard
// error goes to /dev/null; the service's start-up chatter is of no interest.
Started start_service(const std::vector<std::string>& argv, int report_fd) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        throw std::runtime_error(std::string("pipe: ") + std::strerror(errno));
    const int devnull = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
    // Everything the child needs is prepared before fork: only
    // async-signal-safe calls are allowed between fork and exec.
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    const pid_t parent = ::getpid();

    const pid_t pid = ::fork();
    if (pid < 0) {
        ::close(fds[0]);
        ::close(fds[1]);
        if (devnull >= 0)
            ::close(devnull);
        throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
    }
    if (pid == 0) {
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        if (devnull >= 0)
            ::dup2(devnull, STDERR_FILENO);
        // dup2 onto the same number would keep close-on-exec; clear it then.
        if (fds[1] == report_fd)
            ::fcntl(report_fd, F_SETFD, 0);
        else
            ::dup2(fds[1], report_fd);
        ::execvp(args[0], args.data());
        ::_exit(127);
    }
    ::close(fds[1]);
    if (devnull >= 0)
        ::close(devnull);

    Started started;
    started.pid = pid;
    char c;
    ssize_t n;
    while ((n = ::read(fds[0], &c, 1)) == 1 || (n < 0 && errno == EINTR)) {
        if (n == 1 && c == '\n')
            break;
        if (n == 1)
            started.line += c;
    }
    ::close(fds[0]);
    if (started.line.empty()) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
        throw std::runtime_error(argv[0] + " did not start");
    }
    return started;
}

void stop_service(pid_t pid) {
    if (pid <= 0)
        return;
    ::kill(pid, SIGTERM);
    while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
    }
}

// Replaces the X resources of a display's root window (what xrdb loads), read
// by every client that connects afterwards.
void set_root_resources(const std::string& display, const std::string& resources) {
    Display* x = XOpenDisplay(display.c_str());
    if (x == nullptr)
        throw std::runtime_error("cannot connect to the X display " + display);
    XChangeProperty(x, DefaultRootWindow(x), XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.data()),
                    static_cast<int>(resources.size()));
    XCloseDisplay(x);  // sends the change and waits for the server
}

}  // namespace

// --- PrivateSessionBus ---

PrivateSessionBus::PrivateSessionBus() {
    const std::string config = m_dir / "session.conf";
    std::ofstream(config) << "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus "
                             "Configuration 1.0//EN\"\n"
                             " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                             "<busconfig>\n"
                             "  <type>session</type>\n"
                             "  <listen>unix:dir="
                          << m_dir.path()
                          << "</listen>\n"
                             "  <auth>EXTERNAL</auth>\n"
                             "  <policy context=\"default\">\n"
                             "    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                             "    <allow eavesdrop=\"true\"/>\n"
                             "    <allow own=\"*\"/>\n"
                             "  </policy>\n"
                             "</busconfig>\n";
    const Started s = start_service(
        {"dbus-daemon", "--config-file=" + config, "--nofork", "--print-address=1"}, 1);
    m_pid = s.pid;
    m_address = s.line;
    m_env.set("DBUS_SESSION_BUS_ADDRESS", m_address);
}

PrivateSessionBus::~PrivateSessionBus() {
    // GLib's shared session connection ends the process when its bus closes;
    // the code under test may still hold it.
    GDBusConnection* shared = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    if (shared != nullptr) {
        g_dbus_connection_set_exit_on_close(shared, FALSE);
        g_object_unref(shared);
    }
    stop_service(m_pid);
}

// --- VirtualDisplay ---

VirtualDisplay::VirtualDisplay(const std::string& screen, int dpi) {
    // -noreset: the server would otherwise start afresh, and forget its
    // resources, when the connection that set them closes.
    const Started s = start_service(
        {"Xvfb", "-displayfd", "3", "-nolisten", "tcp", "-noreset", "-screen", "0", screen}, 3);
    m_pid = s.pid;
    m_display = ":" + s.line;
    m_env.set("DISPLAY", m_display);
    m_env.set("WAYLAND_DISPLAY", std::nullopt);
    if (dpi > 0)
        set_root_resources(m_display, "Xft.dpi:\t" + std::to_string(dpi) + "\n");
}

VirtualDisplay::~VirtualDisplay() {
    stop_service(m_pid);
}

}  // namespace testing_support
