#include "cli/Json.h"

#include <cstdio>

#include "platform/Utf8.h"

namespace kx::cli {

std::string JsonString(const std::string& text) {
    // A name is whatever bytes the file system holds; the line must stay UTF-8.
    const std::string utf8 = platform::WellFormedUtf8(text);
    std::string quoted = "\"";
    for (const char c : utf8) {
        switch (c) {
            case '"': quoted += "\\\""; break;
            case '\\': quoted += "\\\\"; break;
            case '\n': quoted += "\\n"; break;
            case '\r': quoted += "\\r"; break;
            case '\t': quoted += "\\t"; break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
                    quoted += escaped;
                } else {
                    quoted += c;
                }
        }
    }
    return quoted + "\"";
}

std::string HexText(std::span<const std::uint8_t> bytes) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string hex;
    hex.reserve(bytes.size() * 2);
    for (const std::uint8_t b : bytes) {
        hex += Digits[b >> 4];
        hex += Digits[b & 0x0F];
    }
    return hex;
}

JsonObject& JsonObject::Key(const std::string& key) {
    if (text_.size() > 1) text_ += ",";
    text_ += JsonString(key) + ":";
    return *this;
}

JsonObject& JsonObject::Add(const std::string& key, const std::string& value) {
    Key(key).text_ += JsonString(value);
    return *this;
}

JsonObject& JsonObject::Add(const std::string& key, bool value) {
    Key(key).text_ += value ? "true" : "false";
    return *this;
}

JsonObject& JsonObject::Add(const std::string& key, std::int64_t value) {
    Key(key).text_ += std::to_string(value);
    return *this;
}

JsonObject& JsonObject::AddNumber(const std::string& key, double value, int decimals) {
    char number[64];
    std::snprintf(number, sizeof number, "%.*f", decimals, value);
    Key(key).text_ += number;
    return *this;
}

JsonObject& JsonObject::AddNull(const std::string& key) {
    Key(key).text_ += "null";
    return *this;
}

JsonObject& JsonObject::AddTextOrNull(const std::string& key, const std::string& value) {
    return value.empty() ? AddNull(key) : Add(key, value);
}

JsonObject& JsonObject::AddRaw(const std::string& key, const std::string& json) {
    Key(key).text_ += json;
    return *this;
}

}  // namespace kx::cli
