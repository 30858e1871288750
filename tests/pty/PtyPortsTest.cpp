// Port slots, the stored port, a port held by another program and a port that goes
// away, with the real backend and kxboot-sim processes.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "app/KXIniFile.h"
#include "link/LinkTexts.h"
#include "platform/posix/PosixSerialPort.h"
#include "tests/pty/PtyFixture.h"

namespace kx::test {
namespace {

using link::TKX_RS;
namespace texts = kx::texts;

// Another program holding a port open, the way kxboot itself holds it, until destroyed.
class PortHolder {
public:
    explicit PortHolder(const std::string& port) {
        int ready[2], hold[2];
        if (::pipe(ready) != 0 || ::pipe(hold) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(ready[0]);
            ::close(hold[1]);
            const auto held = platform::posix::PosixSerialPort::Open(port);
            const char answer = held ? 'y' : 'n';
            (void)::write(ready[1], &answer, 1);
            char c;
            while (::read(hold[0], &c, 1) > 0) {
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(hold[0]);
        release_ = hold[1];
        char answer = 'n';
        holding_ = ::read(ready[0], &answer, 1) == 1 && answer == 'y';
        ::close(ready[0]);
    }
    ~PortHolder() {
        ::close(release_);
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    }
    bool Holding() const { return holding_; }

private:
    pid_t pid_ = -1;
    int release_ = -1;
    bool holding_ = false;
};

class PtyPorts : public PtyTest {
protected:
    std::unique_ptr<TKX_RS> NewLink() {
        auto rs = std::make_unique<TKX_RS>(nullptr, nullptr, link::SystemLinkContext(ui));
        rs->SetLineMode(2);
        rs->AnswerTimeout = 100;
        return rs;
    }
    TempDir dir;
};

TEST_F(PtyPorts, ListedPortsTakeTheFirstSlotsAndAMissingOneIsNotFree) {
    SimProcess& first = StartSim({});
    SimProcess& second = StartSim({});
    // StartSim lists only the simulators; put a missing port between them.
    ::setenv("KXBOOT_PORTS", (first.Port() + ":" + dir.File("gone") + ":" + second.Port()).c_str(), 1);
    auto rs = NewLink();
    EXPECT_EQ(rs->PortNames[1], first.Port());
    EXPECT_EQ(rs->PortNames[2], dir.File("gone"));
    EXPECT_EQ(rs->PortNames[3], second.Port());
    EXPECT_TRUE(rs->FreePorts[1]);
    EXPECT_FALSE(rs->FreePorts[2]);
    EXPECT_TRUE(rs->FreePorts[3]);
    EXPECT_EQ(rs->FirstFreePort(), 1);

    rs->OpenPort(3);
    rs->Command(0xF9, 6);
    EXPECT_EQ(second.Requests().size(), 1u);
    EXPECT_EQ(first.Requests().size(), 0u);

    rs->OpenPort(2);  // not free: the lowest free port instead
    EXPECT_EQ(rs->PortNumber, 1);
    rs->Command(0xF9, 6);
    EXPECT_EQ(first.Requests().size(), 1u);
    EXPECT_TRUE(ui.Errors().empty());
}

TEST_F(PtyPorts, TheStoredDevicePathIsWrittenBackAndReopened) {
    StartSim({});
    SimProcess& second = StartSim({});
    app::TKXIniFile ini(dir.File("kxboot.ini"));
    {
        auto rs = NewLink();
        rs->LoadSettings(ini);  // no key yet: the lowest free port
        EXPECT_EQ(rs->PortNumber, 1);
        rs->OpenPort(2);
        rs->SaveSettings(ini);
    }
    EXPECT_EQ(ini.ReadString("RS232", "Port", ""), second.Port());
    auto rs = NewLink();
    rs->LoadSettings(ini);
    EXPECT_EQ(rs->PortNumber, 2);
    rs->Command(0xF9, 6);
    EXPECT_EQ(second.Requests().size(), 1u);
}

TEST_F(PtyPorts, AStoredPortHeldByAnotherProgramFallsBackToTheLowestFree) {
    SimProcess& first = StartSim({});
    SimProcess& second = StartSim({});
    app::TKXIniFile ini(dir.File("kxboot.ini"));
    ini.WriteString("RS232", "Port", second.Port());
    PortHolder other(second.Port());
    ASSERT_TRUE(other.Holding());

    auto rs = NewLink();
    EXPECT_FALSE(rs->FreePorts[2]);
    rs->LoadSettings(ini);
    EXPECT_EQ(rs->PortNumber, 1);
    rs->Command(0xF9, 6);
    EXPECT_EQ(first.Requests().size(), 1u);
    rs->SaveSettings(ini);
    EXPECT_EQ(ini.ReadString("RS232", "Port", ""), first.Port());

    // Asked for by name all the same, the held port does not open.
    rs->OpenPortNamed(second.Port());
    EXPECT_FALSE(rs->PortOpen());
    EXPECT_EQ(LinkErrorOf([&] { rs->Command(0xF9, 6); }), texts::NoLink);
    EXPECT_EQ(second.Requests().size(), 0u);
}

TEST_F(PtyPorts, APortHeldByTheLinkIsTakenForOthersAndFreeAfterClosing) {
    SimProcess& sim = StartSim({});
    auto rs = NewLink();
    rs->OpenPort(1);
    ASSERT_TRUE(rs->PortOpen());
    {
        PortHolder other(sim.Port());
        EXPECT_FALSE(other.Holding());
    }
    EXPECT_FALSE(platform::SystemSerialPorts().IsFree(sim.Port()));
    rs->ClosePort();
    EXPECT_TRUE(platform::SystemSerialPorts().IsFree(sim.Port()));
    // Reopening after a close works (the exclusive flag does not outlive the close).
    rs->OpenPort(1);
    ASSERT_NO_THROW(rs->Command(0xF9, 6));
}

TEST_F(PtyPorts, APortPulledMidExchangeEndsInTheNoLinkErrorWithoutSpinning) {
    // By its stable name: once the device is gone its pty number may go to another
    // program, and a link that reopens its port by name must not find that one.
    const std::string name = dir.File("pulled");
    SimProcess& sim = StartSim({"--fault", "hangup:fn=10:nth=2", "--link", name});
    ::setenv("KXBOOT_PORTS", name.c_str(), 1);
    auto rs = NewLink();
    rs->OpenPort(1);
    rs->SetBaudRate(19200);
    const auto packet = [&](std::uint8_t index) {
        rs->AnswerTimeout = 100;
        rs->StartCommand(0xF9, 10);
        rs->PutByte(index);
        for (int i = 0; i < 128; ++i) rs->PutByte(0x55);
        rs->Transact();
    };
    ASSERT_NO_THROW(packet(0));
    const auto cpuBefore = ProcessCpuTime();
    const auto start = Steady::now();
    EXPECT_EQ(LinkErrorOf([&] { packet(1); }), texts::NoLink);
    const auto took = Steady::now() - start;
    const auto cpu = ProcessCpuTime() - cpuBefore;
    EXPECT_TRUE(sim.Exited(2000ms));
    // Three attempts, each waiting out its time-out on the dead port: waits, not spins.
    EXPECT_GE(took, 3 * 100ms);
    EXPECT_LT(cpu, took / 4);
    // The dead port keeps giving the same error, not a crash or a hang.
    EXPECT_EQ(LinkErrorOf([&] { packet(2); }), texts::NoLink);
    const auto requests = sim.Requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1]["answer"], "hangup");
}

}  // namespace
}  // namespace kx::test
