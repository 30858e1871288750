#include "tests/support/FakeBootLoader.h"

namespace kx::test {

FakeBootLoader::FakeBootLoader(FakeLine& line, const link::TKX_RS& link) : line_(line), link_(link) {
    line_.onWrite = [this](const Bytes& frame) { OnWrite(frame); };
}

Bytes FakeBootLoader::Frame(std::uint8_t address, std::uint8_t status, const Bytes& data) {
    Bytes frame{static_cast<std::uint8_t>(data.size() + 6), address, 0x01, 0x00, status};
    frame.insert(frame.end(), data.begin(), data.end());
    std::uint8_t sum = 0;
    for (std::uint8_t b : frame) sum = static_cast<std::uint8_t>(sum + b);
    frame.push_back(static_cast<std::uint8_t>(0x100 - sum));
    return frame;
}

void FakeBootLoader::OnWrite(const Bytes& frame) {
    if (echo) line_.Send(frame);
    BootRequest r{frame, 0, 0, {}, link_.AnswerTimeout, line_.baud, static_cast<int>(pages.size()) + 1};
    if (frame.size() >= 6) {
        r.address = frame[1];
        r.function = frame[4];
        r.data.assign(frame.begin() + 5, frame.end() - 1);
    }
    requests.push_back(r);
    if (onRequest) onRequest(r);
    if (frame.size() < 6 || (address && r.address != *address)) return;
    if (r.function == Identify && identifiesSeen_++ < ignoredIdentifies) return;
    if (silentOn && silentOn(r)) return;
    if (busyOn && busyOn(r)) {
        Answer(r, 0xFF, {});
        return;
    }
    Collect(r);
    Answer(r, r.function, r.function == Identify ? identity : Bytes{});
}

void FakeBootLoader::Answer(const BootRequest& request, std::uint8_t status, const Bytes& data) {
    const Bytes answer = Frame(request.address, status, data);
    if (answerDelay) line_.Send(answer, *answerDelay);
    else line_.SendAfterLast(answer);
}

void FakeBootLoader::Collect(const BootRequest& r) {
    if (r.function == WriteData) packets_[r.data.at(0)] = Bytes(r.data.begin() + 1, r.data.end());
    if (r.function != ProgramPage) return;
    ProgrammedPage page{static_cast<std::uint32_t>(r.data.at(0) | r.data.at(1) << 8 | r.data.at(2) << 16), {}};
    for (const auto& [k, bytes] : packets_) page.bytes.insert(page.bytes.end(), bytes.begin(), bytes.end());
    packets_.clear();
    pages.push_back(std::move(page));
}

std::vector<BootRequest> FakeBootLoader::With(std::uint8_t function) const {
    std::vector<BootRequest> out;
    for (const auto& r : requests)
        if (r.frame.size() > 4 && r.function == function) out.push_back(r);
    return out;
}

}  // namespace kx::test
