#include "cli/Doctor.h"

#include <algorithm>
#include <optional>

#include "cli/DoctorAdvice.h"
#include "cli/LatencyHint.h"
#include "cli/Json.h"
#include "platform/SerialPort.h"

namespace kx::cli {
namespace {

struct PortReport {
    platform::PortProbe probe;
    platform::PortDescription description;
    std::vector<Finding> findings;
};

struct ServiceReport {
    platform::GrabbingService service;
    std::vector<Finding> findings;
};

struct Checkup {
    std::vector<PortReport> ports;
    std::vector<ServiceReport> services;
    std::vector<Finding> machine;   // what concerns no single port
};

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
    std::string joined;
    for (const auto& part : parts) joined += (joined.empty() ? "" : separator) + part;
    return joined;
}

std::string PidList(const std::vector<int>& pids) {
    std::vector<std::string> parts;
    for (const int pid : pids) parts.push_back(std::to_string(pid));
    return Join(parts, " ");
}

// "minicom (PID 4711)", or "PID 4711" when the system does not name the process.
std::string HolderName(const platform::PortHolder& holder) {
    const std::string pid = "PID " + std::to_string(holder.pid);
    return holder.process.empty() ? pid : holder.process + " (" + pid + ")";
}

Finding BusyFinding(const platform::PortProbe& probe) {
    if (probe.holders.empty())
        return Finding::Problem("busy: another program has it open",
                                "close the program that uses it (a terminal program, another loader)");
    std::vector<std::string> names;
    std::vector<int> pids;
    for (const auto& holder : probe.holders) {
        names.push_back(HolderName(holder));
        pids.push_back(holder.pid);
    }
    return Finding::Problem("busy: held by " + Join(names, ", "),
                            "close the port in that program, or end it: kill " + PidList(pids));
}

std::optional<Finding> AccessFinding(const platform::PortAccess& access) {
    if (access.granted) return std::nullopt;
    const std::string& group = access.group;
    if (group.empty())
        return Finding::Problem("you may not open it, and no group may",
                                "have the administrator give it to a group with a udev rule "
                                "(MODE=\"0660\", GROUP=\"dialout\"), then add yourself to that group");
    if (!access.memberOfAccount)
        return Finding::Problem("you may not open it: group " + group + " may, and you are not in it",
                                "add yourself to " + group + ": sudo usermod -aG " + group +
                                    " $USER, then log in again");
    if (!access.memberNow)
        return Finding::Problem("you may not open it yet: you joined group " + group + " after this login began",
                                "log out and in again (in this shell only: newgrp " + group + ")");
    return Finding::Problem("you may not open it although you are in group " + group,
                            "ask the administrator: an access list or a security policy keeps you out");
}

std::optional<Finding> LatencyFinding(const std::string& port, const platform::PortDescription& description) {
    if (!description.latencyTimer || *description.latencyTimer <= QuickLatencyTimer) return std::nullopt;
    return Finding::Hint("the adapter keeps received bytes up to " + std::to_string(description.latencyTimer->count()) +
                         " ms before passing them on, and every answer waits that long",
                         HowToLowerLatencyTimer(port));
}

}  // namespace

std::vector<Finding> PortFindings(const platform::PortProbe& probe, const platform::PortDescription& description) {
    if (!probe.present) return {Finding::Problem("no such port", MissingPortFix())};
    std::vector<Finding> findings;
    if (probe.busy) findings.push_back(BusyFinding(probe));
    if (auto access = AccessFinding(probe.access)) findings.push_back(*access);
    if (auto latency = LatencyFinding(probe.name, description)) findings.push_back(*latency);
    return findings;
}

std::vector<Finding> ServiceFindings(const platform::GrabbingService& service) {
    if (service.pids.empty()) return {};
    return {Finding::Problem(service.name + " is running (PID " + PidList(service.pids) + ")",
                             ServiceFix(service.name))};
}

