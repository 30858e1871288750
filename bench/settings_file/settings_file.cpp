// settings_file [MEGABYTES] [FOLDER]: makes a settings file of MEGABYTES (default 100) of
// blank lines followed by the one section the program asks for, then prints the time of
// one plain read of the whole file, of a read and of a write through the settings
// engine, and the peak memory the engine took for them.
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/KXIniFile.h"

namespace {

using Clock = std::chrono::steady_clock;

double Since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

long StatusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field + ":")) return std::atol(line.c_str() + field.size() + 1);
    return -1;
}

double PlainPass(const std::string& path) {
    const auto start = Clock::now();
    const int fd = ::open(path.c_str(), O_RDONLY);
    std::vector<char> buffer(64 * 1024);
    while (::read(fd, buffer.data(), buffer.size()) > 0) {
    }
    ::close(fd);
    return Since(start);
}

}  // namespace

int main(int argc, char** argv) {
    const long megabytes = argc > 1 ? std::atol(argv[1]) : 100;
    const std::filesystem::path folder = argc > 2 ? argv[2] : std::filesystem::temp_directory_path();
    const std::string path = (folder / "settings_file_bench.ini").string();
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << "[Other]\r\n";
        const std::string blanks(1 << 20, '\n');
        for (long i = 0; i < megabytes; ++i) out << blanks;
        out << "[Common]\r\nFN=old\r\n";
    }
    const double plain = PlainPass(path);
    const long before = StatusKiB("VmRSS");
    std::ofstream("/proc/self/clear_refs") << "5";
    kx::app::TKXIniFile ini(path);
    auto start = Clock::now();
    const bool found = ini.ReadString("Common", "FN", "") == "old";
    const double read = Since(start);
    start = Clock::now();
    ini.WriteString("Common", "FN", "new");
    const double write = Since(start);
    const long peak = StatusKiB("VmHWM") - before;
    std::filesystem::remove(path);
    std::printf("settings file of %ld MB: plain read pass %.3f s, ReadString %.3f s (%.1f passes), "
                "WriteString %.3f s; peak memory %ld KiB (goal: under 8192 KiB)%s\n",
                megabytes, plain, read, read / plain, write, peak, found ? "" : "; VALUE NOT FOUND");
    return found && peak < 8192 ? 0 : 1;
}
