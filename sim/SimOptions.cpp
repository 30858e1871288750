#include "sim/SimOptions.h"

#include <functional>
#include <map>
#include <stdexcept>

#include "sim/SimNumbers.h"

namespace kx::sim {
namespace {

using Setter = std::function<void(Options&, const std::string&)>;

Millis ParseMillis(const std::string& text) { return Millis{ParseNumber(text, 0, 3'600'000)}; }
std::uint8_t ParseByte(const std::string& text) {
    return static_cast<std::uint8_t>(ParseNumber(text, 0, 255));
}
std::uint16_t ParseWord(const std::string& text) {
    return static_cast<std::uint16_t>(ParseNumber(text, 0, 0xFFFF));
}

void SetPace(Options& o, const std::string& value) {
    o.paceLineRate = value == "line";
    o.paceBaud = o.paceLineRate ? 0 : static_cast<std::uint32_t>(ParseNumber(value, 0, 100'000'000));
}

void SetHead(Options& o, const std::string& value) {
    const auto bytes = ParseHexBytes(value);
    if (bytes.size() != o.headBytes.size()) throw std::invalid_argument("--head needs six bytes");
    std::copy(bytes.begin(), bytes.end(), o.headBytes.begin());
}

void SetSilent(Options& o, const std::string& value) {
    const auto parts = SplitText(value, ':');
    if (parts.size() != 2) throw std::invalid_argument("--silent needs FROM:COUNT");
    FaultRule rule;
    rule.kind = FaultKind::NoAnswer;
    rule.nth = ParseNumber(parts[0], 1, 1'000'000'000);
    rule.times = ParseNumber(parts[1], 0, 1'000'000'000);
    o.faults.push_back(rule);
}

void SetLinger(Options& o, const std::string& value) {
    o.linger.clear();
    for (const auto& part : SplitText(value, ',')) o.linger.push_back(ParseMillis(part));
}

const std::map<std::string, Setter>& ValueOptions() {
    static const std::map<std::string, Setter> options = {
        {"--link", [](Options& o, const std::string& v) { o.linkPath = v; }},
        {"--echo-delay", [](Options& o, const std::string& v) { o.echoDelay = ParseMillis(v); }},
        {"--late-echo-ms", [](Options& o, const std::string& v) { o.lateEcho = ParseMillis(v); }},
        {"--own-address", [](Options& o, const std::string& v) { o.ownAddress = ParseByte(v); }},
        {"--id", [](Options& o, const std::string& v) { o.identity249 = ParseWord(v); }},
        {"--id-byte2", [](Options& o, const std::string& v) { o.identityBytes249[0] = ParseByte(v); }},
        {"--id-byte3", [](Options& o, const std::string& v) { o.identityBytes249[1] = ParseByte(v); }},
        {"--id-byte4", [](Options& o, const std::string& v) { o.identityBytes249[2] = ParseByte(v); }},
        {"--id-byte5", [](Options& o, const std::string& v) { o.identityBytes249[3] = ParseByte(v); }},
        {"--head", SetHead},
        {"--id-240", [](Options& o, const std::string& v) { o.identity240 = ParseWord(v); }},
        {"--id-241", [](Options& o, const std::string& v) { o.identity241 = ParseWord(v); }},
        {"--rev-241",
         [](Options& o, const std::string& v) { o.revision241 = static_cast<std::uint8_t>(ParseNumber(v, 0, 15)); }},
        {"--ignore-identify",
         [](Options& o, const std::string& v) { o.ignoreIdentify = ParseNumber(v, 0, 1'000'000'000); }},
        {"--replug-after",
         [](Options& o, const std::string& v) { o.replugAfter = ParseNumber(v, 1, 1'000'000'000); }},
        {"--replug-ms",
         [](Options& o, const std::string& v) { o.replugAway = Millis{ParseNumber(v, 0, 10'000)}; }},
        {"--baud", SetPace},
        {"--turnaround", [](Options& o, const std::string& v) { o.turnaround = ParseMillis(v); }},
        {"--program-ms", [](Options& o, const std::string& v) { o.programTime = ParseMillis(v); }},
        {"--erase-ms", [](Options& o, const std::string& v) { o.eraseTime = ParseMillis(v); }},
        {"--latency-timer",
         [](Options& o, const std::string& v) { o.latencyTimer = Millis{ParseNumber(v, 0, 255)}; }},
        {"--fault", [](Options& o, const std::string& v) { o.faults.push_back(ParseFaultRule(v)); }},
        {"--silent", SetSilent},
        {"--gap-ms", [](Options& o, const std::string& v) { o.gap = ParseMillis(v); }},
        {"--short-length",
         [](Options& o, const std::string& v) { o.shortLength = static_cast<std::uint8_t>(ParseNumber(v, 0, 5)); }},
        {"--flash", [](Options& o, const std::string& v) { o.flashPath = v; }},
        {"--log", [](Options& o, const std::string& v) { o.logPath = v; }},
        {"--ports", [](Options& o, const std::string& v) { o.ports = ParseNumber(v, 1, 64); }},
        {"--boards", [](Options& o, const std::string& v) { o.boards = ParseNumber(v, 1, 1'000'000); }},
        {"--linger", SetLinger},
        {"--absent", [](Options& o, const std::string& v) { o.absent = ParseMillis(v); }},
    };
    return options;
}

const std::map<std::string, std::function<void(Options&)>>& Flags() {
    static const std::map<std::string, std::function<void(Options&)>> flags = {
        {"--help", [](Options& o) { o.help = true; }},
        {"-h", [](Options& o) { o.help = true; }},
        {"--echo", [](Options& o) { o.echo = true; }},
        {"--no-echo", [](Options& o) { o.echo = false; }},
        {"--until-killed", [](Options& o) { o.watchStdin = false; }},
        {"--short-header", [](Options& o) { o.shortHeader = true; }},
    };
    return flags;
}

}  // namespace

Options ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string name = argv[i];
        std::string value;
        bool inlineValue = false;
        if (const auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            inlineValue = true;
        }
        if (const auto flag = Flags().find(name); flag != Flags().end() && !inlineValue) {
            flag->second(options);
            continue;
        }
        const auto option = ValueOptions().find(name);
        if (option == ValueOptions().end()) throw std::invalid_argument("unknown option '" + name + "'");
        if (!inlineValue) {
            if (i + 1 >= argc) throw std::invalid_argument(name + " needs a value");
            value = argv[++i];
        }
        try {
            option->second(options, value);
        } catch (const std::invalid_argument& error) {
            throw std::invalid_argument(name + ": " + error.what());
        }
    }
    return options;
}

std::string HelpText() {
    return R"(Usage: kxboot-sim [OPTION]...
Simulates the device's serial boot loader on a pseudo-terminal. The first line on
standard output is the path of the pty's slave side (the port to open; one line per
port with --ports); the simulator
then serves until it is killed (SIGTERM, SIGINT) or its standard input closes.
It answers at address 249 (functions 1 identify, 10 write data, 20 program page,
6 finish), 240 (1, 2 erase, 10, 20, 6), 241 (1, 10, 20, 6) and the address query at 0.
Answers carry the request's address (the own address for the query), header word 1 and
the request's function code as status. The line is half-duplex: a request that
arrives while an answer is still on its way cuts that answer off. Numbers may be
decimal or 0x-hexadecimal.

Port:
  --link PATH            also make PATH a symbolic link to the slave (removed at exit)
  --until-killed         ignore standard input; serve until a signal ends the program
                         (use this when stdin is /dev/null, e.g. in a background job)
  --short-header         frames carry no header word (length, address, function, ...)
  --replug-after N       on the Nth request heard (seq=N in the log) the adapter is
                         pulled out: that request gets no echo and no answer;
                         the pty is closed (the other side's port hangs up), the --link
                         name goes away for --replug-ms, then a new pty appears under it
                         and its path is printed as a further line; SIGUSR1 does the
                         same at any time
  --replug-ms MS         how long the port is away on a replug, 0..10000 (default 200)

Line:
  --echo                 echo every request byte, as a two-wire RS485 line does (default)
  --no-echo              no echo (RS232, RS422, or a two-wire RS485 adapter whose receiver
                         is off while it sends)
  --echo-delay MS        the echo, and everything the PC receives after it, comes MS late
  --baud RATE|line       pace the line at RATE bit/s, 11 bits a character: the echo comes
                         back at the line's pace while the request is on the wire and the
                         answer follows at the same pace; "line" takes the rate the other
                         side has set on the tty; 0 (default) = no pacing
  --turnaround MS        pause between the end of a request and its answer (default 0)
  --program-ms MS        extra time before answering program page (function 20)
  --erase-ms MS          extra time before answering erase (function 2)
  --latency-timer MS     what the PC receives (echo and answers alike) goes through a
                         USB adapter with this latency timer, 0..255 (0, the default:
                         no adapter): it reaches the PC in bursts, a 62-byte packet as
                         soon as it is full, the rest when the timer runs out; the timer
                         runs all the time and starts again at every packet, so a byte
                         waits up to MS (16 is the common chips' default, 1 the least)

Identity:
  --own-address N        address reported to the address query (default 249)
  --id WORD              identity word at 249 (default 0x1D2D)
  --id-byte2 B, --id-byte3 B, --id-byte4 B, --id-byte5 B
                         identity data bytes 2 to 5 at 249 (default 0, 0, 0x40, 0);
                         the high nibble of byte 4 is the revision
  --head HEX             the six head bytes (default 112233445566)
  --id-240 WORD          identity word at 240 (default 0x0297)
  --id-241 WORD          identity word at 241 (default 0x0041)
  --rev-241 N            revision at 241, 0..15 (default 0)
  --ignore-identify N    stay silent to the first N identify requests (a device
                         switched on late)

Faults:
  --fault KIND[:addr=A][:fn=F][:nth=N][:times=K]
                         inject KIND into the answers of the requests that match: at
                         address A and/or function F if given, the Nth match (default 1)
                         and the K-1 after it (default K=1; K=0: every match from the
                         Nth on). Matches are counted among the requests the device
                         hears and serves (right check byte, not swallowed by
                         --ignore-identify). Repeatable; the first rule that hits wins.
                         KIND is
                           none        no answer (the request is not carried out)
                           busy        function byte 255, no data (not carried out)
                           badcheck    wrong check byte
                           zeroheader  address and header word all zero
                           shortlen    length byte below 6 (see --short-length)
                           gap         a pause (see --gap-ms) after the 2nd answer byte
                           cut         only the first half of the answer
                           late-echo   echo and answer come --late-echo-ms late
                           hangup      close the pty after the echo; the simulator ends
  --silent FROM:COUNT    the device falls silent for requests FROM to FROM+COUNT-1
                         (counted as for --fault, from 1): the same as
                         --fault none:nth=FROM:times=COUNT
  --gap-ms MS            pause of the gap fault (default 300)
  --late-echo-ms MS      delay of the late-echo fault (default 150)
  --short-length N       length byte of the shortlen fault, 0..5 (default 5)

Bench (several ports, boards coming and going):
  --ports N              N ports at once (1 to 64), each with its own device and the same
                         options; one slave path per line on standard output; --link,
                         --log and --flash name port K's with ".K" appended; SIGUSR1
                         replugs every port, --replug-after counts each port's requests
  --boards N             N boards, one after another: a board answers until it has been
                         told loading is finished, stays in its boot loader for its
                         --linger, is taken away, the port is silent for --absent, then
                         the next board with empty flash is put on; after the Nth the
                         port stays silent. Without it, one board that never leaves.
  --linger MS[,MS...]    how long each board still answers after its finish (board 1,
                         2, ...; the last value holds for the rest; default 0)
  --absent MS            silence between one board and the next (default 1000)

Output:
  --flash FILE           after every program page, write the memory image so far: the
                         page at address A lands at byte offset A*3/2 (addresses 249 and
                         241) or A (240); unwritten bytes are 0xFF; a page holds its data
                         packets in packet-index order; erase empties the image;
                         with --boards, board K>1 writes FILE.K
  --log FILE             one line per request received, flushed at once:
                           t=MS seq=N [board=B] addr=A hdr=H fn=F len=L [packet=K] [page=P]
                           answer=WHAT answered=yes|no raw=HEX
                         t is the monotonic clock in milliseconds (CLOCK_MONOTONIC);
                         hdr is absent with --short-header; packet for write data, page
                         (decimal address) for program page; WHAT is ok, ignored,
                         unknown (nothing served there), badrequest (wrong check byte),
                         absent (no board on the line, --boards), or a fault kind;
                         board (with --boards) is the board on the line or the one
                         that left last
  -h, --help             show this text

Exit status: 0 at the end of service (also after a hangup fault), 2 for a bad command
line, 1 when the pty cannot be made.
)";
}

}  // namespace kx::sim
