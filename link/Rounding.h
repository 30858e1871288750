#pragma once
// Rounding to the nearest integer with an exact half going to the even neighbour, as
// the gauge, the transmission allowance and the boot loader's baud rate all need.
#include <cmath>
#include <cstdint>

namespace kx::link {

// numerator / denominator rounded half to even, in exact integer arithmetic.
// The denominator must not be zero.
constexpr std::uint64_t DivideRoundHalfEven(std::uint64_t numerator, std::uint64_t denominator) {
    std::uint64_t quotient = numerator / denominator;
    const std::uint64_t twiceRest = 2 * (numerator % denominator);
    if (twiceRest > denominator || (twiceRest == denominator && quotient % 2 == 1)) ++quotient;
    return quotient;
}

// x rounded half to even, whatever the floating-point rounding mode.
inline double RoundHalfEven(double x) {
    const double down = std::floor(x);
    const double fraction = x - down;
    if (fraction > 0.5) return down + 1;
    if (fraction < 0.5) return down;
    return std::fmod(down, 2.0) == 0 ? down : down + 1;
}

}  // namespace kx::link
