#pragma once
// A priority control that only counts: tests see the raise and restore around each RS485
// transmission without the process's real priority being touched.
#include <atomic>

#include "platform/Priority.h"

namespace kx::test {

class FakePriority final : public platform::PriorityControl {
public:
    void RaisePriority() override {
        ++raises;
        ++raised;
    }
    void RestorePriority() override {
        ++restores;
        --raised;
    }

    std::atomic<int> raises{0};
    std::atomic<int> restores{0};
    std::atomic<int> raised{0};  // raised now: raises less restores
};

}  // namespace kx::test
