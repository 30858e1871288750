#pragma once
// The console a command-line front end writes to, and the arguments it was started with.
// The program's texts are UTF-8; a console that expects another encoding would show
// the Russian messages as garbage, and the OS may hand over arguments in its narrow
// encoding instead of UTF-8.
#include <string>
#include <vector>

namespace kx::platform {

// Makes the console read and show UTF-8; call once at program start.
void PrepareConsole();

// The program's arguments (argv[0] included) as UTF-8 text.
std::vector<std::string> CommandLineArguments(int argc, char** argv);

}  // namespace kx::platform
