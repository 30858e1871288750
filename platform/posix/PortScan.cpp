#include "platform/posix/PortScan.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string_view>
#include <system_error>

namespace kx::platform::posix {
namespace {

namespace fs = std::filesystem;

constexpr std::array<std::string_view, 5> SerialPrefixes = {"ttyS", "ttyUSB", "ttyACM", "ttyAMA",
                                                            "rfcomm"};

bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

bool LooksLikeSerialName(const std::string& name) {
    for (std::string_view prefix : SerialPrefixes) {
        if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0 &&
            std::all_of(name.begin() + static_cast<long>(prefix.size()), name.end(), IsDigit)) {
            return true;
        }
    }
    return false;
}

// The 8250 driver registers a fixed number of ttyS nodes whether or not a UART sits
// behind them; its "type" attribute is 0 (unknown) for the empty ones.
bool KnownUartType(const fs::path& sysEntry) {
    std::ifstream typeFile(sysEntry / "type");
    if (!typeFile) return true;
    int type = -1;
    typeFile >> type;
    return !typeFile || type != 0;
}

bool HasDriver(const PortScanDirs& dirs, const std::string& name) {
    const fs::path sysEntry = fs::path(dirs.sysTty) / name;
    std::error_code error;
    if (!fs::exists(sysEntry / "device", error)) return false;
    return name.compare(0, 4, "ttyS") != 0 || KnownUartType(sysEntry);
}

// Compares the digit runs at a[i..] and b[j..] by value; advances both indices.
int CompareNumbers(const std::string& a, std::size_t& i, const std::string& b, std::size_t& j) {
    while (i < a.size() && a[i] == '0') ++i;
    while (j < b.size() && b[j] == '0') ++j;
    const std::size_t startA = i, startB = j;
    while (i < a.size() && IsDigit(a[i])) ++i;
    while (j < b.size() && IsDigit(b[j])) ++j;
    const std::size_t lengthA = i - startA, lengthB = j - startB;
    if (lengthA != lengthB) return lengthA < lengthB ? -1 : 1;
    const int order = a.compare(startA, lengthA, b, startB, lengthB);
    return order < 0 ? -1 : (order > 0 ? 1 : 0);
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const int order = CompareNumbers(a, i, b, j);
            if (order != 0) return order < 0;
            continue;
        }
        if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if ((i < a.size()) != (j < b.size())) return j < b.size();
    return a < b;  // equal by value ("ttyS01" and "ttyS1"): keep a strict order
}

std::vector<std::string> SplitPortList(const std::string& list) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t colon = std::min(list.find(':', start), list.size());
        if (colon > start) entries.push_back(list.substr(start, colon - start));
        start = colon + 1;
    }
    return entries;
}

std::vector<std::string> ScanDevicePorts(const PortScanDirs& dirs) {
    std::vector<std::string> names;
    std::error_code error;
    for (fs::directory_iterator it(dirs.dev, error), end; !error && it != end; it.increment(error)) {
        const std::string name = it->path().filename().string();
        if (LooksLikeSerialName(name) && HasDriver(dirs, name)) names.push_back(name);
    }
    std::sort(names.begin(), names.end(), NaturalLess);
    std::vector<std::string> paths;
    paths.reserve(names.size());
    for (const auto& name : names) paths.push_back((fs::path(dirs.dev) / name).string());
    return paths;
}

std::vector<std::string> MergeCandidates(const std::vector<std::string>& listed,
                                         const std::vector<std::string>& scanned,
                                         std::size_t limit) {
    std::vector<std::string> result;
    auto add = [&](const std::string& name) {
        if (result.size() < limit && std::find(result.begin(), result.end(), name) == result.end()) {
            result.push_back(name);
        }
    };
    for (const auto& name : listed) add(name);
    for (const auto& name : scanned) add(name);
    return result;
}

}  // namespace kx::platform::posix

namespace kx::platform::posix {
namespace {

std::string FirstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    return line;
}

fs::path Resolved(const fs::path& path) {
    std::error_code error;
    const fs::path resolved = fs::canonical(path, error);
    return error ? path : resolved;
}

std::string StableName(const fs::path& device, const fs::path& path, const fs::path& byId) {
    std::error_code error;
    if (Resolved(path.parent_path()) == Resolved(byId)) return path.string();
    std::vector<std::string> names;
    for (fs::directory_iterator it(byId, error), end; !error && it != end; it.increment(error))
        if (Resolved(it->path()) == device) names.push_back(it->path().string());
    if (names.empty()) return {};
    std::sort(names.begin(), names.end(), NaturalLess);
    return names.front();
}

// The USB device's folder: the nearest parent of the tty's device folder with an idVendor.
void ReadUsbAttributes(const fs::path& deviceFolder, PortDescription& description) {
    std::error_code error;
    for (fs::path folder = Resolved(deviceFolder); !folder.empty() && folder != folder.root_path();
         folder = folder.parent_path()) {
        if (!fs::exists(folder / "idVendor", error)) continue;
        description.vendorId = FirstLine(folder / "idVendor");
        description.productId = FirstLine(folder / "idProduct");
        description.manufacturer = FirstLine(folder / "manufacturer");
        description.product = FirstLine(folder / "product");
        description.serialNumber = FirstLine(folder / "serial");
        return;
    }
}

// What the usb-serial driver says of its adapter's latency timer (ftdi_sio has the
// attribute on the port's device folder); nullopt where it says nothing readable.
std::optional<std::chrono::milliseconds> ReadLatencyTimer(const fs::path& deviceFolder) {
    std::ifstream in(deviceFolder / "latency_timer");
    int ms = -1;
    if (!(in >> ms) || ms < 0 || ms > 255) return std::nullopt;
    return std::chrono::milliseconds{ms};
}

}  // namespace

PortDescription DescribeDevicePort(const std::string& path, const PortScanDirs& dirs) {
    PortDescription description;
    const fs::path device = Resolved(path);
    description.stableName = StableName(device, path, dirs.byId);
    const std::string name = device.filename().string();
    const fs::path sysEntry = fs::path(dirs.sysTty) / name;
    std::error_code error;
    const bool uart = name.compare(0, 4, "ttyS") == 0;
    if (!fs::exists(sysEntry / "device", error)) {
        description.noDevice = uart;
        return description;
    }
    if (uart && !KnownUartType(sysEntry)) {
        description.noDevice = true;
        return description;
    }
    ReadUsbAttributes(sysEntry / "device", description);
    description.latencyTimer = ReadLatencyTimer(sysEntry / "device");
    return description;
}

}  // namespace kx::platform::posix
