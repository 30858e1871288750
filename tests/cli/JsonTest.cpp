// JSON strings stay valid whatever bytes a port or file name holds.
#include <gtest/gtest.h>

#include <string>

#include "cli/Json.h"

namespace kx::test {
namespace {

TEST(JsonString, EveryControlByteIsEscapedAndNothingElseIs) {
    for (int c = 0; c < 0x20; ++c) {
        const std::string quoted = cli::JsonString(std::string(1, static_cast<char>(c)));
        EXPECT_EQ(quoted.front(), '"');
        EXPECT_EQ(quoted[1], '\\') << "byte " << c;
        for (const char q : quoted) EXPECT_GE(static_cast<unsigned char>(q), 0x20) << "byte " << c;
    }
    EXPECT_EQ(cli::JsonString("a\"b\\c\x1f\x7f"), "\"a\\\"b\\\\c\\u001f\x7f\"");
}

TEST(JsonString, MalformedUtf8BecomesTheReplacementCharacterAndWellFormedTextStays) {
    const std::string fffd = "\xEF\xBF\xBD";
    struct Case {
        std::string in, out;
    };
    const Case cases[] = {
        {"Порт \xF0\x9F\x94\x8C", "Порт \xF0\x9F\x94\x8C"},          // two- and four-byte forms
        {"COM\xFF", "COM" + fffd},                                  // never a UTF-8 byte
        {"\x80x", fffd + "x"},                                      // stray continuation
        {"\xC0\xAF", fffd + fffd},                                  // overlong '/'
        {"\xED\xA0\x80", fffd + fffd + fffd},                       // a surrogate
        {"\xF4\x90\x80\x80", fffd + fffd + fffd + fffd},            // past U+10FFFF
        {"ab\xE2\x82", "ab" + fffd + fffd},                         // cut short at the end
    };
    for (const auto& c : cases) EXPECT_EQ(cli::JsonString(c.in), "\"" + c.out + "\"") << c.in;
}

}  // namespace
}  // namespace kx::test
