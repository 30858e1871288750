#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>

#include "app/KXIniFile.h"
#include "link/KX_RS_Base.h"
#include "link/LinkError.h"
#include "link/LinkTexts.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakePriority.h"
#include "tests/support/FakeSerial.h"
#include "tests/support/ScriptedUi.h"

namespace kx::test {
namespace {

using link::TKX_RS_Base;
namespace texts = kx::texts;

const std::vector<std::string> OpenSteps{"OPEN", "QUEUES", "BAUD=115200", "BYTESIZE=8", "PARITY=0",
                                         "STOPBITS=2", "DTR", "PURGE-RX"};

class PortTest : public ::testing::Test {
protected:
    // Adds ports named /dev/ttyS0.. in slot order; `taken` marks the ones someone else holds.
    void AddPorts(int count, std::set<int> taken = {}) {
        for (int n = 1; n <= count; ++n) ports.Add("/dev/ttyS" + std::to_string(n - 1), taken.count(n) == 0);
    }
    std::unique_ptr<TKX_RS_Base> Make() {
        return std::make_unique<TKX_RS_Base>(nullptr, nullptr, link::LinkContext{.ui = ui, .ports = ports, .clock = clock, .priority = priority});
    }
    std::shared_ptr<FakeLine> Slot(int n) { return ports.Line("/dev/ttyS" + std::to_string(n - 1)); }

