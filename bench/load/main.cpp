// kxbench: how fast and how lean a firmware load is, against the line's own limit.
// Runs kxboot-cli against kxboot-sim on a pty (paced like a real 19200 bit/s line, and
// unpaced), optionally the desktop program, and prints one table: each figure, its goal,
// and the command that reproduces it.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "bench/load/BenchProcess.h"
#include "bench/load/Wire.h"

namespace kx::bench {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr std::size_t PageSize = 3072;
constexpr double Baud = 19200;
constexpr double TurnaroundMs = 1;
constexpr double ProgramMs = 25;

struct Options {
    std::string sim, cli, gui;
    std::string winGui;   // kxboot.exe, run under Wine on a virtual screen
    fs::path winePrefix;  // the Wine prefix it runs in
    std::string ser2net;  // the Ethernet serial server the network row runs through
    fs::path work = "build/bench";
    std::string markdown;  // also write the table here
    std::string only;      // one part of the table: paced, latency, boards, network, unpaced, gui, wingui
    bool Runs(const std::string& part) const { return only.empty() || only == part; }
};

Options Parse(int argc, char** argv) {
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string key = argv[i], value = argv[i + 1];
        if (key == "--sim") o.sim = value;
        else if (key == "--cli") o.cli = value;
        else if (key == "--gui") o.gui = value;
        else if (key == "--win-gui") o.winGui = value;
        else if (key == "--wine-prefix") o.winePrefix = value;
        else if (key == "--work") o.work = value;
        else if (key == "--markdown") o.markdown = value;
        else if (key == "--ser2net") o.ser2net = value;
        else if (key == "--only") o.only = value;
        else throw std::invalid_argument("unknown option " + key);
    }
    if (o.sim.empty() || o.cli.empty()) throw std::invalid_argument("usage: kxbench --sim PATH --cli PATH [--gui PATH] [--win-gui PATH --wine-prefix DIR] [--ser2net PATH] [--only PART] [--work DIR] [--markdown FILE]");
    return o;
}

// Deterministic content: `pages` whole pages, then a trailer that the default device accepts.
void MakeImage(const fs::path& path, std::size_t pages, bool trailer) {
    std::string bytes(pages * PageSize, '\0');
    std::uint32_t x = 0x2545F491u;
    for (char& c : bytes) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        c = static_cast<char>(x);
    }
    if (trailer) bytes += std::string("\x2D\x70\x00", 3);
    std::ofstream(path, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

void MakeSparse(const fs::path& path, std::uint64_t size) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0 || ::ftruncate(fd, static_cast<off_t>(size)) != 0) throw std::runtime_error("cannot make " + path.string());
    ::close(fd);
}

// A simulator serving on a pty reached through a fixed symbolic link (with `ports` > 1,
// one link per port: port.1, port.2, ...).
class Sim {
public:
    Sim(const Options& o, const std::vector<std::string>& extra, const fs::path& log,
        const std::vector<std::string>& prefix = {}, int ports = 1)
        : ports_(ports) {
        port_ = (o.work / "port").string();
        argv_ = prefix;
        for (const std::string& a : {o.sim, std::string("--until-killed"), std::string("--link"), port_,
                                     std::string("--log"), log.string()})
            argv_.push_back(a);
        argv_.insert(argv_.end(), extra.begin(), extra.end());
        if (ports > 1) argv_.insert(argv_.end(), {"--ports", std::to_string(ports)});
        process_.emplace(argv_, (o.work / "sim.out").string(), (o.work / "sim.err").string());
        const auto deadline = Clock::now() + 10s;
        while (!fs::exists(Port(ports))) {
            if (Clock::now() > deadline) throw std::runtime_error("kxboot-sim did not start");
            std::this_thread::sleep_for(5ms);
        }
    }
    ~Sim() {
        process_->Signal(SIGTERM);
        process_->Wait(Clock::now() + 5s);
    }
    const std::string& Port() const { return port_; }
    // Port k (1-based) of several.
    std::string Port(int k) const { return ports_ == 1 ? port_ : port_ + "." + std::to_string(k); }
    std::string Command() const { return ShellLine(argv_) + " &"; }

private:
    int ports_;
    std::string port_;
    std::vector<std::string> argv_;
    std::optional<BenchProcess> process_;
};

