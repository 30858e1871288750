#include "cli/ConsoleUi.h"

#include <array>
#include <cstring>

#include "cli/CancelSignals.h"
#include "cli/Terminal.h"

namespace kx::cli {
namespace {

// The command line's own fix for a failure that only its options can mend.
const char* OptionHintFor(link::EchoMismatch::Kind kind) {
    if (kind == link::EchoMismatch::Kind::Missing)
        return "kxboot-cli: the device answers, but the adapter does not return the request's echo: "
               "use --line-mode auto (or --line-mode 1)";
    return "kxboot-cli: the adapter returns the request's echo: use --line-mode auto (or --line-mode 2)";
}

}  // namespace

// The console progress, unregistered from its owner when released.
class ConsoleUi::Progress final : public ui::ProgressWindow {
public:
    Progress(ConsoleUi& owner, ConsoleProgress::Options options)
        : owner_(owner), window_(owner.output_, owner.clock_, options) {
        owner_.live_ = this;
    }
    ~Progress() override {
        if (owner_.live_ == this) owner_.live_ = nullptr;
    }

    void SetLabel(const std::string& text) override {
        if (firstLabel_.empty()) firstLabel_ = text;
        if (text != firstLabel_) owner_.deviceAnswered_ = true;
        window_.SetLabel(text);
    }
    void SetGaugeVisible(bool visible) override { window_.SetGaugeVisible(visible); }
    void SetProgress(int percent) override { window_.SetProgress(percent); }
    void ShowCancelButton() override { window_.ShowCancelButton(); }
    bool Cancelled() const override {
        const bool cancelled = window_.Cancelled();
        if (window_.TimedOut()) owner_.timedOut_ = true;
        return cancelled;
    }
    void PagesDone(int done, int total, std::size_t bytesPerPage) override {
        owner_.pagesSent_ = done;
        window_.PagesDone(done, total, bytesPerPage);
    }
    void EndLine() { window_.EndLine(); }
    void Complete() { window_.Complete(); }

private:
    ConsoleUi& owner_;
    ConsoleProgress window_;
    std::string firstLabel_;
};

ConsoleUi::ConsoleUi(Streams streams, platform::Clock& clock, bool terminal)
    : streams_(streams), ownOutput_(std::make_unique<StreamOutput>(streams.out, streams.err, streams.escapes)),
      output_(*ownOutput_), clock_(clock), terminal_(terminal) {}

ConsoleUi::ConsoleUi(ConsoleOutput& output, platform::Clock& clock, bool terminal)
    : output_(output), clock_(clock), terminal_(terminal) {}

void ConsoleUi::Note(const std::string& text) {
    EndProgressLine();
    output_.Line(text);
}

void ConsoleUi::BeginLoad() {
    errorShown_ = declined_ = timedOut_ = deviceAnswered_ = false;
    pagesSent_ = 0;
    lastMessage_.clear();
}

void ConsoleUi::ProcessMessages() { ThrowIfHardStopped(); }

void ConsoleUi::EndProgressLine() {
    if (live_ != nullptr) live_->EndLine();
}

void ConsoleUi::ShowError(const std::string& message) {
    if (quiet_) return;
    errorShown_ = true;
    lastMessage_ = message;
    EndProgressLine();
    // Said before the system's text, which stays the last line.
    if (!optionHint_.empty()) output_.Error(optionHint_);
    optionHint_.clear();
    output_.Error(message);
}

void ConsoleUi::NoteEchoMismatch(link::EchoMismatch::Kind kind) { optionHint_ = OptionHintFor(kind); }

void ConsoleUi::ShowInfo(const std::string& message) {
    if (quiet_) return;
    lastMessage_ = message;
    // The successful end: the gauge shows the whole image loaded, although the session's
    // own count stops one page short (the last whole page of the file is never sent).
    if (live_ != nullptr) live_->Complete();
    EndProgressLine();
    output_.Result(message);
}

namespace {

bool IsYes(std::string answer) {
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r' || answer.back() == ' '))
        answer.pop_back();
    for (const char* yes : {"y", "Y", "yes", "Yes", "YES", "д", "Д", "да", "Да", "ДА"})
        if (answer == yes) return true;
    return false;
}

}  // namespace

bool ConsoleUi::AskYesNo(const std::string& message) {
    if (assumeYes_) return true;
    EndProgressLine();
    std::fprintf(streams_.err, "%s [y/N] ", message.c_str());
    std::fflush(streams_.err);
    std::array<char, 256> line{};
    const bool answered = WaitForInput(streams_.in) &&
                          std::fgets(line.data(), static_cast<int>(line.size()), streams_.in) != nullptr;
    // End of input or a signal: nobody typed the newline that ends the question's line.
    if (!answered) std::fputc('\n', streams_.err);
    const bool yes = answered && IsYes(line.data());
    if (!yes) declined_ = true;
    return yes;
}

std::unique_ptr<ui::ProgressWindow> ConsoleUi::CreateProgress() {
    return std::make_unique<Progress>(*this, ConsoleProgress::Options{terminal_, wakeTimeout_});
}

void ConsoleUi::ShowCancelReason() {
    std::string reason = "kxboot-cli: cancelled";
    if (const char* signal = CancelSignalName()) {
        reason += std::string(" by ") + signal;
    } else if (timedOut_ && wakeTimeout_) {
        char seconds[32];
        std::snprintf(seconds, sizeof seconds, "%g", static_cast<double>(wakeTimeout_->count()) / 1000.0);
        reason += std::string(": the device did not answer within ") + seconds + " s (--wake-timeout)";
    } else if (declined_) {
        reason += ": the question was not answered yes";
    }
    EndProgressLine();
    std::fprintf(streams_.err, "%s\n", reason.c_str());
    std::fflush(streams_.err);
}

Outcome OutcomeOf(const link::LoadOutcome& load) {
    switch (load.Kind()) {
        case link::LoadKind::Loaded: return Outcome::Done;
        case link::LoadKind::Cancelled: return Outcome::Cancelled;
        case link::LoadKind::Refused:
        case link::LoadKind::Failed: break;
    }
    return Outcome::Failed;
}

}  // namespace kx::cli
