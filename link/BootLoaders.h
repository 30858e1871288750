#pragma once
// What differs from one boot loader to the next: its bus address, what its identity answer
// holds, the page geometries it programs, its time-outs, the stages its load goes
// through and which failures it reports. The load engine is driven by one of these.
#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <optional>
#include <span>

#include "platform/Clock.h"

namespace kx::ui {
class ProgressWindow;
}

namespace kx::link {

class TKX_RS;

using HeadBytes = std::array<std::uint8_t, 6>;

// What an identity answer told.
struct Identity {
    std::uint16_t word = 0;
    std::optional<std::uint8_t> revision;   // upper nibble of the revision byte
    std::optional<HeadBytes> head;
};

// The page layout a chip's identity word selects.
struct PageGeometry {
    static constexpr std::uint64_t NoLimit = std::numeric_limits<std::uint64_t>::max();

    std::uint16_t id;
    std::size_t pageSize;
    std::size_t packetSize;
    std::uint64_t maxImageSize;
};

struct LoadTimeouts {
    platform::Millis wake;
    platform::Millis erase;
    platform::Millis data;
    platform::Millis program;
    platform::Millis finish;
};

// How a load treats the link's rate: set for the load (and verified), put back after.
struct RateHandling {
    bool setsRate;
    bool verifiesRate;
    bool restoresBeforeWindow;   // a missing or unreadable file puts the rate back at once
    bool restoresAfterLoad;      // rate and answer time-out put back however the load ended
};

struct BootLoaderProfile {
    std::uint8_t address;
    std::span<const PageGeometry> geometries;
    std::size_t identityBytes;                  // data bytes the identity answer must carry
    Identity (*readIdentity)(TKX_RS& link);
    LoadTimeouts timeouts;
    std::uint32_t pageAddressStep;              // 0: the page size
    std::size_t skippedPage;                    // 0: none
    bool erases;
    bool reportsFinishFailure;
    RateHandling rate;
    const char* missingFileText;                // "%s" stands for the file's name
    const char* refusedImageText;               // an image longer than the geometry allows
    // Sets up the new progress window's caption, gauge and cancel button.
    void (*openWindow)(ui::ProgressWindow& window, std::uint8_t lineMode);
    const char* clearingCaption;                // nullptr: no such stage
};

// The identity word of the chip the desktop program loads.
inline constexpr std::uint16_t SessionIdentityWord = 0x1D2D;
inline constexpr std::uint8_t SessionRevision = 4;

// The boot loader the desktop program talks to, and the link's two built-in ones.
extern const BootLoaderProfile BootLoader249;
extern const BootLoaderProfile BootLoader240;
extern const BootLoaderProfile BootLoader241;

}  // namespace kx::link