struct Row {
    std::string figure, measured, goal, met, command;
};

std::string Fixed(double v, int digits, const std::string& unit = "") {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", digits, v);
    return std::string(buffer) + unit;
}

std::string Met(bool ok) { return ok ? "yes" : "**no**"; }

std::string MiB(long kib) { return Fixed(static_cast<double>(kib) / 1024.0, 2, " MiB"); }

struct Load {
    Usage usage;
    std::string command;
    std::string err;
};

Load RunLoad(const Options& o, const Sim& sim, const fs::path& image, const std::vector<std::string>& extra,
             std::chrono::seconds limit, const std::vector<std::string>& prefix = {}, const std::string& port = {}) {
    std::vector<std::string> argv = prefix;
    for (const std::string& a : {o.cli, std::string("load"), image.string(), std::string("--port"),
                                 port.empty() ? sim.Port() : port,
                                 std::string("--settings"), (o.work / "bench.ini").string()})
        argv.push_back(a);
    argv.insert(argv.end(), extra.begin(), extra.end());
    const std::string errPath = (o.work / "cli.err").string();
    BenchProcess cli(argv, (o.work / "cli.out").string(), errPath);
    Load load{cli.Wait(Clock::now() + limit), sim.Command() + " " + ShellLine(argv), ""};
    load.err = ReadText(errPath);
    return load;
}

void Require(bool ok, const std::string& what, const Load& load) {
    if (!ok) throw std::runtime_error(what + " (exit " + std::to_string(load.usage.exitStatus) + "): " + load.err);
}

LineModel PacedLine() {
    LineModel line;
    line.baud = Baud;
    line.turnaroundMs = TurnaroundMs;
    line.programMs = ProgramMs;
    return line;
}

void Paced(const Options& o, std::vector<Row>& rows, std::vector<std::string>& commands) {
    const fs::path log = o.work / "paced.log", trace = o.work / "paced.trace";
    Sim sim(o, {"--baud", "19200", "--turnaround", Fixed(TurnaroundMs, 0), "--program-ms", Fixed(ProgramMs, 0)}, log);
    const Load load = RunLoad(o, sim, o.work / "image22.rom", {"--trace", trace.string()}, 600s);
    Require(load.usage.exitStatus == 0, "the paced load failed", load);
    const LowerBound bound = ComputeLowerBound(ParseTrace(ReadText(trace.string())), PacedLine());
    const double ratio = load.usage.wallSeconds / bound.seconds;
    const double cpu = load.usage.cpuSeconds / load.usage.wallSeconds;
    commands.push_back(load.command);
    const std::string ref = "[" + std::to_string(commands.size()) + "]";
    rows.push_back({"Paced load, 22 pages + trailer, 19200 bit/s, mode 2: wall time", Fixed(load.usage.wallSeconds, 2, " s"), "", "", ref});
    rows.push_back({"Lower bound: " + std::to_string(bound.bytesOnWire) + " bytes at 11 bits, " + std::to_string(bound.transactions) +
                        " × 20 ms, turnaround " + Fixed(TurnaroundMs, 0) + " ms, programming " + Fixed(ProgramMs, 0) + " ms" +
                        (bound.retries ? ", " + std::to_string(bound.retries) + " retries" : ""),
                    Fixed(bound.seconds, 2, " s"), "", "", ref});
    rows.push_back({"Wall time / lower bound", Fixed(ratio, 4), "≤ 1.02", Met(ratio <= 1.02), ref});
    rows.push_back({"CPU (user + system) / wall time", Fixed(100 * cpu, 2, " %") + " (" + Fixed(load.usage.cpuSeconds, 3, " s") + ")",
                    "≤ 1 %", Met(cpu <= 0.01), ref});
    rows.push_back({"Peak resident memory, paced load", MiB(load.usage.peakRssKiB), "≤ 8 MiB", Met(load.usage.peakRssKiB <= 8192), ref});
}

