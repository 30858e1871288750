#include <unistd.h>

#include <cstdio>

#include "cli/Terminal.h"

namespace kx::cli {

bool StderrIsTerminal() { return isatty(fileno(stderr)) != 0; }
bool StdinIsTerminal() { return isatty(fileno(stdin)) != 0; }

}  // namespace kx::cli
