#include "cli/ConsoleProgress.h"

#include <algorithm>

#include "cli/CancelSignals.h"

namespace kx::cli {
namespace {

std::string Duration(long long seconds) {
    char text[32];
    std::snprintf(text, sizeof text, "%lld:%02lld", seconds / 60, seconds % 60);
    return text;
}

}  // namespace

ConsoleProgress::ConsoleProgress(ConsoleOutput& output, platform::Clock& clock, Options options)
    : output_(output), clock_(clock), options_(options), created_(clock.Now()) {}

ConsoleProgress::ConsoleProgress(std::FILE* err, platform::Clock& clock, Options options)
    : ownOutput_(std::make_unique<StreamOutput>(err, err, options.escapes)), output_(*ownOutput_), clock_(clock),
      options_(options), created_(clock.Now()) {}

ConsoleProgress::~ConsoleProgress() {
    FlushPendingPercent();
    EndLine();
}

void ConsoleProgress::SetLabel(const std::string& text) {
    if (firstLabel_.empty()) firstLabel_ = text;
    // The first caption is the wait for the device; any other one means it answered.
    if (text != firstLabel_) waking_ = false;
    if (text == label_) return;
    FlushPendingPercent();
    label_ = text;
    if (options_.terminal) {
        Redraw();
    } else {
        output_.Line(label_);
    }
}

void ConsoleProgress::SetGaugeVisible(bool visible) {
    gaugeVisible_ = visible;
    if (visible && !transferStart_) transferStart_ = clock_.Now();
    if (options_.terminal) Redraw();
}

void ConsoleProgress::SetProgress(int percent) {
    FlushPendingPercent();
    percent_ = std::clamp(percent, 0, 100);
    if (options_.terminal) {
        Redraw();
    } else {
        // Printed with the page count when PagesDone follows, alone otherwise.
        percentPending_ = true;
    }
}

bool ConsoleProgress::Cancelled() const {
    if (!cancelled_ && CancelRequested()) cancelled_ = true;
    if (!cancelled_ && waking_ && options_.wakeTimeout && clock_.Now() - created_ >= *options_.wakeTimeout)
        cancelled_ = timedOut_ = true;
    return cancelled_;
}

void ConsoleProgress::PagesDone(int done, int total, std::size_t bytesPerPage) {
    done_ = done;
    total_ = total;
    // Throughput and time left as of this page, shown until the next one.
    const long long elapsedMs = transferStart_ ? (clock_.Now() - *transferStart_).count() : 0;
    if (done > 0 && elapsedMs > 0) {
        bytesPerSecond_ = static_cast<double>(done) * static_cast<double>(bytesPerPage) * 1000.0 /
                          static_cast<double>(elapsedMs);
        secondsLeft_ = (elapsedMs * (total - done) / done + 999) / 1000;
    }
    if (options_.terminal) {
        Redraw();
        return;
    }
    percentPending_ = false;
    output_.Line(StatusText(false));
}

void ConsoleProgress::EndLine() { output_.EndLive(); }

void ConsoleProgress::Complete() {
    if (!gaugeVisible_ || percent_ == 100) return;
    SetProgress(100);
    FlushPendingPercent();
}

std::string ConsoleProgress::StatusText(bool withCaption) const {
    std::string text = withCaption ? label_ : std::string();
    auto add = [&text](const std::string& part) {
        if (!text.empty()) text += "  ";
        text += part;
    };
    if (!gaugeVisible_) return text;
    char part[64];
    std::snprintf(part, sizeof part, "%3d%%", percent_);
    add(part);
    if (total_ <= 0) return text;
    std::snprintf(part, sizeof part, "стр. %d/%d", done_, total_);
    add(part);
    if (bytesPerSecond_ <= 0) return text;
    std::snprintf(part, sizeof part, "%.0f Б/с", bytesPerSecond_);
    add(part);
    add("осталось " + Duration(secondsLeft_));
    return text;
}

void ConsoleProgress::Redraw() { output_.Live(StatusText(true)); }

void ConsoleProgress::FlushPendingPercent() {
    if (!percentPending_) return;
    percentPending_ = false;
    output_.Line(StatusText(false));
}

}  // namespace kx::cli
