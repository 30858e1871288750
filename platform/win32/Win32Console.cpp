#include <windows.h>
// shellapi.h needs the declarations of windows.h.
#include <shellapi.h>

#include "platform/Console.h"
#include "platform/win32/WinText.h"

namespace kx::platform {

void PrepareConsole() {
    // The program writes UTF-8; without this the console decodes it in the OEM code page.
    // Fails harmlessly when there is no console (output to a file or a pipe).
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
}

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
