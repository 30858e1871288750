#pragma once
// The command line's user interface: boxes become lines (errors on stderr, the final
// "done" message on stdout), the progress window is a ConsoleProgress on stderr, the
// yes/no question is asked on the terminal. It remembers what cancelled a run, for the
// one line that says so; how a load ended is the load's own outcome.
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/ConsoleOutput.h"
#include "cli/ConsoleProgress.h"
#include "link/LinkError.h"
#include "link/LoadOutcome.h"
#include "platform/Clock.h"
#include "ui/UserInterface.h"

namespace kx::cli {

// How a command ended, as far as the exit status goes.
enum class Outcome { Done, Failed, Cancelled };

// A load's outcome as the exit status sees it: refused and failed alike are failures.
Outcome OutcomeOf(const link::LoadOutcome& load);

class ConsoleUi final : public ui::UserInterface {
public:
    struct Streams {
        std::FILE* out = stdout;
        std::FILE* err = stderr;
        std::FILE* in = stdin;
        // Whether `err` takes the escape sequences that clear a redrawn line.
        bool escapes = true;
    };

    // Messages and progress on the streams.
    ConsoleUi(Streams streams, platform::Clock& clock, bool terminal);
    // Messages and progress through `output` (one port among several), which outlives it.
    ConsoleUi(ConsoleOutput& output, platform::Clock& clock, bool terminal);

    void SetAssumeYes(bool yes) { assumeYes_ = yes; }
    void SetWakeTimeout(std::optional<platform::Millis> timeout) { wakeTimeout_ = timeout; }
    // While quiet, boxes are swallowed (the link's start-up scan when a port is named).
    void SetQuiet(bool quiet) { quiet_ = quiet; }

    void ShowError(const std::string& message) override;
    // The link found the adapter at odds with the line mode: the error that follows is
    // preceded by the option that mends it.
    void NoteEchoMismatch(link::EchoMismatch::Kind kind);
    void ShowInfo(const std::string& message) override;
    bool AskYesNo(const std::string& message) override;
    // Nothing to dispatch; throws HardStop once the run must stop now, which is how a
    // second Ctrl-C reaches a link waiting for an answer.
    void ProcessMessages() override;
    std::unique_ptr<ui::ProgressWindow> CreateProgress() override;
    std::optional<std::string> ChoosePort(const std::vector<std::string>&, int) override { return std::nullopt; }
    std::optional<double> ChooseBaudRate(std::uint32_t) override { return std::nullopt; }
    std::optional<std::string> EnterPassword(const std::string&) override { return std::nullopt; }
    std::optional<std::string> ChooseFile(const std::string&, const std::string&) override { return std::nullopt; }

    // One line on stderr saying what cancelled the run: a signal, the wake time-out or
    // a question answered no.
    void ShowCancelReason();
    bool ErrorShown() const { return errorShown_; }
    // The text of the last box shown ("" when none was).
    const std::string& LastMessage() const { return lastMessage_; }
    // A line of the program's own about the run (the port it opened, a running count).
    void Note(const std::string& text);
    // Forgets what the previous load showed and what cancelled it (a station loads one
    // board after another).
    void BeginLoad();
    // What a load stopped by HardStop got as far as: whether the device answered (the
    // progress caption moved on from the wait) and how many pages went out.
    bool DeviceAnswered() const { return deviceAnswered_; }
    int PagesSent() const { return pagesSent_; }

private:
    class Progress;
    void EndProgressLine();

    Streams streams_;
    std::unique_ptr<ConsoleOutput> ownOutput_;
    ConsoleOutput& output_;
    platform::Clock& clock_;
    bool terminal_;
    bool assumeYes_ = false;
    bool quiet_ = false;
    std::optional<platform::Millis> wakeTimeout_;
    bool errorShown_ = false;
    bool declined_ = false;
    bool timedOut_ = false;
    bool deviceAnswered_ = false;
    int pagesSent_ = 0;
    std::string lastMessage_;
    std::string optionHint_;
    Progress* live_ = nullptr;
};

}  // namespace kx::cli
