// Fault injection end to end: kxboot-cli loads an image into kxboot-sim over a pty while
// the simulated device, the cable, the file or the user misbehaves. Every scenario states
// its outcome (loaded; a message and an exit status; a silent cancel) and is then checked
// for what must hold whatever happened: the loader ended in time, sent nothing it must not
// send after that failure, and left the image file and the settings file as they were.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/FirmwareImage.h"
#include "link/LinkError.h"
#include "link/LinkTexts.h"
#include "tests/support/ChildProcess.h"
#include "tests/fault/SimRun.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
namespace lt = kx::texts;
namespace at = kx::texts;

const std::string LoadDone = "Загрузка окончена.";
const std::string ExchangeCheck = std::string(lt::ExchangeError) + "(0)";
const std::string ExchangeHeader = std::string(lt::ExchangeError) + "(4)";
constexpr auto HardLimit = 30s;  // no scenario may take longer; the loader is killed then
constexpr int ExitCancelled = 3;

enum class Result {
    Loaded,     // finish sent, pages 1..N-1 in the device
    Failed,     // a request failed three times; nothing was sent after its third attempt
    Cancelled,  // silent; the page in flight completed, no other page began, no finish
    Refused,    // after identify, nothing
    NothingSent
};

enum class Action { None, Interrupt, InterruptTwice, Terminate, ReplaceImage };
enum class ImageFile { Good, Missing, Directory };

// The moment of the action: the `count`-th logged request with function `fn` (and packet).
struct When {
    int fn = -1;
    std::optional<int> packet;
    int count = 1;
};

struct Scenario {
    const char* name;
    std::vector<std::string> sim;
    std::vector<std::string> cli;
    Result result;
    int exitStatus;
    std::optional<std::string> message;  // the last line on stderr; nullopt: no message at all
    int pagesProgrammed;
    Action action = Action::None;
    When when = {};
    ImageFile image = ImageFile::Good;
    // Echoes the trace must show read where the answer was awaited (after the echo's own
    // wait gave up), each followed at once by its answer.
    int lateEchoes = 0;
};

