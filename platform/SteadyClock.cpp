#include <thread>

#include "platform/Clock.h"

namespace kx::platform {
namespace {

class SteadyClock final : public Clock {
public:
    Millis Now() const override {
        return std::chrono::duration_cast<Millis>(std::chrono::steady_clock::now().time_since_epoch());
    }
    void Sleep(Millis duration) override {
        if (duration > Millis::zero()) std::this_thread::sleep_for(duration);
    }
};

}  // namespace

Clock& SystemClock() {
    static SteadyClock clock;
    return clock;
}

}  // namespace kx::platform
