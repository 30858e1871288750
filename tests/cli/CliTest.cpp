// kxboot-cli as a technician or a bench script runs it, against kxboot-sim on a
// pseudo-terminal: what it prints, where, and how it exits.
#include <gtest/gtest.h>

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "tests/app/TempDir.h"
#include "tests/cli/CliSupport.h"
#include "tests/support/ChildProcess.h"

namespace kx::test {
namespace {

using Seconds = ChildProcess::Seconds;

const Bytes SimHead{0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
constexpr const char* SimHeadText = "0A1B2C3D4E5F";
constexpr const char* Done = "Загрузка окончена.\n";
constexpr const char* Waking = "Включите МК...\n";

class CliTest : public ::testing::Test {
protected:
    ~CliTest() override { StopSim(); }

    void StartSim(std::vector<std::string> extra = {}) {
        std::vector<std::string> argv{KXBOOT_SIM, "--link", tty, "--flash", flash, "--log", log, "--head", SimHeadText};
        argv.insert(argv.end(), extra.begin(), extra.end());
        sim = std::make_unique<ChildProcess>(argv);
        // It prints its terminal's path once the link is in place.
        ASSERT_TRUE(sim->WaitForOut("\n", Seconds(10))) << sim->Err();
    }
    void StopSim() {
        if (!sim) return;
        sim->CloseIn();   // the simulator ends when its stdin closes
        sim->Wait(Seconds(5));
        sim.reset();
    }

    std::vector<std::string> Cli(std::vector<std::string> args) {
        args.insert(args.begin(), KXBOOT_CLI);
        return args;
    }
    RunResult RunCli(std::vector<std::string> args, const std::string& input = "", double timeout = 40) {
        return kx::test::Run(Cli(std::move(args)), Seconds(timeout), input);
    }
    RunResult Load(const std::string& image, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"load", image, "--port", tty};
        args.insert(args.end(), extra.begin(), extra.end());
        return RunCli(args);
    }

    std::string File(const Bytes& bytes, const std::string& name = "image.rom") {
        const std::string path = dir.File(name);
        WriteAll(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }
    Bytes Flash() const {
        const std::string text = ReadAll(flash);
        return Bytes(text.begin(), text.end());
    }
    std::vector<sim::LoggedRequest> Log() const { return ReadLog(log); }
    std::size_t Requests(int fn) const { return CountFunction(Log(), fn); }
    std::vector<long> ProgrammedPages() const {
        std::vector<long> pages;
        for (const auto& l : Log())
            if (l.fn == 20 && l.page) pages.push_back(*l.page);
        return pages;
    }
    // The device holds pages 1..`pages` of `image` with the simulator's head bytes in
    // front and nothing beyond them, and the load was finished once.
    void ExpectFlashed(const Bytes& image, std::size_t pages) const {
        Bytes expected(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(pages * Page));
        std::copy(SimHead.begin(), SimHead.end(), expected.begin());
        const Bytes flashed = Flash();
        ASSERT_GE(flashed.size(), expected.size());
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), flashed.begin()));
        for (std::size_t i = expected.size(); i < flashed.size(); ++i) ASSERT_EQ(flashed[i], 0xFF) << i;
        EXPECT_EQ(Requests(6), 1u);
    }
    // Waits (without asserting on time) until the simulator has logged `text`.
    bool LogShows(const std::string& text) const { return FileShows(log, text); }

    // The one line the load appended to the report says how it ended, and which program
    // (the version --version names) wrote it.
    void ExpectRecord(const std::string& outcome, const std::string& reason, const std::string& message) {
        const auto lines = Lines(ReadAll(report));
        ASSERT_EQ(lines.size(), 1u) << ReadAll(report);
        auto record = Fields(lines.front());
        EXPECT_EQ(record["outcome"], outcome) << lines.front();
        EXPECT_EQ(record["reason"], reason) << lines.front();
        EXPECT_EQ(record["message"], message) << lines.front();
        const std::string version = RunCli({"--version"}).out;
        ASSERT_TRUE(version.starts_with("kxboot-cli ")) << version;
        EXPECT_EQ(record["version"] + "\n", version.substr(11));
    }

    TempDir dir;
    std::string tty = dir.File("tty");
    std::string flash = dir.File("flash.bin");
    std::string log = dir.File("sim.log");
    std::string report = dir.File("report.jsonl");
    std::unique_ptr<ChildProcess> sim;
};

