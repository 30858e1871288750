#pragma once
// The link as the desktop program sets it up (line mode, stored port, 19200 bit/s),
// with the command line's overrides: a named port, another rate, a trace.
#include <memory>

#include "cli/ConsoleUi.h"
#include "cli/Invocation.h"
#include "cli/TraceWriter.h"
#include "link/KX_RS232.h"

namespace kx::cli {

class OpenedLink {
public:
    // The link with its port open at the asked rate; nullptr after an error message
    // (no free port, the named port does not open, the rate is refused).
    static std::unique_ptr<OpenedLink> Open(const LinkOptions& options, ConsoleUi& ui);

    link::TKX_RS& Link() { return *link_; }

private:
    std::unique_ptr<TraceWriter> trace_;   // outlives the link that writes to it
    std::unique_ptr<link::TKX_RS> link_;
};

}  // namespace kx::cli
