#include "tests/session/FakeBootLoader.h"

namespace kx::test {

FakeBootLoader::FakeBootLoader(FakeLine& line, const std::uint16_t& timeout) : line_(line), timeout_(timeout) {
    line_.onWrite = [this](const Bytes& frame) { OnWrite(frame); };
}

Bytes FakeBootLoader::Answer(std::uint8_t function, const Bytes& data) {
    Bytes frame{static_cast<std::uint8_t>(6 + data.size()), Address, 0x01, 0x00, function};
    frame.insert(frame.end(), data.begin(), data.end());
    std::uint8_t sum = 0;
    for (std::uint8_t b : frame) sum = static_cast<std::uint8_t>(sum + b);
    frame.push_back(static_cast<std::uint8_t>(0x100 - sum));
    return frame;
}

void FakeBootLoader::OnWrite(const Bytes& frame) {
    BootRequest request{frame, timeout_, pagesProgrammed_ + 1};
    requests.push_back(request);
    if (onRequest) onRequest(request);
    if (frame.size() < 6 || frame[1] != Address) return;
    const std::uint8_t function = frame[4];
    if (function == Identify && identifiesSeen_++ < ignoredIdentifies) return;
    if (silentOn && silentOn(request)) return;
    if (busyOn && busyOn(request)) {
        line_.Send(Answer(0xFF, {}), platform::Millis{2});
        return;
    }
    if (function == ProgramPage) ++pagesProgrammed_;
    line_.Send(Answer(function, function == Identify ? identity : Bytes{}), platform::Millis{2});
}

std::vector<BootRequest> FakeBootLoader::With(std::uint8_t function) const {
    std::vector<BootRequest> out;
    for (const auto& r : requests)
        if (r.frame.size() > 4 && r.frame[4] == function) out.push_back(r);
    return out;
}

}  // namespace kx::test
