#pragma once
// The command line's commands. Each reports through the console user interface and
// returns how it ended; main turns that into the exit status.
#include <cstdio>

#include "cli/ConsoleUi.h"
#include "cli/Invocation.h"

namespace kx::cli {

Outcome RunLoad(const Invocation& inv, ConsoleUi& ui);
Outcome RunInfo(const Invocation& inv, ConsoleUi& ui, std::FILE* out);
Outcome RunPorts(const Invocation& inv, ConsoleUi& ui, std::FILE* out);
Outcome RunEraseAndLoad(const Invocation& inv, ConsoleUi& ui);
Outcome RunPatchAndLoad(const Invocation& inv, ConsoleUi& ui);
Outcome RunAddress(const Invocation& inv, ConsoleUi& ui, std::FILE* out);

}  // namespace kx::cli
