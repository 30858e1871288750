#pragma once
// The simulator's event loop: reads requests off the pty, echoes them, lets the device
// answer them (with the injected faults) and paces everything like a real line.
#include <poll.h>

#include <csignal>
#include <functional>
#include <string>
#include <optional>
#include <vector>

#include "sim/SimBoards.h"
#include "sim/SimDevice.h"
#include "sim/SimFaults.h"
#include "sim/SimLine.h"
#include "sim/SimLog.h"
#include "sim/SimOptions.h"
#include "sim/SimPty.h"

namespace kx::sim {

class SimServer {
public:
    // A partial frame that has not grown for this long is dropped.
    static constexpr Millis StaleFrame{50};

    // `flashPath`: where the port's board keeps its flash ("" for none); `replug` pulls
    // the adapter out and plugs it in again (closes `pty` and makes it anew).
    SimServer(const Options& options, Pty& pty, RequestLog* log, std::string flashPath,
              std::function<void()> replug = {});
    // Serves until `stop` is set, stdin closes (if watched) or a hang-up fault; returns
    // the exit status. Setting `replugNow` replugs at once (and clears it).
    int Run(const volatile std::sig_atomic_t& stop, volatile std::sig_atomic_t& replugNow,
            const sigset_t& waitMask);
    // Serves several ports in one loop, each as Run would (`replugNow` replugs them all);
    // ends when every one has hung up, on `stop`, or when stdin closes (if watched).
    static int RunAll(const std::vector<SimServer*>& servers, bool watchStdin, const volatile std::sig_atomic_t& stop,
                      volatile std::sig_atomic_t& replugNow, const sigset_t& waitMask);

private:
    struct Arrived {
        std::uint8_t byte;
        TimePoint wire;  // when it has crossed the line
    };
    // What happened to one request, for the log.
    struct Outcome {
        const char* answer;
        bool answered;
    };

    void ReadInput(TimePoint now);
    void Take(std::uint8_t byte, TimePoint now);
    void DropPending();
    TimePoint Echo(const std::vector<Arrived>& bytes, SimClock::duration delay);
    void OnFrame(TimePoint now);
    Outcome Answer(const Request& request, TimePoint wireEnd, TimePoint echoEnd,
                   SimClock::duration delay, FaultKind fault);
    Bytes AnswerFrame(const Reply& reply, FaultKind fault) const;
    void UpdatePace();
    // The board on the line now; nullptr when there is none.
    BootLoaderDevice* BoardAt(TimePoint now);
    // The board number the log names (0: none, one board that never leaves).
    long LoggedBoard() const;
    std::string FlashPath(long board) const;
    std::optional<TimePoint> NextWake() const;
    void Replug();
    pollfd PollEntry() const;
    // Handles what the poll saw on the pty; true when the line has hung up.
    bool Service(short events);

    const Options& options_;
    Pty& pty_;
    RequestLog* log_;
    SimLine line_;
    std::string flashPath_;
    BoardSequence boards_;
    std::optional<BootLoaderDevice> device_;   // the board on the line (or the last one)
    FaultPlan faults_;
    std::vector<Arrived> pending_;
    TimePoint lastArrival_{};
    long sequence_ = 0;
    bool hungUp_ = false;
    std::function<void()> replug_;
    bool replugDue_ = false;
};

}  // namespace kx::sim
