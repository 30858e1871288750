#include "sim/SimDevice.h"

namespace kx::sim {
namespace {

constexpr std::uint8_t QueryAddress = 0;
constexpr std::uint8_t fnIdentify = 1, fnErase = 2, fnFinish = 6, fnWriteData = 10, fnProgramPage = 20;

bool ServedFunction(std::uint8_t address, std::uint8_t function) {
    switch (address) {
        case QueryAddress: return true;
        case 249:
        case 241:
            return function == fnIdentify || function == fnWriteData || function == fnProgramPage ||
                   function == fnFinish;
        case 240:
            return function == fnIdentify || function == fnErase || function == fnWriteData ||
                   function == fnProgramPage || function == fnFinish;
        default: return false;
    }
}

void PutWord(Bytes& bytes, std::uint16_t word) {
    bytes.push_back(static_cast<std::uint8_t>(word & 0xFFu));
    bytes.push_back(static_cast<std::uint8_t>(word >> 8));
}

}  // namespace

std::optional<std::uint32_t> PageAddress(const Request& request) {
    if (request.data.size() < 3) return std::nullopt;
    return std::uint32_t{request.data[0]} | (std::uint32_t{request.data[1]} << 8) |
           (std::uint32_t{request.data[2]} << 16);
}

BootLoaderDevice::BootLoaderDevice(const Options& options, const std::string& flashPath)
    : options_(options), identifiesToIgnore_(options.ignoreIdentify) {
    if (!flashPath.empty()) flash_.emplace(flashPath);
}

bool BootLoaderDevice::Serves(const Request& request) const {
    return ServedFunction(request.address, request.function);
}

bool BootLoaderDevice::SwallowIdentify(const Request& request) {
    if (request.address == QueryAddress || request.function != fnIdentify) return false;
    if (identifiesToIgnore_ <= 0) return false;
    --identifiesToIgnore_;
    return true;
}

Bytes BootLoaderDevice::IdentityAnswer(std::uint8_t address) const {
    Bytes data;
    // Room for the whole answer up front; it also spares GCC 12 a false array-bounds
    // report at -O3 about growing a two-byte vector.
    data.reserve(12);
    if (address == 240) {
        data.push_back(0x00);
        PutWord(data, options_.identity240);
        return data;
    }
    if (address == 241) {
        PutWord(data, options_.identity241);
        data.insert(data.end(), {0x00, 0x00, static_cast<std::uint8_t>(options_.revision241 << 4), 0x00});
    } else {
        PutWord(data, options_.identity249);
        data.insert(data.end(), options_.identityBytes249.begin(), options_.identityBytes249.end());
    }
    data.insert(data.end(), options_.headBytes.begin(), options_.headBytes.end());
    return data;
}

void BootLoaderDevice::Program(const Request& request) {
    if (!flash_) return;
    if (request.function == fnWriteData && !request.data.empty()) {
        flash_->StorePacket(request.address, request.data[0],
                            Bytes(request.data.begin() + 1, request.data.end()));
    } else if (request.function == fnProgramPage) {
        if (const auto page = PageAddress(request)) flash_->ProgramPage(request.address, *page);
    } else if (request.function == fnErase) {
        flash_->Erase();
    }
}

Reply BootLoaderDevice::Handle(const Request& request) {
    Reply reply;
    reply.address = request.address;
    reply.status = request.function;
    if (request.address == QueryAddress) {
        reply.address = options_.ownAddress;
        return reply;
    }
    Program(request);
    if (request.function == fnIdentify) reply.data = IdentityAnswer(request.address);
    if (request.function == fnProgramPage) reply.work = options_.programTime;
    if (request.function == fnErase) reply.work = options_.eraseTime;
    return reply;
}

}  // namespace kx::sim
