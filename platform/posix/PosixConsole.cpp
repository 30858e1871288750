#include "platform/Console.h"

namespace kx::platform {

// Terminals and arguments are UTF-8 already.
void PrepareConsole() {}

bool ConsoleTakesEscapes() { return true; }

std::vector<std::string> CommandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

}  // namespace kx::platform
