#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

#include <gtest/gtest.h>

#include <cerrno>

#include <future>
#include <thread>

#include "platform/Priority.h"

namespace kx::platform {
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
    SystemPriority().RaisePriority();
    const Priority raised = Priority::Now();
    SystemPriority().RestorePriority();
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

// Two links transmitting at once in two threads: each thread's raise and restore are its
// own, and one finishing never restores the other.
TEST(Priority, ThreadsRaiseAndRestoreIndependently) {
    const Priority before = Priority::Now();
    std::promise<void> otherRaised, mainDone;
    std::promise<Priority> otherWhileMainRestored, otherAfter;
    std::thread other([&] {
        SystemPriority().RaisePriority();
        otherRaised.set_value();
        mainDone.get_future().wait();
        otherWhileMainRestored.set_value(Priority::Now());
        SystemPriority().RestorePriority();
        otherAfter.set_value(Priority::Now());
    });
    otherRaised.get_future().wait();
    SystemPriority().RaisePriority();
    const Priority raised = Priority::Now();
    SystemPriority().RestorePriority();
    EXPECT_EQ(Priority::Now(), before);
    mainDone.set_value();
    const Priority otherStill = otherWhileMainRestored.get_future().get();
    const Priority otherBack = otherAfter.get_future().get();
    other.join();
    // The other thread is still where its own raise put it: the same as ours was.
    EXPECT_EQ(otherStill, raised);
    EXPECT_EQ(otherBack, before);
}

}  // namespace
}  // namespace kx::platform
