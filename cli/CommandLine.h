#pragma once
// The command line's grammar (subcommands, options, help text).
#include <optional>
#include <ostream>
#include <stdexcept>

#include "cli/Invocation.h"

namespace kx::cli {

// Wrong usage; its text goes to stderr with the usage line.
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

inline constexpr const char* UsageLine =
    "Usage: kxboot-cli COMMAND [OPTIONS], COMMAND one of load, info, ports, doctor,\n"
    "       erase-and-load, patch-and-load, address (kxboot-cli --help)";

// The parsed invocation; nullopt when help was asked for (and written to `out`).
// Throws UsageError.
std::optional<Invocation> ParseCommandLine(int argc, const char* const* argv, std::ostream& out);

}  // namespace kx::cli
