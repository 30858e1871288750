#pragma once
// The simulated device of a fault scenario: kxboot-sim on a fresh pty with its request
// log and flash dump in the scenario's folder, and the log read back as records.
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "sim/LoggedRequest.h"
#include "tests/support/ChildProcess.h"

namespace kx::test {

// One line of the simulator's request log.
using SimRequest = sim::LoggedRequest;

class SimRun {
public:
    SimRun(const std::string& simPath, const std::filesystem::path& folder,
           const std::vector<std::string>& options, SteadyTime deadline);

    ChildProcess& Process() { return *process_; }
    const std::string& Port() const { return port_; }
    std::vector<SimRequest> Requests() const;
    std::string Flash() const;

private:
    std::filesystem::path log_;
    std::filesystem::path flash_;
    std::unique_ptr<ChildProcess> process_;
    std::string port_;
};

std::string ReadWholeFile(const std::filesystem::path& path);
void WriteWholeFile(const std::filesystem::path& path, const std::string& bytes);

}  // namespace kx::test
