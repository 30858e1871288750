#pragma once
// Looking into the process table (/proc, or a folder laid out like it) for the processes
// that hold a device open and for processes by name.
#include <string>
#include <vector>

#include "platform/PortProbe.h"

namespace kx::platform::posix {

struct OpenHolders {
    std::vector<PortHolder> holders;   // openFile set, in PID order
    bool complete = true;              // false when some process's fds could not be read
};

// The processes under `procRoot` with `devicePath` (resolved) open, this process left
// out. On a pseudo-terminal, a process that holds the master side of that very terminal
// is the line's far end (a simulated device, a terminal program), not a competitor: it is
// left out too.
OpenHolders FindOpenHolders(const std::string& procRoot, const std::string& devicePath);

// The name the process `pid` runs under ("" when it cannot be read).
std::string ProcessName(const std::string& procRoot, int pid);

// The PIDs of the processes called `name`, in order.
std::vector<int> ProcessesNamed(const std::string& procRoot, const std::string& name);

}  // namespace kx::platform::posix
