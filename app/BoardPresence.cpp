#include "app/BoardPresence.h"

#include <chrono>
#include <exception>

#include "link/BootLoaders.h"
#include "link/BootFunctions.h"
#include "link/KX_RS232.h"
#include "link/LinkError.h"

namespace kx::app {
namespace {

// As short as the wake loop's: a board that is there answers at once.
constexpr std::chrono::milliseconds PollTimeout{100};
// Between answered polls, so that a board lingering in its boot loader is not hammered.
constexpr std::chrono::milliseconds PollPause{200};

}  // namespace

bool WaitUntilBoardGone(link::TKX_RS& link, const std::function<bool()>& cancelled) {
    for (;;) {
        if (cancelled()) return false;
        link.AnswerTimeout = static_cast<std::uint16_t>(PollTimeout.count());
        try {
            link.Command(link::BootLoader249.address, link::fnIdentify);
        } catch (const link::EchoMismatch&) {
            // Answered, through an adapter at odds with the line mode: still there.
        } catch (const std::exception&) {
            return true;   // three attempts unanswered: nobody there
        }
        link.Clock().Sleep(PollPause);
    }
}

}  // namespace kx::app
