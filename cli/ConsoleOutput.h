#pragma once
// Where the command line's user interface writes: a progress line redrawn in place on a
// terminal, progress lines of their own in a log, error lines, and the result line. One
// port writes straight to stderr and stdout; several ports share a BoardDisplay.
#include <cstdio>
#include <string>

namespace kx::cli {

class ConsoleOutput {
public:
    virtual ~ConsoleOutput() = default;
    // The progress line, redrawn in place (terminal).
    virtual void Live(const std::string& text) = 0;
    // Ends the live line so that what follows goes below it.
    virtual void EndLive() = 0;
    // A progress line of its own (log, pipe).
    virtual void Line(const std::string& text) = 0;
    // A refusal or failure.
    virtual void Error(const std::string& text) = 0;
    // The successful end ("Загрузка окончена.").
    virtual void Result(const std::string& text) = 0;
};

// Progress and errors on `err`, the result on `out`. Without `escapes` (a console that
// shows them raw) the live line is redrawn after a carriage return alone, padded with
// blanks over whatever the longer line before it left.
class StreamOutput final : public ConsoleOutput {
public:
    StreamOutput(std::FILE* out, std::FILE* err, bool escapes = true) : out_(out), err_(err), escapes_(escapes) {}

    void Live(const std::string& text) override;
    void EndLive() override;
    void Line(const std::string& text) override;
    void Error(const std::string& text) override;
    void Result(const std::string& text) override;

private:
    std::FILE* out_;
    std::FILE* err_;
    bool escapes_;
    bool liveOpen_ = false;
    std::size_t liveWidth_ = 0;   // characters of the live line drawn last
};

}  // namespace kx::cli
