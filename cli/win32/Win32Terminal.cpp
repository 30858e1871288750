#include <io.h>
#include <windows.h>

#include <cstdio>

#include "cli/Terminal.h"

namespace kx::cli {

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }
// Our texts are UTF-8; the console shows them right only in the UTF-8 code page.
void PrepareConsole() {
    SetConsoleOutputCP(CP_UTF8);
    SetConsoleCP(CP_UTF8);
}

}  // namespace kx::cli
