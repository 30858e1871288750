#include "app/IniDocument.h"

#include <algorithm>

namespace kx::app {
namespace {

constexpr std::string_view Blanks = " \t";
constexpr std::string_view CrLf = "\r\n";

std::string_view Trim(std::string_view s) {
    const auto first = s.find_first_not_of(Blanks);
    if (first == std::string_view::npos) return {};
    const auto last = s.find_last_not_of(Blanks);
    return s.substr(first, last - first + 1);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

// The name of a "[section]" line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.empty() || t.front() != '[') return std::nullopt;
    const std::string_view inner = t.substr(1);
    return Trim(inner.substr(0, inner.find(']')));
}

struct KeyValue {
    std::string_view key;
    std::string_view value;
};

// A "key=value" line split at its first equals sign; nullopt for any other line.
std::optional<KeyValue> SplitKeyLine(std::string_view line) {
    const auto eq = line.find('=');
    if (eq == std::string_view::npos || SectionName(line)) return std::nullopt;
    return KeyValue{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
}

std::string Unquote(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

std::string KeyLine(std::string_view key, std::string_view value) {
    std::string line(key);
    line += '=';
    line += value;
    return line;
}

}  // namespace

IniDocument::IniDocument(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto end = text.find_first_of(CrLf, pos);
        if (end == std::string_view::npos) {
            lines_.push_back({std::string(text.substr(pos)), ""});
            break;
        }
        const std::size_t eolLength = text.compare(end, 2, CrLf) == 0 ? 2 : 1;
        lines_.push_back({std::string(text.substr(pos, end - pos)), std::string(text.substr(end, eolLength))});
        pos = end + eolLength;
    }
}

std::optional<std::size_t> IniDocument::FindSection(std::string_view section) const {
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        const auto name = SectionName(lines_[i].text);
        if (name && SameName(*name, section)) return i;
    }
    return std::nullopt;
}

std::size_t IniDocument::SectionEnd(std::size_t header) const {
    std::size_t i = header + 1;
    while (i < lines_.size() && !SectionName(lines_[i].text)) ++i;
    return i;
}

std::optional<std::size_t> IniDocument::FindKey(std::size_t header, std::string_view key) const {
    const std::size_t end = SectionEnd(header);
    for (std::size_t i = header + 1; i < end; ++i) {
        const auto kv = SplitKeyLine(lines_[i].text);
        if (kv && SameName(kv->key, key)) return i;
    }
    return std::nullopt;
}

std::optional<std::string> IniDocument::Value(std::string_view section, std::string_view key) const {
    const auto header = FindSection(section);
    if (!header) return std::nullopt;
    const auto line = FindKey(*header, key);
    if (!line) return std::nullopt;
    return Unquote(SplitKeyLine(lines_[*line].text)->value);
}

void IniDocument::Insert(std::size_t at, std::string text) {
    // The line before the new one gets a line end if it was the file's unterminated last.
    if (at > 0 && lines_[at - 1].eol.empty()) lines_[at - 1].eol = CrLf;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), Line{std::move(text), std::string(CrLf)});
}

void IniDocument::SetValue(std::string_view section, std::string_view key, std::string_view value) {
    const auto header = FindSection(section);
    if (!header) {
        std::string line(1, '[');
        line.append(section).push_back(']');
        Insert(lines_.size(), std::move(line));
        Insert(lines_.size(), KeyLine(key, value));
        return;
    }
    if (const auto line = FindKey(*header, key)) {
        // The key keeps its spelling and its indentation; only the value changes.
        std::string& text = lines_[*line].text;
        text = KeyLine(text.substr(0, text.find_first_not_of(Blanks)) + std::string(SplitKeyLine(text)->key), value);
        return;
    }
    // After the section's last non-blank line, so that blank lines before the next
    // section keep separating the two.
    std::size_t at = SectionEnd(*header);
    while (at > *header + 1 && Trim(lines_[at - 1].text).empty()) --at;
    Insert(at, KeyLine(key, value));
}

std::string IniDocument::Text() const {
    std::string text;
    for (const Line& line : lines_) {
        text += line.text;
        text += line.eol;
    }
    return text;
}

}  // namespace kx::app
