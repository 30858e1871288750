#include "sim/SimServer.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "platform/posix/PosixTermios.h"

namespace kx::sim {
namespace {

constexpr std::uint8_t BusyStatus = 255;
constexpr int BitsPerCharacter = 11;

SimClock::duration CharacterTime(std::uint32_t rate) {
    if (rate == 0) return SimClock::duration::zero();
    return std::chrono::duration_cast<SimClock::duration>(
        std::chrono::nanoseconds(std::int64_t{BitsPerCharacter} * 1'000'000'000 / rate));
}

timespec ToTimespec(SimClock::duration d) {
    const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    return timespec{static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

bool Answers(FaultKind fault) {
    return fault != FaultKind::NoAnswer && fault != FaultKind::HangUp;
}

}  // namespace

SimServer::SimServer(const Options& options, Pty& pty, RequestLog* log, std::string flashPath,
                     std::function<void()> replug)
    : options_(options), pty_(pty), log_(log), line_(pty.Master()), flashPath_(std::move(flashPath)),
      boards_(options.boards, options.linger, options.absent), replug_(std::move(replug)) {
    device_.emplace(options, FlashPath(1));
    for (const auto& rule : options.faults) faults_.Add(rule);
    line_.SetCharacterTime(CharacterTime(options.paceBaud));
    line_.SetLatencyTimer(options.latencyTimer, SimClock::now());
}

std::string SimServer::FlashPath(long board) const {
    if (flashPath_.empty() || board == 1) return flashPath_;
    return flashPath_ + "." + std::to_string(board);
}

long SimServer::LoggedBoard() const { return options_.boards > 0 ? boards_.Board() : 0; }

BootLoaderDevice* SimServer::BoardAt(TimePoint now) {
    if (!boards_.Present(now)) return nullptr;
    if (boards_.NewBoard()) device_.emplace(options_, FlashPath(boards_.Board()));
    return &*device_;
}

void SimServer::UpdatePace() {
    if (options_.paceLineRate) {
        line_.SetCharacterTime(CharacterTime(platform::posix::termios::Rate(pty_.Slave())));
    }
}

void SimServer::ReadInput(TimePoint now) {
    std::uint8_t buffer[512];
    for (;;) {
        const ssize_t n = ::read(pty_.Master(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        UpdatePace();
        for (ssize_t i = 0; i < n; ++i) Take(buffer[i], now);
    }
}

void SimServer::Take(std::uint8_t byte, TimePoint now) {
    lastArrival_ = now;
    line_.AbandonAnswer(now);
    const Arrived arrived{byte, line_.CrossWire(now)};
    if (pending_.empty() && byte < MinFrameLength(options_.shortHeader)) {
        Echo({arrived}, options_.echoDelay);  // not the start of a frame: heard, then ignored
        return;
    }
    pending_.push_back(arrived);
    if (pending_.size() == pending_.front().byte) OnFrame(now);
}

void SimServer::DropPending() {
    Echo(pending_, options_.echoDelay);
    pending_.clear();
}

TimePoint SimServer::Echo(const std::vector<Arrived>& bytes, SimClock::duration delay) {
    TimePoint last{};
    for (const Arrived& a : bytes) {
        last = a.wire + delay;
        if (options_.echo) line_.Queue(last, a.byte);
    }
    return last;
}

void SimServer::OnFrame(TimePoint now) {
    Bytes raw;
    for (const Arrived& a : pending_) raw.push_back(a.byte);
    const Request request = ParseRequest(raw, options_.shortHeader);
    const TimePoint wireEnd = pending_.back().wire;
    ++sequence_;
    if (sequence_ == options_.replugAfter && replug_) {
        // Pulled out while the request was on its way: nothing comes back.
        pending_.clear();
        replugDue_ = true;
        if (log_ != nullptr) log_->Write(now, sequence_, LoggedBoard(), request, "replug", false);
        return;
    }

    const char* refused = nullptr;
    FaultKind fault = FaultKind::None;
    BootLoaderDevice* board = BoardAt(now);
    if (!request.checkOk) {
        refused = "badrequest";
    } else if (board == nullptr) {
        refused = "absent";
    } else if (board->SwallowIdentify(request)) {
        refused = "ignored";
    } else if (!board->Serves(request)) {
        refused = "unknown";
    } else {
        fault = faults_.Next(request.address, request.function);
    }
    SimClock::duration delay = options_.echoDelay;
    if (fault == FaultKind::LateEcho) delay += options_.lateEcho;
    const TimePoint echoEnd = Echo(pending_, delay);
    pending_.clear();
    const Outcome outcome =
        refused != nullptr ? Outcome{refused, false} : Answer(request, wireEnd, echoEnd, delay, fault);
    if (outcome.answered && request.address == 249 && request.function == 6) boards_.Finished(now);
    if (log_ != nullptr) log_->Write(now, sequence_, LoggedBoard(), request, outcome.answer, outcome.answered);
}

SimServer::Outcome SimServer::Answer(const Request& request, TimePoint wireEnd, TimePoint echoEnd,
                                     SimClock::duration delay, FaultKind fault) {
    if (fault == FaultKind::HangUp) line_.QueueHangUp(echoEnd);
    if (!Answers(fault)) return {FaultName(fault), false};
    Reply reply;
    if (fault == FaultKind::Busy) {
        reply.address = request.address;
        reply.status = BusyStatus;
    } else {
        reply = device_->Handle(request);
    }
    const Bytes frame = AnswerFrame(reply, fault);
    const SimClock::duration pause = fault == FaultKind::Gap ? options_.gap : SimClock::duration::zero();
    const TimePoint start = std::max(wireEnd + options_.turnaround + reply.work, echoEnd - delay);
    line_.Send(frame, start, pause, delay);
    return {FaultName(fault), true};
}

Bytes SimServer::AnswerFrame(const Reply& reply, FaultKind fault) const {
    std::optional<std::uint16_t> header;
    if (!options_.shortHeader) header = fault == FaultKind::ZeroHeader ? 0 : 1;
    const std::uint8_t address = fault == FaultKind::ZeroHeader ? 0 : reply.address;
    Bytes frame = BuildFrame(address, header, reply.status, reply.data);
    if (fault == FaultKind::BadCheck) frame.back() = static_cast<std::uint8_t>(frame.back() + 1);
    if (fault == FaultKind::ShortLength) frame[0] = options_.shortLength;
    if (fault == FaultKind::Cut) frame.resize(frame.size() / 2);
    return frame;
}

std::optional<TimePoint> SimServer::NextWake() const {
    std::optional<TimePoint> wake = line_.Blocked() ? std::nullopt : line_.NextDue();
    if (!pending_.empty()) {
        const TimePoint stale = lastArrival_ + StaleFrame;
        wake = wake ? std::min(*wake, stale) : stale;
    }
    return wake;
}

void SimServer::Replug() {
    replugDue_ = false;
    if (!replug_) return;
    replug_();
    // A new line: nothing queued on the old one survives the pull.
    line_ = SimLine(pty_.Master());
    line_.SetCharacterTime(CharacterTime(options_.paceBaud));
    line_.SetLatencyTimer(options_.latencyTimer, SimClock::now());
    UpdatePace();
    pending_.clear();
}

pollfd SimServer::PollEntry() const {
    return {pty_.Master(), static_cast<short>(POLLIN | (line_.Blocked() ? POLLOUT : 0)), 0};
}

bool SimServer::Service(short events) {
    const TimePoint now = SimClock::now();
    if ((events & POLLIN) != 0) ReadInput(now);
    if (!pending_.empty() && now - lastArrival_ >= StaleFrame) DropPending();
    if (line_.Flush(SimClock::now())) {
        pty_.HangUp();
        return true;
    }
    return false;
}

int SimServer::Run(const volatile std::sig_atomic_t& stop, volatile std::sig_atomic_t& replugNow,
                   const sigset_t& waitMask) {
    return RunAll({this}, options_.watchStdin, stop, replugNow, waitMask);
}

int SimServer::RunAll(const std::vector<SimServer*>& servers, bool watchStdin, const volatile std::sig_atomic_t& stop,
                      volatile std::sig_atomic_t& replugNow, const sigset_t& waitMask) {
    std::vector<SimServer*> serving = servers;
    std::vector<pollfd> fds;
    while (stop == 0 && !serving.empty()) {
        const bool replugAll = replugNow != 0;
        replugNow = 0;
        for (SimServer* server : serving)
            if (replugAll || server->replugDue_) server->Replug();
        fds.assign(1, pollfd{watchStdin ? STDIN_FILENO : -1, POLLIN, 0});
        std::optional<TimePoint> wake;
        for (const SimServer* server : serving) {
            fds.push_back(server->PollEntry());
            if (const auto due = server->NextWake()) wake = wake ? std::min(*wake, *due) : *due;
        }
        timespec timeout{};
        if (wake) timeout = ToTimespec(std::max(*wake - SimClock::now(), SimClock::duration::zero()));
        const int ready = ::ppoll(fds.data(), fds.size(), wake ? &timeout : nullptr, &waitMask);
        if (ready < 0 && errno != EINTR) return 1;
        if (ready > 0 && fds[0].revents != 0) {
            char sink[256];
            if (::read(STDIN_FILENO, sink, sizeof sink) <= 0) return 0;  // stdin closed
        }
        std::vector<SimServer*> still;
        for (std::size_t i = 0; i < serving.size(); ++i)
            if (!serving[i]->Service(ready > 0 ? fds[i + 1].revents : 0)) still.push_back(serving[i]);
        serving.swap(still);
    }
    return 0;
}

}  // namespace kx::sim