// Image: three pages and a trailer, so pages 1 and 2 are sent. Requests the device
// hears in a clean load: 1 identify, 2..25 page 1, 26 program 1, 27..50 page 2,
// 51 program 2, 52 finish.
const std::vector<Scenario>& Scenarios() {
    static const std::vector<Scenario> all = {
        {"CleanLoad", {}, {}, Result::Loaded, 0, std::nullopt, 2},
        {"OneLostAnswerRecovered", {"--fault", "none:fn=10:nth=30"}, {}, Result::Loaded, 0, std::nullopt, 2},
        {"TwoLostAnswersRecovered", {"--fault", "none:fn=10:nth=30:times=2"}, {}, Result::Loaded, 0, std::nullopt, 2},
        {"ThreeLostAnswers", {"--fault", "none:fn=10:nth=30:times=3"}, {}, Result::Failed, 1, lt::NoLink, 1},
        {"BusyOnceRecovered", {"--fault", "busy:fn=20:nth=1"}, {}, Result::Loaded, 0, std::nullopt, 2},
        {"BusyThreeTimes", {"--fault", "busy:fn=10:nth=30:times=3"}, {}, Result::Failed, 1, lt::DeviceBusy, 1},
        {"BadCheckByte", {"--fault", "badcheck:fn=10:nth=5:times=3"}, {}, Result::Failed, 1, ExchangeCheck, 0},
        {"ZeroHeader", {"--fault", "zeroheader:fn=10:nth=30:times=3"}, {}, Result::Failed, 1, ExchangeHeader, 1},
        {"ShortLengthByte", {"--fault", "shortlen:fn=10:nth=30:times=3"}, {}, Result::Failed, 1, lt::NoLink, 1},
        {"GapInsideAnswer", {"--fault", "gap:fn=10:nth=30:times=3", "--gap-ms", "300"}, {}, Result::Failed, 1,
         lt::ByteGap, 1},
        {"ShortGapsWithinByteTimeout", {"--fault", "gap:fn=10:nth=3:times=3", "--gap-ms", "120"}, {}, Result::Loaded,
         0, std::nullopt, 2},
        {"AnswerCutOff", {"--fault", "cut:fn=20:nth=2:times=3"}, {}, Result::Failed, 1, lt::ByteGap, 1},
        // Each of three packets' echo comes later than its 500 ms wait: the loader takes it
        // where it expected the answer, drops it and reads the answer behind it.
        {"LateEchoRecovered", {"--fault", "late-echo:fn=10:nth=3:times=3", "--late-echo-ms", "800"}, {},
         Result::Loaded, 0, std::nullopt, 2, Action::None, {}, ImageFile::Good, 3},
        // The answer comes where the echo belongs and nothing after it: the adapter has no
        // echo, said after one identify's three tries instead of waking for ever.
        {"NoEchoInMode2", {"--no-echo"}, {"--wake-timeout", "20"}, Result::Failed, 1, lt::NoEcho, 0},
        {"NoEchoInMode0", {"--no-echo"}, {"--line-mode", "0"}, Result::Loaded, 0, std::nullopt, 2},
        {"NoEchoFoundOut", {"--no-echo"}, {"--line-mode", "auto"}, Result::Loaded, 0, std::nullopt, 2},
        {"EchoInMode1", {}, {"--line-mode", "1", "--wake-timeout", "20"}, Result::Failed, 1, lt::UnexpectedEcho, 0},
        {"EchoFoundOut", {}, {"--line-mode", "auto"}, Result::Loaded, 0, std::nullopt, 2},
        {"WakesAfterManyAttempts", {"--ignore-identify", "20"}, {}, Result::Loaded, 0, std::nullopt, 2},
        {"SilentMidPageTwoAttempts", {"--silent", "10:2"}, {}, Result::Loaded, 0, std::nullopt, 2},
        {"SilentMidPageForLonger", {"--silent", "10:50"}, {}, Result::Failed, 1, lt::NoLink, 0},
        {"ProgramPageUnanswered", {"--fault", "none:fn=20:nth=1:times=3"}, {}, Result::Failed, 1, lt::NoLink, 0},
        // Finish failures are not reported: the load counts as done.
        {"FinishUnanswered", {"--fault", "none:fn=6:times=3"}, {}, Result::Loaded, 0, std::nullopt, 2},
        {"PortClosedMidPage", {"--fault", "hangup:fn=10:nth=8"}, {}, Result::Failed, 1, lt::NoLink, 0},
        {"WrongController", {"--id", "0x1D2E"}, {}, Result::Refused, 1, at::WrongController, 0},
        {"CtrlCWhileWaking", {"--ignore-identify", "1000000"}, {}, Result::Cancelled, ExitCancelled, std::nullopt, 0,
         Action::Interrupt, {1, std::nullopt, 4}},
        // Noticed only before the first page, after the identity and image tests.
        {"CtrlCDuringIdentifyAnswer", {"--fault", "gap:fn=1", "--gap-ms", "150"}, {}, Result::Cancelled,
         ExitCancelled, std::nullopt, 0, Action::Interrupt, {1, std::nullopt, 1}},
        {"CtrlCMidPage", {}, {}, Result::Cancelled, ExitCancelled, std::nullopt, 1, Action::Interrupt, {10, 5, 1}},
        {"SigtermMidPage", {}, {}, Result::Cancelled, ExitCancelled, std::nullopt, 1, Action::Terminate, {10, 12, 1}},
        // After the last page nothing polls the cancel flag any more.
        {"CtrlCDuringLastPage", {}, {}, Result::Loaded, 0, std::nullopt, 2, Action::Interrupt, {10, 5, 2}},
        {"CtrlCDuringFinish", {"--fault", "gap:fn=6", "--gap-ms", "150"}, {}, Result::Loaded, 0, std::nullopt, 2,
         Action::Interrupt, {6, std::nullopt, 1}},
        // The second Ctrl-C ends the program at once, in the middle of a slow page.
        {"SecondCtrlCEndsAtOnce", {"--turnaround", "60"}, {}, Result::Cancelled, ExitCancelled, std::nullopt, 0,
         Action::InterruptTwice, {10, 2, 1}},
        {"FileMissing", {}, {}, Result::NothingSent, 1, at::FileNotFound, 0, Action::None, {}, ImageFile::Missing},
        // A folder is no image: the same box as for a missing file, not a read error.
        {"FolderAsImage", {}, {}, Result::NothingSent, 1, at::FileNotFound, 0, Action::None, {}, ImageFile::Directory},
        // The image was read whole at the start: the original content goes out.
        {"FileReplacedWhileLoading", {}, {}, Result::Loaded, 0, std::nullopt, 2, Action::ReplaceImage, {10, 3, 1}},
    };
    return all;
}

