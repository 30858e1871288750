#include "sim/SimNumbers.h"

#include <cctype>
#include <stdexcept>

namespace kx::sim {

long ParseNumber(const std::string& text, long low, long high) {
    std::size_t used = 0;
    long value = 0;
    try {
        const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
        value = std::stol(hex ? text.substr(2) : text, &used, hex ? 16 : 10);
        if (hex) used += 2;
    } catch (const std::exception&) {
        throw std::invalid_argument("not a number: '" + text + "'");
    }
    if (used != text.size()) throw std::invalid_argument("not a number: '" + text + "'");
    if (value < low || value > high) {
        throw std::invalid_argument("'" + text + "' is outside " + std::to_string(low) + ".." +
                                    std::to_string(high));
    }
    return value;
}

std::vector<unsigned char> ParseHexBytes(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (c == ' ' || c == ',' || c == ':') continue;
        if (!std::isxdigit(static_cast<unsigned char>(c))) {
            throw std::invalid_argument("not hex: '" + text + "'");
        }
        digits.push_back(c);
    }
    if (digits.size() % 2 != 0) throw std::invalid_argument("odd number of hex digits: '" + text + "'");
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(static_cast<unsigned char>(std::stoi(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

std::vector<std::string> SplitText(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t at = text.find(separator, start);
        parts.push_back(text.substr(start, at == std::string::npos ? std::string::npos : at - start));
        if (at == std::string::npos) return parts;
        start = at + 1;
    }
}

std::string HexText(const unsigned char* data, std::size_t count) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(count * 2);
    for (std::size_t i = 0; i < count; ++i) {
        text.push_back(Digits[data[i] >> 4]);
        text.push_back(Digits[data[i] & 0x0F]);
    }
    return text;
}

}  // namespace kx::sim
