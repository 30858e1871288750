#include "cli/BoardDisplay.h"

#include <algorithm>

namespace kx::cli {

class BoardDisplay::SlotOutput final : public ConsoleOutput {
public:
    SlotOutput(BoardDisplay& display, std::size_t index) : display_(display), index_(index) {}

    void Live(const std::string& text) override { display_.Show(index_, text, false); }
    void EndLive() override {}
    void Line(const std::string& text) override { display_.Show(index_, text, true); }
    void Error(const std::string& text) override { display_.Show(index_, text, true); }
    void Result(const std::string& text) override { display_.Show(index_, text, true); }

private:
    BoardDisplay& display_;
    std::size_t index_;
};

BoardDisplay::BoardDisplay(std::FILE* err, std::vector<std::string> ports, bool terminal)
    : err_(err), ports_(std::move(ports)), terminal_(terminal), status_(ports_.size()), notes_(ports_.size()) {
    for (const auto& port : ports_) width_ = std::max(width_, port.size());
    for (std::size_t i = 0; i < ports_.size(); ++i) slots_.push_back(std::make_unique<SlotOutput>(*this, i));
}

BoardDisplay::~BoardDisplay() = default;

ConsoleOutput& BoardDisplay::Slot(std::size_t index) { return *slots_.at(index); }

void BoardDisplay::Note(std::size_t index, const std::string& text) {
    const std::lock_guard<std::mutex> lock(mutex_);
    notes_.at(index) = text;
    if (terminal_) {
        Redraw();
    } else {
        std::fprintf(err_, "%s: %s\n", ports_[index].c_str(), text.c_str());
        std::fflush(err_);
    }
}

// Progress redrawn in place (`keep` false) is only drawn on a terminal; elsewhere the
// progress comes as lines of their own.
void BoardDisplay::Show(std::size_t index, const std::string& text, bool keep) {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (terminal_) {
        status_.at(index) = text;
        Redraw();
    } else if (keep) {
        std::fprintf(err_, "%s: %s\n", ports_.at(index).c_str(), text.c_str());
        std::fflush(err_);
    }
}

void BoardDisplay::Redraw() {
    if (drawn_) std::fprintf(err_, "\033[%zuA", ports_.size());
    for (std::size_t i = 0; i < ports_.size(); ++i) {
        std::string line = ports_[i];
        line.resize(width_, ' ');
        if (!notes_[i].empty()) line += "  [" + notes_[i] + "]";
        std::fprintf(err_, "\r%s  %s\033[K\n", line.c_str(), status_[i].c_str());
    }
    std::fflush(err_);
    drawn_ = true;
}

}  // namespace kx::cli
