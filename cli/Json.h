#pragma once
// The little JSON the command line writes (--json, --report): quoted strings and objects
// built field by field, one line each.
#include <cstdint>
#include <span>
#include <string>

namespace kx::cli {

// `text` as a JSON string literal, quotes included; a byte that is not part of well-formed
// UTF-8 becomes U+FFFD, so the result is valid JSON whatever the bytes.
std::string JsonString(const std::string& text);

// Bytes as upper-case hex digits, two a byte, nothing between ("2D1D00").
std::string HexText(std::span<const std::uint8_t> bytes);

// {"a":1,"b":"x"} built in order.
class JsonObject {
public:
    JsonObject& Add(const std::string& key, const std::string& value);
    JsonObject& Add(const std::string& key, const char* value) { return Add(key, std::string(value)); }
    JsonObject& Add(const std::string& key, bool value);
    JsonObject& Add(const std::string& key, std::int64_t value);
    JsonObject& AddNumber(const std::string& key, double value, int decimals);
    JsonObject& AddNull(const std::string& key);
    // `value`, or null when it is empty: what is not known is null, never "".
    JsonObject& AddTextOrNull(const std::string& key, const std::string& value);
    JsonObject& AddRaw(const std::string& key, const std::string& json);
    std::string Text() const { return text_ + "}"; }

private:
    JsonObject& Key(const std::string& key);
    std::string text_ = "{";
};

}  // namespace kx::cli
