// Boards behind Ethernet serial servers: kxboot-cli loads kxboot-sim's pseudo-terminal
// through a real ser2net, over RFC 2217 and over a raw TCP stream, and copes with the
// server going away and coming late.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <regex>
#include <thread>

#include "tests/app/TempDir.h"
#include "tests/cli/CliSupport.h"
#include "tests/net/Ser2net.h"
#include "tests/support/ChildProcess.h"

namespace kx::test {
namespace {

using Seconds = ChildProcess::Seconds;
using Kind = Ser2net::Kind;

constexpr const char* HeadText = "0A1B2C3D4E5F";
const Bytes Head{0x0A, 0x1B, 0x2C, 0x3D, 0x4E, 0x5F};
constexpr const char* Done = "Загрузка окончена.\n";
constexpr const char* Waking = "Включите МК...";
constexpr const char* NoLink = "RS232. Нет связи. Проверьте правильность соединения PC и устройства.";
constexpr const char* WrongChip = "В устройстве неверный микроконтроллер.";

// Telnet's escape byte in every position a frame can put it: runs of it, alone, and
// pages of it, so that a byte doubled or undoubled once too often or too seldom shows.
Bytes IacRichImage(std::size_t pages) {
    Bytes image = Image(pages * Page);
    for (std::size_t i = 0; i < image.size(); ++i)
        if (i % 7 == 0 || (i / 128) % 5 == 2 || i % 128 >= 126) image[i] = 0xFF;
    return WithTrailer(std::move(image), 0x2D, 0x70);
}

// One simulated board: the pty the server (or the loader) opens, its log and flash.
struct Board {
    std::string tty, log, flash;
    std::size_t Requests(int fn) const { return CountFunction(ReadLog(log), fn); }
    // Pages 1..N-1 of `image`, the head bytes in front, and the load finished once.
    void ExpectLoaded(const Bytes& image) const {
        Bytes expected(image.begin(), image.begin() + static_cast<std::ptrdiff_t>((image.size() / Page - 1) * Page));
        std::copy(Head.begin(), Head.end(), expected.begin());
        const std::string text = ReadAll(flash);
        const Bytes flashed(text.begin(), text.end());
        ASSERT_GE(flashed.size(), expected.size()) << tty;
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), flashed.begin())) << tty;
        EXPECT_EQ(Requests(6), 1u) << tty;
    }
    // Waits (without asserting on time) until the board has taken `count` pages.
    bool Programmed(std::size_t count) const {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (Requests(20) < count)
            if (std::chrono::steady_clock::now() > deadline) return false;
            else std::this_thread::sleep_for(std::chrono::milliseconds(5));
        return true;
    }
};

class NetPortsTest : public ::testing::Test {
protected:
    ~NetPortsTest() override {
        for (auto& server : servers) server->Kill();
        if (sim) {
            sim->CloseIn();
            sim->Wait(Seconds(5));
        }
    }

    // A simulator serving `count` boards; `extra` adds its options.
    std::vector<Board> StartSim(int count, std::vector<std::string> extra = {}) {
        std::vector<std::string> argv{KXBOOT_SIM, "--link", dir.File("tty"), "--log", dir.File("log"), "--flash",
                                      dir.File("flash"), "--head", HeadText, "--ports", std::to_string(count)};
        argv.insert(argv.end(), extra.begin(), extra.end());
        sim = std::make_unique<ChildProcess>(argv);
        std::vector<Board> boards;
        for (int k = 1; k <= count; ++k) {
            const std::string suffix = count == 1 ? "" : "." + std::to_string(k);
            boards.push_back({dir.File("tty" + suffix), dir.File("log" + suffix), dir.File("flash" + suffix)});
        }
        // It prints the terminals' paths once every link is in place.
        EXPECT_TRUE(sim->WaitForOut("\n", Seconds(10))) << sim->Err();
        return boards;
    }

    // A server in front of `board`, not started yet.
    Ser2net& Server(Kind kind, const Board& board) {
        const std::string config = dir.File("ser2net" + std::to_string(servers.size()) + ".yaml");
        servers.push_back(std::make_unique<Ser2net>(config, std::vector<Ser2net::Served>{{kind, board.tty, FreeTcpPort()}}));
        return *servers.back();
    }

