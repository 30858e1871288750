#pragma once
// How a load ended, as a value: decided where the load decides it, so that whoever reads
// it (a report, an exit status, a self-test) never has to guess from the text of a box.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "link/BootLoaders.h"

namespace kx::link {

enum class LoadKind { Loaded, Refused, Failed, Cancelled };

// Why a load ended; each reason belongs to exactly one kind. The names are stable: they go
// into reports that scripts read. Loaded stays first and Cancelled last.
enum class LoadReason {
    Loaded,
    // refused: the device or the image says no
    WrongController,
    TypeMismatch,
    VersionMismatch,
    TooLong,
    TooShort,
    // failed before anything was sent
    NoFileName,
    FileMissing,
    RateRefused,
    NoPort,
    PortMissing,   // no port goes by the name asked for
    // failed while loading
    EraseFailed,
    ExchangeFailed,
    OutOfRange,
    PortLost,
    FinishFailed,
    // the adapter and the line mode disagree about the request's echo
    NoEcho,
    UnexpectedEcho,
    UnexpectedError,
    // cancelled by the user (or on the user's behalf: a signal, a time-out)
    Cancelled,
};

LoadKind KindOf(LoadReason reason);
// "loaded", "refused", "failed", "cancelled".
const char* KindName(LoadKind kind);
// "wrong-controller", "type-mismatch", ... one per reason, never reused.
const char* ReasonName(LoadReason reason);

// The reason an image gives for not taking a device, with the text its box shows.
struct ImageRefusal {
    LoadReason reason;
    std::string text;

    bool operator==(const ImageRefusal&) const = default;
};

struct LoadOutcome {
    LoadReason reason = LoadReason::NoFileName;
    std::string text;                        // what the box showed; "" when none was shown
    std::vector<std::uint8_t> identity;      // the identity answer's data bytes, once read
    std::optional<HeadBytes> head;           // the head bytes of that answer, where it has them
    int pages = 0;                           // pages sent

    LoadKind Kind() const { return KindOf(reason); }
};

// "outcome=refused reason=too-long pages=0": one line for self-tests and scripts to read;
// "outcome=none" when there is no outcome (the load left by an exception).
std::string OutcomeLine(const std::optional<LoadOutcome>& outcome);

}  // namespace kx::link
