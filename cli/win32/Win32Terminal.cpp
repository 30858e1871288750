#include <io.h>

#include <cstdio>

#include "cli/Terminal.h"

namespace kx::cli {

bool StderrIsTerminal() { return _isatty(_fileno(stderr)) != 0; }
bool StdinIsTerminal() { return _isatty(_fileno(stdin)) != 0; }

}  // namespace kx::cli