// The paced load as a USB adapter delivers it: what the PC receives waits in the adapter
// until a 62-byte packet fills or its latency timer runs out (the simulator's model), for
// the common chips' default of 16 ms and for 1 ms, beside the same load straight on the
// pty in the same run. Every exchange waits for its echo and then its answer, so the
// timer is paid up to twice an exchange, which a pty never shows. Where it can, it runs
// both programs at real-time priority: the difference sought is a few milliseconds an
// exchange, which the other processes of a busy machine would hide.
void Latency(const Options& o, std::vector<Row>& rows, std::vector<std::string>& commands) {
    const bool realTime = ::geteuid() == 0 && fs::exists("/usr/bin/chrt");
    const std::vector<std::string> prefix =
        realTime ? std::vector<std::string>{"/usr/bin/chrt", "-f", "50"} : std::vector<std::string>{};
    double straight = 0;
    for (const int timer : {0, 16, 1}) {
        const std::string name = "latency" + std::to_string(timer);
        const fs::path log = o.work / (name + ".log"), trace = o.work / (name + ".trace");
        std::vector<std::string> extra = {"--baud", "19200", "--turnaround", Fixed(TurnaroundMs, 0), "--program-ms",
                                          Fixed(ProgramMs, 0)};
        if (timer > 0) extra.insert(extra.end(), {"--latency-timer", std::to_string(timer)});
        Sim sim(o, extra, log, prefix);
        const Load load = RunLoad(o, sim, o.work / "image22.rom", {"--trace", trace.string()}, 600s, prefix);
        Require(load.usage.exitStatus == 0, "the paced load with latency timer " + std::to_string(timer) + " failed", load);
        const LowerBound bound = ComputeLowerBound(ParseTrace(ReadText(trace.string())), PacedLine());
        std::size_t pages = 0;
        for (const auto& request : sim::ParseRequestLog(ReadText(log.string())))
            if (request.fn == 20 && request.answered) ++pages;
        if (pages == 0) throw std::runtime_error("no page programmed in " + log.string());
        const double wall = load.usage.wallSeconds;
        if (timer == 0) straight = wall;
        commands.push_back(load.command);
        const std::string through = timer == 0 ? "straight on the pty (no adapter)"
                                               : "through a USB adapter's " + std::to_string(timer) + " ms latency timer (simulated)";
        rows.push_back({"Paced load " + through + (realTime ? ", both programs at real-time priority" : "") +
                            ", 22 pages + trailer: wall time; per page (of " + std::to_string(pages) +
                            "); / lower bound; added per exchange (of " + std::to_string(bound.transactions) + ")" +
                            (timer == 0 ? "" : "; / the load straight on the pty"),
                        Fixed(wall, 2, " s") + "; " + Fixed(wall / static_cast<double>(pages), 3, " s") + "; " +
                            Fixed(wall / bound.seconds, 3, "×") + "; " +
                            Fixed(1000 * (wall - bound.seconds) / static_cast<double>(bound.transactions), 1, " ms") +
                            (timer == 0 ? "" : "; " + Fixed(wall / straight, 3, "×")),
                        "", "", "[" + std::to_string(commands.size()) + "]"});
    }
}

// N boards loaded at once by one kxboot-cli, each on its own simulated port paced at
// 19200 bit/s; the simulator serves all eight ports from the start.
Load LoadBoards(const Options& o, const Sim& sim, int boards) {
    std::vector<std::string> argv = {o.cli, "load", (o.work / "image22.rom").string(), "--settings",
                                     (o.work / "bench.ini").string()};
    for (int k = 1; k <= boards; ++k) argv.insert(argv.end(), {"--port", sim.Port(k)});
    const std::string errPath = (o.work / "boards.err").string();
    BenchProcess cli(argv, (o.work / "boards.out").string(), errPath);
    Load load{cli.Wait(Clock::now() + 600s), sim.Command() + " " + ShellLine(argv), ReadText(errPath)};
    Require(load.usage.exitStatus == 0, "the load of " + std::to_string(boards) + " boards failed", load);
    return load;
}

