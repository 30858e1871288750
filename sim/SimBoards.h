#pragma once
// Boards coming and going on one port, as on a production bench: a board answers until
// it has been told loading is finished, stays in its boot loader for a while (its
// linger), is taken away, the port stays silent for a while, then the next board (with
// empty flash) is put on. After the last board the port stays silent.
#include <chrono>
#include <vector>

#include "sim/SimLine.h"

namespace kx::sim {

class BoardSequence {
public:
    using Millis = std::chrono::milliseconds;

    // `boards` 0: one board that never leaves (the simulator's default). `linger[k]` is
    // board k's (0-based; the last value holds for the boards after it).
    BoardSequence(long boards, std::vector<Millis> linger, Millis absent);

    // Whether a board is on the line at `now`; moves on to the next board when its turn
    // has come (NewBoard then tells so once).
    bool Present(TimePoint now);
    // The board on the line, or the one that left last: 1, 2, ...
    long Board() const { return board_; }
    // True once after the board changed.
    bool NewBoard();
    // The board on the line was told that loading is finished, at `now`.
    void Finished(TimePoint now);

private:
    enum class State { Present, Leaving, Absent, Done };

    long boards_;
    std::vector<Millis> linger_;
    Millis absent_;
    State state_ = State::Present;
    TimePoint leaves_{}, next_{};
    long board_ = 1;
    bool changed_ = false;
};

}  // namespace kx::sim
