#pragma once
// The progress window on a console (stderr). On a terminal: one line, redrawn in place,
// with the caption, the gauge, pages done of pages to send, bytes per second and the time
// left. Otherwise (a log, a pipe): one line per stage and one per page.
#include <cstddef>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "cli/ConsoleOutput.h"
#include "platform/Clock.h"
#include "ui/UserInterface.h"

namespace kx::cli {

class ConsoleProgress final : public ui::ProgressWindow {
public:
    struct Options {
        bool terminal = false;
        // Cancels the wait for the device after this long (--wake-timeout).
        std::optional<platform::Millis> wakeTimeout;
        // Whether the terminal takes the escape sequence that clears a redrawn line.
        bool escapes = true;
    };

    // Writes to `output`, which outlives it.
    ConsoleProgress(ConsoleOutput& output, platform::Clock& clock, Options options);
    // Writes to `err` (stdout is not used).
    ConsoleProgress(std::FILE* err, platform::Clock& clock, Options options);
    ~ConsoleProgress() override;

    void SetLabel(const std::string& text) override;
    void SetGaugeVisible(bool visible) override;
    void SetProgress(int percent) override;
    void ShowCancelButton() override {}
    bool Cancelled() const override;
    // Whether it was the wake time-out that cancelled.
    bool TimedOut() const { return timedOut_; }
    void PagesDone(int done, int total, std::size_t bytesPerPage) override;

    // Ends the line being drawn, so that a message can be printed below it.
    void EndLine();
    // The load ended well: the gauge, when shown, goes to 100 %.
    void Complete();

private:
    std::string StatusText(bool withCaption) const;
    void Redraw();
    void FlushPendingPercent();

    std::unique_ptr<ConsoleOutput> ownOutput_;
    ConsoleOutput& output_;
    platform::Clock& clock_;
    Options options_;
    platform::Millis created_;
    std::string label_;
    std::string firstLabel_;
    bool waking_ = true;
    mutable bool cancelled_ = false;
    mutable bool timedOut_ = false;
    bool gaugeVisible_ = false;
    int percent_ = 0;
    bool percentPending_ = false;
    int done_ = 0;
    int total_ = 0;
    double bytesPerSecond_ = 0;
    long long secondsLeft_ = 0;
    std::optional<platform::Millis> transferStart_;
};

}  // namespace kx::cli
