#pragma once
// The link as the desktop program sets it up (line mode, stored port, 19200 bit/s),
// with the command line's overrides: a named port, another rate, a trace. Unlike the
// desktop program, a stored port that is missing or busy is refused, never replaced by
// another one: on a bench the wrong port would load the wrong board.
#include <memory>
#include <string>

#include "cli/ConsoleUi.h"
#include "cli/Invocation.h"
#include "cli/TraceWriter.h"
#include "link/KX_RS232.h"
#include "link/LoadOutcome.h"

namespace kx::cli {

class OpenedLink {
public:
    // The link on `port` (empty: the stored port, else the first free candidate) at the
    // asked rate; nullptr after an error message (the port, named, does not exist or is
    // busy; the rate is refused), with `failure`, when given, set to which it was.
    static std::unique_ptr<OpenedLink> Open(const LinkOptions& options, const std::string& port, ConsoleUi& ui,
                                            link::LoadReason* failure = nullptr);

    link::TKX_RS& Link() { return *link_; }
    // The name of the port that was opened.
    const std::string& PortName() const { return link_->PortName; }

private:
    std::unique_ptr<TraceWriter> trace_;   // outlives the link that writes to it
    std::unique_ptr<link::TKX_RS> link_;
};

}  // namespace kx::cli
