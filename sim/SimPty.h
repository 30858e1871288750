#pragma once
// The simulator's end of the line: a pseudo-terminal whose slave side the program under
// test opens as its serial port.
#include <chrono>
#include <optional>
#include <string>

#include "platform/posix/UniqueFd.h"

namespace kx::sim {

class Pty {
public:
    // Throws std::runtime_error when no pty can be made.
    Pty();

    int Master() const { return master_.Get(); }
    // The simulator keeps a descriptor of the slave side open: without it the master
    // reports a hang-up whenever the other program has the port closed.
    int Slave() const { return slave_.Get(); }
    const std::string& SlavePath() const { return slavePath_; }
    bool Open() const { return master_.Valid(); }
    // Closes both sides: the other program's port is hung up.
    void HangUp();

private:
    platform::posix::UniqueFd master_;
    platform::posix::UniqueFd slave_;
    std::string slavePath_;
};

// A symbolic link to the slave, removed again when the simulator ends.
class PtyLink {
public:
    PtyLink(const std::string& linkPath, const std::string& target);  // throws std::runtime_error
    ~PtyLink();
    PtyLink(const PtyLink&) = delete;
    PtyLink& operator=(const PtyLink&) = delete;

    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// An adapter pulled out and plugged in again: the pty is closed (the other program's
// port hangs up), the link to it goes away for `away`, then a new pty appears under the
// same link. Throws std::runtime_error when the new pty cannot be made.
void Replug(Pty& pty, std::optional<PtyLink>& link, std::chrono::milliseconds away);

}  // namespace kx::sim
