#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <cerrno>

#include "ui/SysUtils.h"

namespace kx::ui {
namespace {

struct Priority {
    int policy = 0;
    int threadPriority = 0;
    int nice = 0;

    static Priority Now() {
        Priority p;
        sched_param param{};
        pthread_getschedparam(pthread_self(), &p.policy, &param);
        p.threadPriority = param.sched_priority;
        errno = 0;
        p.nice = getpriority(PRIO_PROCESS, 0);
        return p;
    }
    bool operator==(const Priority&) const = default;
};

// Whatever the process is allowed, restore gives back exactly what it had before.
TEST(Priority, RestoreAfterRaiseGivesBackTheEarlierPriority) {
    const Priority before = Priority::Now();
    RaisePriority();
    const Priority raised = Priority::Now();
    RestorePriority();
    const Priority after = Priority::Now();
    EXPECT_EQ(after.policy, before.policy);
    EXPECT_EQ(after.threadPriority, before.threadPriority);
    EXPECT_EQ(after.nice, before.nice);
    // Where the OS grants it (a privileged run), the raise really is a raise.
    if (raised.policy == SCHED_FIFO) {
        EXPECT_EQ(raised.threadPriority, sched_get_priority_max(SCHED_FIFO));
    } else {
        EXPECT_EQ(raised.policy, before.policy);
    }
}

}  // namespace
}  // namespace kx::ui
