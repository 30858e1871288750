#include "cli/ConsoleOutput.h"

namespace kx::cli {

void StreamOutput::Live(const std::string& text) {
    std::fprintf(err_, "\r%s\033[K", text.c_str());
    std::fflush(err_);
    liveOpen_ = true;
}

void StreamOutput::EndLive() {
    if (!liveOpen_) return;
    std::fputc('\n', err_);
    std::fflush(err_);
    liveOpen_ = false;
}

void StreamOutput::Line(const std::string& text) {
    std::fprintf(err_, "%s\n", text.c_str());
    std::fflush(err_);
}

void StreamOutput::Error(const std::string& text) {
    EndLive();
    Line(text);
}

void StreamOutput::Result(const std::string& text) {
    EndLive();
    std::fprintf(out_, "%s\n", text.c_str());
    std::fflush(out_);
}

}  // namespace kx::cli