TEST_F(CliTest, LoadsTheImageAndReportsStagesAndPagesOnStderr) {
    StartSim();
    const Bytes image = WithTrailer(Image(6 * Page), 0x2D, 0x70);
    const RunResult r = Load(File(image), {"--report", report});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, Done);
    ExpectRecord("loaded", "loaded", "Загрузка окончена.");
    const auto err = Lines(r.err);
    // The port, three stages, five pages, and the gauge at 100 % once the load has ended.
    ASSERT_EQ(err.size(), 1u + 3u + 5u + 1u) << r.err;
    EXPECT_EQ(err[0], "Порт: " + tty);
    EXPECT_EQ(err[1], "Включите МК...");
    EXPECT_EQ(err[2], "Определение типа микроконтроллера...");
    EXPECT_EQ(err[3], "Загрузка программы...");
    EXPECT_NE(err[4].find(" 17%  стр. 1/5"), std::string::npos) << err[4];
    EXPECT_NE(err[8].find(" 83%  стр. 5/5"), std::string::npos) << err[8];
    EXPECT_NE(err[9].find("100%  стр. 5/5"), std::string::npos) << err[9];
    StopSim();

    ExpectFlashed(image, 5);
    EXPECT_EQ(ReadAll(dir.File("image.rom")), std::string(image.begin(), image.end()));
}

TEST_F(CliTest, AReaderThatGoesAwayNeverStopsTheLoadNorItsReport) {
    StartSim();
    const Bytes image = Image(6 * Page);
    // `head` takes one byte of the progress and goes; every later write meets a closed pipe.
    // The loader starts as from a shell, with SIGPIPE at its default whatever the test's is.
    const std::string command = std::string("env --default-signal=PIPE '") + KXBOOT_CLI + "' load '" + File(image) + "' --port '" + tty +
                                "' --report '" + report + "' 2>&1 | head -c 1 >/dev/null; exit ${PIPESTATUS[0]}";
    const RunResult r = kx::test::Run({"/bin/bash", "-c", command}, Seconds(40));
    EXPECT_EQ(r.status, 0) << r.err;
    StopSim();
    ExpectFlashed(image, 5);
    ExpectRecord("loaded", "loaded", "Загрузка окончена.");
}

TEST_F(CliTest, ADeviceThatWakesLateIsStillLoaded) {
    StartSim({"--ignore-identify", "12"});
    const RunResult r = Load(File(Image(2 * Page)));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, Done);
    EXPECT_EQ(Requests(1), 13u);
    EXPECT_EQ(ProgrammedPages(), std::vector<long>{0});
}

// The adapter is pulled out while the program waits for the board and plugged in again:
// the port, given by its stable name, is opened anew and the load goes on to the end.
class CliReplugTest : public CliTest {
protected:
    // The simulator printed a second pty path: the port really was a new one.
    void ExpectNewPty() {
        const std::string first = sim->Out();
        EXPECT_TRUE(sim->WaitForOut(first + "/dev/", Seconds(5))) << sim->Out();
    }
    // Pages 1..3 of the four-page image, each programmed once.
    void ExpectLoadedByteExact() {
        ExpectFlashed(image, 3);
        EXPECT_EQ(ProgrammedPages(), (std::vector<long>{0, 2048, 4096}));
    }
    const Bytes image = WithTrailer(Image(4 * Page), 0x2D, 0x70);
};

TEST_F(CliReplugTest, AfterTheThirdIdentify) {
    // Two identify requests go unheeded; the third pulls the adapter out, and a new pty
    // appears under the same name 300 ms later.
    StartSim({"--ignore-identify", "2", "--replug-after", "3", "--replug-ms", "300"});
    const RunResult r = Load(File(image));
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, Done);
    const auto requests = Log();
    ASSERT_GE(requests.size(), 4u);
    EXPECT_EQ(requests[2].answer, "replug");
    EXPECT_EQ(requests[3].fn, 1);
    EXPECT_EQ(requests[3].answer, "ok");
    ExpectNewPty();
    ExpectLoadedByteExact();
}

TEST_F(CliReplugTest, OnASignalToTheSimulator) {
    StartSim({"--ignore-identify", "8", "--replug-ms", "200"});
    ChildProcess cli(Cli({"load", File(image), "--port", tty}));
    ASSERT_TRUE(LogShows("seq=2 ")) << "no identify request seen";
    sim->Signal(SIGUSR1);
    ExpectNewPty();
    const auto status = cli.Wait(Seconds(40));
    ASSERT_EQ(status, 0) << cli.Err();
    EXPECT_EQ(cli.Out(), Done);
    ExpectLoadedByteExact();
}