namespace {

PortReport ExaminePort(const std::string& name) {
    PortReport report;
    report.probe = platform::ProbePort(name);
    if (report.probe.present) report.description = platform::DescribePort(name);
    report.findings = PortFindings(report.probe, report.description);
    return report;
}

// The named port, missing or not; else every candidate that is there.
Checkup Examine(const Invocation& inv) {
    Checkup checkup;
    if (!inv.doctorPort.empty()) {
        checkup.ports.push_back(ExaminePort(inv.doctorPort));
    } else {
        for (const auto& name : platform::SystemSerialPorts().Candidates())
            if (PortReport report = ExaminePort(name); report.probe.present) checkup.ports.push_back(std::move(report));
        if (checkup.ports.empty()) checkup.machine.push_back(Finding::Problem("no serial port found", NoPortFix()));
    }
    for (auto& service : platform::SerialPortGrabbers()) {
        std::vector<Finding> findings = ServiceFindings(service);
        checkup.services.push_back(ServiceReport{std::move(service), std::move(findings)});
    }
    return checkup;
}

std::size_t CountProblems(const std::vector<Finding>& findings) {
    return static_cast<std::size_t>(
        std::count_if(findings.begin(), findings.end(), [](const Finding& f) { return f.problem; }));
}

std::size_t CountProblems(const Checkup& checkup) {
    std::size_t count = CountProblems(checkup.machine);
    for (const auto& port : checkup.ports) count += CountProblems(port.findings);
    for (const auto& service : checkup.services) count += CountProblems(service.findings);
    return count;
}

const char* State(const platform::PortProbe& probe) {
    if (!probe.present) return "missing";
    return probe.busy ? "busy" : "free";
}

// The screen a technician reads: each port with its facts, then the services, each
// problem or hint followed by its fix, and the count at the end.

void PrintFindings(const std::vector<Finding>& findings, std::FILE* out) {
    for (const auto& f : findings)
        std::fprintf(out, "  %s: %s\n    fix: %s\n", f.problem ? "problem" : "hint", f.text.c_str(), f.fix.c_str());
}

void PrintField(const char* label, const std::string& value, std::FILE* out) {
    std::fprintf(out, "  %-14s %s\n", label, value.c_str());
}

std::string HoldersText(const platform::PortProbe& probe) {
    std::vector<std::string> parts;
    for (const auto& h : probe.holders) {
        const char* how = h.lockFile && h.openFile ? "lock file, open" : h.lockFile ? "lock file" : "open";
        parts.push_back(HolderName(h) + " [" + how + "]");
    }
    if (!parts.empty()) return Join(parts, ", ");
    if (probe.busy) return "another program (the system does not say which)";
    return probe.holdersComplete ? "nobody"
                                 : "nobody found (other users' processes were not looked into: sudo sees them)";
}

std::string AccessText(const platform::PortAccess& access) {
    const std::string granted = access.granted ? "yes" : "no";
    // The group matters where it is what lets this user in, or what would.
    if (access.group.empty() || (access.granted && !access.memberNow)) return granted;
    const char* member = access.memberNow          ? "you are in it"
                         : access.memberOfAccount ? "you joined it after this login began"
                                                  : "you are not in it";
    return granted + " (group " + access.group + ", " + member + ")";
}

void PrintPort(const PortReport& report, std::FILE* out) {
    const platform::PortProbe& probe = report.probe;
    std::fprintf(out, "%s  %s\n", probe.name.c_str(), State(probe));
    if (probe.present) {
        const platform::PortDescription& d = report.description;
        if (!d.stableName.empty()) PrintField("stable name:", d.stableName, out);
        if (const std::string adapter = d.Text(); !adapter.empty()) PrintField("adapter:", adapter, out);
        PrintField("held by:", HoldersText(probe), out);
        PrintField("access:", AccessText(probe.access), out);
        if (d.latencyTimer) PrintField("latency timer:", std::to_string(d.latencyTimer->count()) + " ms", out);
    }
    PrintFindings(report.findings, out);
}

void PrintScreen(const Checkup& checkup, std::FILE* out) {
    if (checkup.ports.empty()) std::fprintf(out, "ports: none\n");
    PrintFindings(checkup.machine, out);
    for (const auto& port : checkup.ports) PrintPort(port, out);
    if (!checkup.services.empty()) std::fprintf(out, "services that grab serial adapters:\n");
    for (const auto& s : checkup.services) {
        const std::string state =
            s.service.pids.empty() ? "not running" : "running (PID " + PidList(s.service.pids) + ")";
        PrintField((s.service.name + ":").c_str(), state, out);
        PrintFindings(s.findings, out);
    }
    const std::size_t problems = CountProblems(checkup);
    if (problems == 0)
        std::fprintf(out, "No problems found.\n");
    else
        std::fprintf(out, "%zu problem%s found.\n", problems, problems == 1 ? "" : "s");
}

// The same facts as one JSON object, for scripts; what is not known is null.

std::string FindingsJson(const std::vector<Finding>& findings, bool problems) {
    std::vector<std::string> items;
    for (const auto& f : findings)
        if (f.problem == problems) items.push_back(JsonObject().Add("text", f.text).Add("fix", f.fix).Text());
    return "[" + Join(items, ",") + "]";
}

std::string HoldersJson(const std::vector<platform::PortHolder>& holders) {
    std::vector<std::string> items;
    for (const auto& h : holders) {
        JsonObject holder;
        holder.Add("pid", static_cast<std::int64_t>(h.pid)).AddTextOrNull("process", h.process);
        items.push_back(holder.Add("lock_file", h.lockFile).Add("open", h.openFile).Text());
    }
    return "[" + Join(items, ",") + "]";
}

void AddAccess(JsonObject& port, const platform::PortProbe& probe) {
    if (!probe.present) {
        port.AddNull("access").AddNull("group").AddNull("in_group");
        return;
    }
    port.Add("access", probe.access.granted).AddTextOrNull("group", probe.access.group);
    if (probe.access.group.empty())
        port.AddNull("in_group");
    else
        port.Add("in_group", probe.access.memberNow);
}

std::string PortJson(const PortReport& report) {
    const platform::PortProbe& probe = report.probe;
    const platform::PortDescription& d = report.description;
    JsonObject port;
    port.Add("name", probe.name).Add("state", State(probe));
    port.AddTextOrNull("by_id", d.stableName).AddTextOrNull("description", d.Text());
    port.AddRaw("holders", HoldersJson(probe.holders)).Add("holders_complete", probe.holdersComplete);
    AddAccess(port, probe);
    if (d.latencyTimer)
        port.Add("latency_timer_ms", static_cast<std::int64_t>(d.latencyTimer->count()));
    else
        port.AddNull("latency_timer_ms");
    port.AddRaw("problems", FindingsJson(report.findings, true)).AddRaw("hints", FindingsJson(report.findings, false));
    return port.Text();
}

std::string ServiceJson(const ServiceReport& report) {
    std::vector<std::string> pids;
    for (const int pid : report.service.pids) pids.push_back(std::to_string(pid));
    JsonObject service;
    service.Add("name", report.service.name).Add("running", !report.service.pids.empty());
    service.AddRaw("pids", "[" + Join(pids, ",") + "]");
    return service.AddRaw("problems", FindingsJson(report.findings, true)).Text();
}

void PrintJson(const Checkup& checkup, std::FILE* out) {
    std::vector<std::string> ports, services;
    for (const auto& port : checkup.ports) ports.push_back(PortJson(port));
    for (const auto& service : checkup.services) services.push_back(ServiceJson(service));
    JsonObject all;
    all.AddRaw("ports", "[" + Join(ports, ",") + "]").AddRaw("services", "[" + Join(services, ",") + "]");
    all.AddRaw("problems", FindingsJson(checkup.machine, true));
    all.Add("problem_count", static_cast<std::int64_t>(CountProblems(checkup)));
    std::fprintf(out, "%s\n", all.Text().c_str());
}

}  // namespace

Outcome RunDoctor(const Invocation& inv, std::FILE* out) {
    const Checkup checkup = Examine(inv);
    if (inv.json)
        PrintJson(checkup, out);
    else
        PrintScreen(checkup, out);
    std::fflush(out);
    return CountProblems(checkup) == 0 ? Outcome::Done : Outcome::Failed;
}

}  // namespace kx::cli
