#include "tests/fault/SimRun.h"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace kx::test {

std::string ReadWholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void WriteWholeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out.flush()) throw std::runtime_error("cannot write " + path.string());
}

SimRun::SimRun(const std::string& simPath, const std::filesystem::path& folder,
               const std::vector<std::string>& options, SteadyTime deadline)
    : log_(folder / "sim.log"), flash_(folder / "flash.bin") {
    std::vector<std::string> argv = {simPath, "--log", log_.string(), "--flash", flash_.string()};
    argv.insert(argv.end(), options.begin(), options.end());
    process_ = std::make_unique<ChildProcess>(argv);
    const bool started = PollUntil({process_.get()}, deadline, [this] {
        return process_->Out().find('\n') != std::string::npos || process_->Exited();
    });
    const auto eol = process_->Out().find('\n');
    if (!started || eol == std::string::npos) {
        throw std::runtime_error("kxboot-sim did not start: " + process_->Err());
    }
    port_ = process_->Out().substr(0, eol);
}

std::vector<SimRequest> SimRun::Requests() const { return sim::ParseRequestLog(ReadWholeFile(log_)); }

std::string SimRun::Flash() const { return ReadWholeFile(flash_); }

}  // namespace kx::test