std::string PatternImage(std::uint8_t seed) {
    std::string bytes(3 * app::FirmwareImage::PageSize, '\0');
    std::uint32_t x = 0x9E3779B9u * (seed + 1u);
    for (char& c : bytes) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = static_cast<char>(x & 0xFF);
    }
    return bytes + std::string("\x2D\x70\x07", 3);
}

// What the device must hold after a load of `image`: pages 1..N-1, head bytes first.
std::string ExpectedFlash(const std::string& image) {
    const std::size_t pages = image.size() / app::FirmwareImage::PageSize;
    std::string flash = image.substr(0, (pages - 1) * app::FirmwareImage::PageSize);
    flash.replace(0, 6, "\x11\x22\x33\x44\x55\x66");
    return flash;
}

bool Reached(const std::vector<SimRequest>& log, const When& when) {
    int seen = 0;
    for (const auto& r : log) {
        if (r.fn == when.fn && (!when.packet || r.packet == when.packet)) ++seen;
    }
    return seen >= when.count;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        // A terminal-style progress line rewritten with carriage returns: its last state.
        if (const auto cr = line.rfind('\r'); cr != std::string::npos) line = line.substr(cr + 1);
        if (!line.empty()) lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

bool IsSystemMessage(const std::string& line) {
    static const std::set<std::string> messages = {
        lt::NoLink, lt::ByteGap, ExchangeCheck, ExchangeHeader, lt::DeviceBusy, lt::NoEcho, lt::UnexpectedEcho,
        at::FileNotFound, at::WrongController, at::TypeMismatch, at::VersionMismatch, at::TooLong, LoadDone};
    return messages.count(line) != 0;
}

// Pages whose program request got a clean answer (the device may have programmed one more
// whose answer was damaged on the way).
int PagesProgrammed(const std::vector<SimRequest>& log) {
    std::set<long> pages;
    for (const auto& r : log) {
        if (r.fn == 20 && r.answer == "ok" && r.page) pages.insert(*r.page);
    }
    return static_cast<int>(pages.size());
}

// A trace line: milliseconds, direction, bytes.
struct TraceLine {
    long ms = 0;
    std::string direction;
    std::vector<int> bytes;
};

std::vector<TraceLine> ReadTrace(const fs::path& path) {
    std::vector<TraceLine> lines;
    std::istringstream in(ReadWholeFile(path));
    for (std::string text; std::getline(in, text);) {
        if (text.empty() || text.front() == '#') continue;
        std::istringstream fields(text);
        TraceLine line;
        fields >> line.ms >> line.direction;
        for (std::string hex; fields >> hex;) line.bytes.push_back(std::stoi(hex, nullptr, 16));
        lines.push_back(line);
    }
    return lines;
}

// Data packets whose echo came in after the packet's 500 ms answer time-out, marked as
// the echo and followed at once by the answer.
int LateEchoesAnswered(const std::vector<TraceLine>& trace) {
    constexpr long DataTimeoutMs = 500;
    int late = 0;
    for (std::size_t i = 0; i + 2 < trace.size(); ++i) {
        const TraceLine& tx = trace[i];
        const TraceLine& echo = trace[i + 1];
        const TraceLine& answer = trace[i + 2];
        const bool dataPacket = tx.direction == "TX" && tx.bytes.size() > 4 && tx.bytes[4] == 10;
        if (dataPacket && echo.direction == "ECHO" && echo.bytes == tx.bytes && echo.ms - tx.ms > DataTimeoutMs &&
            answer.direction == "RX" && answer.bytes.size() > 4 && answer.bytes[4] == 10)
            ++late;
    }
    return late;
}

bool HasFunction(const std::vector<SimRequest>& log, int fn) {
    return std::any_of(log.begin(), log.end(), [fn](const SimRequest& r) { return r.fn == fn; });
}

// gtest names each case after its scenario; print it the same way.
void PrintTo(const Scenario& s, std::ostream* os) { *os << s.name; }

class FaultMatrix : public ::testing::TestWithParam<Scenario> {
protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() / ("kx-fault-" + std::to_string(::getpid()) + "-" + GetParam().name);
        fs::remove_all(folder_);
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ec;
        if (!HasFailure()) fs::remove_all(folder_, ec);
        else std::fprintf(stderr, "scenario files kept in %s\n", folder_.c_str());
    }

    void Act(const Scenario& s, ChildProcess& cli, const fs::path& image, const std::string& replacement) {
        switch (s.action) {
            case Action::Interrupt: cli.Signal(SIGINT); break;
            case Action::Terminate: cli.Signal(SIGTERM); break;
            case Action::InterruptTwice:
                cli.SignalAndWaitTaken(SIGINT, std::chrono::seconds(10));
                secondSignal_ = std::chrono::steady_clock::now();
                cli.Signal(SIGINT);
                break;
            case Action::ReplaceImage: WriteWholeFile(image, replacement); break;
            case Action::None: break;
        }
    }

    void CheckWire(const Scenario& s, const std::vector<SimRequest>& log, const std::string& original,
                   const SimRun& sim) {
        EXPECT_EQ(PagesProgrammed(log), s.pagesProgrammed);
        switch (s.result) {
            case Result::Loaded:
                ASSERT_FALSE(log.empty());
                EXPECT_EQ(log.back().fn, 6) << "the load must end with finish";
                EXPECT_TRUE(sim.Flash() == ExpectedFlash(original)) << "the device does not hold pages 1 to N-1";
                break;
            case Result::Failed: {
                ASSERT_GE(log.size(), 1u);
                EXPECT_FALSE(HasFunction(log, 6)) << "finish sent after a failure";
                if (log.back().answer == "hangup") break;  // the retries went into a closed pty
                ASSERT_GE(log.size(), 3u);
                const auto n = log.size();
                // The failing request's three attempts are the last thing on the wire.
                EXPECT_EQ(log[n - 1].raw, log[n - 2].raw);
                EXPECT_EQ(log[n - 1].raw, log[n - 3].raw);
                break;
            }
            case Result::Cancelled:
                EXPECT_FALSE(HasFunction(log, 6)) << "finish sent after a cancel";
                if (s.action == Action::InterruptTwice) {
                    EXPECT_TRUE(HasFunction(log, 10)) << "the second Ctrl-C came before any page";
                } else if (!log.empty()) {
                    EXPECT_NE(log.back().fn, 10) << "a page was left half sent";
                }
                break;
            case Result::Refused:
                for (const auto& r : log) EXPECT_EQ(r.fn, 1) << "a request followed the refusal";
                break;
            case Result::NothingSent: EXPECT_TRUE(log.empty()); break;
        }
    }

    fs::path folder_;
    std::optional<SteadyTime> secondSignal_;
};

