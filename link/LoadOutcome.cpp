#include "link/LoadOutcome.h"

namespace kx::link {

LoadKind KindOf(LoadReason reason) {
    switch (reason) {
        case LoadReason::Loaded: return LoadKind::Loaded;
        case LoadReason::WrongController:
        case LoadReason::TypeMismatch:
        case LoadReason::VersionMismatch:
        case LoadReason::TooLong:
        case LoadReason::TooShort: return LoadKind::Refused;
        case LoadReason::Cancelled: return LoadKind::Cancelled;
        case LoadReason::NoFileName:
        case LoadReason::FileMissing:
        case LoadReason::RateRefused:
        case LoadReason::NoPort:
        case LoadReason::PortMissing:
        case LoadReason::EraseFailed:
        case LoadReason::ExchangeFailed:
        case LoadReason::OutOfRange:
        case LoadReason::PortLost:
        case LoadReason::FinishFailed:
        case LoadReason::NoEcho:
        case LoadReason::UnexpectedEcho:
        case LoadReason::UnexpectedError: break;
    }
    return LoadKind::Failed;
}

const char* KindName(LoadKind kind) {
    switch (kind) {
        case LoadKind::Loaded: return "loaded";
        case LoadKind::Refused: return "refused";
        case LoadKind::Cancelled: return "cancelled";
        case LoadKind::Failed: break;
    }
    return "failed";
}

const char* ReasonName(LoadReason reason) {
    switch (reason) {
        case LoadReason::Loaded: return "loaded";
        case LoadReason::WrongController: return "wrong-controller";
        case LoadReason::TypeMismatch: return "type-mismatch";
        case LoadReason::VersionMismatch: return "version-mismatch";
        case LoadReason::TooLong: return "too-long";
        case LoadReason::TooShort: return "too-short";
        case LoadReason::NoFileName: return "no-file-name";
        case LoadReason::FileMissing: return "file-missing";
        case LoadReason::RateRefused: return "rate-refused";
        case LoadReason::NoPort: return "no-port";
        case LoadReason::PortMissing: return "port-missing";
        case LoadReason::EraseFailed: return "erase-failed";
        case LoadReason::ExchangeFailed: return "exchange-failed";
        case LoadReason::OutOfRange: return "out-of-range";
        case LoadReason::PortLost: return "port-lost";
        case LoadReason::FinishFailed: return "finish-failed";
        case LoadReason::NoEcho: return "no-echo";
        case LoadReason::UnexpectedEcho: return "unexpected-echo";
        case LoadReason::UnexpectedError: return "unexpected-error";
        case LoadReason::Cancelled: return "cancelled";
    }
    return "unexpected-error";
}

std::string OutcomeLine(const std::optional<LoadOutcome>& outcome) {
    if (!outcome) return "outcome=none";
    return std::string("outcome=") + KindName(outcome->Kind()) + " reason=" + ReasonName(outcome->reason) +
           " pages=" + std::to_string(outcome->pages);
}

}  // namespace kx::link
