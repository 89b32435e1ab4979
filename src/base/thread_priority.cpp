// thread_priority — see thread_priority.h.
#include "base/thread_priority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>

int thread_nice() {
    errno = 0;
    const int n = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
    // -1 is also a valid nice value; only errno tells a failure apart.
    return (n == -1 && errno != 0) ? 0 : n;
}

void lower_thread_priority(int n) {
    if (thread_nice() >= n)
        return;
    // Refused only by a security policy; the work then runs at the caller's priority.
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), n);
}
