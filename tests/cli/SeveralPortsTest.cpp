// A production bench: several boards loaded at once, a station loading one board after
// another, the report of every load, and ports named and described. kxboot-cli against
// kxboot-sim serving several ptys, all unpaced.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <filesystem>
#include <regex>

#include "tests/app/TempDir.h"
#include "tests/support/ChildProcess.h"
#include "tests/cli/CliSupport.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;
using Seconds = ChildProcess::Seconds;

const Bytes Head{0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
constexpr const char* NoLink = "RS232. Нет связи. Проверьте правильность соединения PC и устройства.";

// One simulated port: the name the loader opens, the simulator's log and flash of it.
struct SimPort {
    std::string tty, log, flash;
    std::vector<sim::LoggedRequest> Log() const { return ReadLog(log); }
    std::size_t Count(int fn) const { return CountFunction(Log(), fn); }
};

// What the flash holds after `image` went in: pages 1..N-1, the head bytes first.
Bytes Flashed(const Bytes& image) {
    Bytes expected(image.begin(), image.begin() + static_cast<long>((image.size() / Page - 1) * Page));
    std::copy(Head.begin(), Head.end(), expected.begin());
    return expected;
}

Bytes FileBytes(const std::string& path) {
    const std::string text = ReadAll(path);
    return Bytes(text.begin(), text.end());
}

class SeveralPortsTest : public ::testing::Test {
protected:
    ~SeveralPortsTest() override {
        for (auto& sim : sims) {
            sim->CloseIn();
            sim->Wait(Seconds(5));
        }
    }

    // A simulator serving `count` ports named `name` (name.1, name.2, ... when several).
    std::vector<SimPort> StartSim(const std::string& name, int count, std::vector<std::string> extra = {}) {
        std::vector<std::string> argv{KXBOOT_SIM, "--link", dir.File(name), "--log", dir.File(name + ".log"),
                                      "--flash", dir.File(name + ".flash"), "--head", "0A1B2C3D4E5F",
                                      "--ports", std::to_string(count)};
        argv.insert(argv.end(), extra.begin(), extra.end());
        sims.push_back(std::make_unique<ChildProcess>(argv));
        std::vector<SimPort> ports;
        for (int k = 1; k <= count; ++k) {
            const std::string suffix = count == 1 ? "" : "." + std::to_string(k);
            ports.push_back({dir.File(name + suffix), dir.File(name + ".log" + suffix), dir.File(name + ".flash" + suffix)});
        }
        // It prints the terminals' paths once every link is in place.
        EXPECT_TRUE(sims.back()->WaitForOut("\n", Seconds(10))) << sims.back()->Err();
        return ports;
    }

    std::vector<std::string> LoadArgs(const std::string& image, const std::vector<SimPort>& ports) {
        std::vector<std::string> argv{KXBOOT_CLI, "load", image, "--report", report};
        for (const auto& port : ports) {
            argv.push_back("--port");
            argv.push_back(port.tty);
        }
        return argv;
    }

    std::string ImageFile(const Bytes& bytes) {
        const std::string path = dir.File("image.rom");
        WriteAll(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }

    std::vector<std::map<std::string, std::string>> Report() const {
        std::vector<std::map<std::string, std::string>> records;
        for (const auto& line : Lines(ReadAll(report))) records.push_back(Fields(line));
        return records;
    }

    // The report's record of `port`; fails the test when there is not exactly one.
    std::map<std::string, std::string> RecordOf(const std::string& port) const {
        std::vector<std::map<std::string, std::string>> found;
        for (const auto& r : Report())
            if (r.at("port") == port) found.push_back(r);
        EXPECT_EQ(found.size(), 1u) << port;
        return found.empty() ? std::map<std::string, std::string>{} : found.front();
    }

    std::string Sha256Of(const std::string& path) {
        const RunResult r = kx::test::Run({"/usr/bin/sha256sum", path}, Seconds(10));
        return r.out.substr(0, 64);
    }

    TempDir dir;
    std::string report = dir.File("report.jsonl");
    std::vector<std::unique_ptr<ChildProcess>> sims;
};

TEST_F(SeveralPortsTest, FourBoardsAtOnceAreAllLoadedByteExact) {
    const auto ports = StartSim("tty", 4);
    const Bytes image = WithTrailer(Image(5 * Page), 0x2D, 0x70);
    const RunResult r = kx::test::Run(LoadArgs(ImageFile(image), ports), Seconds(60));
    ASSERT_EQ(r.status, 0) << r.err;
    const auto summary = Lines(r.out);
    ASSERT_EQ(summary.size(), 4u) << r.out;
    for (std::size_t i = 0; i < ports.size(); ++i) {
        EXPECT_TRUE(summary[i].starts_with(ports[i].tty + ": loaded, ")) << summary[i];
        EXPECT_TRUE(summary[i].ends_with(", Загрузка окончена.")) << summary[i];
        EXPECT_EQ(FileBytes(ports[i].flash), Flashed(image)) << ports[i].tty;
        EXPECT_EQ(ports[i].Count(6), 1u);
        // The record names the device the link led to and the image wherever it was named from.
        const auto rec = RecordOf(ports[i].tty);
        EXPECT_EQ(rec.at("port_path"), fs::canonical(ports[i].tty).string());
        EXPECT_EQ(rec.at("port_by_id"), "null");
        EXPECT_EQ(rec.at("image_path"), dir.File("image.rom"));
        EXPECT_LE(rec.at("start"), rec.at("time"));
    }
    // Not a terminal: every progress line names its port.
    for (const auto& line : Lines(r.err)) {
        const bool named = std::any_of(ports.begin(), ports.end(),
                                       [&](const SimPort& p) { return line.starts_with(p.tty + ": "); });
        EXPECT_TRUE(named) << line;
    }
}

TEST_F(SeveralPortsTest, OneFaultyBoardAmongThreeFailsAloneAndEveryRecordSaysSo) {
    auto ports = StartSim("good", 2);
    // Page 2's sixth packet (the 30th data packet) and every later one go unanswered.
    ports.insert(ports.begin() + 1, StartSim("bad", 1, {"--fault", "none:fn=10:nth=30:times=0"}).front());
    const Bytes image = WithTrailer(Image(4 * Page), 0x2D, 0x70);
    const std::string imagePath = ImageFile(image);
    const auto before = std::chrono::system_clock::now();
    const RunResult r = kx::test::Run(LoadArgs(imagePath, ports), Seconds(60));
    EXPECT_EQ(r.status, 1) << r.err;

    const SimPort& bad = ports[1];
    const auto log = bad.Log();
    ASSERT_FALSE(log.empty());
    // The failing packet, sent three times, is the last thing the faulty board heard.
    EXPECT_EQ(bad.Count(20), 1u);
    EXPECT_EQ(bad.Count(6), 0u);
    EXPECT_EQ(log.back().fn, 10);
    EXPECT_EQ(log.back().packet, std::optional<int>(5));
    EXPECT_EQ(bad.Count(10), 29u + 3u);
    for (const std::size_t good : {0u, 2u}) {
        EXPECT_EQ(FileBytes(ports[good].flash), Flashed(image)) << ports[good].tty;
        EXPECT_EQ(ports[good].Count(6), 1u);
    }
    EXPECT_NE(r.out.find(bad.tty + ": failed, "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(std::string(", ") + NoLink), std::string::npos) << r.out;

    ASSERT_EQ(Report().size(), 3u) << ReadAll(report);
    const std::regex iso(R"(^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}Z$)");
    for (const auto& port : ports) {
        const auto rec = RecordOf(port.tty);
        const bool isBad = port.tty == bad.tty;
        EXPECT_TRUE(std::regex_match(rec.at("time"), iso)) << rec.at("time");
        EXPECT_EQ(rec.at("image"), imagePath);
        EXPECT_EQ(rec.at("sha256"), Sha256Of(imagePath));
        EXPECT_EQ(rec.at("outcome"), isBad ? "failed" : "loaded");
        EXPECT_EQ(rec.at("message"), isBad ? NoLink : "Загрузка окончена.");
        EXPECT_EQ(rec.at("identity"), "2D1D000040000A1B2C3D4E5F");
        EXPECT_EQ(rec.at("head"), "0A1B2C3D4E5F");
        EXPECT_EQ(rec.at("pages"), isBad ? "1" : "3");
        const double seconds = std::stod(rec.at("seconds"));
        EXPECT_GT(seconds, 0.0);
        EXPECT_LE(seconds, std::chrono::duration<double>(std::chrono::system_clock::now() - before).count());
    }
}

// Seven ports asked for at once, five of which do not open: three are missing, two held
// by another program under their lock files. Each of those fails on its own with the
// system's reason and the port named; the two boards load. (Many refusals at once: the
// reason of each open must stay with its own port.)
TEST_F(SeveralPortsTest, PortsThatDoNotOpenFailAloneAmongPortsThatLoad) {
    const auto good = StartSim("tty", 2);
    const auto held = StartSim("held", 2);
    const std::string locks = dir.File("locks");
    fs::create_directories(locks);
    // Each refused port with the line that names it, and its record's reason and message.
    struct Refused {
        std::string port, named, reason, message;
    };
    std::vector<Refused> refused;
    for (const SimPort& port : held) {
        WriteAll(locks + "/" + LockFileName(port.tty), std::to_string(::getpid()) + "\n");
        refused.push_back({port.tty,
                           "kxboot-cli: cannot open the port " + port.tty +
                               ": Device or resource busy (held under its lock file " + LockFileName(port.tty) + ")",
                           "no-port", "Нет свободного COM-порта!"});
    }
    for (const char* name : {"unplugged.1", "unplugged.2", "unplugged.3"}) {
        const std::string gone = "kxboot-cli: the port " + dir.File(name) + " does not exist";
        refused.push_back({dir.File(name), gone, "port-missing", gone});
    }
    const std::vector<std::string> order{refused[2].port, good[0].tty,      refused[0].port, refused[3].port,
                                         good[1].tty,     refused[1].port, refused[4].port};
    const Bytes image = Image(3 * Page);
    std::vector<std::string> argv{"/usr/bin/env", "KXBOOT_LOCK_DIR=" + locks, KXBOOT_CLI, "load", ImageFile(image),
                                  "--report", report};
    for (const auto& port : order) argv.insert(argv.end(), {"--port", port});
    const RunResult r = kx::test::Run(argv, Seconds(60));
    EXPECT_EQ(r.status, 1) << r.err;

    for (const Refused& port : refused) {
        SCOPED_TRACE(port.port);
        EXPECT_NE(r.err.find(port.port + ": " + port.named + "\n"), std::string::npos) << r.err;
        EXPECT_NE(r.out.find(port.port + ": failed, "), std::string::npos) << r.out;
        const auto rec = RecordOf(port.port);
        EXPECT_EQ(rec.at("outcome"), "failed");
        EXPECT_EQ(rec.at("reason"), port.reason);
        EXPECT_EQ(rec.at("message"), port.message);
    }
    for (const SimPort& port : held) EXPECT_TRUE(port.Log().empty()) << port.tty;
    for (const SimPort& port : good) {
        EXPECT_EQ(FileBytes(port.flash), Flashed(image)) << port.tty;
        EXPECT_EQ(RecordOf(port.tty).at("outcome"), "loaded") << r.err;
    }
    EXPECT_EQ(Report().size(), order.size());
}

// The simulator logs a request once it has answered it; page 1's program request waits
// a second for its answer on every board, and Ctrl-C comes within that second.
TEST_F(SeveralPortsTest, CtrlCDuringALoadOfThreeStopsEachAfterItsPage) {
    const auto ports = StartSim("tty", 3, {"--program-ms", "1000"});
    ChildProcess cli(LoadArgs(ImageFile(Image(4 * Page)), ports));
    for (const auto& port : ports) ASSERT_TRUE(FileShows(port.log, "packet=23")) << port.tty;
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(Seconds(20)), 3) << cli.Err();
    for (const auto& port : ports) {
        EXPECT_EQ(port.Count(20), 1u) << port.tty;
        EXPECT_EQ(port.Count(10), 24u) << port.tty;
        EXPECT_EQ(port.Count(6), 0u) << port.tty;
        EXPECT_NE(cli.Out().find(port.tty + ": cancelled, "), std::string::npos) << cli.Out();
        const auto rec = RecordOf(port.tty);
        EXPECT_EQ(rec.at("outcome"), "cancelled");
        EXPECT_EQ(rec.at("message"), "");
        EXPECT_EQ(rec.at("pages"), "1");
    }
}

// A second Ctrl-C, or SIGHUP at once, stops three loads (or three stations' first boards)
// in the middle of page 1's program request: none waits for its answer (no page is
// counted), yet each still gets its report record and its summary line, and every
// port's lock file is gone.
struct HardStopCase {
    const char* name;
    std::vector<int> signals;
    bool station;
};

class HardStopTest : public SeveralPortsTest, public ::testing::WithParamInterface<HardStopCase> {};

TEST_P(HardStopTest, EveryLoadInFlightIsRecordedAndUnlocked) {
    const HardStopCase& c = GetParam();
    const auto ports = StartSim("tty", 3, {"--program-ms", "1200"});
    const std::string locks = dir.File("locks");
    fs::create_directories(locks);
    std::vector<std::string> argv = LoadArgs(ImageFile(Image(4 * Page)), ports);
    argv.insert(argv.begin(), {"/usr/bin/env", "KXBOOT_LOCK_DIR=" + locks});
    if (c.station) argv.push_back("--repeat");
    ChildProcess cli(argv);
    for (const auto& port : ports) ASSERT_TRUE(FileShows(port.log, "packet=23")) << port.tty;
    for (const auto& port : ports) ASSERT_TRUE(fs::exists(locks + "/" + LockFileName(port.tty))) << port.tty;
    for (int signal : c.signals) {
        ASSERT_TRUE(cli.SignalAndWaitTaken(signal, Seconds(10)));
    }
    EXPECT_EQ(cli.Wait(Seconds(20)), 3) << cli.Err();
    EXPECT_TRUE(fs::is_empty(locks));
    for (const auto& port : ports) {
        SCOPED_TRACE(port.tty);
        const std::string summary = c.station ? ": loaded 0, refused 0, failed 0, cancelled 1\n" : ": cancelled, ";
        EXPECT_NE(cli.Out().find(port.tty + summary), std::string::npos) << cli.Out();
        const auto rec = RecordOf(port.tty);
        EXPECT_EQ(rec.at("outcome"), "cancelled");
        EXPECT_EQ(rec.at("reason"), "cancelled");
        EXPECT_EQ(rec.at("pages"), "0");
    }
    const char* named = c.signals.front() == SIGINT ? "Ctrl-C" : c.signals.front() == SIGHUP ? "SIGHUP" : "SIGTERM";
    EXPECT_NE(Lines(cli.Err()).back().find(std::string("cancelled by ") + named), std::string::npos) << cli.Err();
}

INSTANTIATE_TEST_SUITE_P(Signals, HardStopTest,
                         ::testing::Values(HardStopCase{"SecondCtrlC", {SIGINT, SIGINT}, false},
                                           HardStopCase{"HangUp", {SIGHUP}, false},
                                           HardStopCase{"SecondTermToStations", {SIGTERM, SIGTERM}, true}),
                         [](const auto& p) { return std::string(p.param.name); });

TEST_F(SeveralPortsTest, AStationLoadsThreeBoardsOnceEachThoughOneLingersInItsBootLoader) {
    // Board 2 still answers for 1.5 s after its finish. The silence between boards is
    // several times what the loader needs to see a board gone (three unanswered polls,
    // about 0.4 s), so that a busy machine cannot make it miss a board's leaving.
    const SimPort port = StartSim("tty", 1, {"--boards", "3", "--linger", "0,1500,0", "--absent", "2500"}).front();
    const Bytes image = Image(3 * Page);
    ChildProcess cli({KXBOOT_CLI, "load", ImageFile(image), "--port", port.tty, "--repeat", "--report", report});
    // After the third finish the port falls silent for good; the loader is waiting for a
    // fourth board once its polls go unanswered.
    ASSERT_TRUE(FileShows(port.log, "board=3 addr=249 hdr=1 fn=6", std::chrono::seconds(60)));
    ASSERT_TRUE(FileShows(port.log, "answer=absent", std::chrono::seconds(60)));
    // Each board's record is in the file as soon as its load ends, not at the station's end.
    EXPECT_EQ(Report().size(), 3u) << ReadAll(report);
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(Seconds(20)), 0) << cli.Err();

    const auto records = Report();
    ASSERT_EQ(records.size(), 3u) << ReadAll(report);
    for (const auto& rec : records) EXPECT_EQ(rec.at("outcome"), "loaded");
    EXPECT_EQ(port.Count(6), 3u);
    EXPECT_EQ(FileBytes(port.flash), Flashed(image));
    EXPECT_EQ(FileBytes(port.flash + ".2"), Flashed(image));
    EXPECT_EQ(FileBytes(port.flash + ".3"), Flashed(image));
    // Board 2 went on answering after its finish, and got nothing but identify polls.
    bool finished = false;
    std::size_t answeredAfter = 0;
    for (const auto& l : port.Log()) {
        if (l.board != 2) continue;
        if (finished) {
            EXPECT_EQ(l.fn, 1);
            answeredAfter += l.answered ? 1 : 0;
        }
        finished = finished || l.fn == 6;
    }
    EXPECT_GT(answeredAfter, 0u);
    EXPECT_NE(cli.Err().find("loaded 3, refused 0, failed 0"), std::string::npos) << cli.Err();
}

TEST_F(SeveralPortsTest, AStationStoppedInTheMiddleOfABoardCountsItAndIsNoSuccess) {
    // The first board loads; the second, after a silence the loader cannot miss, is stopped
    // after its first page.
    const SimPort port =
        StartSim("tty", 1, {"--boards", "2", "--absent", "2500", "--program-ms", "500"}).front();
    ChildProcess cli({KXBOOT_CLI, "load", ImageFile(Image(4 * Page)), "--port", port.tty, "--repeat", "--report",
                      report});
    ASSERT_TRUE(FileShows(port.log, "board=2 addr=249 hdr=1 fn=20", std::chrono::seconds(60)));
    cli.Signal(SIGINT);
    EXPECT_EQ(cli.Wait(Seconds(20)), 3) << cli.Err();
    const auto records = Report();
    ASSERT_EQ(records.size(), 2u) << ReadAll(report);
    EXPECT_EQ(records[0].at("outcome"), "loaded");
    EXPECT_EQ(records[1].at("outcome"), "cancelled");
    EXPECT_NE(cli.Err().find("loaded 1, refused 0, failed 0, cancelled 1"), std::string::npos) << cli.Err();
    // The run does not end on the first board's success: the last word is the cancel's.
    EXPECT_NE(Lines(cli.Err()).back().find("Ctrl-C"), std::string::npos) << cli.Err();
}

TEST_F(SeveralPortsTest, AllLoadsExactlyTheFreePortsAndLeavesALockedOneAlone) {
    const auto ports = StartSim("tty", 3);
    std::vector<std::string> real;
    for (const auto& port : ports) real.push_back(fs::canonical(port.tty).string());
    const std::string locks = dir.File("locks");
    fs::create_directories(locks);
    const std::vector<std::string> env{"/usr/bin/env", "KXBOOT_PORTS=" + real[0] + ":" + real[1] + ":" + real[2],
                                       "KXBOOT_LOCK_DIR=" + locks, KXBOOT_CLI};
    // The second is held by a live process (this one) under the lock convention, and so is
    // every port of this machine's own that would otherwise be a candidate too.
    std::vector<std::string> list = env;
    list.push_back("ports");
    for (const auto& line : Lines(kx::test::Run(list, Seconds(10)).out)) {
        const std::string name = line.substr(0, line.find("  "));
        if (name != real[0] && name != real[2])
            WriteAll(locks + "/" + LockFileName(name), std::to_string(::getpid()) + "\n");
    }
    std::vector<std::string> load = env;
    load.insert(load.end(), {"load", ImageFile(Image(3 * Page)), "--port", "all", "--report", report});
    const RunResult r = kx::test::Run(load, Seconds(60));
    EXPECT_EQ(r.status, 0) << r.err;
    const auto summary = Lines(r.out);
    ASSERT_EQ(summary.size(), 2u) << r.out;
    EXPECT_TRUE(summary[0].starts_with(real[0] + ": loaded, ")) << summary[0];
    EXPECT_TRUE(summary[1].starts_with(real[2] + ": loaded, ")) << summary[1];
    EXPECT_EQ(ports[1].Count(1), 0u) << "a request went to the locked port";
    EXPECT_EQ(Report().size(), 2u);
}

TEST_F(SeveralPortsTest, PortsNamesEachPortByItsStableLinkAndSaysWhichIsBusy) {
    const auto ports = StartSim("tty", 2);
    const std::string first = fs::canonical(ports[0].tty).string(), second = fs::canonical(ports[1].tty).string();
    const std::string byId = dir.File("by-id"), locks = dir.File("locks");
    fs::create_directories(byId);
    fs::create_directories(locks);
    const std::string stable = byId + "/usb-Test_Adapter_A1-if00-port0";
    fs::create_symlink(first, stable);
    // The second is held by a live process (this one) under the lock convention.
    WriteAll(locks + "/" + LockFileName(second), std::to_string(::getpid()) + "\n");
    const std::vector<std::string> env{"/usr/bin/env", "KXBOOT_PORTS=" + first + ":" + second,
                                       "KXBOOT_SERIAL_BY_ID=" + byId, "KXBOOT_LOCK_DIR=" + locks};

    std::vector<std::string> json = env;
    json.insert(json.end(), {KXBOOT_CLI, "ports", "--json"});
    const RunResult r = kx::test::Run(json, Seconds(10));
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string expectFirst = "{\"name\":\"" + first + "\",\"by_id\":\"" + stable + "\",\"free\":true,";
    const std::string expectSecond = "{\"name\":\"" + second + "\",\"by_id\":null,\"free\":false,";
    EXPECT_NE(r.out.find(expectFirst), std::string::npos) << r.out;
    EXPECT_NE(r.out.find(expectSecond), std::string::npos) << r.out;
    // A pty has no adapter: each field it lacks is null, never an empty text.
    EXPECT_NE(r.out.find("\"vendor_id\":null,\"product_id\":null,\"manufacturer\":null,\"product\":null,"
                         "\"serial_number\":null,\"hardware_id\":null,\"latency_timer_ms\":null,\"latency_hint\":null}"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.out.find("\"\""), std::string::npos) << r.out;
    EXPECT_EQ(r.out.front(), '[');
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "]\n");

    std::vector<std::string> text = env;
    text.insert(text.end(), {KXBOOT_CLI, "ports"});
    const auto lines = Lines(kx::test::Run(text, Seconds(10)).out);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_EQ(lines[0], first + "  free  " + stable);
    EXPECT_EQ(lines[1], second + "  busy");

    // The stable name is as good as the device path.
    std::vector<std::string> load = env;
    load.insert(load.end(), {KXBOOT_CLI, "load", ImageFile(Image(2 * Page)), "--port", stable});
    const RunResult loaded = kx::test::Run(load, Seconds(30));
    EXPECT_EQ(loaded.status, 0) << loaded.err;
    EXPECT_EQ(Lines(loaded.err).front(), "Порт: " + stable);
}

// Without --settings and without a file of its own, the command line reads the desktop
// program's, beside it: the port the technician chose there is the one it loads through.
TEST_F(SeveralPortsTest, WithoutSettingsOfItsOwnTheDesktopProgramsPortIsUsedAndLeftAlone) {
    const SimPort port = StartSim("tty", 1).front();
    const fs::path folder = dir.Path() / "Загрузчик";
    fs::create_directories(folder);
    const fs::path cli = folder / "kxboot-cli";
    fs::copy_file(KXBOOT_CLI, cli);
    const std::string desktop = (folder / "kxboot.ini").string(), own = (folder / "kxboot-cli.ini").string();
    const std::string settings = "[RS232]\r\nPort=" + port.tty + "\r\n";
    WriteAll(desktop, settings);
    const std::vector<std::string> load{"/usr/bin/env", "-u", "KXBOOT_SETTINGS", cli.string(), "load",
                                        ImageFile(Image(2 * Page))};
    const RunResult r = kx::test::Run(load, Seconds(30));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(Lines(r.err).front(), "Порт: " + port.tty);
    EXPECT_EQ(ReadAll(desktop), settings);
    EXPECT_FALSE(fs::exists(own));

    // A file of its own comes first.
    WriteAll(own, "[RS232]\r\nPort=" + dir.File("unplugged") + "\r\n");
    EXPECT_EQ(kx::test::Run(load, Seconds(30)).status, 1);
    EXPECT_EQ(port.Count(6), 1u);
}

struct StoredPortCase {
    const char* name;
    bool busy;
};

class StoredPortTest : public SeveralPortsTest, public ::testing::WithParamInterface<StoredPortCase> {};

TEST_P(StoredPortTest, AStoredPortThatCannotBeUsedIsRefusedAndNamedNotReplaced) {
    const SimPort port = StartSim("tty", 1).front();
    const std::string device = fs::canonical(port.tty).string();
    const std::string locks = dir.File("locks");
    fs::create_directories(locks);
    std::string stored = dir.File("unplugged");
    if (GetParam().busy) {
        stored = device;
        WriteAll(locks + "/" + LockFileName(device), std::to_string(::getpid()) + "\n");
    }
    const std::string settings = dir.File("kxboot.ini");
    WriteAll(settings, "[RS232]\nPort=" + stored + "\n");
    // The simulator's port is free and listed: the old fallback would have taken it.
    const RunResult r = kx::test::Run({"/usr/bin/env", "KXBOOT_PORTS=" + device, "KXBOOT_LOCK_DIR=" + locks, KXBOOT_CLI, "load",
                             ImageFile(Image(2 * Page)), "--settings", settings},
                            Seconds(30));
    EXPECT_EQ(r.status, 1);
    const auto err = Lines(r.err);
    if (GetParam().busy) {
        ASSERT_EQ(err.size(), 2u) << r.err;
        EXPECT_TRUE(err[0].starts_with("kxboot-cli: cannot open the port " + stored + ": ")) << err[0];
        EXPECT_EQ(err[1], "Нет свободного COM-порта!");
    } else {
        EXPECT_EQ(err, std::vector<std::string>{"kxboot-cli: the port " + stored + " does not exist"});
    }
    EXPECT_TRUE(port.Log().empty());
}

INSTANTIATE_TEST_SUITE_P(Ports, StoredPortTest,
                         ::testing::Values(StoredPortCase{"Missing", false}, StoredPortCase{"Busy", true}),
                         [](const auto& p) { return std::string(p.param.name); });

}  // namespace
}  // namespace kx::test