TEST_F(CliTest, AnImageWithNoPageToSendIsRefusedWithoutARequestOnTheWire) {
    StartSim();
    std::string text(Page, 'x');   // a page-long text file given the image's name
    for (const Bytes& image : {Bytes{}, Bytes(text.begin(), text.end())}) {
        SCOPED_TRACE(image.size());
        std::filesystem::remove(report);
        const RunResult r = Load(File(image), {"--report", report});
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(r.out, "");
        ASSERT_FALSE(Lines(r.err).empty());
        EXPECT_EQ(Lines(r.err).back(), "Программа слишком коротка.");
        ExpectRecord("refused", "too-short", "Программа слишком коротка.");
    }
    StopSim();
    EXPECT_TRUE(Log().empty()) << ReadAll(log);
}

struct Refusal {
    const char* name;
    std::vector<std::string> sim;
    Bytes image;
    const char* message;
    const char* reason;
};

class CliRefusalTest : public CliTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(CliRefusalTest, PrintsTheMessageOnStderrAndSendsNothingAfterTheIdentify) {
    const Refusal& c = GetParam();
    StartSim(c.sim);
    const RunResult r = Load(File(c.image), {"--report", report});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    ASSERT_FALSE(Lines(r.err).empty());
    EXPECT_EQ(Lines(r.err).back(), c.message);
    // Every refusal is recorded as one, by its own reason.
    ExpectRecord("refused", c.reason, c.message);
    StopSim();
    EXPECT_EQ(Log().size(), Requests(1));
}

