#include "link/KX_BI.h"

#include <bit>
#include <stdexcept>

namespace kx::link {
namespace {

constexpr std::int32_t LastIndex = TKXBaseInterface::BufferSize - 1;
// The longest frame the one-byte length can describe.
constexpr std::int32_t MaxFrameLength = 255;

// Throws unless the `count` bytes from `pos` all lie inside a buffer.
void CheckSpan(std::int32_t pos, std::int32_t count) {
    if (pos < 0 || pos > LastIndex - (count - 1)) throw RangeError();
}

[[noreturn]] void Abstract() { throw std::logic_error("Abstract error"); }

std::uint32_t LittleEndian32(const TKXBaseInterface::Buffer& buf, std::int32_t pos) {
    CheckSpan(pos, 4);
    const auto at = static_cast<std::size_t>(pos);
    std::uint32_t u = 0;
    for (std::size_t k = 0; k < 4; ++k) u |= static_cast<std::uint32_t>(buf[at + k]) << (8 * k);
    return u;
}

}  // namespace

bool TKXBaseInterface::CheckAnswer() {
    const int length = RxBuf[0];
    unsigned sum = 0;
    for (int i = 0; i < length; ++i) sum += RxBuf[static_cast<std::size_t>(i)];
    return sum % 256 == 0;
}

void TKXBaseInterface::BeginFrame() { TxPos = 1; }

void TKXBaseInterface::EndFrame() {
    if (TxPos < 0 || TxPos > MaxFrameLength - 1) throw RangeError();
    TxBuf[0] = static_cast<std::uint8_t>(TxPos + 1);
    unsigned sum = 0;
    for (std::int32_t i = 0; i < TxPos; ++i) sum += TxBuf[static_cast<std::size_t>(i)];
    TxBuf[static_cast<std::size_t>(TxPos)] = static_cast<std::uint8_t>((256 - sum % 256) % 256);
}

void TKXBaseInterface::PutChar(char) { Abstract(); }

void TKXBaseInterface::PutByte(std::uint8_t b) {
    CheckSpan(TxPos, 1);
    TxBuf[static_cast<std::size_t>(TxPos)] = b;
    ++TxPos;
}

void TKXBaseInterface::PutWord(std::uint16_t w) {
    PutByte(static_cast<std::uint8_t>(w & 0xFF));
    PutByte(static_cast<std::uint8_t>(w >> 8));
}

void TKXBaseInterface::PutBytesOf(std::uint32_t u) {
    for (int shift = 0; shift < 32; shift += 8) PutByte(static_cast<std::uint8_t>((u >> shift) & 0xFF));
}

void TKXBaseInterface::PutLongInt(std::int32_t i) { PutBytesOf(static_cast<std::uint32_t>(i)); }

void TKXBaseInterface::PutSingle(float s) { PutBytesOf(std::bit_cast<std::uint32_t>(s)); }

char TKXBaseInterface::GetChar() { Abstract(); }

std::uint8_t TKXBaseInterface::GetByte() {
    CheckSpan(RxPos, 1);
    const std::uint8_t b = RxBuf[static_cast<std::size_t>(RxPos)];
    ++RxPos;
    return b;
}

std::uint16_t TKXBaseInterface::GetWord() {
    CheckSpan(RxPos, 2);
    const auto at = static_cast<std::size_t>(RxPos);
    const auto w = static_cast<std::uint16_t>(RxBuf[at] | (RxBuf[at + 1] << 8));
    RxPos += 2;
    return w;
}

std::int32_t TKXBaseInterface::GetLongInt() {
    const std::uint32_t u = LittleEndian32(RxBuf, RxPos);
    RxPos += 4;
    return static_cast<std::int32_t>(u);
}

float TKXBaseInterface::GetSingle() {
    const std::uint32_t u = LittleEndian32(RxBuf, RxPos);
    RxPos += 4;
    return std::bit_cast<float>(u);
}

void TKXBaseInterface::GetString(std::string& s) { s.clear(); }

void TKXBaseInterface::StartCommand(std::uint8_t, std::uint8_t) {}
void TKXBaseInterface::Transact() { Abstract(); }
void TKXBaseInterface::TransactOnce() { Abstract(); }
void TKXBaseInterface::Command(std::uint8_t, std::uint8_t) {}
int TKXBaseInterface::ReadAddress() { return 0; }

LoadOutcome TKXBaseInterface::EraseAndLoad(const std::string&, bool, double, std::uint16_t) {
    Abstract();
}
LoadOutcome TKXBaseInterface::PatchAndLoad(const std::string&, bool, std::uint16_t, std::uint8_t) {
    Abstract();
}

}  // namespace kx::link
