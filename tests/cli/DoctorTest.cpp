// What the doctor makes of the facts a port probe gathers: which are problems, which are
// hints, and the fix each one names.
#include "cli/Doctor.h"

#include <gtest/gtest.h>

#include "cli/DoctorAdvice.h"
#include "cli/LatencyHint.h"

namespace kx::cli {
namespace {

using platform::PortAccess;
using platform::PortHolder;
using platform::PortProbe;

struct Expected {
    bool problem;
    std::string text;
    std::string fixPart;   // a part of the fix
};

struct FindingCase {
    const char* name;
    PortProbe probe;
    std::optional<std::chrono::milliseconds> latency;
    std::vector<Expected> expected;
};

PortProbe Probe(bool busy, std::vector<PortHolder> holders = {}, PortAccess access = {}) {
    PortProbe probe;
    probe.name = "/dev/ttyUSB0";
    probe.present = true;
    probe.busy = busy;
    probe.holders = std::move(holders);
    probe.access = std::move(access);
    return probe;
}

PortProbe Missing() {
    PortProbe probe;
    probe.name = "/dev/ttyUSB9";
    return probe;
}

PortAccess Denied(const std::string& group, bool memberNow, bool memberOfAccount) {
    return PortAccess{false, group, memberNow, memberOfAccount};
}

class PortFindingsTest : public ::testing::TestWithParam<FindingCase> {};

TEST_P(PortFindingsTest, NamesEachProblemAndHintWithItsFix) {
    const FindingCase& c = GetParam();
    platform::PortDescription description;
    description.latencyTimer = c.latency;
    const std::vector<Finding> findings = PortFindings(c.probe, description);
    ASSERT_EQ(findings.size(), c.expected.size());
    for (std::size_t i = 0; i < findings.size(); ++i) {
        EXPECT_EQ(findings[i].problem, c.expected[i].problem) << i;
        EXPECT_EQ(findings[i].text, c.expected[i].text) << i;
        EXPECT_NE(findings[i].fix.find(c.expected[i].fixPart), std::string::npos) << findings[i].fix;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Facts, PortFindingsTest,
    ::testing::Values(
        FindingCase{"Missing", Missing(), std::nullopt, {{true, "no such port", MissingPortFix()}}},
        FindingCase{"FreeAndOpenToThisUser", Probe(false), std::chrono::milliseconds(1), {}},
        FindingCase{"HeldByNamedAndUnnamedProcesses",
                    Probe(true, {{4711, "minicom", true, true}, {812, "", false, true}}), std::nullopt,
                    {{true, "busy: held by minicom (PID 4711), PID 812", "kill 4711 812"}}},
        FindingCase{"BusyWithoutHolders", Probe(true), std::nullopt,
                    {{true, "busy: another program has it open", "close the program"}}},
        FindingCase{"NotInTheGroup", Probe(false, {}, Denied("dialout", false, false)), std::nullopt,
                    {{true, "you may not open it: group dialout may, and you are not in it",
                      "add yourself to dialout: sudo usermod -aG dialout $USER, then log in again"}}},
        FindingCase{"JoinedSinceThisLogin", Probe(false, {}, Denied("uucp", false, true)), std::nullopt,
                    {{true, "you may not open it yet: you joined group uucp after this login began",
                      "log out and in again (in this shell only: newgrp uucp)"}}},
        FindingCase{"NoGroupMayOpenIt", Probe(false, {}, Denied("", false, false)), std::nullopt,
                    {{true, "you may not open it, and no group may", "udev rule"}}},
        FindingCase{"SlowAdapterIsAHintOnly", Probe(false), std::chrono::milliseconds(16),
                    {{false,
                      "the adapter keeps received bytes up to 16 ms before passing them on, and every answer "
                      "waits that long",
                      HowToLowerLatencyTimer("/dev/ttyUSB0")}}},
        FindingCase{"EverythingAtOnceProblemsFirst",
                    Probe(true, {{99, "cat", false, true}}, Denied("dialout", false, false)),
                    std::chrono::milliseconds(2),
                    {{true, "busy: held by cat (PID 99)", "kill 99"},
                     {true, "you may not open it: group dialout may, and you are not in it", "usermod"},
                     {false, "the adapter keeps received bytes up to 2 ms before passing them on, and every answer "
                             "waits that long", "latency"}}}),
    [](const auto& p) { return std::string(p.param.name); });

TEST(ServiceFindings, OnlyARunningServiceIsAProblem) {
    EXPECT_TRUE(ServiceFindings({"ModemManager", {}}).empty());
    const auto findings = ServiceFindings({"brltty", {812, 813}});
    ASSERT_EQ(findings.size(), 1u);
    EXPECT_TRUE(findings[0].problem);
    EXPECT_EQ(findings[0].text, "brltty is running (PID 812 813)");
    EXPECT_EQ(findings[0].fix, ServiceFix("brltty"));
    EXPECT_NE(ServiceFix("brltty"), ServiceFix("ModemManager"));
}

}  // namespace
}  // namespace kx::cli
