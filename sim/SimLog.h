#pragma once
// The machine-readable record of every request received, one line each, flushed at once
// so that a test can read it while the simulator runs.
#include <cstdio>
#include <memory>
#include <string>

#include "sim/SimFrame.h"
#include "sim/SimLine.h"

namespace kx::sim {

class RequestLog {
public:
    explicit RequestLog(const std::string& path);  // throws std::runtime_error

    // `board` 0: not logged (one board that never leaves).
    void Write(TimePoint received, long sequence, long board, const Request& request, const std::string& answer,
               bool answered);

private:
    struct Closer {
        void operator()(std::FILE* file) const { std::fclose(file); }
    };
    std::unique_ptr<std::FILE, Closer> file_;
};

}  // namespace kx::sim
