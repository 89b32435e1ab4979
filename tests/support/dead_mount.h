// dead_mount — a filesystem that stops answering, for the tests of scans that
// must survive one: a FUSE mount whose server takes the first request (the
// handshake) and then never reads another, as a stopped sshfs does. Every call
// into it waits until the server goes away; a fatal signal still ends the
// waiting process, so a test that overruns can be killed.
//
// It never mounts outside a private mount namespace by itself: DeadMount is
// made inside a child that run_in_mount_namespace started (or that unshare
// started), so that the mount dies with the child even when a case fails.
//
// Threads: a DeadMount belongs to the thread that made it.
#pragma once

#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "test_support.h"

namespace testing_support {

// Whether a child of this process can enter a private mount namespace and
// mount a FUSE filesystem there (root, unshare and /dev/fuse).
bool can_mount_dead_filesystem();

// A FUSE filesystem at target that answers nothing after its handshake.
// Killed on destruction: the device is closed, which fails every call still
// waiting with ENOTCONN, and the mount is detached lazily.
class DeadMount {
public:
    explicit DeadMount(std::string target);
    ~DeadMount();
    DeadMount(const DeadMount&) = delete;
    DeadMount& operator=(const DeadMount&) = delete;

    // Empty when the mount stands; otherwise why it could not be made.
    const std::string& error() const { return m_error; }

private:
    std::string m_target;
    int m_device = -1;  // /dev/fuse, the server's end; -1 once closed
    bool m_mounted = false;
    std::string m_error;
};

// Runs one DISABLED_ test of this binary in a child in a private mount
// namespace, killed if it overruns limit. True when it ran and passed; its
// output is appended to *log.
bool run_in_mount_namespace(const std::string& test_name,
                            const std::map<std::string, std::optional<std::string>>& env,
                            std::chrono::seconds limit, std::string* log);

}  // namespace testing_support
