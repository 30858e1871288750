#pragma once
// The real TKX_RS over the real POSIX serial backend, talking to kxboot-sim processes.
#include <gtest/gtest.h>
#include <time.h>

#include <chrono>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "link/KX_RS232.h"
#include "link/LinkError.h"
#include "tests/app/TempDir.h"
#include "tests/pty/SimProcess.h"
#include "tests/support/ScriptedUi.h"

namespace kx::test {

using Steady = std::chrono::steady_clock;
using namespace std::chrono_literals;

inline std::chrono::nanoseconds ProcessCpuTime() {
    timespec t{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

class PtyTest : public ::testing::Test {
protected:
    void SetUp() override { ::setenv("KXBOOT_LOCK_DIR", locks.Path().c_str(), 1); }
    void TearDown() override {
        link.reset();
        ::unsetenv("KXBOOT_PORTS");
        ::unsetenv("KXBOOT_LOCK_DIR");
    }

    // Starts a simulator; the first one started is offered as port slot 1, and so on.
    SimProcess& StartSim(const std::vector<std::string>& options) {
        sims.push_back(std::make_unique<SimProcess>(options));
        EXPECT_FALSE(sims.back()->Port().empty()) << "kxboot-sim did not start";
        std::string list;
        for (const auto& sim : sims) list += (list.empty() ? "" : ":") + sim->Port();
        ::setenv("KXBOOT_PORTS", list.c_str(), 1);
        return *sims.back();
    }

    // The link as the program sets it up, on port slot 1.
    link::TKX_RS& MakeLink(std::uint8_t mode, bool shortHeader = false) {
        link = std::make_unique<link::TKX_RS>(nullptr, nullptr, link::SystemLinkContext(ui));
        link->SetLineMode(mode);
        link->ShortHeader = shortHeader;
        link->OpenPort(1);
        link->SetBaudRate(19200);
        EXPECT_TRUE(link->PortOpen());
        return *link;
    }

    // The text of the LinkError that `action` raises; empty when it raises none.
    template <typename Action>
    static std::string LinkErrorOf(Action action) {
        try {
            action();
        } catch (const link::LinkError& error) {
            return error.what();
        }
        return {};
    }

    ScriptedUi ui;
    TempDir locks;
    std::vector<std::unique_ptr<SimProcess>> sims;
    std::unique_ptr<link::TKX_RS> link;
};

}  // namespace kx::test
