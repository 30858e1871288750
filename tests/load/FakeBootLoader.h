#pragma once
// A boot loader at the far end of a FakeLine: it answers every request with the status
// of its function code, collects data packets and records each programmed page.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "link/KX_RS232.h"
#include "tests/support/FakeSerial.h"

namespace kx::test {

struct Request {
    std::uint8_t address = 0;
    std::uint8_t function = 0;
    Bytes data;                    // the bytes between the function code and the check byte
    std::uint16_t answerTimeout = 0;  // the link's AnswerTimeout when it was written
    std::uint32_t baud = 0;           // the line's rate then
};

struct ProgrammedPage {
    std::uint32_t address;
    Bytes bytes;  // the packets received since the previous page, in packet order
};

class FakeBootLoader {
public:
    FakeBootLoader(std::shared_ptr<FakeLine> line, link::TKX_RS& link) : line_(std::move(line)), link_(link) {
        line_->onWrite = [this](const Bytes& frame) { OnRequest(frame); };
    }

    Bytes identity;                 // data of the identity answer
    bool echo = false;              // a two-wire line: every request comes back first
    // Requests for which this returns true go unanswered (index counts every request).
    std::function<bool(const Request&, std::size_t index)> silent;

    std::vector<Request> requests;
    std::vector<ProgrammedPage> pages;

    std::size_t Count(std::uint8_t function) const {
        std::size_t n = 0;
        for (const auto& r : requests) n += r.function == function ? 1 : 0;
        return n;
    }

    static Bytes Frame(std::uint8_t address, std::uint8_t status, const Bytes& data) {
        Bytes frame{static_cast<std::uint8_t>(data.size() + 6), address, 0x01, 0x00, status};
        frame.insert(frame.end(), data.begin(), data.end());
        unsigned sum = 0;
        for (std::uint8_t b : frame) sum += b;
        frame.push_back(static_cast<std::uint8_t>((256 - sum % 256) % 256));
        return frame;
    }

private:
    void OnRequest(const Bytes& frame) {
        if (echo) line_->Send(frame);
        Request r{frame[1], frame[4], Bytes(frame.begin() + 5, frame.end() - 1), link_.AnswerTimeout, line_->baud};
        requests.push_back(r);
        if (silent && silent(r, requests.size() - 1)) return;
        Apply(r);
        line_->SendAfterLast(Frame(r.address, r.function, r.function == 1 ? identity : Bytes{}));
    }

    void Apply(const Request& r) {
        if (r.function == 10) packets_[r.data.at(0)] = Bytes(r.data.begin() + 1, r.data.end());
        if (r.function != 20) return;
        ProgrammedPage page{static_cast<std::uint32_t>(r.data.at(0) | r.data.at(1) << 8 | r.data.at(2) << 16), {}};
        for (const auto& [k, bytes] : packets_) page.bytes.insert(page.bytes.end(), bytes.begin(), bytes.end());
        packets_.clear();
        pages.push_back(std::move(page));
    }

    std::shared_ptr<FakeLine> line_;
    link::TKX_RS& link_;
    std::map<std::uint8_t, Bytes> packets_;
};

}  // namespace kx::test
