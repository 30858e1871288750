#pragma once
// The simulated device of a fault scenario: kxboot-sim on a fresh pty with its request
// log and flash dump in the scenario's folder, and the log read back as records.
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

namespace kx::test {

// One line of the simulator's request log.
struct SimRequest {
    double t = 0;                 // milliseconds, monotonic
    int fn = -1;
    int len = 0;
    std::optional<int> packet;    // write data
    std::optional<long> page;     // program page: the page address
    std::string answer;           // ok, ignored, a fault kind, ...
    bool answered = false;
    std::string raw;              // the request's bytes in hex
};

std::vector<SimRequest> ParseSimLog(const std::string& text);

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
