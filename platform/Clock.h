#pragma once
// Monotonic millisecond time and pauses. Injected wherever a time-out is measured,
// so that tests can run time-outs without waiting.
#include <chrono>

namespace kx::platform {

using Millis = std::chrono::milliseconds;

class Clock {
public:
    virtual ~Clock() = default;
    // Milliseconds since an arbitrary origin; never goes back and never wraps.
    virtual Millis Now() const = 0;
    virtual void Sleep(Millis duration) = 0;
};

// The real clock (steady clock, real sleeps).
Clock& SystemClock();

}  // namespace kx::platform
