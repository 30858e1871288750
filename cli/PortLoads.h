#pragma once
// `load`: one image into the boards on one or several ports, at once, optionally as a
// station that loads one board after another on each port until Ctrl-C.
//
// Each port gets its own thread, and the thread owns everything of that port: its link,
// its user interface (a ConsoleUi writing through the port's slot of the display) and
// its progress. The boot session is given the interface it talks to, so the sessions
// share nothing but the image (read once, never written), the display and the report
// (each serialised by its own lock) and the cancel request (an atomic flag).
#include "cli/ConsoleUi.h"
#include "cli/Invocation.h"

namespace kx::cli {

// `ui` is the program's own interface: it reports what concerns the whole run (a
// missing image, no free port for --port all) and, with a single port, the load itself.
Outcome RunLoads(const Invocation& inv, ConsoleUi& ui);

}  // namespace kx::cli
