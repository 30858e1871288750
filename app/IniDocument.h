#pragma once
// The text of an INI file as the Windows profile functions see it: "[section]" lines and
// "key=value" lines, names matched without regard to (ASCII) letter case, the first
// matching section and key winning. Every other line, comments included, is kept as it
// is, with its own line end; lines added here end in CR LF.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kx::app {

class IniDocument {
public:
    IniDocument() = default;
    explicit IniDocument(std::string_view text);

    // The value of `key` in `section`, trimmed of blanks and of one pair of enclosing
    // quotes; nullopt when the section or the key is absent.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;

    // Replaces the key's value where it stands, or adds the key at the end of its section,
    // or a new section at the end of the text.
    void SetValue(std::string_view section, std::string_view key, std::string_view value);

    std::string Text() const;

private:
    struct Line {
        std::string text;
        std::string eol;  // "\r\n", "\n", "\r" or "" for a last line without one
    };

    std::optional<std::size_t> FindSection(std::string_view section) const;
    std::size_t SectionEnd(std::size_t header) const;
    std::optional<std::size_t> FindKey(std::size_t header, std::string_view key) const;
    void Insert(std::size_t at, std::string text);

    std::vector<Line> lines_;
};

}  // namespace kx::app
