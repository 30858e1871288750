#include "platform/posix/PortScan.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "tests/app/TempDir.h"

namespace kx::platform::posix {
namespace {

namespace fs = std::filesystem;

TEST(NaturalLess, DigitRunsCompareByValue) {
    struct Case {
        const char* a;
        const char* b;
        bool less;
    };
    const Case cases[] = {
        {"ttyS2", "ttyS10", true},    {"ttyS10", "ttyS2", false}, {"ttyS9", "ttyS9", false},
        {"ttyACM0", "ttyS0", true},   {"ttyS1", "ttyS1x", true},  {"ttyUSB2", "ttyUSB11", true},
        {"ttyS01", "ttyS1", true},    {"ttyS1", "ttyS01", false}, {"a100b2", "a100b10", true},
    };
    for (const auto& c : cases) EXPECT_EQ(NaturalLess(c.a, c.b), c.less) << c.a << " < " << c.b;
}

TEST(SplitPortList, KeepsOrderAndDropsEmptyEntries) {
    EXPECT_EQ(SplitPortList(""), std::vector<std::string>{});
    EXPECT_EQ(SplitPortList("/dev/pts/3"), std::vector<std::string>{"/dev/pts/3"});
    EXPECT_EQ(SplitPortList("::/b:/a::"), (std::vector<std::string>{"/b", "/a"}));
}

TEST(MergeCandidates, ListedFirstNoDuplicatesAtMostTheLimit) {
    EXPECT_EQ(MergeCandidates({"/x", "/dev/ttyS0"}, {"/dev/ttyS0", "/dev/ttyUSB0"}, 32),
              (std::vector<std::string>{"/x", "/dev/ttyS0", "/dev/ttyUSB0"}));
    std::vector<std::string> many;
    for (int i = 0; i < 40; ++i) many.push_back("/dev/ttyUSB" + std::to_string(i));
    const auto merged = MergeCandidates({"/first"}, many, 32);
    ASSERT_EQ(merged.size(), 32u);
    EXPECT_EQ(merged.front(), "/first");
    EXPECT_EQ(merged.back(), "/dev/ttyUSB30");
}

class ScanTree : public ::testing::Test {
protected:
    void Node(const std::string& name) { std::ofstream(fs::path(dirs.dev) / name).put('\0'); }
    void Driver(const std::string& name, const char* uartType = nullptr) {
        const fs::path entry = fs::path(dirs.sysTty) / name;
        fs::create_directories(entry / "device");
        if (uartType != nullptr) std::ofstream(entry / "type") << uartType << "\n";
    }
    void SetUp() override {
        dirs.dev = tmp.File("dev");
        dirs.sysTty = tmp.File("sys");
        fs::create_directories(dirs.dev);
        fs::create_directories(dirs.sysTty);
    }
    test::TempDir tmp;
    PortScanDirs dirs;
};

TEST_F(ScanTree, FindsSerialNodesWithADriverInNaturalOrder) {
    for (const char* name : {"ttyS0", "ttyS1", "ttyS2", "ttyS10", "ttyUSB0", "ttyUSB10", "ttyUSB9",
                             "ttyACM0", "ttyAMA0", "rfcomm1", "tty0", "ttyprintk", "ttyUSBx", "console"}) {
        Node(name);
    }
    Driver("ttyS0", "4");      // a 16550A
    Driver("ttyS1", "0");      // registered by the driver but no UART behind it
    Driver("ttyS10");          // no type attribute: the driver is trusted
    // ttyS2 has no sysfs entry at all.
    for (const char* name : {"ttyUSB0", "ttyUSB10", "ttyUSB9", "ttyACM0", "ttyAMA0", "rfcomm1", "tty0", "ttyUSBx"}) {
        Driver(name);
    }
    const auto dev = [&](const char* name) { return (fs::path(dirs.dev) / name).string(); };
    EXPECT_EQ(ScanDevicePorts(dirs),
              (std::vector<std::string>{dev("rfcomm1"), dev("ttyACM0"), dev("ttyAMA0"), dev("ttyS0"),
                                        dev("ttyS10"), dev("ttyUSB0"), dev("ttyUSB9"), dev("ttyUSB10")}));
}

// A USB adapter as the kernel shows it: the tty's device link leads to the usb-serial
// port, whose USB parent holds the ids and whose own folder the driver's latency timer.
TEST_F(ScanTree, DescribesAUsbAdapterWithItsLatencyTimer) {
    const fs::path usb = fs::path(dirs.sysTty) / "devices" / "usb1" / "1-1";
    const fs::path port = usb / "1-1:1.0" / "ttyUSB0";
    fs::create_directories(port);
    std::ofstream(usb / "idVendor") << "0403\n";
    std::ofstream(usb / "idProduct") << "6001\n";
    std::ofstream(usb / "product") << "FT232R USB UART\n";
    fs::create_directories(fs::path(dirs.sysTty) / "ttyUSB0");
    fs::create_directory_symlink(port, fs::path(dirs.sysTty) / "ttyUSB0" / "device");
    Node("ttyUSB0");
    struct Case {
        const char* file;  // nullptr: no such attribute
        std::optional<std::chrono::milliseconds> timer;
    };
    const Case cases[] = {{"16\n", std::chrono::milliseconds{16}}, {"1", std::chrono::milliseconds{1}},
                          {"0\n", std::chrono::milliseconds{0}},   {"fast\n", std::nullopt},
                          {"256\n", std::nullopt},                 {nullptr, std::nullopt}};
    for (const Case& c : cases) {
        fs::remove(port / "latency_timer");
        if (c.file != nullptr) std::ofstream(port / "latency_timer") << c.file;
        const PortDescription d = DescribeDevicePort((fs::path(dirs.dev) / "ttyUSB0").string(), dirs);
        EXPECT_EQ(d.latencyTimer, c.timer) << (c.file ? c.file : "(none)");
        EXPECT_EQ(d.Text(), "0403:6001 FT232R USB UART");
    }
}

TEST_F(ScanTree, MissingFoldersGiveNoPorts) {
    dirs.dev = tmp.File("nowhere");
    EXPECT_TRUE(ScanDevicePorts(dirs).empty());
}

}  // namespace
}  // namespace kx::platform::posix