std::string Sim() { return KX_SIM_PATH; }
std::string Cli() { return KX_CLI_PATH; }

TEST_P(FaultMatrix, EndsAsExpectedAndHarmsNothing) {
    const Scenario& s = GetParam();
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + HardLimit;
    const fs::path image = folder_ / "firmware.rom";
    const fs::path settings = folder_ / "kxboot.ini";
    const std::string original = PatternImage(1);
    const std::string replacement = PatternImage(2);
    const std::string settingsText = " \r\n[Common]\r\nFN=/somewhere/else.rom\r\n[RS232]\r\nPort=/dev/null-port\r\n";
    if (s.image == ImageFile::Good) WriteWholeFile(image, original);
    if (s.image == ImageFile::Directory) fs::create_directory(image);
    WriteWholeFile(settings, settingsText);

    // The port by a name of this scenario's own, and lock files in its own folder. The
    // pty's number is the machine's, handed to the next pty made as soon as it is free:
    // a loader that reopens a hung-up port by that number would reach another test's
    // line, and another loader's lock file for it would make this one's port busy.
    const fs::path port = folder_ / "port";
    const fs::path locks = folder_ / "locks";
    fs::create_directory(locks);
    std::vector<std::string> simOptions = {"--link", port.string()};
    simOptions.insert(simOptions.end(), s.sim.begin(), s.sim.end());
    SimRun sim(Sim(), folder_, simOptions, deadline);
    std::vector<std::string> argv = {"/usr/bin/env", "KXBOOT_LOCK_DIR=" + locks.string(), Cli(), "load",
                                     image.string(), "--port", port.string(), "--settings", settings.string()};
    argv.insert(argv.end(), s.cli.begin(), s.cli.end());
    const fs::path trace = folder_ / "trace.txt";
    if (s.lateEchoes > 0) argv.insert(argv.end(), {"--trace", trace.string()});
    ChildProcess cli(argv);

    if (s.action != Action::None) {
        const bool reached = PollUntil({&cli, &sim.Process()}, deadline,
                                       [&] { return cli.Exited() || Reached(sim.Requests(), s.when); });
        ASSERT_TRUE(reached && !cli.Exited()) << "the loader ended before the action: " << cli.Err();
        Act(s, cli, image, replacement);
    }
    const bool ended = PollUntil({&cli, &sim.Process()}, deadline, [&] { return cli.Exited(); });
    ASSERT_TRUE(ended) << "kxboot-cli still running after " << HardLimit.count() << " s; stderr:\n" << cli.Err();
    if (secondSignal_) {
        EXPECT_LT(cli.ExitTime() - *secondSignal_, 1s) << "the second Ctrl-C did not end it at once";
    }

    EXPECT_EQ(cli.ExitStatus(), s.exitStatus) << cli.Err();
    EXPECT_EQ(cli.Out(), s.result == Result::Loaded ? LoadDone + "\n" : "");
    const auto lines = Lines(cli.Err());
    if (s.message) {
        ASSERT_FALSE(lines.empty());
        EXPECT_EQ(lines.back(), *s.message);
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), IsSystemMessage), 1) << cli.Err();
        // An adapter at odds with the line mode: the option that mends it comes just before.
        if (*s.message == lt::NoEcho || *s.message == lt::UnexpectedEcho) {
            ASSERT_GE(lines.size(), 2u);
            EXPECT_NE(lines[lines.size() - 2].find("--line-mode auto"), std::string::npos) << cli.Err();
        }
    } else {
        EXPECT_EQ(std::count_if(lines.begin(), lines.end(), IsSystemMessage), 0) << cli.Err();
    }

    // Let the simulator write what it still has before reading its log.
    sim.Process().CloseIn();
    PollUntil({&sim.Process()}, std::chrono::steady_clock::now() + 5s, [&] { return sim.Process().Exited(); });
    CheckWire(s, sim.Requests(), original, sim);
    if (s.image == ImageFile::Good) {
        EXPECT_TRUE(ReadWholeFile(image) == (s.action == Action::ReplaceImage ? replacement : original))
            << "the image file changed";
    }
    EXPECT_EQ(ReadWholeFile(settings), settingsText) << "the settings file changed";
    if (s.lateEchoes > 0) {
        EXPECT_GE(LateEchoesAnswered(ReadTrace(trace)), s.lateEchoes) << ReadWholeFile(trace);
    }
}

INSTANTIATE_TEST_SUITE_P(Scenarios, FaultMatrix, ::testing::ValuesIn(Scenarios()),
                         [](const auto& param) { return std::string(param.param.name); });

}  // namespace
}  // namespace kx::test
