#pragma once
// A kxboot-sim child process for the end-to-end tests: started with the given options
// and a request log in a folder of its own, ended when the object goes.
#include <sys/types.h>

#include <chrono>
#include <map>
#include <string>
#include <vector>

#include "tests/app/TempDir.h"

namespace kx::test {

// One line of the simulator's request log, as key=value fields.
struct SimRequest {
    std::map<std::string, std::string> fields;
    std::string operator[](const std::string& key) const;
    long Number(const std::string& key) const;  // -1 when absent
};

class SimProcess {
public:
    explicit SimProcess(const std::vector<std::string>& options);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The pty's slave path (empty if the simulator did not start).
    const std::string& Port() const { return port_; }
    std::vector<SimRequest> Requests() const;
    std::string File(const std::string& name) const { return dir_.File(name); }
    // Whether the process has ended within `wait`.
    bool Exited(std::chrono::milliseconds wait);

private:
    TempDir dir_;
    pid_t pid_ = -1;
    int stdin_ = -1;
    std::string port_;
};

}  // namespace kx::test
