// kxboot-cli doctor against kxboot-sim's pseudo-terminal: a free port passes, a busy one
// names the live process that holds it, a missing one fails with its fix, a service that
// grabs adapters fails the machine, and --json says the same. The services are looked for
// in a process table of the test's own, so that the machine's own do not decide.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/app/TempDir.h"
#include "tests/cli/CliSupport.h"
#include "tests/support/ChildProcess.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;
using Seconds = ChildProcess::Seconds;

const std::vector<std::string> NoServiceRuns = {"services that grab serial adapters:", "  ModemManager:  not running",
                                                "  brltty:        not running", "  gpsd:          not running"};
const std::string NoServiceRunsJson =
    R"("services":[{"name":"ModemManager","running":false,"pids":[],"problems":[]},)"
    R"({"name":"brltty","running":false,"pids":[],"problems":[]},)"
    R"({"name":"gpsd","running":false,"pids":[],"problems":[]}])";

class DoctorCliTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const auto& folder : {locks, byId, proc}) fs::create_directories(folder);
        sim = std::make_unique<ChildProcess>(std::vector<std::string>{KXBOOT_SIM, "--link", tty});
        ASSERT_TRUE(sim->WaitForOut("\n", Seconds(10))) << sim->Err();
    }
    void TearDown() override {
        sim->CloseIn();   // the simulator ends when its stdin closes
        sim->Wait(Seconds(5));
    }

    RunResult Doctor(std::vector<std::string> args, const std::string& procRoot) {
        std::vector<std::string> argv{"/usr/bin/env",       "KXBOOT_LOCK_DIR=" + locks, "KXBOOT_SERIAL_BY_ID=" + byId,
                                      "KXBOOT_PROC_DIR=" + procRoot, "KXBOOT_PORTS=" + tty, KXBOOT_CLI, "doctor"};
        argv.insert(argv.end(), args.begin(), args.end());
        return kx::test::Run(argv, Seconds(20));
    }
    // A process of that name in the test's process table.
    void FakeProcess(int pid, const std::string& name) {
        fs::create_directories(fs::path(proc) / std::to_string(pid) / "fd");
        WriteAll(proc + "/" + std::to_string(pid) + "/comm", name + "\n");
    }

    TempDir dir;
    std::string tty = dir.File("tty"), locks = dir.File("locks"), byId = dir.File("by-id"), proc = dir.File("proc");
    std::unique_ptr<ChildProcess> sim;
};

std::vector<std::string> Concat(std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// The simulator holds both sides of its pty: it is the line's far end, not a holder.
TEST_F(DoctorCliTest, AFreePortPassesUntilAServiceThatGrabsAdaptersRuns) {
    const std::vector<std::string> port = {tty + "  free", "  held by:       nobody", "  access:        yes"};
    // With the real process table, nobody either.
    const RunResult real = Doctor({tty}, "/proc");
    EXPECT_TRUE(Lines(real.out).at(1).starts_with(port[1])) << real.out;

    const RunResult passed = Doctor({tty}, proc);
    EXPECT_EQ(passed.status, 0) << passed.err;
    EXPECT_EQ(Lines(passed.out), Concat(Concat(port, NoServiceRuns), {"No problems found."}));
    EXPECT_EQ(passed.err, "");

    const RunResult json = Doctor({tty, "--json"}, proc);
    EXPECT_EQ(json.status, 0);
    EXPECT_EQ(json.out, R"({"ports":[{"name":")" + tty +
                            R"(","state":"free","by_id":null,"description":null,"holders":[],"holders_complete":true,)"
                            R"("access":true,"group":null,"in_group":null,"latency_timer_ms":null,"problems":[],)"
                            R"("hints":[]}],)" +
                            NoServiceRunsJson + R"(,"problems":[],"problem_count":0})" + "\n");

    FakeProcess(4242, "brltty");
    FakeProcess(4243, "brltty-udev");   // a name that merely starts alike is another program
    const RunResult grabbed = Doctor({tty}, proc);
    EXPECT_EQ(grabbed.status, 1);
    const auto lines = Lines(grabbed.out);
    ASSERT_EQ(lines.size(), 10u) << grabbed.out;
    EXPECT_EQ(lines[0], tty + "  free");
    EXPECT_EQ(lines[5], "  brltty:        running (PID 4242)");
    EXPECT_EQ(lines[6], "  problem: brltty is running (PID 4242)");
    EXPECT_TRUE(lines[7].starts_with("    fix: it takes USB-serial adapters for braille displays: sudo systemctl"));
    EXPECT_EQ(lines[9], "1 problem found.");

    // Without a port named, every candidate present is checked; the machine's own ports
    // may come too, so only the simulator's line is certain.
    const auto all = Lines(Doctor({}, proc).out);
    EXPECT_NE(std::find(all.begin(), all.end(), tty + "  free"), all.end());
}

