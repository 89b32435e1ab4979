// dead_mount — see dead_mount.h.
#include "dead_mount.h"

#include <fcntl.h>
#include <linux/fuse.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "deletion_support.h"

namespace testing_support {

namespace {

// The protocol version the handshake claims: 7.22 needs the shortest reply
// every kernel since 3.x accepts, and none of the later features matter to a
// filesystem that answers nothing.
constexpr std::uint32_t kMinor = 22;

// The server's side of the handshake: reads the kernel's INIT request and
// answers it. An empty string when it went through, else the reason.
std::string answer_init(int device) {
    // The kernel refuses reads into buffers smaller than this.
    std::vector<char> buf(FUSE_MIN_READ_BUFFER);
    ssize_t n;
    do {
        n = ::read(device, buf.data(), buf.size());
    } while (n < 0 && errno == EINTR);
    if (n < static_cast<ssize_t>(sizeof(fuse_in_header)))
        return std::string("read the handshake: ") + std::strerror(errno);
    fuse_in_header in{};
    std::memcpy(&in, buf.data(), sizeof in);
    if (in.opcode != FUSE_INIT)
        return "the first request is not the handshake";
    struct Reply {
        fuse_out_header head;
        char init[FUSE_COMPAT_22_INIT_OUT_SIZE];
    } reply{};
    fuse_init_out out{};
    out.major = FUSE_KERNEL_VERSION;
    out.minor = kMinor;
    out.max_write = 4096;
    std::memcpy(reply.init, &out, sizeof reply.init);
    reply.head.len = sizeof reply;
    reply.head.unique = in.unique;
    if (::write(device, &reply, sizeof reply) != static_cast<ssize_t>(sizeof reply))
        return std::string("answer the handshake: ") + std::strerror(errno);
    return {};
}

}  // namespace

bool can_mount_dead_filesystem() {
    return ::geteuid() == 0 && ::access("/dev/fuse", R_OK | W_OK) == 0 && can_unshare_mounts();
}

DeadMount::DeadMount(std::string target) : m_target(std::move(target)) {
    // Close-on-exec: a program the test starts must not keep the server alive.
    m_device = ::open("/dev/fuse", O_RDWR | O_CLOEXEC);
    if (m_device < 0) {
        m_error = std::string("open /dev/fuse: ") + std::strerror(errno);
        return;
    }
    const std::string options =
        "fd=" + std::to_string(m_device) + ",rootmode=40000,user_id=0,group_id=0";
    if (::mount("brushwick-dead", m_target.c_str(), "fuse", MS_NOSUID | MS_NODEV,
                options.c_str()) != 0) {
        m_error = "mount fuse on " + m_target + ": " + std::strerror(errno);
        return;
    }
    m_mounted = true;
    m_error = answer_init(m_device);
}

DeadMount::~DeadMount() {
    // Closing the server's end aborts the connection: every call still
    // waiting in it fails, so nothing of the test stays stuck.
    if (m_device >= 0)
        ::close(m_device);
    // Ignored result: the namespace dies with the child in any case.
    if (m_mounted)
        ::umount2(m_target.c_str(), MNT_DETACH);
}

bool run_in_mount_namespace(const std::string& test_name,
                            const std::map<std::string, std::optional<std::string>>& env,
                            std::chrono::seconds limit, std::string* log) {
    const ChildResult r =
        run_process({find_program("unshare"), "-m", "--propagation", "private", this_binary(),
                     "--gtest_also_run_disabled_tests", "--gtest_filter=" + test_name},
                    env, limit);
    if (log != nullptr) {
        *log += r.out;
        if (r.overran)
            *log += "\n(killed: still running after " + std::to_string(limit.count()) + " s)\n";
    }
    return !r.overran && r.exit_code == 0 &&
           r.out.find("[  PASSED  ] 1 test.") != std::string::npos &&
           r.out.find("[  SKIPPED ]") == std::string::npos;
}

}  // namespace testing_support
