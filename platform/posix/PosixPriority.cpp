// POSIX priorities: the thread's scheduling policy (real-time FIFO at its highest level)
// stands for the thread priority, the thread's nice value for the process class (Linux
// keeps nice values per thread), so raising one link's thread leaves the others alone.
#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <cerrno>

#include "platform/Priority.h"

namespace kx::platform {
namespace {

struct Saved {
    int policy = SCHED_OTHER;
    sched_param param{};
    int nice = 0;
};

class PosixPriority final : public PriorityControl {
public:
    void RaisePriority() override {
        pthread_getschedparam(pthread_self(), &saved_.policy, &saved_.param);
        errno = 0;
        const int nice = getpriority(PRIO_PROCESS, 0);
        saved_.nice = errno == 0 ? nice : 0;
        // Failures are ignored: without the privilege the thread keeps what it has.
        setpriority(PRIO_PROCESS, 0, -20);
        sched_param param{};
        param.sched_priority = sched_get_priority_max(SCHED_FIFO);
        pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
    }

    void RestorePriority() override {
        pthread_setschedparam(pthread_self(), saved_.policy, &saved_.param);
        setpriority(PRIO_PROCESS, 0, saved_.nice);
    }

private:
    static thread_local Saved saved_;
};

thread_local Saved PosixPriority::saved_;

}  // namespace

PriorityControl& SystemPriority() {
    static PosixPriority priority;
    return priority;
}

}  // namespace kx::platform
