#pragma once
// A packet link on one fake port with a boot loader at the line's far end, on a fake clock
// and a scripted user interface: what the load, session and station tests stand on.
#include <cctype>
#include <memory>
#include <string>
#include <vector>

#include "link/KX_RS232.h"
#include "tests/support/FakeBootLoader.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakePriority.h"
#include "tests/support/FakeSerial.h"
#include "tests/support/ScriptedUi.h"

namespace kx::test {

struct FakeBench {
    explicit FakeBench(const std::string& portName) : line(ports.Add(portName)) {}

    // The gauge's percentages in the order the progress window showed them.
    std::vector<int> Gauge() const {
        std::vector<int> values;
        for (const auto& e : ui.events)
            if (e.rfind("progress:", 0) == 0 && std::isdigit(static_cast<unsigned char>(e[9])))
                values.push_back(std::stoi(e.substr(9)));
        return values;
    }

    FakeClock clock;
    FakeSerialPorts ports{clock};
    std::shared_ptr<FakeLine> line;
    ScriptedUi ui;
    FakePriority priority;
    link::TKX_RS link{nullptr, nullptr, {.ui = ui, .ports = ports, .clock = clock, .priority = priority}};
    FakeBootLoader device{*line, link};
};

}  // namespace kx::test
