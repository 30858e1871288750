#pragma once
// kxboot-cli doctor: what on this machine stands between a technician and a port (the
// port missing, busy and who holds it, no permission and the group that grants it, a
// service that grabs serial adapters, a slow adapter), each with its fix.
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "cli/ConsoleUi.h"
#include "cli/Invocation.h"
#include "platform/PortDescription.h"
#include "platform/PortProbe.h"

namespace kx::cli {

struct Finding {
    std::string text;
    std::string fix;
    bool problem = true;   // false: a hint, which does not make the machine fail the check

    static Finding Problem(std::string text, std::string fix) { return {std::move(text), std::move(fix), true}; }
    static Finding Hint(std::string text, std::string fix) { return {std::move(text), std::move(fix), false}; }
    bool operator==(const Finding&) const = default;
};

// What is wrong with the port, each with its fix, problems before hints; empty when nothing is.
std::vector<Finding> PortFindings(const platform::PortProbe& probe, const platform::PortDescription& description);
// A running service that grabs adapters is a problem; one that is not running, none.
std::vector<Finding> ServiceFindings(const platform::GrabbingService& service);

// The check of the named port (inv.doctorPort) or of every candidate present: Done when
// nothing is wrong, Failed when any problem was found.
Outcome RunDoctor(const Invocation& inv, std::FILE* out);

}  // namespace kx::cli
