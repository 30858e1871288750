#pragma once
// The console a command-line front end writes to, and the arguments it was started with.
// The program's texts are UTF-8; a console that expects another encoding would show
// the Russian messages as garbage, and the OS may hand over arguments in its narrow
// encoding instead of UTF-8.
#include <string>
#include <vector>

namespace kx::platform {

// Makes the console read and show UTF-8, and asks it to interpret escape sequences;
// call once at program start, before any thread.
void PrepareConsole();

// Whether stderr, when it is a console, takes the escape sequences that redraw lines in
// place (clear to the end of the line, cursor up). Terminals do; an older Windows console
// refuses virtual-terminal processing and would show them raw.
bool ConsoleTakesEscapes();

// The program's arguments (argv[0] included) as UTF-8 text.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace kx::platform
