#pragma once
// The fixes that differ from one OS to the next, in the words a technician types or clicks.
#include <string>

namespace kx::cli {

// What to check when a named port is not there.
std::string MissingPortFix();
// What to check when the machine has no serial port at all.
std::string NoPortFix();
// How to stop the service `name` from taking adapters.
std::string ServiceFix(const std::string& name);

}  // namespace kx::cli
