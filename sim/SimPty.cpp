#include "sim/SimPty.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace kx::sim {
namespace {

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + ": " + std::strerror(errno));
}

void MakeRaw(int fd) {
    termios settings{};
    if (::tcgetattr(fd, &settings) != 0) return;
    ::cfmakeraw(&settings);
    settings.c_cflag |= CLOCAL | CREAD;
    settings.c_cc[VMIN] = 0;
    settings.c_cc[VTIME] = 0;
    ::tcsetattr(fd, TCSANOW, &settings);
}

}  // namespace

Pty::Pty() {
    master_.Reset(::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!master_) Fail("posix_openpt");
    if (::grantpt(master_.Get()) != 0) Fail("grantpt");
    if (::unlockpt(master_.Get()) != 0) Fail("unlockpt");
    const char* name = ::ptsname(master_.Get());
    if (name == nullptr) Fail("ptsname");
    slavePath_ = name;
    slave_.Reset(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (!slave_) Fail("open " + slavePath_);
    // Raw on both sides, so that no byte is translated or echoed by the terminal layer
    // even before the other program has configured its end.
    MakeRaw(master_.Get());
    MakeRaw(slave_.Get());
}

void Pty::Link(const std::string& linkPath) { link_ = std::make_unique<PtyLink>(linkPath, slavePath_); }

void Pty::HangUp() {
    link_.reset();
    slave_.Reset();
    master_.Reset();
}

PtyLink::PtyLink(const std::string& linkPath, const std::string& target) : path_(linkPath) {
    struct stat info {};
    if (::lstat(linkPath.c_str(), &info) == 0) {
        if (!S_ISLNK(info.st_mode)) {
            throw std::runtime_error(linkPath + " exists and is not a symbolic link");
        }
        ::unlink(linkPath.c_str());
    }
    if (::symlink(target.c_str(), linkPath.c_str()) != 0) Fail("symlink " + linkPath);
}

PtyLink::~PtyLink() { ::unlink(path_.c_str()); }

void Replug(Pty& pty, std::chrono::milliseconds away) {
    const std::string linkPath = pty.LinkPath();
    pty.HangUp();
    std::this_thread::sleep_for(away);
    pty = Pty();
    if (!linkPath.empty()) pty.Link(linkPath);
}

}  // namespace kx::sim
