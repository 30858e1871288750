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
    "Usage: kxboot-cli {load|info|ports|erase-and-load|patch-and-load|address} [OPTIONS] (kxboot-cli --help)";

// The parsed invocation; nullopt when help was asked for (and written to `out`).
// Throws UsageError.
std::optional<Invocation> ParseCommandLine(int argc, const char* const* argv, std::ostream& out);

}  // namespace kx::cli
