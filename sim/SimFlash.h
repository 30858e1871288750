#pragma once
// The device's program memory as a file: pages land where the boot loader would
// program them, everything never written stays 0xFF.
#include <cstdint>
#include <map>
#include <string>

#include "sim/SimFrame.h"

namespace kx::sim {

class FlashImage {
public:
    explicit FlashImage(std::string path) : path_(std::move(path)) {}

    void StorePacket(std::uint8_t address, std::uint8_t index, const Bytes& bytes);
    // Programs the packets stored for `address` as the page at `pageAddress` and writes
    // the file; the packets are then used up.
    void ProgramPage(std::uint8_t address, std::uint32_t pageAddress);
    void Erase();

    // Byte offset of a page address: program-memory addresses count 3 bytes per 2
    // address units at 249 and 241; 240 counts bytes.
    static std::uint64_t Offset(std::uint8_t address, std::uint32_t pageAddress);

private:
    void Save() const;

    std::string path_;
    Bytes image_;
    std::map<std::uint8_t, std::map<std::uint8_t, Bytes>> pending_;
};

}  // namespace kx::sim