INSTANTIATE_TEST_SUITE_P(
    Refusals, CliRefusalTest,
    ::testing::Values(
        Refusal{"WrongIdentity", {"--id", "0x1D2E"}, Image(2 * Page), "В устройстве неверный микроконтроллер.",
                "wrong-controller"},
        Refusal{"WrongRevision", {"--id-byte4", "0x50"}, Image(2 * Page), "В устройстве неверный микроконтроллер.",
                "wrong-controller"},
        Refusal{"TrailerType", {}, WithTrailer(Image(2 * Page), 0x2E, 0x70),
                "Тип микроконтроллера не совпадает с версией ПО.", "type-mismatch"},
        Refusal{"TrailerVersion", {}, WithTrailer(Image(2 * Page), 0x2D, 0x71),
                "Версии устройства и программного обеспечения не совпадают.", "version-mismatch"},
        Refusal{"TooLong", {}, Image(67588), "Программа слишком длинна.", "too-long"}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(CliTest, AMissingImageIsReportedWithoutWakingTheDevice) {
    StartSim();
    const RunResult r = Load(dir.File("absent.rom"));
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Файл не найден\n");
    StopSim();
    EXPECT_TRUE(Log().empty());
}

TEST_F(CliTest, AnUnreadableImageEndsWithOneErrorLine) {
    StartSim();
    const RunResult r = Load(dir.Path().string());   // a folder exists but reads as no file
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(Lines(r.err).size(), 1u) << r.err;
    EXPECT_EQ(r.out, "");
}

TEST_F(CliTest, ALinkFailureDuringThePagesShowsTheLinkTextAndSendsNoFinish) {
    // Page 2's sixth packet (the 30th data packet) and every later one go unanswered.
    StartSim({"--fault", "none:fn=10:nth=30:times=0"});
    const RunResult r = Load(File(Image(4 * Page)), {"--report", report});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    ASSERT_FALSE(Lines(r.err).empty());
    EXPECT_EQ(Lines(r.err).back(), "RS232. Нет связи. Проверьте правильность соединения PC и устройства.");
    ExpectRecord("failed", "exchange-failed", "RS232. Нет связи. Проверьте правильность соединения PC и устройства.");
    StopSim();
    EXPECT_EQ(ProgrammedPages(), std::vector<long>{0});
    EXPECT_EQ(Requests(6), 0u);
    EXPECT_EQ(Requests(10), 29u + 3u);   // the failing packet, three times
}

// A port that is there but does not open: the system's text stays the last line, and the
// line before it names the port and the reason. A port that does not exist is said to be
// missing and nothing more: "no free port" would send the user looking for a busy one.
TEST_F(CliTest, APortThatDoesNotOpenIsNamedWithTheSystemsReason) {
    const std::string notATty = File(Image(8), "plain-file");
    const std::string held = File(Image(8), "held-file");
    const std::string missing = dir.File("no-such-tty");
    const std::string locks = dir.File("locks");
    std::filesystem::create_directory(locks);
    // A live process (this test) holds `held` under its lock file.
    WriteAll(locks + "/" + LockFileName(held), std::to_string(::getpid()) + "\n");

    struct Case {
        std::string port, reason;
        std::vector<std::string> err;
    };
    const std::string cannot = "kxboot-cli: cannot open the port ", noFree = "Нет свободного COM-порта!";
    const std::vector<Case> cases = {
        {missing, "port-missing", {"kxboot-cli: the port " + missing + " does not exist"}},
        {notATty, "no-port", {cannot + notATty + ": Inappropriate ioctl for device", noFree}},
        {held, "no-port",
         {cannot + held + ": Device or resource busy (held under its lock file " + LockFileName(held) + ")",
          noFree}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.port);
        std::filesystem::remove(report);
        const RunResult r = kx::test::Run({"/usr/bin/env", "KXBOOT_LOCK_DIR=" + locks, KXBOOT_CLI, "load",
                                           File(Image(2 * Page)), "--port", c.port, "--report", report},
                                          Seconds(20));
        ExpectRecord("failed", c.reason, c.err.back());
        EXPECT_EQ(r.status, 1);
        EXPECT_EQ(Lines(r.err), c.err);
    }
}

// Cancelling: Ctrl-C, SIGTERM and --wake-timeout end as the progress window's cancel button.
class CliSignalTest : public CliTest, public ::testing::WithParamInterface<int> {};

TEST_P(CliSignalTest, WhileWakingEndsWithStatus3AndSaysWhy) {
    StartSim({"--ignore-identify", "1000000"});
    ChildProcess cli(Cli({"load", File(Image(2 * Page)), "--port", tty}));
    ASSERT_TRUE(cli.WaitForErr(Waking, Seconds(10))) << cli.Err();
    ASSERT_TRUE(LogShows("fn=1"));
    cli.Signal(GetParam());
    EXPECT_EQ(cli.Wait(Seconds(10)), 3);
    EXPECT_EQ(cli.Out(), "");
    EXPECT_EQ(cli.Err(), "Порт: " + tty + "\n" + Waking + "kxboot-cli: cancelled by " +
                             (GetParam() == SIGINT ? "Ctrl-C" : "SIGTERM") + "\n");
}

INSTANTIATE_TEST_SUITE_P(Signals, CliSignalTest, ::testing::Values(SIGINT, SIGTERM),
                         [](const auto& p) { return p.param == SIGINT ? "Interrupt" : "Terminate"; });

// Anyone may create files in the lock folder. A FIFO at the port's lock path holds no PID:
// it is a stale lock and is replaced, and neither `ports` nor `load` waits in open() for
// a writer that never comes.
TEST_F(CliTest, AFifoAtThePortsLockPathNeitherBlocksNorHoldsThePort) {
    StartSim({"--ignore-identify", "1000000"});
    const std::string locks = dir.File("locks");
    std::filesystem::create_directory(locks);
    const std::string lock = locks + "/" + LockFileName(tty);
    ASSERT_EQ(::mkfifo(lock.c_str(), 0644), 0);
    const auto withLocks = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {"/usr/bin/env", "KXBOOT_LOCK_DIR=" + locks, "KXBOOT_PORTS=" + tty, KXBOOT_CLI});
        return args;
    };

    const RunResult ports = kx::test::Run(withLocks({"ports"}), Seconds(10));
    ASSERT_EQ(ports.status, 0) << ports.err;
    const auto listed = Lines(ports.out);
    ASSERT_FALSE(listed.empty());
    EXPECT_EQ(listed[0], tty + "  free");

    ChildProcess cli(withLocks({"load", File(Image(2 * Page)), "--port", tty}));
    ASSERT_TRUE(cli.WaitForErr(Waking, Seconds(10))) << cli.Err();
    EXPECT_TRUE(std::filesystem::is_regular_file(lock));   // the load's own lock now
    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Wait(Seconds(10)), 3);
    EXPECT_EQ(Lines(cli.Err()).back(), "kxboot-cli: cancelled by SIGTERM");
    EXPECT_FALSE(std::filesystem::exists(lock));
}

// The question waits for a line on stdin; a signal ends that wait instead of restarting it.
TEST_F(CliTest, ASignalEndsTheWaitForAnAnswer) {
    StartSim();
    ChildProcess cli(Cli({"address", "--port", tty}));
    ASSERT_TRUE(cli.WaitForErr("[y/N] ", Seconds(10))) << cli.Err();
    cli.Signal(SIGTERM);
    EXPECT_EQ(cli.Wait(Seconds(10)), 3);
    EXPECT_EQ(cli.Out(), "");
    EXPECT_EQ(Lines(cli.Err()).back(), "kxboot-cli: cancelled by SIGTERM");
    StopSim();
    EXPECT_EQ(Requests(0), 0u);
}

TEST_F(CliTest, WakeTimeoutGivesUpWithStatus3AndSaysWhy) {
    StartSim({"--ignore-identify", "1000000"});
    const RunResult r = Load(File(Image(2 * Page)), {"--wake-timeout", "0.5", "--report", report});
    EXPECT_EQ(r.status, 3);
    ExpectRecord("cancelled", "cancelled", "");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "Порт: " + tty + "\n" + Waking +
                         "kxboot-cli: cancelled: the device did not answer within 0.5 s (--wake-timeout)\n");
    StopSim();
    EXPECT_GT(Requests(1), 0u);
    EXPECT_EQ(Log().size(), Requests(1));
}