void SeveralBoards(const Options& o, std::vector<Row>& rows, std::vector<std::string>& commands) {
    constexpr int MostBoards = 8;
    Sim sim(o, {"--baud", "19200", "--turnaround", Fixed(TurnaroundMs, 0), "--program-ms", Fixed(ProgramMs, 0)},
            o.work / "boards.log", {}, MostBoards);
    double oneWall = 0;
    Load most;
    for (const int boards : {1, 2, 4, 8}) {
        const Load load = LoadBoards(o, sim, boards);
        const double cpuPerBoard = load.usage.cpuSeconds / load.usage.wallSeconds / boards;
        if (boards == 1) oneWall = load.usage.wallSeconds;
        commands.push_back(load.command);
        rows.push_back({std::to_string(boards) + (boards == 1 ? " board" : " boards") +
                            " at once, paced, 22 pages + trailer each: wall time; CPU per board; peak memory",
                        Fixed(load.usage.wallSeconds, 2, " s") + " (" + Fixed(load.usage.wallSeconds / oneWall, 4, "×") +
                            "); " + Fixed(100 * cpuPerBoard, 3, " %") + "; " + MiB(load.usage.peakRssKiB),
                        "", "", "[" + std::to_string(commands.size()) + "]"});
        most = load;
    }
    const std::string ref = "[" + std::to_string(commands.size()) + "]";
    const double ratio = most.usage.wallSeconds / oneWall;
    const double cpu = most.usage.cpuSeconds / most.usage.wallSeconds / MostBoards;
    const long budget = 8192 + 1024 * MostBoards;
    rows.push_back({"8 boards at once / 1 board: wall time", Fixed(ratio, 4), "≤ 1.03", Met(ratio <= 1.03), ref});
    rows.push_back({"8 boards at once: CPU (user + system) per board / wall time", Fixed(100 * cpu, 3, " %"), "≤ 1 %",
                    Met(cpu <= 0.01), ref});
    rows.push_back({"8 boards at once: peak resident memory of the run", MiB(most.usage.peakRssKiB),
                    "≤ " + MiB(budget), Met(most.usage.peakRssKiB <= budget), ref});
}

// A TCP port of 127.0.0.1 that nothing listens on just now (0 when none is found).
std::uint16_t FreeTcpPort() {
    const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    const bool ok = ::bind(s, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
                    ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &size) == 0;
    ::close(s);
    return ok ? ntohs(address.sin_port) : 0;
}

bool Accepting(std::uint16_t port, Clock::time_point deadline) {
    for (; Clock::now() < deadline; std::this_thread::sleep_for(10ms)) {
        const int s = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
        ::close(s);
        if (ok) return true;
    }
    return false;
}

// From the first request the simulator logged after the `skip` first ones to the last, in ms.
double RequestSpanMs(const fs::path& log, std::size_t skip) {
    const std::vector<sim::LoggedRequest> requests = sim::ParseRequestLog(ReadText(log.string()));
    if (requests.size() < skip + 2) throw std::runtime_error("too few requests in " + log.string());
    return requests.back().t - requests[skip].t;
}

