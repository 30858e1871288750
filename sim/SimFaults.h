#pragma once
// Faults injected into chosen answers. A rule names a kind and the requests it hits:
// optionally only those at one address and/or with one function code, counted among
// those from 1; it hits the nth of them and the (times - 1) that follow (times 0: all
// from the nth on).
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kx::sim {

enum class FaultKind {
    None,        // no fault
    NoAnswer,    // the device stays silent (the request is not carried out)
    Busy,        // function byte 255, no data (not carried out)
    BadCheck,    // the check byte is off by one
    ZeroHeader,  // address and header word all zero (check byte still right)
    ShortLength, // the length byte is below the minimum
    Gap,         // a pause longer than the byte time-out after the second byte
    Cut,         // only the first half of the answer is sent
    LateEcho,    // the echo (and everything after it) comes late
    HangUp,      // the line goes away: the pty is closed
};

const char* FaultName(FaultKind kind);
std::optional<FaultKind> FaultFromName(const std::string& name);

struct FaultRule {
    FaultKind kind = FaultKind::None;
    std::optional<int> address;
    std::optional<int> function;
    long nth = 1;
    long times = 1;
    long seen = 0;  // matching requests so far
};

// Parses "KIND[:addr=A][:fn=F][:nth=N][:times=K]"; throws std::invalid_argument.
FaultRule ParseFaultRule(const std::string& text);

class FaultPlan {
public:
    void Add(const FaultRule& rule) { rules_.push_back(rule); }
    // Counts the request against every rule and returns the first rule's kind that hits.
    FaultKind Next(std::uint8_t address, std::uint8_t function);

private:
    std::vector<FaultRule> rules_;
};

}  // namespace kx::sim
