#pragma once
// One firmware load through the boot loader at address 249: wake it, check the chip's
// identity and the image, send the pages, finish. Every outcome is shown through the
// link's user interface and returned; only a file that exists but cannot be read leaves
// as an exception.
#include <array>
#include <cstdint>
#include <string>

#include "link/LoadOutcome.h"

namespace kx::link {
class TKX_RS;
}

namespace kx::app {

class FirmwareImage;

using HeadBytes = std::array<std::uint8_t, 6>;

// `headBytes` receives the six bytes of the identity answer (the main window keeps them).
link::LoadOutcome RunBootSession(link::TKX_RS& link, const std::string& imageFileName, HeadBytes& headBytes);
// The same with the image named `imageFileName` already read (several boards loaded
// from one reading); each session works on its own copy.
link::LoadOutcome RunBootSession(link::TKX_RS& link, const std::string& imageFileName,
                                 const FirmwareImage& image, HeadBytes& headBytes);

}  // namespace kx::app
