#include "platform/posix/ProcScan.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <map>

#include "tests/app/TempDir.h"

namespace kx::platform::posix {
namespace {

namespace fs = std::filesystem;

// A process table laid out as /proc: one folder per PID with its name in comm, its
// descriptors as links in fd and the master side's pty number in fdinfo.
class FakeProc {
public:
    struct Fd {
        std::string target;
        int ttyIndex = -1;   // fdinfo's tty-index, for a pty master
    };

    void Process(int pid, const std::string& name, const std::map<int, Fd>& fds) {
        const fs::path folder = dir.Path() / std::to_string(pid);
        fs::create_directories(folder / "fd");
        fs::create_directories(folder / "fdinfo");
        test::WriteAll((folder / "comm").string(), name + "\n");
        for (const auto& [fd, use] : fds) {
            fs::create_symlink(use.target, folder / "fd" / std::to_string(fd));
            std::string info = "pos:\t0\nflags:\t02\n";
            if (use.ttyIndex >= 0) info += "tty-index:\t" + std::to_string(use.ttyIndex) + "\n";
            test::WriteAll((folder / "fdinfo" / std::to_string(fd)).string(), info);
        }
    }
    std::string Root() const { return dir.Path().string(); }

private:
    test::TempDir dir;
};

std::vector<int> Pids(const OpenHolders& found) {
    std::vector<int> pids;
    for (const auto& h : found.holders) pids.push_back(h.pid);
    return pids;
}

// Nothing here is opened: the descriptors' links are compared as text, so the ptys
// named need not exist.
TEST(FindOpenHolders, NamesEveryProcessWithTheDeviceOpenButTheLinesFarEnd) {
    FakeProc proc;
    const std::string device = "/dev/pts/90";
    proc.Process(100, "minicom", {{3, {device}}});
    // The simulator holds both sides of pty 90: it is the device, not a competitor.
    proc.Process(200, "kxboot-sim", {{4, {device}}, {5, {"/dev/ptmx", 90}}});
    // A terminal program serving another pty (91) that also has 90 open holds it.
    proc.Process(300, "screen", {{6, {"/dev/ptmx", 91}}, {7, {device}}});
    proc.Process(400, "ModemManager", {{0, {"/dev/null"}}, {1, {"/dev/pts/9"}}, {2, {"/dev/pts/900"}}});
    proc.Process(::getpid(), "self", {{9, {device}}});   // this process never counts
    fs::create_directories(proc.Root() + "/self");        // nor anything that is no PID

    const OpenHolders found = FindOpenHolders(proc.Root(), device);
    EXPECT_EQ(Pids(found), (std::vector<int>{100, 300}));
    EXPECT_TRUE(found.complete);
    ASSERT_EQ(found.holders.size(), 2u);
    EXPECT_EQ(found.holders[0], (PortHolder{100, "minicom", false, true}));
    EXPECT_EQ(found.holders[1].process, "screen");

    // On a device that is no pty, holding a pty master excuses nothing.
    proc.Process(500, "getty", {{0, {"/dev/ttyS90"}}, {1, {"/dev/ptmx", 90}}});
    EXPECT_EQ(Pids(FindOpenHolders(proc.Root(), "/dev/ttyS90")), std::vector<int>{500});
    EXPECT_EQ(Pids(FindOpenHolders(proc.Root(), "/dev/ttyUSB90")), std::vector<int>{});
}

// A port named through a link (a /dev/serial/by-id name) is found by the device it leads to.
TEST(FindOpenHolders, FollowsTheNameToTheDevice) {
    test::TempDir dir;
    const std::string device = dir.File("ttyUSB0");
    test::WriteAll(device, "");
    fs::create_symlink(device, dir.File("usb-Adapter-if00-port0"));
    FakeProc proc;
    proc.Process(100, "gpsd", {{3, {device}}});
    EXPECT_EQ(Pids(FindOpenHolders(proc.Root(), dir.File("usb-Adapter-if00-port0"))), std::vector<int>{100});
}

TEST(ProcessesNamed, MatchesTheWholeNameInPidOrder) {
    FakeProc proc;
    proc.Process(812, "ModemManager", {});
    proc.Process(77, "ModemManager", {});
    proc.Process(90, "ModemManagerX", {});
    proc.Process(91, "brltty", {});
    EXPECT_EQ(ProcessesNamed(proc.Root(), "ModemManager"), (std::vector<int>{77, 812}));
    EXPECT_EQ(ProcessesNamed(proc.Root(), "gpsd"), std::vector<int>{});
    EXPECT_EQ(ProcessName(proc.Root(), 91), "brltty");
    EXPECT_EQ(ProcessName(proc.Root(), 92), "");
}

}  // namespace
}  // namespace kx::platform::posix