// The paced load through ser2net (RFC 2217, packet delays off) in front of the simulator,
// beside the same load straight on its pty, in the same run.
void Network(const Options& o, std::vector<Row>& rows, std::vector<std::string>& commands) {
    const fs::path log = o.work / "net.log", config = o.work / "ser2net.yaml";
    Sim sim(o, {"--baud", "19200", "--turnaround", Fixed(TurnaroundMs, 0), "--program-ms", Fixed(ProgramMs, 0)}, log);
    const Load direct = RunLoad(o, sim, o.work / "image22.rom", {}, 600s);
    Require(direct.usage.exitStatus == 0, "the paced load straight on the pty failed", direct);
    const double directSpan = RequestSpanMs(log, 0);
    const std::size_t before = sim::ParseRequestLog(ReadText(log.string())).size();

    const std::uint16_t port = FreeTcpPort();
    std::ofstream(config, std::ios::trunc) << "connection: &bench\n  accepter: telnet(rfc2217),tcp,127.0.0.1," << port
                                           << "\n  connector: serialdev," << fs::canonical(sim.Port()).string()
                                           << ",local\n  options:\n    chardelay: false\n";
    const std::vector<std::string> serverArgv = {o.ser2net, "-c", config.string(), "-n", "-u"};
    BenchProcess server(serverArgv, (o.work / "ser2net.out").string(), (o.work / "ser2net.err").string());
    if (!Accepting(port, Clock::now() + 10s)) throw std::runtime_error("ser2net did not start: " + ReadText((o.work / "ser2net.err").string()));
    const std::string url = "rfc2217://127.0.0.1:" + std::to_string(port);
    const Load net = RunLoad(o, sim, o.work / "image22.rom", {}, 600s, {}, url);
    server.Signal(SIGTERM);
    server.Wait(Clock::now() + 5s);
    Require(net.usage.exitStatus == 0, "the paced load through ser2net failed", net);
    const double netSpan = RequestSpanMs(log, before);

    commands.push_back(direct.command);
    const std::string refDirect = "[" + std::to_string(commands.size()) + "]";
    // The simulator, then the server in front of it, then the loader.
    const std::string simPart = sim.Command() + " ";
    commands.push_back(simPart + ShellLine(serverArgv) + " & " + net.command.substr(simPart.size()) +
                       "   # the server's config in " + config.string());
    const std::string ref = refDirect + " [" + std::to_string(commands.size()) + "]";
    const double ratio = netSpan / directSpan;
    const double setUp = (net.usage.wallSeconds - netSpan / 1000) - (direct.usage.wallSeconds - directSpan / 1000);
    rows.push_back({"Paced load, 22 pages + trailer, 19200 bit/s, through ser2net (RFC 2217) / straight on the pty: wall time",
                    Fixed(net.usage.wallSeconds, 2, " s") + " / " + Fixed(direct.usage.wallSeconds, 2, " s"), "", "", ref});
    rows.push_back({"Through ser2net / straight, first request to last (the connection set-up left out)", Fixed(ratio, 4),
                    "≤ 1.02", Met(ratio <= 1.02), ref});
    rows.push_back({"Through ser2net: connection set-up (wall time before the first request, over the straight load's)",
                    Fixed(1000 * setUp, 0, " ms"), "", "", ref});
}

