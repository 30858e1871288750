#pragma once
// What the command-line tests share: test images, output split into lines, the
// simulator's request log read back, and waiting for a file to show something.
#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstdint>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "sim/LoggedRequest.h"
#include "tests/app/TempDir.h"

namespace kx::test {

using Bytes = std::vector<std::uint8_t>;
inline constexpr std::size_t Page = 3072;

inline Bytes Image(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 13 + i / 1024 + 1);
    return bytes;
}

inline Bytes WithTrailer(Bytes bytes, std::uint8_t t0, std::uint8_t t1) {
    bytes.insert(bytes.end(), {t0, t1, 0x00});
    return bytes;
}

inline std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The simulator's request log at `path`, and how many of its requests had function `fn`.
inline std::vector<sim::LoggedRequest> ReadLog(const std::string& path) { return sim::ParseRequestLog(ReadAll(path)); }

inline std::size_t CountFunction(const std::vector<sim::LoggedRequest>& log, int fn) {
    return static_cast<std::size_t>(
        std::count_if(log.begin(), log.end(), [fn](const sim::LoggedRequest& r) { return r.fn == fn; }));
}

// A report line's fields; strings unquoted (the loader writes no escapes for these).
inline std::map<std::string, std::string> Fields(const std::string& json) {
    std::map<std::string, std::string> fields;
    const std::regex field(R"re("(\w+)":("(?:[^"\\]|\\.)*"|[^,}]*))re");
    for (std::sregex_iterator it(json.begin(), json.end(), field), end; it != end; ++it) {
        std::string value = (*it)[2];
        if (value.size() >= 2 && value.front() == '"') value = value.substr(1, value.size() - 2);
        fields[(*it)[1]] = value;
    }
    return fields;
}

// The name of a device's lock file: its real path without the leading slash, '/' as '_'.
inline std::string LockFileName(const std::string& device) {
    std::string name = std::filesystem::canonical(device).string().substr(1);
    if (name.starts_with("dev/")) name.erase(0, 4);
    std::replace(name.begin(), name.end(), '/', '_');
    return "LCK.." + name;
}

// Waits (without asserting on time) until the file holds `text`.
inline bool FileShows(const std::string& path, const std::string& text,
                      std::chrono::seconds timeout = std::chrono::seconds(20)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        if (ReadAll(path).find(text) != std::string::npos) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return false;
}

}  // namespace kx::test
