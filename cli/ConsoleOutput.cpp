#include "cli/ConsoleOutput.h"

#include "platform/Utf8.h"

namespace kx::cli {
namespace {

std::size_t CharacterCount(const std::string& text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) platform::NextCodePoint(text, i);
    return count;
}

}  // namespace

void StreamOutput::Live(const std::string& text) {
    if (escapes_) {
        std::fprintf(err_, "\r%s\033[K", text.c_str());
    } else {
        const std::size_t width = CharacterCount(text);
        const std::size_t pad = liveOpen_ && liveWidth_ > width ? liveWidth_ - width : 0;
        std::fprintf(err_, "\r%s%s", text.c_str(), std::string(pad, ' ').c_str());
        liveWidth_ = width;
    }
    std::fflush(err_);
    liveOpen_ = true;
}

void StreamOutput::EndLive() {
    if (!liveOpen_) return;
    std::fputc('\n', err_);
    std::fflush(err_);
    liveOpen_ = false;
    liveWidth_ = 0;
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
