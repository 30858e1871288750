// Process priority class and thread priority around time-critical transmissions.
// The results of the calls are ignored: where the system grants less than the real-time
// class (no administrator rights), the process runs with what it was given.
#include <windows.h>

#include "platform/Priority.h"

namespace kx::platform {
namespace {

struct Saved {
    DWORD processClass = NORMAL_PRIORITY_CLASS;
    int threadPriority = THREAD_PRIORITY_NORMAL;
};
Saved saved;

}  // namespace

void SavePriority() {
    // A failed query keeps the previous value rather than saving an error code.
    const int thread = GetThreadPriority(GetCurrentThread());
    if (thread != THREAD_PRIORITY_ERROR_RETURN) saved.threadPriority = thread;
    const DWORD processClass = GetPriorityClass(GetCurrentProcess());
    if (processClass != 0) saved.processClass = processClass;
}

void RaiseToHighestPriority() {
    SetPriorityClass(GetCurrentProcess(), REALTIME_PRIORITY_CLASS);
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
}

void RestoreSavedPriority() {
    SetThreadPriority(GetCurrentThread(), saved.threadPriority);
    SetPriorityClass(GetCurrentProcess(), saved.processClass);
}

}  // namespace kx::platform
