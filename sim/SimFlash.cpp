#include "sim/SimFlash.h"

#include <cstdio>
#include <fstream>

namespace kx::sim {

std::uint64_t FlashImage::Offset(std::uint8_t address, std::uint32_t pageAddress) {
    return address == 240 ? pageAddress : std::uint64_t{pageAddress} * 3 / 2;
}

void FlashImage::StorePacket(std::uint8_t address, std::uint8_t index, const Bytes& bytes) {
    pending_[address][index] = bytes;
}

void FlashImage::ProgramPage(std::uint8_t address, std::uint32_t pageAddress) {
    const std::uint64_t base = Offset(address, pageAddress);
    for (const auto& [index, bytes] : pending_[address]) {
        const std::uint64_t at = base + std::uint64_t{index} * bytes.size();
        if (image_.size() < at + bytes.size()) image_.resize(at + bytes.size(), 0xFF);
        std::copy(bytes.begin(), bytes.end(), image_.begin() + static_cast<long>(at));
    }
    pending_.erase(address);
    Save();
}

void FlashImage::Erase() {
    image_.clear();
    pending_.clear();
    Save();
}

void FlashImage::Save() const {
    // Replaced in one step, so that a reader never sees half a file.
    const std::string temp = path_ + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(image_.data()), static_cast<long>(image_.size()));
        if (!out) return;
    }
    std::rename(temp.c_str(), path_.c_str());
}

}  // namespace kx::sim
