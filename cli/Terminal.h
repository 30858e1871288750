#pragma once
// What the command line needs to know about its terminal; one backend per OS.
#include <string>

namespace kx::cli {

bool StderrIsTerminal();
bool StdinIsTerminal();
// Prepares the console for UTF-8 output where the OS needs that; a no-op elsewhere.
void PrepareConsole();

}  // namespace kx::cli
