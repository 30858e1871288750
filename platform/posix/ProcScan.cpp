#include "platform/posix/ProcScan.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>

namespace kx::platform::posix {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view PtySlaves = "/dev/pts/";

std::optional<int> Pid(const std::string& entry) {
    if (entry.empty() || entry.size() > 9) return std::nullopt;
    if (!std::all_of(entry.begin(), entry.end(), [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
        return std::nullopt;
    return std::stoi(entry);
}

// The processes under `procRoot`, in PID order.
std::vector<int> Processes(const std::string& procRoot) {
    std::vector<int> pids;
    std::error_code error;
    for (fs::directory_iterator it(procRoot, error), end; !error && it != end; it.increment(error))
        if (const auto pid = Pid(it->path().filename().string())) pids.push_back(*pid);
    std::sort(pids.begin(), pids.end());
    return pids;
}

std::string Resolved(const std::string& path) {
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    return error ? path : resolved.string();
}

// The number of a pty slave ("/dev/pts/7": 7); nullopt for any other device.
std::optional<int> PtyIndex(const std::string& device) {
    if (device.compare(0, PtySlaves.size(), PtySlaves) != 0) return std::nullopt;
    return Pid(device.substr(PtySlaves.size()));
}

bool IsPtyMaster(const std::string& target) { return target == "/dev/ptmx" || target == "/dev/pts/ptmx"; }

// The pty a master descriptor serves, as its fdinfo tells ("tty-index:\t7").
std::optional<int> MasterIndex(const fs::path& fdinfo) {
    std::ifstream in(fdinfo);
    for (std::string line; std::getline(in, line);) {
        constexpr std::string_view key = "tty-index:";
        if (line.compare(0, key.size(), key) != 0) continue;
        std::size_t i = key.size();
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
        return Pid(line.substr(i));
    }
    return std::nullopt;
}

struct FdUse {
    bool device = false;   // has the device open
    bool peer = false;     // holds the master side of the device's pty
};

// What the descriptors in `process/fd` say; nullopt when they cannot be read.
std::optional<FdUse> ScanDescriptors(const fs::path& process, const std::string& device,
                                     std::optional<int> ptyIndex, bool& unreadable) {
    FdUse use;
    std::error_code error;
    fs::directory_iterator it(process / "fd", error);
    if (error) {
        // Gone since the listing is fine; not allowed to look is not.
        unreadable = unreadable || error == std::errc::permission_denied;
        return std::nullopt;
    }
    for (fs::directory_iterator end; !error && it != end; it.increment(error)) {
        std::error_code linkError;
        const std::string target = fs::read_symlink(it->path(), linkError).string();
        if (linkError) continue;
        if (target == device) use.device = true;
        if (ptyIndex && IsPtyMaster(target) &&
            MasterIndex(process / "fdinfo" / it->path().filename()) == ptyIndex)
            use.peer = true;
    }
    return use;
}

}  // namespace

OpenHolders FindOpenHolders(const std::string& procRoot, const std::string& devicePath) {
    OpenHolders found;
    const std::string device = Resolved(devicePath);
    const std::optional<int> ptyIndex = PtyIndex(device);
    bool unreadable = false;
    for (const int pid : Processes(procRoot)) {
        if (pid == ::getpid()) continue;
        const auto use = ScanDescriptors(fs::path(procRoot) / std::to_string(pid), device, ptyIndex, unreadable);
        if (!use || !use->device || use->peer) continue;
        found.holders.push_back(PortHolder{pid, ProcessName(procRoot, pid), false, true});
    }
    found.complete = !unreadable;
    return found;
}

std::string ProcessName(const std::string& procRoot, int pid) {
    std::ifstream in(fs::path(procRoot) / std::to_string(pid) / "comm");
    std::string name;
    std::getline(in, name);
    return name;
}

std::vector<int> ProcessesNamed(const std::string& procRoot, const std::string& name) {
    std::vector<int> pids;
    for (const int pid : Processes(procRoot))
        if (ProcessName(procRoot, pid) == name) pids.push_back(pid);
    return pids;
}

}  // namespace kx::platform::posix
