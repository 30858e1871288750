#pragma once
// The single-instance guard of the desktop program: a system-wide lock named after the
// program file's name. A copy that cannot take it must end before it shows anything.
#include <memory>
#include <string>

#include "platform/NamedLock.h"

namespace kx::app {

class TJustOne {
public:
    // Takes the lock named after the running program file.
    TJustOne();
    // Takes the lock `name` (a test runs two guards side by side this way).
    explicit TJustOne(const std::string& name);

    // The lock taken at construction; empty when another copy holds it or it could not be made.
    std::unique_ptr<platform::NamedLock> MutexHandle;
    // True when this copy holds the lock; only then may the program go on.
    bool MutexOwned = false;

    // The program must end: another copy runs, or the lock could not be made.
    bool TerminateRequested() const { return !MutexOwned; }
};

}  // namespace kx::app
