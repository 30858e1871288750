#include "cli/BoardCapture.h"


#include "link/BootLoaders.h"
#include "cli/Json.h"
#include "link/BootFunctions.h"

namespace kx::cli {
namespace {

// Length, address, header word, function code: the data start here; the check byte ends.
constexpr std::size_t DataStart = 5;

}  // namespace

void BoardCapture::Sent(const std::uint8_t* data, std::size_t count) {
    identifySent_ = count > DataStart - 1 && data[1] == link::BootLoader249.address && data[4] == link::fnIdentify;
    if (next_ != nullptr) next_->Sent(data, count);
}

void BoardCapture::Received(const std::uint8_t* data, std::size_t count, bool echo) {
    // Only a whole answer to an identify request; the session reads the last one that came.
    if (!echo && identifySent_ && count > DataStart && count == data[0]) {
        identity_ = HexText({data + DataStart, count - DataStart - 1});
    }
    if (next_ != nullptr) next_->Received(data, count, echo);
}

}  // namespace kx::cli
