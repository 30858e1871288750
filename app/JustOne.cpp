#include "app/JustOne.h"

#include "platform/Process.h"

namespace kx::app {

TJustOne::TJustOne() : TJustOne(platform::ExecutableFileName()) {}

TJustOne::TJustOne(const std::string& name) {
    // A lock that cannot be made counts like a running copy: the program ends quietly.
    if (!name.empty()) MutexHandle = platform::TryAcquireNamedLock(name);
    MutexOwned = MutexHandle != nullptr;
}

}  // namespace kx::app