// The simulator logs a request once it has answered it; after page 1's last packet the
// program request waits a second for its answer, and the signals come within that second.
TEST_F(CliTest, CtrlCDuringAPageLetsThatPageFinish) {
    StartSim({"--program-ms", "1000"});
    ChildProcess cli(Cli({"load", File(Image(4 * Page)), "--port", tty}));
    ASSERT_TRUE(LogShows("packet=23"));
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(Seconds(10)), 3);
    EXPECT_EQ(cli.Out(), "");
    EXPECT_NE(cli.Err().find("стр. 1/3"), std::string::npos) << cli.Err();
    EXPECT_EQ(cli.Err().find("стр. 2/3"), std::string::npos) << cli.Err();
    StopSim();
    EXPECT_EQ(ProgrammedPages(), std::vector<long>{0});
    EXPECT_EQ(Requests(10), 24u);
    EXPECT_EQ(Requests(6), 0u);
}

TEST_F(CliTest, ASecondCtrlCEndsAtOnce) {
    StartSim({"--program-ms", "1000"});
    ChildProcess cli(Cli({"load", File(Image(4 * Page)), "--port", tty}));
    ASSERT_TRUE(LogShows("packet=23"));
    ASSERT_TRUE(cli.SignalAndWaitTaken(SIGINT, Seconds(10)));
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(Seconds(10)), 3);
    // Page 1's program request was still waiting for its answer.
    EXPECT_EQ(cli.Err().find("стр. 1/3"), std::string::npos) << cli.Err();
    EXPECT_EQ(cli.Out(), "");
}

TEST_F(CliTest, TraceRecordsEveryFrameWithItsEchoAndAnswer) {
    StartSim();
    const std::string trace = dir.File("trace.txt");
    const RunResult r = Load(File(Image(2 * Page)), {"--trace", trace});
    ASSERT_EQ(r.status, 0) << r.err;
    std::vector<std::string> lines;
    for (const auto& l : Lines(ReadAll(trace)))
        if (!l.empty() && l[0] != '#') lines.push_back(l);
    const std::regex shape(R"(^ *\d+ (TX  |ECHO|RX  )( [0-9A-F]{2})+$)");
    for (const auto& l : lines) EXPECT_TRUE(std::regex_match(l, shape)) << l;
    ASSERT_GE(lines.size(), 3u);
    EXPECT_NE(lines[0].find("TX   06 F9 01 00 01 FF"), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("ECHO 06 F9 01 00 01 FF"), std::string::npos) << lines[1];
    EXPECT_NE(lines[2].find("RX   12 F9 01 00 01 2D 1D"), std::string::npos) << lines[2];
    // Identify, 24 packets, program, finish: each sent, heard back and answered.
    EXPECT_EQ(lines.size(), 27u * 3u);
}

struct Usage {
    const char* name;
    std::vector<std::string> args;
    const char* says = "";   // a part of the message
};

class CliUsageTest : public CliTest, public ::testing::WithParamInterface<Usage> {};

