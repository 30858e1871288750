#include "sim/SimFaults.h"

#include <array>
#include <stdexcept>
#include <utility>

#include "sim/SimNumbers.h"

namespace kx::sim {
namespace {

constexpr std::array<std::pair<FaultKind, const char*>, 10> Names = {{
    {FaultKind::None, "ok"},
    {FaultKind::NoAnswer, "none"},
    {FaultKind::Busy, "busy"},
    {FaultKind::BadCheck, "badcheck"},
    {FaultKind::ZeroHeader, "zeroheader"},
    {FaultKind::ShortLength, "shortlen"},
    {FaultKind::Gap, "gap"},
    {FaultKind::Cut, "cut"},
    {FaultKind::LateEcho, "late-echo"},
    {FaultKind::HangUp, "hangup"},
}};

bool Hits(const FaultRule& rule, long ordinal) {
    if (ordinal < rule.nth) return false;
    return rule.times == 0 || ordinal < rule.nth + rule.times;
}

}  // namespace

const char* FaultName(FaultKind kind) {
    for (const auto& [k, name] : Names) {
        if (k == kind) return name;
    }
    return "?";
}

std::optional<FaultKind> FaultFromName(const std::string& name) {
    for (const auto& [k, n] : Names) {
        if (name == n && k != FaultKind::None) return k;
    }
    return std::nullopt;
}

FaultRule ParseFaultRule(const std::string& text) {
    std::vector<std::string> parts = SplitText(text, ':');
    if (parts.empty()) throw std::invalid_argument("empty fault");
    FaultRule rule;
    const auto kind = FaultFromName(parts[0]);
    if (!kind) throw std::invalid_argument("unknown fault kind '" + parts[0] + "'");
    rule.kind = *kind;
    for (std::size_t i = 1; i < parts.size(); ++i) {
        const auto eq = parts[i].find('=');
        if (eq == std::string::npos) throw std::invalid_argument("expected key=value in '" + parts[i] + "'");
        const std::string key = parts[i].substr(0, eq);
        const std::string value = parts[i].substr(eq + 1);
        if (key == "addr") {
            rule.address = static_cast<int>(ParseNumber(value, 0, 255));
        } else if (key == "fn") {
            rule.function = static_cast<int>(ParseNumber(value, 0, 255));
        } else if (key == "nth") {
            rule.nth = ParseNumber(value, 1, 1'000'000'000);
        } else if (key == "times") {
            rule.times = ParseNumber(value, 0, 1'000'000'000);
        } else {
            throw std::invalid_argument("unknown fault key '" + key + "'");
        }
    }
    return rule;
}

FaultKind FaultPlan::Next(std::uint8_t address, std::uint8_t function) {
    FaultKind result = FaultKind::None;
    for (auto& rule : rules_) {
        if (rule.address && *rule.address != address) continue;
        if (rule.function && *rule.function != function) continue;
        ++rule.seen;
        if (result == FaultKind::None && Hits(rule, rule.seen)) result = rule.kind;
    }
    return result;
}

}  // namespace kx::sim
