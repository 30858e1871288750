#pragma once
// --report FILE: one JSON object per line for every load attempt, appended and flushed
// the moment that load ends, so that a crash or a pulled plug later on never costs an
// earlier record. Shared by the ports' threads.
#include <chrono>
#include <mutex>
#include <string>

#include "platform/AppendFile.h"

namespace kx::cli {

struct LoadRecord {
    std::chrono::system_clock::time_point time;   // when the load ended
    std::chrono::system_clock::time_point start;  // when it began
    std::string port;        // as given (or as the settings file stored it)
    std::string portPath;    // the device it resolved to; the name itself for a URL
    std::string portStable;  // the adapter's stable name (/dev/serial/by-id/...), "" when none
    std::string image;       // as given
    std::string imagePath;   // absolute
    std::string sha256;
    std::string outcome;     // loaded, refused, failed, cancelled
    std::string reason;      // the outcome's reason code (wrong-controller, no-port, ...)
    std::string message;     // the system's text; "" when cancelled
    std::string identity;    // the identity answer's data bytes in hex, "" when not read
    std::string head;        // the six head bytes in hex, "" when not read
    int pages = 0;           // pages sent
    double seconds = 0;
};

// "2026-12-08T16:37:40.123Z"
std::string IsoUtc(std::chrono::system_clock::time_point time);
// The record as one line of JSON, without the newline; it ends with the version of the
// program that wrote it.
std::string RecordLine(const LoadRecord& record);

class LoadReport {
public:
    // Opens `path` for appending, as the settings file is written (a regular file or none,
    // never through a link planted by another user, never waiting on a FIFO); throws
    // std::system_error naming the path and the reason when it cannot.
    explicit LoadReport(const std::string& path);

    // Appends the record and flushes it; throws std::system_error when that fails.
    void Append(const LoadRecord& record);

private:
    std::mutex mutex_;   // guards file_
    platform::AppendFile file_;
    std::string path_;
};

}  // namespace kx::cli