    FakeClock clock;
    FakeSerialPorts ports{clock};
    FakePriority priority;
    ScriptedUi ui;
};

TEST_F(PortTest, ConstructionScansAndPicksTheLowestFreePortWithoutOpeningIt) {
    AddPorts(4, {1, 2});
    auto port = Make();
    EXPECT_EQ(port->FreePortCount, 2);
    EXPECT_EQ(port->PortNumber, 3);
    EXPECT_FALSE(port->PortOpen());
    EXPECT_TRUE(ports.opened.empty());
    EXPECT_EQ(port->SettingsSection, "RS232Base");
    EXPECT_EQ(port->BaudRate, 115200u);
    EXPECT_EQ(port->StopBits, 2);
    EXPECT_EQ(port->PortNames[4], "/dev/ttyS3");
    EXPECT_EQ(port->FirstFreePort(), 3);
    EXPECT_TRUE(ui.events.empty());
}

TEST_F(PortTest, ConstructionWithoutAnyPortShowsOneBoxAndLeavesFieldsZero) {
    auto port = Make();
    EXPECT_EQ(ui.Errors(), std::vector<std::string>{texts::NoFreePort});
    EXPECT_EQ(port->PortNumber, 0);
    EXPECT_EQ(port->BaudRate, 0u);
    EXPECT_TRUE(port->SettingsSection.empty());
    port->OpenPort(0);
    EXPECT_EQ(ui.Errors().size(), 1u);
}

TEST_F(PortTest, OpenPortConfiguresInOrderAndNeverTouchesRts) {
    AddPorts(2);
    auto port = Make();
    port->OpenPort(2);
    EXPECT_EQ(Slot(2)->events, OpenSteps);
    EXPECT_EQ(port->PortName, "/dev/ttyS1");

    // Reopening closes the old handle first; DTR is raised and input purged at every open.
    port->OpenPort(1);
    EXPECT_EQ(Slot(2)->events.back(), "CLOSE");
    EXPECT_EQ(Slot(1)->events, OpenSteps);
    EXPECT_EQ(port->PortNumber, 1);
}

TEST_F(PortTest, OpenPortFallsBackToTheLowestFreePort) {
    AddPorts(3, {1});
    auto port = Make();
    const std::pair<int, int> cases[] = {{1, 2}, {3, 3}, {40, 2}};
    for (auto [asked, got] : cases) {
        port->OpenPort(asked);
        EXPECT_EQ(port->PortNumber, got) << asked;
        EXPECT_EQ(port->PortName, port->PortNames[static_cast<std::size_t>(got)]);
    }
    const auto opened = ports.opened.size();
    port->OpenPort(0);
    port->OpenPort(-5);
    EXPECT_EQ(ports.opened.size(), opened);
    EXPECT_EQ(port->PortNumber, 2);
    EXPECT_TRUE(port->PortOpen());
    EXPECT_TRUE(ui.events.empty());
}

TEST_F(PortTest, ScanCountsTheLinksOwnPortAsFreeAndLeavesItClosed) {
    AddPorts(2);
    auto port = Make();
    port->OpenPort(1);
    EXPECT_EQ(port->ScanPorts(), 2);
    EXPECT_TRUE(port->FreePorts[1]);
    EXPECT_FALSE(port->PortOpen());
    EXPECT_EQ(Slot(1)->events.back(), "CLOSE");
}

TEST_F(PortTest, BaudRateIsReadBackFromTheDriver) {
    AddPorts(1);
    auto port = Make();
    port->SetBaudRate(19200);  // closed: stored, applied at the next open
    EXPECT_EQ(port->BaudRate, 19200u);
    port->OpenPort(1);
    EXPECT_EQ(Slot(1)->events.at(2), "BAUD=19200");
    Slot(1)->refusedRates = {250000};
    port->SetBaudRate(250000);
    EXPECT_EQ(port->BaudRate, 19200u);
    port->SetBaudRate(57600);
    EXPECT_EQ(port->BaudRate, 57600u);
}

TEST_F(PortTest, SettersAndLinesReachTheOpenPort) {
    AddPorts(1);
    auto port = Make();
    port->SetParity(2);  // closed: only stored
    port->OpenPort(1);
    Slot(1)->events.clear();
    port->SetByteSize(7);
    port->SetStopBits(0);
    port->SetRTS();
    port->ClearRTS();
    port->PurgeOutput();
    port->PurgeInput();
    EXPECT_EQ(Slot(1)->events,
              (std::vector<std::string>{"BYTESIZE=7", "STOPBITS=0", "RTS+", "RTS-", "PURGE-TX", "PURGE-RX"}));
    EXPECT_EQ(port->Parity, 2);
    port->SetPortOpen(false);
    EXPECT_FALSE(port->PortOpen());
    port->SetPortOpen(true);
    EXPECT_TRUE(port->PortOpen());
    EXPECT_EQ(Slot(1)->Count("PARITY=2"), 1u);
}

TEST_F(PortTest, OpenPortNamedTakesAnyName) {
    AddPorts(2);
    ports.Add("/dev/ttyUSB7");
    auto port = Make();
    port->OpenPortNamed("/dev/ttyS1");
    EXPECT_EQ(port->PortNumber, 2);
    EXPECT_TRUE(port->PortOpen());
    port->OpenPortNamed("/dev/pts/9");  // not a candidate, cannot be opened
    EXPECT_EQ(port->PortNumber, 0);
    EXPECT_EQ(port->PortName, "/dev/pts/9");
    EXPECT_FALSE(port->PortOpen());
    EXPECT_EQ(ports.opened.back(), "/dev/pts/9");
}

// Two links on one machine: each keeps the reason its own last open failed, and a later
// open that succeeds clears only its own.
TEST_F(PortTest, EachLinkKeepsWhyItsOwnLastOpenFailed) {
    AddPorts(2, {2});
    auto first = Make();
    auto second = Make();
    first->OpenPortNamed("/dev/ttyS1");  // held by another program
    second->OpenPortNamed("/dev/pts/9");
    EXPECT_EQ(first->OpenFailure(), "Device or resource busy");
    EXPECT_EQ(second->OpenFailure(), "No such file or directory");
    second->OpenPortNamed("/dev/ttyS0");
    EXPECT_TRUE(second->PortOpen());
    EXPECT_EQ(second->OpenFailure(), "");
    EXPECT_EQ(first->OpenFailure(), "Device or resource busy");
}

// Settings files in a fresh folder per test.
class SettingsTest : public PortTest {
protected:
    SettingsTest() {
        dir = std::filesystem::temp_directory_path() /
              ("kx-link-" + std::to_string(std::random_device()()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
    }
    ~SettingsTest() override {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }

    app::TKXIniFile Ini(const std::string& content) {
        const auto path = dir / ("s" + std::to_string(++files) + ".ini");
        std::ofstream(path) << content;
        return app::TKXIniFile(path.string());
    }

    std::filesystem::path dir;
    int files = 0;
};

TEST_F(SettingsTest, StoredPortIsOpenedOrReplacedByTheLowestFreeOne) {
    struct Case {
        bool numbers;
        const char* stored;
        int expected;
    };
    const Case cases[] = {
        {false, nullptr, 2},      {false, "3", 3},           {false, "/dev/ttyS2", 3},
        {false, "/dev/ttyS0", 2}, {false, "/dev/ttyACM0", 2}, {false, "0", 2},
        {false, "33", 2},         {false, "-1", 2},          {true, nullptr, 2},
        {true, "3", 3},           {true, "1", 2},            {true, "99", 2},
        {true, "COM3", 2},        {true, "0x3", 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.numbers ? "number " : "name ") + (c.stored ? c.stored : "(none)"));
        FakeSerialPorts machine(clock);
        for (int n = 1; n <= 3; ++n) machine.Add("/dev/ttyS" + std::to_string(n - 1), n != 1);
        machine.storesNumber = c.numbers;
        TKX_RS_Base port(nullptr, nullptr, {.ui = ui, .ports = machine, .clock = clock, .priority = priority});
        port.SettingsSection = "RS232";
        app::TKXIniFile ini = Ini(c.stored ? std::string("[RS232]\nPort=") + c.stored + "\n" : "[Other]\nPort=3\n");
        port.LoadSettings(ini);
        EXPECT_EQ(port.PortNumber, c.expected);
        EXPECT_TRUE(port.PortOpen());
        EXPECT_TRUE(ui.events.empty());
    }
}

// Windows numbers its ports up to COM256: every slot up to that one is probed, found free
// (all 256 of them are not "none"), stored and opened; nothing beyond it ever is.
TEST_F(SettingsTest, EverySlotUpToCom256IsProbedStoredAndOpenedAndNoneBeyond) {
    constexpr int last = TKX_RS_Base::MaxPorts;
    ASSERT_EQ(last, 256);
    FakeSerialPorts machine(clock);
    machine.storesNumber = true;
    for (int n = 1; n <= last + 2; ++n) machine.Add("COM" + std::to_string(n));
    TKX_RS_Base port(nullptr, nullptr, {.ui = ui, .ports = machine, .clock = clock, .priority = priority});
    EXPECT_EQ(port.FreePortCount, last);
    EXPECT_EQ(machine.probes, last);

    for (int n = 1; n <= last - 2; ++n) machine.SetFree("COM" + std::to_string(n), false);
    EXPECT_EQ(port.ScanPorts(), 2);
    port.SettingsSection = "RS232";
    const std::pair<const char*, const char*> cases[] = {{"256", "COM256"}, {"255", "COM255"}, {"257", "COM255"},
                                                         {"40", "COM255"}};
    for (const auto& [stored, opened] : cases) {
        SCOPED_TRACE(stored);
        app::TKXIniFile ini = Ini(std::string("[RS232]\nPort=") + stored + "\n");
        port.LoadSettings(ini);
        ASSERT_TRUE(port.PortOpen());
        EXPECT_EQ(port.PortName, opened);
        port.SaveSettings(ini);
        EXPECT_EQ("COM" + ini.ReadString("RS232", "Port", ""), opened);
    }
    for (const std::string& name : machine.opened) EXPECT_TRUE(name == "COM255" || name == "COM256") << name;
    EXPECT_TRUE(ui.events.empty());
}

TEST_F(SettingsTest, TheStoredPortIsNamedByItsSlotUpToTheLastCandidate) {
    struct Case {
        bool numbers;
        const char* stored;
        const char* expected;
    };
    const Case cases[] = {
        {false, "1", "/dev/ttyS0"}, {false, " 3 ", "/dev/ttyS2"}, {false, "4", "4"},
        {false, "/dev/ttyUSB7", "/dev/ttyUSB7"}, {false, "", ""},  {true, "3", "/dev/ttyS2"},
        {true, "4", "COM4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.numbers ? "number " : "name ") + c.stored);
        FakeSerialPorts machine(clock);
        for (int n = 1; n <= 3; ++n) machine.Add("/dev/ttyS" + std::to_string(n - 1));
        machine.storesNumber = c.numbers;
        TKX_RS_Base port(nullptr, nullptr, {.ui = ui, .ports = machine, .clock = clock, .priority = priority});
        port.SettingsSection = "RS232";
        app::TKXIniFile ini = Ini(std::string("[RS232]\nPort=") + c.stored + "\n");
        EXPECT_EQ(port.StoredPortName(ini), c.expected);
    }
}

TEST_F(SettingsTest, SaveWritesWhatLoadReads) {
    AddPorts(3, {1});
    auto port = Make();
    port->SettingsSection = "RS232";
    app::TKXIniFile ini = Ini("[RS232]\nPort=/dev/ttyS0\n");
    port->LoadSettings(ini);  // held by someone else: the lowest free one instead
    port->SaveSettings(ini);
    EXPECT_EQ(ini.ReadString("RS232", "Port", ""), "/dev/ttyS1");

    ports.storesNumber = true;
    port->OpenPort(3);
    port->SaveSettings(ini);
    EXPECT_EQ(ini.ReadString("RS232", "Port", ""), "3");
}

TEST_F(SettingsTest, AStoredUrlIsOpenedAndSavedAsItIsOnEverySystem) {
    const std::string url = "rfc2217://10.0.0.5:4001";
    for (const bool numbers : {false, true}) {
        SCOPED_TRACE(numbers ? "numbers" : "names");
        FakeSerialPorts machine(clock);
        machine.Add(numbers ? "COM1" : "/dev/ttyS0");
        machine.AddUnlisted(url);
        machine.storesNumber = numbers;
        TKX_RS_Base port(nullptr, nullptr, {.ui = ui, .ports = machine, .clock = clock, .priority = priority});
        port.SettingsSection = "RS232";
        app::TKXIniFile ini = Ini("[RS232]\nPort= " + url + " \n");
        port.LoadSettings(ini);
        EXPECT_EQ(machine.opened, std::vector<std::string>{url});
        EXPECT_TRUE(port.PortOpen());
        port.SaveSettings(ini);
        EXPECT_EQ(ini.ReadString("RS232", "Port", ""), url);
        EXPECT_TRUE(ui.events.empty());
    }
}

TEST_F(SettingsTest, NoPortAtAllShowsASecondBoxOnlyForAStoredPort) {
    auto port = Make();
    EXPECT_EQ(ui.Errors().size(), 1u);
    app::TKXIniFile empty = Ini("");
    port->LoadSettings(empty);
    EXPECT_EQ(ui.Errors().size(), 1u);
    app::TKXIniFile stored = Ini("[RS232Base]\nPort=/dev/ttyS4\n");
    port->SettingsSection = "RS232Base";
    port->LoadSettings(stored);
    EXPECT_EQ(ui.Errors(), (std::vector<std::string>{texts::NoFreePort, texts::NoFreePort}));
    EXPECT_TRUE(ports.opened.empty());
}

}  // namespace
}  // namespace kx::test
