#pragma once
// A packet link on one fake port, a fake clock and a scripted user interface.
#include <gtest/gtest.h>

#include <memory>
#include <numeric>
#include <string>
#include <vector>

#include "link/KX_RS232.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakePriority.h"
#include "tests/support/FakeSerial.h"
#include "tests/support/ScriptedUi.h"

namespace kx::test {

using platform::Millis;

// `body` framed: the length byte in front, the check byte behind.
inline Bytes Framed(const Bytes& body) {
    Bytes frame{static_cast<std::uint8_t>(body.size() + 2)};
    frame.insert(frame.end(), body.begin(), body.end());
    const unsigned sum = std::accumulate(frame.begin(), frame.end(), 0u);
    frame.push_back(static_cast<std::uint8_t>((256 - sum % 256) % 256));
    return frame;
}

class LinkTest : public ::testing::Test {
protected:
    LinkTest() {
        line = ports.Add("COM1");
        link = std::make_unique<link::TKX_RS>(
            nullptr, nullptr, link::LinkContext{.ui = ui, .ports = ports, .clock = clock, .priority = priority});
        link->OpenPort(1);
        line->events.clear();
    }

    // The device answers every request with `answer`, `delay` after the write; in mode 2
    // the request's echo comes first.
    void AnswerAlways(const Bytes& answer, Millis delay = Millis{0}) {
        line->onWrite = [this, answer, delay](const Bytes& request) {
            if (link->LineMode == 2) line->Send(request);
            line->SendAfterLast(answer, delay);
        };
    }
    // Answers taken in turn, one per request; nothing once they run out.
    void AnswerInTurn(std::vector<Bytes> answers) {
        line->onWrite = [this, answers, next = std::size_t{0}](const Bytes& request) mutable {
            if (link->LineMode == 2) line->Send(request);
            if (next < answers.size()) line->SendAfterLast(answers[next++]);
        };
    }
    // The message of the LinkError that `action` raises ("" when none).
    template <typename F>
    static std::string LinkErrorOf(F&& action) {
        try {
            action();
        } catch (const link::LinkError& e) {
            return e.what();
        }
        return "";
    }

    FakeClock clock;
    FakeSerialPorts ports{clock};
    ScriptedUi ui;
    FakePriority priority;
    std::shared_ptr<FakeLine> line;
    std::unique_ptr<link::TKX_RS> link;
};

}  // namespace kx::test
