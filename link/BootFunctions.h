#pragma once
// Function codes the device's boot loaders understand, whatever their bus address.
#include <cstdint>

namespace kx::link {

inline constexpr std::uint8_t fnIdentify = 1;     // wake-up poll; the answer carries the identity
inline constexpr std::uint8_t fnErase = 2;        // erase the device (boot loader at 240 only)
inline constexpr std::uint8_t fnFinish = 6;       // end of loading
inline constexpr std::uint8_t fnWriteData = 10;   // one data packet of the current page
inline constexpr std::uint8_t fnProgramPage = 20; // program the page just sent

}  // namespace kx::link
