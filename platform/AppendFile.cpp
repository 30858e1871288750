// The portable half of AppendFile: ownership of the handle. Open, Append and Close are
// in the OS backends.
#include "platform/AppendFile.h"

#include <utility>

namespace kx::platform {

AppendFile::~AppendFile() { Close(); }

AppendFile::AppendFile(AppendFile&& other) noexcept : handle_(std::exchange(other.handle_, Closed)) {}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept {
    if (this != &other) {
        Close();
        handle_ = std::exchange(other.handle_, Closed);
    }
    return *this;
}

}  // namespace kx::platform
