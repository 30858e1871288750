// kxboot-demo-image: the demo's firmware image and the check of what the device holds
// afterwards.
//   kxboot-demo-image write IMAGE               22 pages and a trailer, the same every time
//   kxboot-demo-image check IMAGE FLASH HEAD    HEAD: the device's six head bytes in hex
// The check expects pages 1..21 at their program-memory offsets (three bytes per two
// address units), page 1 starting with the head bytes, and every other byte erased (FF).
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t PageSize = 3072;
constexpr std::size_t Pages = 22;
constexpr std::size_t PagesSent = Pages - 1;
constexpr std::uint8_t Erased = 0xFF;

Bytes DemoImage() {
    Bytes image(Pages * PageSize);
    std::uint32_t state = 0x2D1D0470;  // any fixed seed: the image must never change
    for (auto& b : image) {
        state = state * 1664525u + 1013904223u;
        b = static_cast<std::uint8_t>(state >> 24);
    }
    image.insert(image.end(), {0x2D, 0x70, 0x01});
    return image;
}

bool ReadFile(const std::string& path, Bytes& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

bool ParseHead(const std::string& hex, Bytes& head) {
    if (hex.size() != 12) return false;
    for (std::size_t i = 0; i < 12; i += 2) {
        unsigned value = 0;
        if (std::sscanf(hex.c_str() + i, "%2x", &value) != 1) return false;
        head.push_back(static_cast<std::uint8_t>(value));
    }
    return true;
}

int Write(const std::string& path) {
    const Bytes image = DemoImage();
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    if (!out) {
        std::fprintf(stderr, "kxboot-demo-image: cannot write %s\n", path.c_str());
        return 1;
    }
    return 0;
}

int Fail(std::size_t offset, std::uint8_t expected, int found) {
    std::printf("demo: flash check FAILED at flash offset %zu (page %zu): expected %02X, found ", offset,
                offset / PageSize + 1, expected);
    if (found < 0)
        std::printf("nothing (dump too short)\n");
    else
        std::printf("%02X\n", found);
    return 1;
}

int Check(const std::string& imagePath, const std::string& flashPath, const std::string& headHex) {
    Bytes image, flash, head;
    if (!ReadFile(imagePath, image) || !ReadFile(flashPath, flash) || !ParseHead(headHex, head)) {
        std::printf("demo: flash check FAILED: cannot read %s, %s or head bytes '%s'\n", imagePath.c_str(),
                    flashPath.c_str(), headHex.c_str());
        return 1;
    }
    Bytes expected(image.begin(), image.begin() + static_cast<std::ptrdiff_t>(PagesSent * PageSize));
    std::copy(head.begin(), head.end(), expected.begin());
    const std::size_t end = std::max(flash.size(), expected.size() + PageSize);
    for (std::size_t i = 0; i < end; ++i) {
        const std::uint8_t want = i < expected.size() ? expected[i] : Erased;
        const int found = i < flash.size() ? flash[i] : -1;
        // A dump may end anywhere after the programmed pages; what it holds must be right.
        if (found < 0 && i >= expected.size()) break;
        if (found != want) return Fail(i, want, found);
    }
    std::printf("demo: flash check passed: pages 1..%zu programmed as sent, page 1 with the device's head "
                "bytes %s, page %zu and the rest erased\n",
                PagesSent, headHex.c_str(), Pages);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "write" && argc == 3) return Write(argv[2]);
    if (command == "check" && argc == 5) return Check(argv[2], argv[3], argv[4]);
    std::fprintf(stderr, "usage: kxboot-demo-image write IMAGE | check IMAGE FLASH HEADHEX\n");
    return 2;
}
