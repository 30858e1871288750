#pragma once
#include <stdexcept>

namespace kx::link {

// An index or narrowing conversion out of range; never wraps, never reaches outside a buffer.
class RangeError : public std::range_error {
public:
    RangeError() : std::range_error("Range check error") {}
};

}  // namespace kx::link
