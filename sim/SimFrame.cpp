#include "sim/SimFrame.h"

namespace kx::sim {

std::uint8_t CheckByteFor(const std::uint8_t* data, std::size_t count) {
    unsigned sum = 0;
    for (std::size_t i = 0; i < count; ++i) sum += data[i];
    return static_cast<std::uint8_t>((256u - (sum & 0xFFu)) & 0xFFu);
}

bool SumsToZero(const Bytes& frame) {
    unsigned sum = 0;
    for (std::uint8_t b : frame) sum += b;
    return (sum & 0xFFu) == 0;
}

Bytes BuildFrame(std::uint8_t address, std::optional<std::uint16_t> header, std::uint8_t function,
                 const Bytes& data) {
    Bytes frame;
    frame.reserve(data.size() + 6);
    frame.push_back(0);  // length, filled in below
    frame.push_back(address);
    if (header) {
        frame.push_back(static_cast<std::uint8_t>(*header & 0xFFu));
        frame.push_back(static_cast<std::uint8_t>(*header >> 8));
    }
    frame.push_back(function);
    frame.insert(frame.end(), data.begin(), data.end());
    frame[0] = static_cast<std::uint8_t>(frame.size() + 1);
    frame.push_back(CheckByteFor(frame.data(), frame.size()));
    return frame;
}

Request ParseRequest(const Bytes& raw, bool shortHeader) {
    Request request;
    request.raw = raw;
    request.address = raw[1];
    std::size_t functionIndex = 2;
    if (!shortHeader) {
        request.header = static_cast<std::uint16_t>(raw[2] | (raw[3] << 8));
        functionIndex = 4;
    }
    request.function = raw[functionIndex];
    request.data.assign(raw.begin() + static_cast<long>(functionIndex) + 1, raw.end() - 1);
    request.checkOk = SumsToZero(raw);
    return request;
}

}  // namespace kx::sim
