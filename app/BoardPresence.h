#pragma once
// A production station loads one board after another on the same port. After a load
// it must not take the same board for the next one: a board that stays in its boot
// loader after the finish would otherwise be loaded again and again.
#include <functional>

namespace kx::link {
class TKX_RS;
}

namespace kx::app {

// Asks the boot loader at address 249 for its identity until a request goes unanswered
// (the board was taken away, or it left its boot loader for its firmware). Returns
// false when `cancelled` says so first; it is asked before every request.
bool WaitUntilBoardGone(link::TKX_RS& link, const std::function<bool()>& cancelled);

}  // namespace kx::app
