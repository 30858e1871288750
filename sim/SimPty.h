#pragma once
// The simulator's end of the line: a pseudo-terminal whose slave side the program under
// test opens as its serial port.
#include <chrono>
#include <memory>
#include <string>

#include "platform/posix/UniqueFd.h"

namespace kx::sim {

// A symbolic link to the slave, removed again when it is destroyed.
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
    // Names the slave by a symbolic link too (throws std::runtime_error).
    void Link(const std::string& linkPath);
    // The link's path; "" when there is none.
    std::string LinkPath() const { return link_ ? link_->Path() : std::string(); }
    // Closes both sides: the other program's port is hung up. The link goes first: the
    // kernel hands the freed pty number to the next pty made on the machine, and a
    // program that reopens its lost port by the link's name must find nothing rather
    // than someone else's line.
    void HangUp();

private:
    platform::posix::UniqueFd master_;
    platform::posix::UniqueFd slave_;
    std::string slavePath_;
    std::unique_ptr<PtyLink> link_;  // last, so that it is removed before the pty closes
};

// An adapter pulled out and plugged in again: the link and the pty go (the other
// program's port hangs up) for `away`, then a new pty appears under the same link.
// Throws std::runtime_error when the new pty cannot be made.
void Replug(Pty& pty, std::chrono::milliseconds away);

}  // namespace kx::sim