void Unpaced(const Options& o, std::vector<Row>& rows, std::vector<std::string>& commands) {
    const fs::path log = o.work / "unpaced.log";
    long rss22 = 0, rss2 = 0, rssSparse = 0;
    std::string ref22;
    {
        Sim sim(o, {}, log);
        const Load load = RunLoad(o, sim, o.work / "image22.rom", {}, 300s);
        Require(load.usage.exitStatus == 0, "the unpaced load failed", load);
        const std::vector<double> costs = ExchangeCostsMs(sim::ParseRequestLog(ReadText(log.string())), 20);
        const double median = Percentile(costs, 0.5), p99 = Percentile(costs, 0.99);
        commands.push_back(load.command);
        const std::string ref = "[" + std::to_string(commands.size()) + "]";
        rows.push_back({"Unpaced: cost per exchange (request to next request less 20 ms), median of " + std::to_string(costs.size()),
                        Fixed(median, 3, " ms"), "", "", ref});
        rows.push_back({"Unpaced: cost per exchange, 99th percentile", Fixed(p99, 3, " ms"), "≤ 0.5 ms", Met(p99 <= 0.5), ref});
        rows.push_back({"Unpaced: wall time of the load", Fixed(load.usage.wallSeconds, 2, " s"), "", "", ref});
        rss22 = load.usage.peakRssKiB;
        ref22 = ref;
    }
    if (::geteuid() == 0 && fs::exists("/usr/bin/chrt")) {
        // Diagnosis: the same with both programs above every other process of this
        // machine, so that what remains is the software's own cost, not its neighbours'.
        const std::vector<std::string> rt = {"/usr/bin/chrt", "-f", "50"};
        const fs::path rtLog = o.work / "unpaced-rt.log";
        Sim sim(o, {}, rtLog, rt);
        const Load load = RunLoad(o, sim, o.work / "image22.rom", {}, 300s, rt);
        Require(load.usage.exitStatus == 0, "the real-time unpaced load failed", load);
        const std::vector<double> costs = ExchangeCostsMs(sim::ParseRequestLog(ReadText(rtLog.string())), 20);
        commands.push_back(load.command);
        rows.push_back({"Diagnosis, unpaced with both programs at real-time priority: cost per exchange, median / 99th percentile",
                        Fixed(Percentile(costs, 0.5), 3, " ms") + " / " + Fixed(Percentile(costs, 0.99), 3, " ms"), "", "",
                        "[" + std::to_string(commands.size()) + "]"});
    }
    {
        Sim sim(o, {}, o.work / "two.log");
        const Load load = RunLoad(o, sim, o.work / "image2.rom", {}, 60s);
        Require(load.usage.exitStatus == 0, "the 2-page load failed", load);
        commands.push_back(load.command);
        rss2 = load.usage.peakRssKiB;
    }
    const std::string ref2 = "[" + std::to_string(commands.size()) + "]";
    {
        Sim sim(o, {}, o.work / "sparse.log");
        const Load load = RunLoad(o, sim, o.work / "sparse4g.rom", {}, 60s);
        Require(load.usage.exitStatus == 1 && load.err.find("Программа слишком длинна.") != std::string::npos,
                "the 4 GiB file was not refused as too long", load);
        commands.push_back(load.command);
        rssSparse = load.usage.peakRssKiB;
    }
    const std::string refSparse = "[" + std::to_string(commands.size()) + "]";
    const long spread = std::abs(rss22 - rss2);
    rows.push_back({"Peak resident memory, 2-page image", MiB(rss2), "≤ 8 MiB", Met(rss2 <= 8192), ref2});
    rows.push_back({"Peak resident memory, 22-page image", MiB(rss22) + " (" + Fixed(static_cast<double>(spread), 0, " KiB") + " from 2 pages)",
                    "≤ 8 MiB, same as 2 pages", Met(rss22 <= 8192 && spread <= 512), ref22});
    rows.push_back({"Peak resident memory, 4 GiB sparse file (refused unread)", MiB(rssSparse), "≤ 8 MiB", Met(rssSparse <= 8192), refSparse});
}

// The desktop program's own self-test presses Load; a 2 ms timer inside it records the
// longest time its event loop went without running during the paced load.
struct LoopGap {
    double longestMs = 0;
    long over15 = 0;
    std::string command;
};

// Runs a desktop program's self-test (`name` names its output files) and reads the figure
// it leaves in <folder>/loop-gap.txt; the command is the environment and the program line.
LoopGap RunSelfTest(const Options& o, const std::string& name, const std::vector<std::string>& argv,
                    const std::vector<std::string>& env, const fs::path& folder) {
    const std::string err = (o.work / (name + ".err")).string();
    BenchProcess program(argv, (o.work / (name + ".out")).string(), err, env);
    const Usage usage = program.Wait(Clock::now() + 300s);
    const std::string text = ReadText((folder / "loop-gap.txt").string());
    const auto at = text.find("longest_gap_ms="), over = text.find("over_15ms=");
    if (usage.exitStatus != 0 || at == std::string::npos || over == std::string::npos) {
        throw std::runtime_error(ShellLine(argv) + ": the paced load gave no figure (exit " +
                                 std::to_string(usage.exitStatus) + "): " + ReadText(err));
    }
    LoopGap gap{std::stod(text.substr(at + 15)), std::stol(text.substr(over + 10)), ""};
    for (const auto& e : env) gap.command += e + " ";
    gap.command += ShellLine(argv);
    return gap;
}