TEST_P(CliUsageTest, ExitsWith2AndAUsageLine) {
    const RunResult r = RunCli(GetParam().args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("Usage: kxboot-cli"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(GetParam().says), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Mistakes, CliUsageTest,
    ::testing::Values(Usage{"NoCommand", {}, "a subcommand is required"},
                      Usage{"UnknownCommand", {"flash", "x.rom"}, "unknown subcommand 'flash'"},
                      Usage{"MistypedCommand", {"lod", "x.rom"}, "unknown subcommand 'lod'; did you mean 'load'?"},
                      Usage{"UnknownTopOption", {"--flash"}, "unknown option '--flash'"},
                      Usage{"NoImage", {"load"}},
                      Usage{"TraceOfSeveralPorts", {"load", "x.rom", "--port", "a", "--port", "b", "--trace", "t"}, "--trace"},
                      Usage{"SeveralPortsForAddress", {"address", "--port", "a", "--port", "b"}},
                      Usage{"EmptyImageName", {"load", ""}},
                      Usage{"LineModeOutOfRange", {"load", "x.rom", "--line-mode", "3"}},
                      Usage{"RateNotANumber", {"load", "x.rom", "--baud", "fast"}},
                      Usage{"NegativeWakeTimeout", {"load", "x.rom", "--wake-timeout", "-1"}},
                      Usage{"NegativeWakeTimeoutJoined", {"load", "x.rom", "--wake-timeout=-0.5"}},
                      Usage{"ZeroWakeTimeout", {"load", "x.rom", "--wake-timeout", "0"}},
                      Usage{"NaNWakeTimeout", {"load", "x.rom", "--wake-timeout", "nan"}},
                      Usage{"InfiniteWakeTimeout", {"erase-and-load", "x.rom", "--clock", "1", "--wake-timeout", "inf"}},
                      Usage{"HugeWakeTimeout", {"patch-and-load", "x.rom", "--wake-timeout", "1e308"}},
                      Usage{"WakeTimeoutJustOverTheLimit", {"load", "x.rom", "--wake-timeout", "1000000.001"}},
                      Usage{"EraseWithoutClock", {"erase-and-load", "x.rom"}},
                      Usage{"IdWithoutRevision", {"patch-and-load", "x.rom", "--expect-id", "0x41"}},
                      Usage{"IdNotAWord", {"erase-and-load", "x.rom", "--clock", "7372800", "--expect-id", "0x10000"}},
                      Usage{"UnknownOption", {"info", "x.rom", "--port", "/dev/null"}},
                      Usage{"DoctorOfTwoPorts", {"doctor", "/dev/ttyS0", "/dev/ttyS1"}},
                      Usage{"DoctorOfANetworkPort", {"doctor", "rfc2217://bench:4001"}, "behind a network server"}),
    [](const auto& p) { return std::string(p.param.name); });

// Each line of `text` that is wider than 80 characters (UTF-8 counted by characters).
std::vector<std::string> WideLines(const std::string& text) {
    std::vector<std::string> wide;
    for (const std::string& line : Lines(text)) {
        const auto characters = std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; });
        if (characters > 80) wide.push_back(line);
    }
    return wide;
}

TEST_F(CliTest, HelpDocumentsEveryCommandAndTheExitStatusOnceIn80ColumnsOfWords) {
    const RunResult r = RunCli({"--help"});
    EXPECT_EQ(r.status, 0);
    for (const char* text : {"load", "info", "ports", "doctor", "erase-and-load", "patch-and-load", "address", "--port",
                             "--baud", "--line-mode", "--settings", "--trace", "--wake-timeout", "--clock",
                             "--expect-id", "--expect-revision", "--yes", "--report", "--repeat", "--json",
                             "--version", "Exit status", "(default 19200)"})
        EXPECT_NE(r.out.find(text), std::string::npos) << text;
    EXPECT_EQ(WideLines(r.out), std::vector<std::string>{});
    EXPECT_EQ(r.out.find(" in ["), std::string::npos) << "the parser's notation of a range";
    EXPECT_EQ(r.out.find(":UINT"), std::string::npos) << "the parser's notation of a type";

    for (const char* command : {"load", "info", "ports", "doctor", "erase-and-load", "patch-and-load", "address"}) {
        const RunResult sub = RunCli({command, "--help"});
        EXPECT_EQ(sub.status, 0) << command;
        EXPECT_NE(sub.out.find(std::string("Examples:\n  kxboot-cli ") + command), std::string::npos) << command;
        EXPECT_EQ(sub.out.find("Exit status"), std::string::npos) << command << " repeats the general part";
        EXPECT_EQ(WideLines(sub.out), std::vector<std::string>{}) << command;
    }
}

TEST_F(CliTest, VersionIsAnsweredOnStdout) {
    const RunResult r = RunCli({"--version"});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(std::regex_match(r.out, std::regex("kxboot-cli \\d+\\.\\d+\\.\\d+\n"))) << r.out;
    EXPECT_EQ(r.err, "");
}

