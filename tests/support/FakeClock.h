#pragma once
// A clock that moves only when the code under test sleeps or waits.
#include "platform/Clock.h"

namespace kx::test {

class FakeClock final : public platform::Clock {
public:
    platform::Millis Now() const override { return now_; }
    void Sleep(platform::Millis duration) override {
        if (duration > platform::Millis::zero()) {
            now_ += duration;
            slept_ += duration;
        }
    }
    void Advance(platform::Millis duration) { now_ += duration; }
    // Total time passed in Sleep (not in port waits).
    platform::Millis Slept() const { return slept_; }

private:
    platform::Millis now_{1'000'000};
    platform::Millis slept_{0};
};

}  // namespace kx::test
