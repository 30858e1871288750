#pragma once
// A settings file as the Windows profile functions read it, one streaming pass per
// question. Lines are trimmed of blanks (space, tab, the other ASCII white space and
// ^Z); a line starting with "[" and holding a "]" opens a section named by what lies
// between the "[" and the last "]"; any other line is a key, "name=value" or a bare
// name without a value (comments included, which no one asks for). Keys before the
// first section belong to the section with the empty name. Names match without regard
// to (ASCII) letter case; only the first matching section counts, and in it the first
// matching key.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "app/IniScanner.h"

namespace kx::platform {
class RegularFile;
}

namespace kx::app {

// A write as a splice: the file's bytes [from, to) give way to `text` (UTF-8, to be
// written in the file's encoding).
struct IniEdit {
    std::uint64_t from = 0;
    std::uint64_t to = 0;
    std::string text;
    IniEncoding encoding = IniEncoding::Ansi;
};

class IniDocument {
public:
    // A closed file reads as an empty one.
    explicit IniDocument(const platform::RegularFile& file) : file_(file) {}

    // The key's value, without one pair of enclosing quotes; nullopt when the key is
    // absent or has no "=", or the file could not be read.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;

    // Where `key=value` goes: over the key's line (keeping the key's spelling and
    // indentation), after the section's last non-blank line, or in a new section at the
    // end of the file. Added lines end in CR LF. Nullopt when the file could not be read.
    std::optional<IniEdit> Edit(std::string_view section, std::string_view key, std::string_view value) const;

private:
    static IniEdit Plan(IniScanner& scanner, std::string_view section, std::string_view key, std::string_view value);

    const platform::RegularFile& file_;
};

}  // namespace kx::app