LoopGap MeasureGui(const Options& o, const std::vector<std::string>& prefix) {
    const fs::path folder = o.work / "gui", runtime = o.work / "runtime", ini = o.work / "gui.ini";
    fs::create_directories(folder);
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all, fs::perm_options::replace);
    fs::remove(folder / "loop-gap.txt");
    Sim sim(o, {"--baud", "19200", "--turnaround", Fixed(TurnaroundMs, 0), "--program-ms", Fixed(ProgramMs, 0)},
            o.work / "gui.log", prefix);
    const std::string port = fs::absolute(sim.Port()).string();
    std::ofstream(ini, std::ios::trunc) << "[Common]\nFN=" << fs::absolute(o.work / "image8.rom").string()
                                        << "\n[RS232]\nPort=" << port << "\n";
    const std::vector<std::string> env = {"QT_QPA_PLATFORM=offscreen", "KXBOOT_SETTINGS=" + fs::absolute(ini).string(),
                                          "KXBOOT_PORTS=" + port, "KXBOOT_AUTOTEST=" + fs::absolute(folder).string(),
                                          "KXBOOT_LOOPGAP=1", "XDG_RUNTIME_DIR=" + fs::absolute(runtime).string()};
    std::vector<std::string> argv = prefix;
    argv.push_back(o.gui);
    LoopGap gap = RunSelfTest(o, "gui", argv, env, folder);
    gap.command = sim.Command() + " " + gap.command + "   # settings in " + ini.string() + ", figure in " +
                  (folder / "loop-gap.txt").string();
    return gap;
}

void Gui(const Options& o, std::vector<Row>& rows, std::vector<std::string>& commands) {
    const LoopGap gap = MeasureGui(o, {});
    commands.push_back(gap.command);
    rows.push_back({"Desktop program, paced load of 8 pages + trailer: longest event-loop gap (2 ms probe timer, Qt offscreen); gaps over 15 ms",
                    Fixed(gap.longestMs, 2, " ms") + "; " + std::to_string(gap.over15), "≤ 15 ms", Met(gap.longestMs <= 15),
                    "[" + std::to_string(commands.size()) + "]"});
    if (::geteuid() == 0 && fs::exists("/usr/bin/chrt")) {
        const LoopGap rt = MeasureGui(o, {"/usr/bin/chrt", "-f", "50"});
        commands.push_back(rt.command);
        rows.push_back({"Diagnosis, the same with simulator and desktop program at real-time priority",
                        Fixed(rt.longestMs, 2, " ms") + "; " + std::to_string(rt.over15), "", "",
                        "[" + std::to_string(commands.size()) + "]"});
    }
}

// The same for the Windows program under Wine, on a virtual screen, through COM5, which
// the prefix maps onto the simulator's pty; its self-test posts a probe every 2 ms.
std::string WindowsPath(const fs::path& path) {
    std::string text = "Z:" + fs::absolute(path).string();
    for (char& c : text)
        if (c == '/') c = '\\';
    return text;
}

LoopGap MeasureWinGui(const Options& o) {
    const fs::path folder = o.work / "wingui", ini = o.work / "wingui.ini", com5 = o.winePrefix / "dosdevices" / "com5";
    fs::create_directories(folder);
    fs::remove(folder / "loop-gap.txt");
    Sim sim(o, {"--baud", "19200", "--turnaround", Fixed(TurnaroundMs, 0), "--program-ms", Fixed(ProgramMs, 0)},
            o.work / "wingui.log");
    fs::remove(com5);
    fs::create_symlink(fs::read_symlink(sim.Port()), com5);
    std::ofstream(ini, std::ios::trunc | std::ios::binary)
        << "[Common]\r\nFN=" << WindowsPath(o.work / "image8.rom") << "\r\n[RS232]\r\nPort=5\r\n";
    const std::vector<std::string> env = {"WINEPREFIX=" + fs::absolute(o.winePrefix).string(), "WINEDEBUG=-all",
                                          "WINEDLLOVERRIDES=mscoree,mshtml=", "KXBOOT_SETTINGS=" + WindowsPath(ini),
                                          "KXBOOT_AUTOTEST=" + WindowsPath(folder), "KXBOOT_LOOPGAP=1"};
    // In Wine's own desktop window: with no window manager on the virtual screen, Wine
    // would wait up to 2 s for each hidden window to be withdrawn, which is Wine's time,
    // not the program's.
    const std::vector<std::string> argv = {"/usr/bin/xvfb-run", "-a", "wine", "explorer", "/desktop=kxbench,1024x768",
                                           o.winGui};
    LoopGap gap = RunSelfTest(o, "wingui", argv, env, folder);
    fs::remove(com5);
    gap.command = sim.Command() + " ln -sf $(readlink " + sim.Port() + ") " + com5.string() + "; " + gap.command +
                  "   # settings in " + ini.string() + ", figure in " + (folder / "loop-gap.txt").string();
    return gap;
}

