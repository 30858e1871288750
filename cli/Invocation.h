#pragma once
// What the command line asked for, once parsed.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "app/MainPresenter.h"
#include "platform/Clock.h"

namespace kx::cli {

enum class CommandKind { Load, Info, Ports, EraseAndLoad, PatchAndLoad, Address, Doctor };

// How to reach the device. Defaults as the desktop program: the port stored in the
// settings file, 19200 bit/s, two-wire RS485 with echo.
struct LinkOptions {
    // Any device path (or COMn); none: the stored port. Only load takes several; "all"
    // stands for every free candidate.
    std::vector<std::string> ports;
    std::uint32_t baud = app::MainPresenter::StartBaudRate;
    int lineMode = app::MainPresenter::StartLineMode;
    bool autoLineMode = false;   // lineMode only to start with; the link settles on 2 or 1
    std::string settings;    // empty: the program's settings file
    std::string trace;       // empty: no trace
};

struct Invocation {
    CommandKind command = CommandKind::Load;
    std::string image;
    LinkOptions link;
    std::optional<double> wakeTimeoutSeconds;
    double clockHz = 0;
    std::optional<std::uint16_t> expectId;
    std::optional<std::uint8_t> expectRevision;
    bool yes = false;
    bool json = false;         // ports, info, doctor: one JSON document on stdout
    std::string doctorPort;    // doctor: the one port to check; empty: every candidate
    std::string report;        // load: append a JSON line per load attempt here
    bool repeat = false;       // load: a station, one board after another on each port

    // --wake-timeout in whole milliseconds, rounded; none when not given.
    std::optional<platform::Millis> WakeTimeout() const {
        if (!wakeTimeoutSeconds) return std::nullopt;
        return platform::Millis(static_cast<long long>(*wakeTimeoutSeconds * 1000.0 + 0.5));
    }
};

}  // namespace kx::cli
