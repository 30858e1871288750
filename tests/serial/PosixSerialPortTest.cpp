// The POSIX backend on a real pseudo-terminal: the test holds the master side, the
// backend opens the slave side as its port.
#include "platform/posix/PosixSerialPort.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "platform/SerialPort.h"
#include "platform/posix/UniqueFd.h"
#include "tests/app/TempDir.h"

namespace kx::platform::posix {
namespace {

using namespace std::chrono_literals;
using Steady = std::chrono::steady_clock;

class PtyPort : public ::testing::Test {
protected:
    void SetUp() override {
        ::setenv("KXBOOT_LOCK_DIR", locks.Path().c_str(), 1);
        master.Reset(::posix_openpt(O_RDWR | O_NOCTTY));
        ASSERT_TRUE(master);
        ASSERT_EQ(::grantpt(master.Get()), 0);
        ASSERT_EQ(::unlockpt(master.Get()), 0);
        path = ::ptsname(master.Get());
        port = PosixSerialPort::Open(path);
        ASSERT_TRUE(port) << path;
    }
    void TearDown() override { ::unsetenv("KXBOOT_LOCK_DIR"); }

    void ToPort(const std::vector<std::uint8_t>& bytes) {
        ASSERT_EQ(::write(master.Get(), bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    }
    std::vector<std::uint8_t> FromPort(std::size_t count) {
        std::vector<std::uint8_t> got;
        while (got.size() < count) {
            pollfd p{master.Get(), POLLIN, 0};
            if (::poll(&p, 1, 2000) <= 0) break;
            std::uint8_t buffer[256];
            const ssize_t n = ::read(master.Get(), buffer, sizeof buffer);
            if (n <= 0) break;
            got.insert(got.end(), buffer, buffer + n);
        }
        return got;
    }

    test::TempDir locks;
    UniqueFd master;
    std::string path;
    std::unique_ptr<PosixSerialPort> port;
};

TEST_F(PtyPort, EveryByteValuePassesUnchangedBothWays) {
    // Raw mode: no CR/LF translation, no XON/XOFF, no signals, no output processing.
    std::vector<std::uint8_t> all(256);
    for (int i = 0; i < 256; ++i) all[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i);
    port->Write(all.data(), all.size());
    EXPECT_EQ(FromPort(all.size()), all);

    ToPort(all);
    std::vector<std::uint8_t> got;
    std::uint8_t buffer[300];
    while (got.size() < all.size()) {
        const std::size_t n = port->Read(buffer, sizeof buffer, 1000ms);
        if (n == 0) break;
        got.insert(got.end(), buffer, buffer + n);
    }
    EXPECT_EQ(got, all);
}

TEST_F(PtyPort, ReadReturnsAtOnceWithWhatIsThereUpToTheMaximum) {
    ToPort({1, 2, 3, 4, 5, 6, 7});
    std::uint8_t buffer[8] = {};
    const auto start = Steady::now();
    ASSERT_EQ(port->Read(buffer, 3, 5000ms), 3u);
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[2], 3);
    ASSERT_EQ(port->Read(buffer, 8, 5000ms), 4u);
    EXPECT_EQ(buffer[3], 7);
    EXPECT_LT(Steady::now() - start, 1000ms);  // far below the 5 s it was allowed to wait
}

TEST_F(PtyPort, ReadWakesAsSoonAsAByteArrives) {
    std::thread sender([this] {
        std::this_thread::sleep_for(50ms);
        const std::uint8_t byte = 0x5A;
        (void)::write(master.Get(), &byte, 1);
    });
    std::uint8_t got = 0;
    const auto start = Steady::now();
    const std::size_t n = port->Read(&got, 1, 10'000ms);
    const auto waited = Steady::now() - start;
    sender.join();
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(got, 0x5A);
    EXPECT_LT(waited, 5000ms);
}

TEST_F(PtyPort, ReadWithNothingToReadReturnsZeroAfterTheWait) {
    std::uint8_t byte = 0;
    const auto start = Steady::now();
    EXPECT_EQ(port->Read(&byte, 1, 120ms), 0u);
    EXPECT_GE(Steady::now() - start, 120ms);
    const auto again = Steady::now();
    EXPECT_EQ(port->Read(&byte, 1, 0ms), 0u);
    EXPECT_LT(Steady::now() - again, 1000ms);
}

TEST_F(PtyPort, AClosedPeerIsReportedAsAPortGoneNotAsSilence) {
    std::uint8_t byte = 0;
    EXPECT_EQ(port->Read(&byte, 1, 20ms), 0u);  // a silent line is no gone port
    master.Reset();  // the line goes away
    // Every read says so at once, whatever the wait, and so does a write: neither blocks.
    const auto start = Steady::now();
    for (int i = 0; i < 3; ++i) EXPECT_THROW(port->Read(&byte, 1, 2000ms), PortGone);
    const std::uint8_t frame[6] = {6, 0xF9, 1, 0, 1, 0xFF};
    EXPECT_THROW(port->Write(frame, sizeof frame), PortGone);
    EXPECT_LT(Steady::now() - start, 1000ms);
}

TEST_F(PtyPort, RatesAreSetAndReadBackAndZeroIsRefused) {
    for (const std::uint32_t rate : {19200u, 115200u, 4800u, 12345u, 250000u, 1u}) {
        port->SetBaudRate(rate);
        EXPECT_EQ(port->BaudRate(), rate);
    }
    port->SetBaudRate(57600);
    port->SetBaudRate(0);  // would hang up the line: the old rate stays
    EXPECT_EQ(port->BaudRate(), 57600u);
}

TEST_F(PtyPort, PurgeInputDropsWhatHasArrived) {
    ToPort({1, 2, 3});
    std::this_thread::sleep_for(20ms);  // let the pty hand the bytes to the slave's queue
    port->PurgeInput();
    port->PurgeOutput();
    std::uint8_t byte = 0;
    EXPECT_EQ(port->Read(&byte, 1, 50ms), 0u);
}

TEST_F(PtyPort, ModemLinesAndLineSettingsDoNotDisturbTheData) {
    // Ptys refuse the modem-line requests; the failures are swallowed.
    port->SetDTR();
    port->SetRTS();
    port->ClearRTS();
    port->SetupQueues(1048576, 1048576);
    port->SetByteSize(8);
    port->SetParity(0);
    port->SetStopBits(2);
    port->SetByteSize(42);  // out of range: ignored
    const std::uint8_t byte = 0x81;
    port->Write(&byte, 1);
    EXPECT_EQ(FromPort(1), std::vector<std::uint8_t>{0x81});
}

TEST_F(PtyPort, ThePortIsTakenWhileOpenAndFreeAgainAfterwards) {
    SerialPorts& ports = SystemSerialPorts();
    EXPECT_FALSE(ports.IsFree(path));  // our own lock file
    const std::string lockFile = locks.File("LCK.." + UucpLock::LockName(path));
    EXPECT_EQ(LockFilePid(lockFile), ::getpid());
    // A second opener is refused even where TIOCEXCL does not bind (the superuser).
    EXPECT_FALSE(PosixSerialPort::Open(path));
    ::unlink(lockFile.c_str());
    EXPECT_FALSE(PosixSerialPort::Open(path));  // the advisory lock alone still refuses
    port.reset();
    EXPECT_TRUE(ports.IsFree(path));
    port = PosixSerialPort::Open(path);
    EXPECT_TRUE(port);
}

TEST(PosixSerialPorts, OnlyExistingCharacterDevicesAreFree) {
    test::TempDir tmp;
    test::WriteAll(tmp.File("plain"), "x");
    SerialPorts& ports = SystemSerialPorts();
    EXPECT_FALSE(ports.IsFree(tmp.File("plain")));
    EXPECT_FALSE(ports.IsFree(tmp.File("missing")));
    struct Refusal {
        std::string path, failure;
    };
    for (const Refusal& r : {Refusal{tmp.File("missing"), "No such file or directory"},
                             Refusal{tmp.File("plain"), "Inappropriate ioctl for device"}}) {  // not a tty
        const PortOpening opening = ports.Open(r.path);
        EXPECT_FALSE(opening.port) << r.path;
        EXPECT_EQ(opening.failure, r.failure) << r.path;
    }
    EXPECT_FALSE(ports.StoresPortNumber());
}

TEST(PosixSerialPorts, CandidatesStartWithTheListedPortsInTheirOrder) {
    ::setenv("KXBOOT_PORTS", "/tmp/b-port:/tmp/a-port::/tmp/b-port", 1);
    const auto candidates = SystemSerialPorts().Candidates();
    ::unsetenv("KXBOOT_PORTS");
    ASSERT_GE(candidates.size(), 2u);
    EXPECT_EQ(candidates[0], "/tmp/b-port");
    EXPECT_EQ(candidates[1], "/tmp/a-port");
    EXPECT_LE(candidates.size(), static_cast<std::size_t>(SerialPorts::MaxPorts));
    EXPECT_EQ(std::count(candidates.begin(), candidates.end(), "/tmp/b-port"), 1);
}

}  // namespace
}  // namespace kx::platform::posix
