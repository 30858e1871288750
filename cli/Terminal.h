#pragma once
// What the command line needs to know about its terminal; one backend per OS.
#include <string>

namespace kx::cli {

bool StderrIsTerminal();
bool StdinIsTerminal();

}  // namespace kx::cli
