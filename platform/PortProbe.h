#pragma once
// What stands between the user and a port: whether it is there, who holds it, whether
// this user may open it, and which of the machine's services are known to grab serial
// adapters. Facts only, gathered without disturbing the port (no lines raised, no
// settings changed); one backend per OS.
#include <string>
#include <vector>

namespace kx::platform {

// A process that holds the port: it has the device open, or its PID is in the port's
// lock file, or both.
struct PortHolder {
    int pid = 0;
    std::string process;     // the process's name; "" where the system does not say
    bool lockFile = false;   // named by the port's lock file
    bool openFile = false;   // has the device open

    bool operator==(const PortHolder&) const = default;
};

// Whether this user may open the port for reading and writing, and the group that grants
// it. Where the system has no such groups, granted is all there is.
struct PortAccess {
    bool granted = true;
    std::string group;              // the device's group when its members may open it; "" otherwise
    bool memberNow = false;         // this login session has that group
    bool memberOfAccount = false;   // the user's account is in that group (perhaps only since the last login)
};

struct PortProbe {
    std::string name;   // as asked for
    bool present = false;
    bool busy = false;
    // Who holds it, where the system says; a busy port with no holders is held by someone
    // the system does not name.
    std::vector<PortHolder> holders;
    // False when some processes could not be looked into (other users', without root):
    // a port with no holders listed may still be held by one of them.
    bool holdersComplete = true;
    PortAccess access;
};

// One service known to take serial adapters away from other programs.
struct GrabbingService {
    std::string name;        // as its process is called ("ModemManager")
    std::vector<int> pids;   // its running processes; empty when it is not running
};

PortProbe ProbePort(const std::string& name);

// The services known on this system to grab serial adapters, each with whether it runs;
// empty where no such service is known.
std::vector<GrabbingService> SerialPortGrabbers();

}  // namespace kx::platform