TEST_F(CliTest, InfoAsJson) {
    const RunResult r = RunCli({"info", File(WithTrailer(Image(22 * Page), 0x2E, 0x70)), "--json"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "{\"size\":67587,\"pages\":22,\"pages_sent\":0,\"trailer\":\"2E7000\",\"identity\":\"1D2D\","
                     "\"accepted\":false,\"message\":\"Тип микроконтроллера не совпадает с версией ПО.\"}\n");
    EXPECT_EQ(r.err, "Тип микроконтроллера не совпадает с версией ПО.\n");
}

struct InfoCase {
    const char* name;
    Bytes image;
    int status;
    std::vector<std::string> out;
    const char* err;
};

class CliInfoTest : public CliTest, public ::testing::WithParamInterface<InfoCase> {};

TEST_P(CliInfoTest, DescribesTheImageAndJudgesIt) {
    const InfoCase& c = GetParam();
    const RunResult r = RunCli({"info", File(c.image)});
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(Lines(r.out), c.out);
    EXPECT_EQ(r.err, c.err);
}

INSTANTIATE_TEST_SUITE_P(
    Images, CliInfoTest,
    ::testing::Values(
        InfoCase{"Largest", WithTrailer(Image(22 * Page), 0x2D, 0x70), 0,
                 {"size:    67587 bytes", "pages:   22 of 3072 bytes", "sent:    pages 1..21 (64512 bytes)",
                  "trailer: 2D 70 00", "identity 0x1D2D: accepted"},
                 ""},
        InfoCase{"TooLong", Image(67588), 1,
                 {"size:    67588 bytes", "pages:   22 of 3072 bytes", "sent:    none",
                  "trailer: none", "identity 0x1D2D: refused"},
                 "Программа слишком длинна.\n"},
        InfoCase{"OnePageAndTrailer", WithTrailer(Image(Page), 0x2D, 0x70), 1,
                 {"size:    3075 bytes", "pages:   1 of 3072 bytes", "sent:    none", "trailer: 2D 70 00",
                  "identity 0x1D2D: refused"},
                 "Программа слишком коротка.\n"},
        InfoCase{"Empty", Bytes{}, 1,
                 {"size:    0 bytes", "pages:   0 of 3072 bytes", "sent:    none", "trailer: none",
                  "identity 0x1D2D: refused"},
                 "Программа слишком коротка.\n"},
        InfoCase{"WrongType", WithTrailer(Image(2 * Page), 0x2E, 0x70), 1,
                 {"size:    6147 bytes", "pages:   2 of 3072 bytes", "sent:    none",
                  "trailer: 2E 70 00", "identity 0x1D2D: refused"},
                 "Тип микроконтроллера не совпадает с версией ПО.\n"}),
    [](const auto& p) { return std::string(p.param.name); });

// A folder, a FIFO (which would block a plain open) or a device is no image file.
TEST_F(CliTest, InfoOnAMissingFileOrAnythingButARegularFile) {
    ASSERT_EQ(::mkfifo(dir.File("fifo.rom").c_str(), 0600), 0);
    for (const std::string& path : {dir.File("absent.rom"), dir.Path().string(), dir.File("fifo.rom"), std::string("/dev/null")}) {
        const RunResult r = RunCli({"info", path}, "", 10);
        EXPECT_EQ(r.status, 1) << path;
        EXPECT_EQ(r.out, "") << path;
        EXPECT_EQ(r.err, "Файл не найден\n") << path;
    }
}

TEST_F(CliTest, PortsListsCandidatesAndSaysWhenNoneIsFree) {
    const RunResult r = RunCli({"ports"});
    ASSERT_TRUE(r.status == 0 || r.status == 1) << r.err;
    const std::regex shape(R"(^(\S+  (free|busy)(  .+)?|    \S.*)$)");  // a port, or a hint under it
    bool anyFree = false;
    for (const auto& l : Lines(r.out)) {
        EXPECT_TRUE(std::regex_match(l, shape)) << l;
        anyFree = anyFree || std::regex_search(l, std::regex(R"(^\S+  free)"));
    }
    EXPECT_EQ(r.status == 0, anyFree);
    EXPECT_EQ(r.err, anyFree ? "" : "Нет свободного COM-порта!\n");
}

// The adapter's latency timer as its driver's sysfs attribute gives it, read from a tree of
// the test's own: shown beside the port, with how to lower it when above 1 ms.
TEST_F(CliTest, PortsShowTheAdaptersLatencyTimerAndHowToLowerIt) {
    StartSim();
    const std::string kernelName = std::filesystem::canonical(tty).filename().string();
    const std::string sysfs = dir.File("sys-class-tty");
    std::filesystem::create_directories(sysfs + "/" + kernelName + "/device");
    const std::string attribute = sysfs + "/" + kernelName + "/device/latency_timer";
    const std::string fix = "echo 1 > /sys/bus/usb-serial/devices/" + kernelName + "/latency_timer";
    struct Case {
        const char* file;  // nullptr: the driver has no such attribute
        std::string shown, json;
        bool hint;
    };
    const Case cases[] = {{"16\n", "  latency timer 16 ms", "16", true},
                          {"1\n", "  latency timer 1 ms", "1", false},
                          {nullptr, "", "null", false}};
    for (const Case& c : cases) {
        std::filesystem::remove(attribute);
        if (c.file != nullptr) WriteAll(attribute, c.file);
        const auto ports = [&](std::vector<std::string> extra) {
            std::vector<std::string> args{"/usr/bin/env", "KXBOOT_PORTS=" + tty, "KXBOOT_SYS_CLASS_TTY=" + sysfs,
                                          KXBOOT_CLI, "ports"};
            args.insert(args.end(), extra.begin(), extra.end());
            return kx::test::Run(args, Seconds(10));
        };
        const RunResult text = ports({});
        ASSERT_EQ(text.status, 0) << text.err;
        const auto lines = Lines(text.out);
        ASSERT_GE(lines.size(), c.hint ? 2u : 1u) << text.out;
        EXPECT_EQ(lines[0], tty + "  free" + c.shown);
        const bool hinted = lines.size() > 1 && lines[1].starts_with("    ");
        EXPECT_EQ(hinted, c.hint) << text.out;
        if (c.hint) {
            EXPECT_NE(lines[1].find(fix), std::string::npos) << lines[1];
        }

        const RunResult json = ports({"--json"});
        ASSERT_EQ(json.status, 0) << json.err;
        auto fields = Fields(Lines(json.out).front());
        EXPECT_EQ(fields["name"], tty);
        EXPECT_EQ(fields["latency_timer_ms"], c.json);
        if (c.hint) {
            EXPECT_NE(fields["latency_hint"].find(fix), std::string::npos) << json.out;
        } else {
            EXPECT_EQ(fields["latency_hint"], "null") << json.out;
        }
    }
}

struct AddressCase {
    const char* name;
    std::vector<std::string> sim;
    std::vector<std::string> extra;
    std::string input;
    int status;
    std::string out;
    bool asked;
};

class CliAddressTest : public CliTest, public ::testing::WithParamInterface<AddressCase> {};

TEST_P(CliAddressTest, AsksInLineModes1And2Only) {
    const AddressCase& c = GetParam();
    StartSim(c.sim);
    std::vector<std::string> args{"address", "--port", tty};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const RunResult r = RunCli(args, c.input);
    EXPECT_EQ(r.status, c.status) << r.err;
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(r.err.find("ТОЛЬКО ОДНО устройство") != std::string::npos, c.asked) << r.err;
    StopSim();
    EXPECT_EQ(Requests(0), c.status == 0 ? 1u : 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, CliAddressTest,
    ::testing::Values(AddressCase{"AnsweredYes", {}, {}, "y\n", 0, "249\n", true},
                      AddressCase{"AnsweredNo", {}, {}, "n\n", 3, "", true},
                      AddressCase{"NoAnswer", {}, {}, "", 3, "", true},
                      AddressCase{"AssumedYes", {"--own-address", "17"}, {"--yes"}, "", 0, "17\n", false},
                      AddressCase{"Mode0", {"--no-echo"}, {"--line-mode", "0"}, "", 0, "249\n", false},
                      AddressCase{"Mode1", {"--no-echo"}, {"--line-mode", "1"}, "да\n", 0, "249\n", true}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(CliTest, EraseAndLoadSendsWholePagesOfTheIdentitysGeometry) {
    StartSim({"--id-240", "0x0394"});
    const Bytes image = Image(1000);   // seven 128-byte pages and a remainder
    const RunResult r = RunCli({"erase-and-load", File(image), "--clock", "29491200", "--port", tty});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, Done);
    StopSim();
    EXPECT_EQ(Requests(2), 1u);
    EXPECT_EQ(ProgrammedPages(), (std::vector<long>{0, 128, 256, 384, 512, 640, 768}));
    const Bytes flashed = Flash();
    ASSERT_GE(flashed.size(), 896u);
    EXPECT_TRUE(std::equal(image.begin(), image.begin() + 896, flashed.begin()));
}

TEST_F(CliTest, EraseAndLoadRefusesAnUnexpectedIdentity) {
    StartSim({"--id-240", "0x0394"});
    const RunResult r =
        RunCli({"erase-and-load", File(Image(256)), "--clock", "29491200", "--expect-id", "0x0297", "--port", tty});
    EXPECT_EQ(r.status, 1);
    ASSERT_FALSE(Lines(r.err).empty());
    EXPECT_EQ(Lines(r.err).back(), "В устройстве неверный микроконтроллер.");
    StopSim();
    EXPECT_EQ(Requests(2), 0u);
}

TEST_F(CliTest, PatchAndLoadSkipsPage2AndStartsWithTheHeadBytes) {
    StartSim({"--rev-241", "3"});
    const Bytes image = Image(3 * 1536);
    const RunResult r =
        RunCli({"patch-and-load", File(image), "--expect-id", "0x0041", "--expect-revision", "3", "--port", tty});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, Done);
    StopSim();
    EXPECT_EQ(ProgrammedPages(), (std::vector<long>{0, 2048}));
    Bytes expected = image;
    std::copy(SimHead.begin(), SimHead.end(), expected.begin());
    std::fill(expected.begin() + 1536, expected.begin() + 3072, 0xFF);
    EXPECT_EQ(Flash(), expected);
}

}  // namespace
}  // namespace kx::test
