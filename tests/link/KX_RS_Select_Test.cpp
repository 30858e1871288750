#include <gtest/gtest.h>

#include "link/KX_RS_Base.h"
#include "link/LinkError.h"
#include "link/LinkTexts.h"
#include "tests/support/FakeClock.h"
#include "tests/support/FakePriority.h"
#include "tests/support/FakeSerial.h"
#include "tests/support/ScriptedUi.h"
#include "ui/PassW.h"

namespace kx::test {
namespace {

using link::TKX_RS_Base;
namespace texts = kx::texts;

// Windows-style slots COM1..COM4; COM2 is held by another program. The link holds COM3.
class SelectTest : public ::testing::Test {
protected:
    SelectTest() {
        for (int n = 1; n <= 4; ++n) ports.Add("COM" + std::to_string(n), n != 2);
        ports.storesNumber = true;
        port = std::make_unique<TKX_RS_Base>(nullptr, nullptr, link::LinkContext{.ui = ui, .ports = ports, .clock = clock, .priority = priority});
        port->OpenPort(3);
        ui::AccessGranted = true;
    }
    ~SelectTest() override { ui::AccessGranted = false; }

    FakeClock clock;
    FakeSerialPorts ports{clock};
    FakePriority priority;
    ScriptedUi ui;
    std::unique_ptr<TKX_RS_Base> port;
};

TEST_F(SelectTest, ListsFreePortsWithTheOwnPortSelected) {
    ui.portAnswers = {std::string("COM4")};
    port->SelectPort();
    EXPECT_EQ(ui.lastPortEntries, (std::vector<std::string>{"COM1", "COM3", "COM4"}));
    EXPECT_EQ(ui.lastPortSelected, 1);
    EXPECT_EQ(port->PortNumber, 4);
    EXPECT_TRUE(port->PortOpen());
    EXPECT_EQ(ports.Line("COM4")->Count("OPEN"), 1u);
    EXPECT_EQ(ports.Line("COM3")->events.back(), "CLOSE");
}

TEST_F(SelectTest, CancelOrNoSelectionReopensTheSamePort) {
    for (std::optional<std::string> answer : {std::optional<std::string>(), std::optional<std::string>("")}) {
        auto com3 = ports.Line("COM3");
        com3->events.clear();
        ui.portAnswers = {answer};
        port->SelectPort();
        EXPECT_EQ(port->PortNumber, 3);
        EXPECT_TRUE(port->PortOpen());
        EXPECT_EQ(com3->Count("DTR"), 1u);
        EXPECT_EQ(com3->events.back(), "PURGE-RX");
    }
}

TEST_F(SelectTest, CurrentPortMissingFromTheListSelectsNothing) {
    ports.SetFree("COM3", false);
    ui.portAnswers = {std::nullopt};
    port->SelectPort();
    EXPECT_EQ(ui.lastPortEntries, (std::vector<std::string>{"COM1", "COM4"}));
    EXPECT_EQ(ui.lastPortSelected, -1);
    // Cancel: the old number is reopened, which falls back to the lowest free port.
    EXPECT_EQ(port->PortNumber, 1);
}

TEST_F(SelectTest, NoFreePortLeavesThePortClosed) {
    for (const char* name : {"COM1", "COM3", "COM4"}) ports.SetFree(name, false);
    port->SelectPort();
    EXPECT_EQ(ui.Errors(), std::vector<std::string>{texts::NoFreePort});
    EXPECT_FALSE(ui.Has("port-dialog"));
    EXPECT_FALSE(port->PortOpen());
}

TEST_F(SelectTest, ANetworkPortStaysUnlessALocalOneIsChosen) {
    const std::string url = "tcp://10.0.0.5:4001";
    auto remote = ports.AddUnlisted(url);
    port->OpenPortNamed(url);
    for (std::optional<std::string> answer : {std::optional<std::string>(), std::optional<std::string>("")}) {
        remote->events.clear();
        ui.portAnswers = {answer};
        port->SelectPort();
        // Not offered (the list is of local ports), and kept on Cancel.
        EXPECT_EQ(ui.lastPortEntries, (std::vector<std::string>{"COM1", "COM3", "COM4"}));
        EXPECT_EQ(port->PortName, url);
        EXPECT_TRUE(port->PortOpen());
        EXPECT_EQ(remote->Count("OPEN"), 1u);
    }
    // No local port free at all: the box, and the network port still in use.
    for (const char* name : {"COM1", "COM3", "COM4"}) ports.SetFree(name, false);
    port->SelectPort();
    EXPECT_EQ(ui.Errors(), std::vector<std::string>{texts::NoFreePort});
    EXPECT_EQ(port->PortName, url);
    EXPECT_TRUE(port->PortOpen());
    // A local port chosen replaces it.
    ports.SetFree("COM4", true);
    ui.portAnswers = {std::string("COM4")};
    port->SelectPort();
    EXPECT_EQ(port->PortName, "COM4");
    EXPECT_EQ(port->PortNumber, 4);
    EXPECT_EQ(remote->events.back(), "CLOSE");
}

TEST_F(SelectTest, DeniedAccessTouchesNothing) {
    ui::AccessGranted = false;
    const auto events = ports.Line("COM3")->events;
    port->SelectPort();
    port->SelectBaudRate();
    EXPECT_FALSE(ui.Has("port-dialog"));
    EXPECT_FALSE(ui.Has("baud-dialog"));
    EXPECT_EQ(ports.Line("COM3")->events, events);
    EXPECT_TRUE(port->PortOpen());
}

TEST_F(SelectTest, BaudRateDialogSetsOrUndoesTheRate) {
    auto com3 = ports.Line("COM3");
    com3->refusedRates = {250000};
    struct Case {
        std::optional<double> answer;
        std::uint32_t expected;
        bool refused;
    };
    const Case cases[] = {
        {19200.4, 19200, false}, {57600.5, 57600, false}, {std::nullopt, 57600, false},
        {250000, 57600, true},   {50, 110, false},       {1e9, 921600, false},
    };
    for (const Case& c : cases) {
        ui.events.clear();
        const std::uint32_t before = port->BaudRate;
        ui.baudAnswers = {c.answer};
        port->SelectBaudRate();
        EXPECT_EQ(ui.lastBaudShown, before);
        EXPECT_EQ(port->BaudRate, c.expected);
        EXPECT_EQ(com3->baud, c.expected);
        EXPECT_EQ(ui.Errors(), c.refused ? std::vector<std::string>{texts::RateRefused} : std::vector<std::string>{});
    }
}

}  // namespace
}  // namespace kx::test
