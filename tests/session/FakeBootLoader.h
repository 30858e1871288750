#pragma once
// The boot loader at the far end of a FakeLine (line mode 0): answers every request
// addressed to it, remembers what it was sent, and fails where the test says so.
#include <cstdint>
#include <functional>
#include <vector>

#include "tests/support/FakeSerial.h"

namespace kx::test {

struct BootRequest {
    Bytes frame;
    std::uint16_t answerTimeout = 0;   // the link's AnswerTimeout when it was written
    int pageNumber = 0;                // pages programmed before it, plus one
};

class FakeBootLoader {
public:
    static constexpr std::uint8_t Address = 0xF9;
    enum Function : std::uint8_t { Identify = 1, Finish = 6, WriteData = 10, ProgramPage = 20 };

    // `timeout` is read at every write, to record the time-out each request went out with.
    FakeBootLoader(FakeLine& line, const std::uint16_t& timeout);

    // Data of the identity answer: word 0x1D2D, two bytes, revision byte 0x40, one byte,
    // then the head bytes.
    Bytes identity{0x2D, 0x1D, 0x00, 0x00, 0x40, 0x00, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6};
    int ignoredIdentifies = 0;                          // a device that wakes late
    std::function<bool(const BootRequest&)> silentOn;   // no answer to these
    std::function<bool(const BootRequest&)> busyOn;     // answered busy
    std::function<void(const BootRequest&)> onRequest;  // seen before answering

    std::vector<BootRequest> requests;

    std::vector<BootRequest> With(std::uint8_t function) const;
    std::size_t Count(std::uint8_t function) const { return With(function).size(); }

    // A whole answer frame: length, address, header word 1, function, data, check byte.
    static Bytes Answer(std::uint8_t function, const Bytes& data);

private:
    void OnWrite(const Bytes& frame);

    FakeLine& line_;
    const std::uint16_t& timeout_;
    int identifiesSeen_ = 0;
    int pagesProgrammed_ = 0;
};

}  // namespace kx::test