    std::string ImageFile(const Bytes& bytes) {
        const std::string path = dir.File("image.rom");
        WriteAll(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }

    static std::vector<std::string> LoadArgs(const std::string& image, const std::vector<std::string>& ports) {
        std::vector<std::string> argv{KXBOOT_CLI, "load", image, "--wake-timeout", "60"};
        for (const auto& port : ports) argv.insert(argv.end(), {"--port", port});
        return argv;
    }

    TempDir dir;
    std::unique_ptr<ChildProcess> sim;
    std::vector<std::unique_ptr<Ser2net>> servers;
};

struct Through {
    const char* name;
    Kind kind;
    const char* scheme;                 // as the user writes it
    std::vector<std::string> simArgs;
    std::vector<std::string> cliArgs;
    int status;
    const char* lastLine;               // of stderr; nullptr: loaded
};

void PrintTo(const Through& c, std::ostream* out) { *out << c.name; }

class NetPortsThroughTest : public NetPortsTest, public ::testing::WithParamInterface<Through> {};

TEST_P(NetPortsThroughTest, LoadsByteForByteOrRefusesWithTheSameText) {
    const Through& c = GetParam();
    const Board board = StartSim(1, c.simArgs).front();
    Ser2net& server = Server(c.kind, board);
    ASSERT_TRUE(server.Start()) << server.Output();
    const Bytes image = IacRichImage(5);
    const std::string url = server.Url(0, c.scheme);

    std::vector<std::string> argv = LoadArgs(ImageFile(image), {url});
    argv.insert(argv.end(), c.cliArgs.begin(), c.cliArgs.end());
    const RunResult r = kx::test::Run(argv, Seconds(90));
    ASSERT_TRUE(r.status.has_value()) << r.err;
    EXPECT_EQ(*r.status, c.status) << r.err;
    const auto err = Lines(r.err);
    ASSERT_FALSE(err.empty());
    EXPECT_EQ(err.front(), "Порт: " + url);
    if (c.lastLine != nullptr) {
        EXPECT_EQ(err.back(), c.lastLine);
        EXPECT_EQ(board.Requests(10), 0u);   // nothing sent after the identity
    } else {
        EXPECT_EQ(r.out, Done);
        board.ExpectLoaded(image);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, NetPortsThroughTest,
    ::testing::Values(Through{"Rfc2217", Kind::Rfc2217, "rfc2217", {}, {}, 0, nullptr},
                      Through{"Tcp", Kind::Raw, "tcp", {}, {}, 0, nullptr},
                      Through{"Socket", Kind::Raw, "socket", {}, {}, 0, nullptr},
                      Through{"Rfc2217Rs232", Kind::Rfc2217, "rfc2217", {"--no-echo"}, {"--line-mode", "0"}, 0, nullptr},
                      Through{"Rfc2217Refused", Kind::Rfc2217, "rfc2217", {"--id", "0x1D2E"}, {}, 1, WrongChip},
                      Through{"TcpRefused", Kind::Raw, "tcp", {"--id", "0x1D2E"}, {}, 1, WrongChip}),
    [](const auto& kind) { return std::string(kind.param.name); });

TEST_F(NetPortsTest, AServerKilledDuringTheLoadEndsItWithTheLinksText) {
    const Board board = StartSim(1).front();
    Ser2net& server = Server(Kind::Rfc2217, board);
    ASSERT_TRUE(server.Start()) << server.Output();
    ChildProcess cli(LoadArgs(ImageFile(IacRichImage(20)), {server.Url(0)}));
    // Killed once the second page is in: in the middle of the load.
    ASSERT_TRUE(board.Programmed(2)) << cli.Err();
    server.Kill();
    const auto killed = std::chrono::steady_clock::now();

    const auto status = cli.Wait(Seconds(30));
    ASSERT_TRUE(status.has_value()) << "still waiting after the server went away:\n" << cli.Err();
    EXPECT_EQ(*status, 1);
    EXPECT_EQ(Lines(cli.Err()).back(), NoLink);
    EXPECT_EQ(cli.Out(), "");
    // Three attempts of one request, each within its answer time-out, and no more.
    EXPECT_LT(cli.ExitTime() - killed, std::chrono::seconds(15));
    EXPECT_EQ(board.Requests(6), 0u);
}

TEST_F(NetPortsTest, AServerThatStartsAfterTheLoadBeganIsConnectedByTheWakeLoop) {
    const Board board = StartSim(1).front();
    Ser2net& server = Server(Kind::Rfc2217, board);
    const Bytes image = IacRichImage(3);
    ChildProcess cli(LoadArgs(ImageFile(image), {server.Url(0)}));
    // The loader is waiting for a board it cannot reach yet.
    ASSERT_TRUE(cli.WaitForErr(Waking, Seconds(20))) << cli.Err();
    cli.Poll();
    ASSERT_FALSE(cli.Exited()) << cli.Err();
    ASSERT_TRUE(server.Start()) << server.Output();

    const auto status = cli.Wait(Seconds(60));
    ASSERT_TRUE(status.has_value()) << cli.Err();
    EXPECT_EQ(*status, 0) << cli.Err();
    EXPECT_EQ(cli.Out(), Done);
    board.ExpectLoaded(image);
}

TEST_F(NetPortsTest, TwoServersAndALocalPortAtOnce) {
    const std::vector<Board> boards = StartSim(3);
    Ser2net& first = Server(Kind::Rfc2217, boards[0]);
    Ser2net& second = Server(Kind::Raw, boards[1]);
    ASSERT_TRUE(first.Start()) << first.Output();
    ASSERT_TRUE(second.Start()) << second.Output();
    const Bytes image = IacRichImage(4);
    const std::string report = dir.File("loads.jsonl");
    std::vector<std::string> argv = LoadArgs(ImageFile(image), {first.Url(0), second.Url(0), boards[2].tty});
    argv.insert(argv.end(), {"--report", report});

    const RunResult r = kx::test::Run(argv, Seconds(120));
    ASSERT_TRUE(r.status.has_value()) << r.err;
    EXPECT_EQ(*r.status, 0) << r.err;
    for (const Board& board : boards) board.ExpectLoaded(image);
    // One summary line and one report record per port, each under the name it was given.
    std::map<std::string, std::string> outcomes;
    const std::regex record(R"re("port":"([^"]*)".*"outcome":"([^"]*)")re");
    for (const auto& line : Lines(ReadAll(report))) {
        std::smatch m;
        if (std::regex_search(line, m, record)) outcomes[m[1]] = m[2];
    }
    const std::map<std::string, std::string> expected{
        {first.Url(0), "loaded"}, {second.Url(0), "loaded"}, {boards[2].tty, "loaded"}};
    EXPECT_EQ(outcomes, expected);
    for (const auto& port : {first.Url(0), second.Url(0), boards[2].tty})
        EXPECT_NE(r.out.find(port + ": "), std::string::npos) << r.out;
}

}  // namespace
}  // namespace kx::test
