// Process priority class and thread priority around time-critical transmissions.
// The results of the calls are ignored: where the system grants less than the real-time
// class (no administrator rights), the process runs with what it was given.
#include <windows.h>

#include <mutex>

#include "platform/Priority.h"

namespace kx::platform {
namespace {

class Win32Priority final : public PriorityControl {
public:
    void RaisePriority() override {
        // A failed query keeps the previous value rather than saving an error code.
        const int thread = GetThreadPriority(GetCurrentThread());
        if (thread != THREAD_PRIORITY_ERROR_RETURN) savedThread_ = thread;
        {
            // The class belongs to the whole process: the first raiser saves it, the last
            // one to finish puts it back.
            const std::lock_guard lock(mutex_);
            if (raised_++ == 0) {
                const DWORD processClass = GetPriorityClass(GetCurrentProcess());
                if (processClass != 0) savedClass_ = processClass;
                SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS);
            }
        }
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    }

    void RestorePriority() override {
        SetThreadPriority(GetCurrentThread(), savedThread_);
        const std::lock_guard lock(mutex_);
        if (raised_ > 0 && --raised_ == 0) SetPriorityClass(GetCurrentProcess(), savedClass_);
    }

private:
    static thread_local int savedThread_;
    std::mutex mutex_;
    int raised_ = 0;
    DWORD savedClass_ = NORMAL_PRIORITY_CLASS;
};

thread_local int Win32Priority::savedThread_ = THREAD_PRIORITY_NORMAL;

}  // namespace

PriorityControl& SystemPriority() {
    static Win32Priority priority;
    return priority;
}

}  // namespace kx::platform
