#pragma once
// The byte-stream layer: one transmit and one receive frame, typed little-endian
// Put/Get, frame closing and the check of a received frame.
#include <array>
#include <cstdint>
#include <string>

#include "link/KX_BD.h"
#include "link/LoadOutcome.h"
#include "link/RangeError.h"

namespace kx::link {

class TKXBaseInterface : public TKXBaseDevice {
public:
    static constexpr int BufferSize = 256;
    using Buffer = std::array<std::uint8_t, BufferSize>;

    using TKXBaseDevice::TKXBaseDevice;

    Buffer TxBuf{};
    Buffer RxBuf{};
    std::int32_t TxPos = 0;
    std::int32_t RxPos = 0;

    virtual bool CheckAnswer();
    virtual void BeginFrame();
    virtual void EndFrame();
    virtual void PutChar(char c);
    virtual void PutByte(std::uint8_t b);
    virtual void PutWord(std::uint16_t w);
    virtual void PutLongInt(std::int32_t i);
    virtual void PutSingle(float s);
    virtual char GetChar();
    virtual std::uint8_t GetByte();
    virtual std::uint16_t GetWord();
    virtual std::int32_t GetLongInt();
    virtual float GetSingle();
    virtual void GetString(std::string& s);
    virtual void StartCommand(std::uint8_t addr, std::uint8_t func);
    virtual void Transact();
    virtual void TransactOnce();
    virtual void Command(std::uint8_t addr, std::uint8_t func);
    virtual int ReadAddress();
    // The two built-in loads; each returns how it ended (its box already shown).
    virtual LoadOutcome EraseAndLoad(const std::string& fileName, bool checkIdentity, double clockHz,
                                     std::uint16_t expectedId);
    virtual LoadOutcome PatchAndLoad(const std::string& fileName, bool checkIdentity,
                                     std::uint16_t expectedId, std::uint8_t expectedRevision);

private:
    // Appends the four bytes of `u`, least significant first, each through PutByte.
    void PutBytesOf(std::uint32_t u);
};

}  // namespace kx::link
