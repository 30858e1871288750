// POSIX priorities: the thread's scheduling policy (real-time FIFO at its highest
// level) stands for the thread priority, the process's nice value for its class.
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
Saved saved;

}  // namespace

void SavePriority() {
    pthread_getschedparam(pthread_self(), &saved.policy, &saved.param);
    errno = 0;
    const int nice = getpriority(PRIO_PROCESS, 0);
    saved.nice = errno == 0 ? nice : 0;
}

void RaiseToHighestPriority() {
    // Failures are ignored: without the privilege the process keeps what it has.
    setpriority(PRIO_PROCESS, 0, -20);
    sched_param param{};
    param.sched_priority = sched_get_priority_max(SCHED_FIFO);
    pthread_setschedparam(pthread_self(), SCHED_FIFO, &param);
}

void RestoreSavedPriority() {
    pthread_setschedparam(pthread_self(), saved.policy, &saved.param);
    setpriority(PRIO_PROCESS, 0, saved.nice);
}

}  // namespace kx::platform
