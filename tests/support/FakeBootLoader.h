#pragma once
// A boot loader at the far end of a FakeLine: answers every request (addressed to it, when
// it has an address) with the status of its function code, records each request with the
// link's answer time-out and the line's rate, collects data packets into programmed pages,
// and stays silent, answers busy or ignores wake-ups where the test says so.
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <vector>

#include "link/KX_RS232.h"
#include "tests/support/FakeSerial.h"

namespace kx::test {

struct BootRequest {
    Bytes frame;
    std::uint8_t address = 0;
    std::uint8_t function = 0;
    Bytes data;                       // the bytes between the function code and the check byte
    std::uint16_t answerTimeout = 0;  // the link's AnswerTimeout when it was written
    std::uint32_t baud = 0;           // the line's rate then
    int pageNumber = 0;               // pages programmed before it, plus one
};

struct ProgrammedPage {
    std::uint32_t address;
    Bytes bytes;  // the packets received since the previous page, in packet order
};

class FakeBootLoader {
public:
    enum Function : std::uint8_t { Identify = 1, Erase = 2, Finish = 6, WriteData = 10, ProgramPage = 20 };

    FakeBootLoader(FakeLine& line, const link::TKX_RS& link);
    FakeBootLoader(const FakeBootLoader&) = delete;  // the line calls back into this one
    FakeBootLoader& operator=(const FakeBootLoader&) = delete;

    std::optional<std::uint8_t> address;   // answer only requests to it; all when empty
    Bytes identity;                        // data of the identity answer
    bool echo = false;                     // a two-wire line: every request comes back first
    std::optional<platform::Millis> answerDelay;  // after the write; right behind the last byte when empty
    int ignoredIdentifies = 0;                          // a device that wakes late
    std::function<bool(const BootRequest&)> silentOn;   // no answer to these
    std::function<bool(const BootRequest&)> busyOn;     // answered busy
    std::function<void(const BootRequest&)> onRequest;  // seen before answering

    std::vector<BootRequest> requests;
    std::vector<ProgrammedPage> pages;

    std::vector<BootRequest> With(std::uint8_t function) const;
    std::size_t Count(std::uint8_t function) const { return With(function).size(); }

    // A whole answer frame: length, address, header word 1, status, data, check byte.
    static Bytes Frame(std::uint8_t address, std::uint8_t status, const Bytes& data);

private:
    void OnWrite(const Bytes& frame);
    void Answer(const BootRequest& request, std::uint8_t status, const Bytes& data);
    void Collect(const BootRequest& request);

    FakeLine& line_;
    const link::TKX_RS& link_;
    int identifiesSeen_ = 0;
    std::map<std::uint8_t, Bytes> packets_;
};

}  // namespace kx::test
