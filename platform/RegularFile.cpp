// The portable half of RegularFile: ownership of the handle. Open, ReadAt and Close are
// in the OS backends.
#include "platform/RegularFile.h"

#include <utility>

namespace kx::platform {

RegularFile::~RegularFile() { Close(); }

RegularFile::RegularFile(RegularFile&& other) noexcept
    : handle_(std::exchange(other.handle_, Closed)), size_(other.size_) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, Closed);
        size_ = other.size_;
    }
    return *this;
}

}  // namespace kx::platform
