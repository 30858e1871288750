#include <windows.h>
// shellapi.h needs the declarations of windows.h.
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>

#include "platform/Console.h"
#include "platform/win32/WinText.h"

namespace kx::platform {
namespace {

constexpr std::size_t ConsoleBufferSize = 1 << 16;

// Set once by PrepareConsole, before any thread reads it.
std::atomic<bool> stderrTakesEscapes{true};

// A stream that shows on a console gets its bytes to the console unchanged. In text
// mode the C runtime turns every byte into a character of its own locale's code page
// (Latin-1 in the "C" locale) before the console sees it; in binary mode the console
// decodes the bytes itself, as UTF-8 once its code page says so, but only characters
// that arrive whole: hence a buffer, which the command line flushes after each message
// (and the runtime at exit). The console ends lines by itself, and it interprets the
// progress line's escape sequences once asked to; a console too old to be asked refuses
// the whole mode, and is then given the rest without virtual-terminal processing.
// Whether it took escape sequences; true for a file or a pipe, where nothing is drawn.
bool PrepareConsoleStream(std::FILE* stream, DWORD which) {
    HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle == INVALID_HANDLE_VALUE || handle == nullptr || !GetConsoleMode(handle, &mode)) {
        return true;   // a file or a pipe: bytes and line ends as the text mode writes them
    }
    const bool escapes = SetConsoleMode(handle, mode | ENABLE_PROCESSED_OUTPUT | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
    if (!escapes) SetConsoleMode(handle, mode | ENABLE_PROCESSED_OUTPUT);
    std::fflush(stream);
    _setmode(_fileno(stream), _O_BINARY);
    std::setvbuf(stream, nullptr, _IOFBF, ConsoleBufferSize);
    return escapes;
}

}  // namespace

void PrepareConsole() {
    // Fails harmlessly when there is no console.
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
    PrepareConsoleStream(stdout, STD_OUTPUT_HANDLE);
    stderrTakesEscapes.store(PrepareConsoleStream(stderr, STD_ERROR_HANDLE));
}

bool ConsoleTakesEscapes() { return stderrTakesEscapes.load(); }

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    // argv is in the ANSI code page, which cannot hold every file name; the wide command
    // line can.
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    arguments.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) arguments.push_back(win32::WideToUtf8(wide[i]));
    LocalFree(wide);
    return arguments;
}

}  // namespace kx::platform
