#pragma once
// The output of several ports loading at once. On a terminal: one line per port, all
// redrawn in place (the port, its running count, then its progress or last message).
// Otherwise: every line prefixed with its port. Each port's thread writes through its
// own slot; the display serialises them.
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "cli/ConsoleOutput.h"

namespace kx::cli {

class BoardDisplay {
public:
    BoardDisplay(std::FILE* err, std::vector<std::string> ports, bool terminal);
    ~BoardDisplay();
    BoardDisplay(const BoardDisplay&) = delete;
    BoardDisplay& operator=(const BoardDisplay&) = delete;

    // The output of port `index`.
    ConsoleOutput& Slot(std::size_t index);
    // A short note kept in front of the port's line (its running count); a line of its
    // own when not on a terminal.
    void Note(std::size_t index, const std::string& text);

private:
    class SlotOutput;
    void Show(std::size_t index, const std::string& text, bool keep);
    void Redraw();

    std::FILE* err_;
    std::vector<std::string> ports_;
    bool terminal_;
    std::size_t width_ = 0;
    std::vector<std::unique_ptr<SlotOutput>> slots_;
    std::mutex mutex_;   // guards everything below and the stream
    std::vector<std::string> status_;
    std::vector<std::string> notes_;
    bool drawn_ = false;
};

}  // namespace kx::cli
