// Ports looked at the Linux way: the device node's mode and group against this user's
// groups, the lock file, and /proc for the processes that have the device open and for
// the services that grab serial adapters ($KXBOOT_PROC_DIR names another process table).
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/PortProbe.h"
#include "platform/posix/ProcScan.h"
#include "platform/posix/UucpLock.h"

namespace kx::platform {
namespace {

// ModemManager probes new serial devices with AT commands and holds them meanwhile;
// brltty claims common USB-serial chips for braille displays and takes the port away;
// gpsd opens adapters that GPS receivers also use.
constexpr std::array<std::string_view, 3> GrabberNames = {"ModemManager", "brltty", "gpsd"};

std::string ProcRoot() {
    const char* root = std::getenv("KXBOOT_PROC_DIR");
    return root != nullptr && *root != '\0' ? root : "/proc";
}

std::string GroupName(gid_t gid) {
    std::vector<char> buffer(16384);
    group entry {};
    group* found = nullptr;
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr)
        return found->gr_name;
    return std::to_string(gid);
}

bool InSessionGroups(gid_t gid) {
    if (::getegid() == gid) return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0) return false;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    const int got = ::getgroups(count, groups.data());
    return got > 0 && std::find(groups.begin(), groups.begin() + got, gid) != groups.begin() + got;
}

// Membership as the group database has it now, which a login session only learns at
// its next login.
bool InAccountGroups(gid_t gid) {
    std::vector<char> buffer(16384);
    passwd entry {};
    passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr)
        return false;
    int count = 256;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count));
        if (::getgrouplist(found->pw_name, found->pw_gid, groups.data(), &count) < 0) return false;
    }
    return std::find(groups.begin(), groups.begin() + count, gid) != groups.begin() + count;
}

PortAccess AccessOf(const std::string& path, const struct stat& info) {
    PortAccess access;
    access.granted = ::faccessat(AT_FDCWD, path.c_str(), R_OK | W_OK, AT_EACCESS) == 0;
    if ((info.st_mode & S_IRGRP) != 0 && (info.st_mode & S_IWGRP) != 0) {
        access.group = GroupName(info.st_gid);
        access.memberNow = InSessionGroups(info.st_gid);
        access.memberOfAccount = InAccountGroups(info.st_gid);
    }
    return access;
}

// The processes with the device open, and the lock file's live owner among them.
void FindHolders(const std::string& path, PortProbe& probe) {
    const std::string root = ProcRoot();
    posix::OpenHolders open = posix::FindOpenHolders(root, path);
    probe.holders = std::move(open.holders);
    probe.holdersComplete = open.complete;
    const int lockPid = posix::UucpLock::HolderPid(path, posix::UucpLock::Folders());
    if (lockPid == 0) return;
    const auto same = std::find_if(probe.holders.begin(), probe.holders.end(),
                                   [lockPid](const PortHolder& h) { return h.pid == lockPid; });
    if (same != probe.holders.end())
        same->lockFile = true;
    else
        probe.holders.insert(probe.holders.begin(),
                             PortHolder{lockPid, posix::ProcessName(root, lockPid), true, false});
}

}  // namespace

PortProbe ProbePort(const std::string& name) {
    PortProbe probe;
    probe.name = name;
    struct stat info {};
    if (::stat(name.c_str(), &info) != 0 || !S_ISCHR(info.st_mode)) return probe;
    probe.present = true;
    probe.access = AccessOf(name, info);
    FindHolders(name, probe);
    probe.busy = !probe.holders.empty();
    return probe;
}

std::vector<GrabbingService> SerialPortGrabbers() {
    const std::string root = ProcRoot();
    std::vector<GrabbingService> services;
    for (std::string_view name : GrabberNames)
        services.push_back(GrabbingService{std::string(name), posix::ProcessesNamed(root, std::string(name))});
    return services;
}

}  // namespace kx::platform
