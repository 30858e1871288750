// kxboot-cli: the firmware loader for production benches and scripts.
#include <cstdio>
#include <exception>
#include <iostream>
#include <string>
#include <vector>

#include "cli/CancelSignals.h"
#include "cli/CommandLine.h"
#include "cli/Commands.h"
#include "cli/Doctor.h"
#include "cli/ConsoleUi.h"
#include "cli/Terminal.h"
#include "platform/Clock.h"
#include "platform/Console.h"
#include "ui/UserInterface.h"

namespace {

using namespace kx::cli;

constexpr int ExitDone = 0;
constexpr int ExitFailed = 1;
constexpr int ExitUsage = 2;

Outcome Dispatch(const Invocation& inv, ConsoleUi& ui) {
    switch (inv.command) {
        case CommandKind::Load: return RunLoad(inv, ui);
        case CommandKind::Info: return RunInfo(inv, ui, stdout);
        case CommandKind::Ports: return RunPorts(inv, ui, stdout);
        case CommandKind::EraseAndLoad: return RunEraseAndLoad(inv, ui);
        case CommandKind::PatchAndLoad: return RunPatchAndLoad(inv, ui);
        case CommandKind::Address: return RunAddress(inv, ui, stdout);
        case CommandKind::Doctor: return RunDoctor(inv, stdout);
    }
    return Outcome::Failed;
}

int ExitCode(Outcome outcome) {
    switch (outcome) {
        case Outcome::Done: return ExitDone;
        case Outcome::Cancelled: return CancelledExitCode;
        case Outcome::Failed: break;
    }
    return ExitFailed;
}

}  // namespace

int main(int argc, char** argv) {
    kx::platform::PrepareConsole();
    // UTF-8 arguments whatever the OS hands over (file names with Cyrillic letters).
    const std::vector<std::string> arguments = kx::platform::CommandLineArguments(argc, argv);
    std::vector<const char*> args;
    for (const auto& a : arguments) args.push_back(a.c_str());
    std::optional<Invocation> inv;
    try {
        inv = ParseCommandLine(static_cast<int>(args.size()), args.data(), std::cout);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "kxboot-cli: %s\n%s\n", e.what(), UsageLine);
        return ExitUsage;
    }
    if (!inv) return ExitDone;

    InstallCancelSignals();
    IgnoreClosedPipes();
    ConsoleUi ui({stdout, stderr, stdin, kx::platform::ConsoleTakesEscapes()}, kx::platform::SystemClock(),
                 StderrIsTerminal());
    try {
        const int status = ExitCode(Dispatch(*inv, ui));
        if (status == CancelledExitCode) ui.ShowCancelReason();
        return status;
    } catch (const HardStop&) {
        // A command of its own (not a load, which records its cancel) stopped at once.
        ui.ShowCancelReason();
        return CancelledExitCode;
    } catch (const std::exception& e) {
        // The application's general error report: an unreadable file, a trace file
        // that cannot be written, an unexpected failure.
        std::fprintf(stderr, "%s\n", e.what());
        return ExitFailed;
    }
}
