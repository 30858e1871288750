#pragma once
// A system-wide named lock held for as long as the object lives (or the process runs).
#include <memory>
#include <string>

namespace kx::platform {

class NamedLock {
public:
    virtual ~NamedLock() = default;
};

// Takes the lock named `name`; nullptr when another process holds it or it cannot be made.
std::unique_ptr<NamedLock> TryAcquireNamedLock(const std::string& name);

}  // namespace kx::platform