// A live process holds the port: open, and under its lock file, alone or beside another.
TEST_F(DoctorCliTest, ABusyPortNamesEachLiveHolderWithItsPidAndHowToEndIt) {
    ChildProcess holder({"/bin/sh", "-c", "echo $$; exec sleep 600 3<\"$0\"", tty});
    ASSERT_TRUE(holder.WaitForOut("\n", Seconds(10)));
    const std::string holderPid = Lines(holder.Out()).front();
    // Once the shell has become sleep, the port is open in it.
    ASSERT_TRUE(FileShows("/proc/" + holderPid + "/comm", "sleep\n"));
    const std::string lock = locks + "/" + LockFileName(tty);
    const std::string self = std::to_string(::getpid()), selfName = ReadAll("/proc/self/comm");

    struct Case {
        std::string lockPid;
        std::string heldBy, problem, fix;
    };
    const Case cases[] = {
        {holderPid, "sleep (PID " + holderPid + ") [lock file, open]", "busy: held by sleep (PID " + holderPid + ")",
         "close the port in that program, or end it: kill " + holderPid},
        {self,
         selfName.substr(0, selfName.size() - 1) + " (PID " + self + ") [lock file], sleep (PID " + holderPid +
             ") [open]",
         "busy: held by " + selfName.substr(0, selfName.size() - 1) + " (PID " + self + "), sleep (PID " + holderPid + ")",
         "close the port in that program, or end it: kill " + self + " " + holderPid},
    };
    for (const Case& c : cases) {
        WriteAll(lock, c.lockPid + "\n");
        // The real process table: the holder is found there, and the simulator is not.
        const RunResult r = Doctor({tty}, "/proc");
        EXPECT_EQ(r.status, 1);
        const auto lines = Lines(r.out);
        ASSERT_GE(lines.size(), 6u) << r.out;
        EXPECT_EQ(lines[0], tty + "  busy");
        EXPECT_EQ(lines[1], "  held by:       " + c.heldBy);
        EXPECT_EQ(lines[3], "  problem: " + c.problem);
        EXPECT_EQ(lines[4], "    fix: " + c.fix);
        EXPECT_EQ(r.out.find("kxboot-sim"), std::string::npos) << r.out;

        const RunResult json = Doctor({tty, "--json"}, "/proc");
        EXPECT_EQ(json.status, 1);
        EXPECT_NE(json.out.find(R"("state":"busy")"), std::string::npos) << json.out;
        EXPECT_NE(json.out.find(R"({"pid":)" + holderPid + R"(,"process":"sleep","lock_file":)" +
                                (c.lockPid == holderPid ? "true" : "false") + R"(,"open":true})"),
                  std::string::npos)
            << json.out;
        EXPECT_NE(json.out.find(R"("problems":[{"text":")" + c.problem + R"(","fix":")" + c.fix + "\"}]"),
                  std::string::npos)
            << json.out;
    }
}

TEST_F(DoctorCliTest, AMissingPortFailsWithItsFixAndTheJsonSaysTheSame) {
    const std::string missing = dir.File("ttyUSB7");
    const RunResult r = Doctor({missing}, proc);
    EXPECT_EQ(r.status, 1);
    const auto lines = Lines(r.out);
    ASSERT_EQ(lines.size(), 8u) << r.out;
    EXPECT_EQ(lines[0], missing + "  missing");
    EXPECT_EQ(lines[1], "  problem: no such port");
    ASSERT_TRUE(lines[2].starts_with("    fix: check the name ('kxboot-cli ports' lists the candidates)")) << lines[2];
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 3, lines.end() - 1), NoServiceRuns);
    EXPECT_EQ(lines.back(), "1 problem found.");

    const RunResult json = Doctor({missing, "--json"}, proc);
    EXPECT_EQ(json.status, 1);
    EXPECT_EQ(json.out, R"({"ports":[{"name":")" + missing +
                            R"(","state":"missing","by_id":null,"description":null,"holders":[],)"
                            R"("holders_complete":true,"access":null,"group":null,"in_group":null,)"
                            R"("latency_timer_ms":null,"problems":[{"text":"no such port","fix":")" +
                            lines[2].substr(9) + R"("}],"hints":[]}],)" + NoServiceRunsJson +
                            R"(,"problems":[],"problem_count":1})" + "\n");
}

}  // namespace
}  // namespace kx::test