void WinGui(const Options& o, std::vector<Row>& rows, std::vector<std::string>& commands) {
    const LoopGap gap = MeasureWinGui(o);
    commands.push_back(gap.command);
    rows.push_back({"Windows program under Wine, paced load of 8 pages + trailer: longest event-loop gap (2 ms probe messages); gaps over 15 ms",
                    Fixed(gap.longestMs, 2, " ms") + "; " + std::to_string(gap.over15), "≤ 15 ms", Met(gap.longestMs <= 15),
                    "[" + std::to_string(commands.size()) + "]"});
}

std::string LoadAverage() {
    const std::string text = ReadText("/proc/loadavg");
    return text.substr(0, text.find(' ', text.find(' ', text.find(' ') + 1) + 1));
}

void Print(const std::vector<Row>& rows, const std::vector<std::string>& commands, std::FILE* out) {
    std::fprintf(out, "Load average of the machine after the runs (1, 5, 15 min): %s\n\n", LoadAverage().c_str());
    std::fprintf(out, "| Figure | Measured | Goal | Met | Command |\n|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        std::fprintf(out, "| %s | %s | %s | %s | %s |\n", r.figure.c_str(), r.measured.c_str(),
                     r.goal.empty() ? "" : r.goal.c_str(), r.met.c_str(), r.command.c_str());
    }
    std::fprintf(out, "\nCommands (from the repository's top folder, after `make bench` has built them):\n\n");
    const std::string here = fs::current_path().string() + "/";
    for (std::size_t i = 0; i < commands.size(); ++i) {
        std::string line = commands[i];
        for (auto at = line.find(here); at != std::string::npos; at = line.find(here, at)) line.replace(at, here.size(), "$PWD/");
        std::fprintf(out, "%zu. `%s`\n", i + 1, line.c_str());
    }
}

}  // namespace
}  // namespace kx::bench

int main(int argc, char** argv) {
    using namespace kx::bench;
    try {
        const Options o = Parse(argc, argv);
        fs::create_directories(o.work);
        MakeImage(o.work / "image22.rom", 22, true);
        MakeImage(o.work / "image2.rom", 2, false);
        MakeImage(o.work / "image8.rom", 8, true);
        MakeSparse(o.work / "sparse4g.rom", std::uint64_t{1} << 32);
        std::vector<Row> rows;
        std::vector<std::string> commands;
        if (o.Runs("paced")) Paced(o, rows, commands);
        if (o.Runs("latency")) Latency(o, rows, commands);
        if (o.Runs("boards")) SeveralBoards(o, rows, commands);
        if (o.Runs("network") && !o.ser2net.empty()) Network(o, rows, commands);
        if (o.Runs("unpaced")) Unpaced(o, rows, commands);
        if (o.Runs("gui") && !o.gui.empty()) Gui(o, rows, commands);
        if (o.Runs("wingui") && !o.winGui.empty() && !o.winePrefix.empty()) WinGui(o, rows, commands);
        Print(rows, commands, stdout);
        if (!o.markdown.empty()) {
            std::FILE* f = std::fopen(o.markdown.c_str(), "w");
            if (f != nullptr) {
                Print(rows, commands, f);
                std::fclose(f);
            }
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kxbench: %s\n", e.what());
        return 1;
    }
}
