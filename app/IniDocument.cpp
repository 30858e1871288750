#include "app/IniDocument.h"

#include <algorithm>

namespace kx::app {
namespace {

constexpr std::string_view Blanks = " \t\n\v\f\r\x1a";
constexpr std::string_view CrLf = "\r\n";

std::string_view TrimLeft(std::string_view s) {
    const auto first = s.find_first_not_of(Blanks);
    return first == std::string_view::npos ? std::string_view() : s.substr(first);
}

std::string_view Trim(std::string_view s) {
    s = TrimLeft(s);
    return s.substr(0, s.find_last_not_of(Blanks) + 1);
}

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return LowerAscii(x) == LowerAscii(y); });
}

struct Parsed {
    enum Kind { Blank, Section, Key } kind = Blank;
    std::string_view name;
    std::optional<std::string_view> value;  // keys only; nullopt without "="
};

Parsed Classify(std::string_view line) {
    const std::string_view t = Trim(line);
    if (t.empty()) return {};
    // A "[" without a "]" opens nothing: the line is a key of the current section.
    if (const auto close = t.rfind(']'); t.front() == '[' && close != std::string_view::npos)
        return {Parsed::Section, Trim(t.substr(1, close - 1)), std::nullopt};
    const auto eq = t.find('=');
    if (eq == std::string_view::npos) return {Parsed::Key, t, std::nullopt};
    return {Parsed::Key, Trim(t.substr(0, eq)), TrimLeft(t.substr(eq + 1))};
}

// The value as its reader gets it: a C string, so a NUL in the file ends it, and only then
// one pair of enclosing quotes comes off.
std::string Unquote(std::string_view value) {
    value = value.substr(0, value.find('\0'));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return std::string(value);
}

// Walks the sections of one scan, telling which line belongs to the first section that
// matches the name asked for.
class SectionWalk {
public:
    explicit SectionWalk(std::string_view section) : wanted_(Trim(section)) {
        inside_ = seen_ = wanted_.empty();  // the nameless section before the first header
    }
    // Takes a section header; false once the wanted section has ended.
    bool Enter(std::string_view name) {
        if (inside_) return inside_ = false;
        inside_ = !seen_ && SameName(name, wanted_);
        seen_ = seen_ || inside_;
        return true;
    }
    bool Inside() const { return inside_; }
    bool Seen() const { return seen_; }
    std::string_view Wanted() const { return wanted_; }

private:
    std::string_view wanted_;
    bool inside_ = false;
    bool seen_ = false;
};

}  // namespace

std::optional<std::string> IniDocument::Value(std::string_view section, std::string_view key) const {
    key = Trim(key);
    IniScanner scanner(file_);
    SectionWalk walk(section);
    IniLine line;
    while (scanner.Next(line)) {
        const Parsed p = Classify(line.text);
        if (p.kind == Parsed::Section && !walk.Enter(p.name)) return std::nullopt;
        if (p.kind == Parsed::Key && walk.Inside() && SameName(p.name, key))
            return p.value && !scanner.Failed() ? std::optional(Unquote(*p.value)) : std::nullopt;
    }
    return std::nullopt;
}

std::optional<IniEdit> IniDocument::Edit(std::string_view section, std::string_view key,
                                         std::string_view value) const {
    IniScanner scanner(file_);
    IniEdit edit = Plan(scanner, section, key, value);
    if (scanner.Failed()) return std::nullopt;
    return edit;
}

IniEdit IniDocument::Plan(IniScanner& scanner, std::string_view section, std::string_view key, std::string_view value) {
    key = Trim(key);
    const std::string keyLine = std::string(key) + "=" + std::string(value);
    SectionWalk walk(section);
    // Where a new key goes: after the wanted section's last non-blank line.
    IniEdit insert{scanner.BodyStart(), scanner.BodyStart(), keyLine + std::string(CrLf), scanner.Encoding()};
    IniLine line;
    std::uint64_t end = scanner.BodyStart();
    bool lastLineEnded = true;
    while (scanner.Next(line)) {
        end = line.next;
        lastLineEnded = line.next > line.end;
        const Parsed p = Classify(line.text);
        if (p.kind == Parsed::Blank) continue;
        if (p.kind == Parsed::Section && !walk.Enter(p.name)) return insert;
        if (!walk.Inside()) continue;
        if (p.kind == Parsed::Key && SameName(p.name, key)) {
            const std::string_view text = line.text;
            const std::string indent(text.substr(0, text.find_first_not_of(Blanks)));
            return {line.begin, line.end, indent + std::string(p.name) + "=" + std::string(value), scanner.Encoding()};
        }
        insert.from = insert.to = line.eolEnd;
        insert.text = (lastLineEnded ? "" : std::string(CrLf)) + keyLine + std::string(CrLf);
    }
    if (walk.Seen()) return insert;
    const std::string header = "[" + std::string(walk.Wanted()) + "]";
    return {end, end, (lastLineEnded ? "" : std::string(CrLf)) + header + std::string(CrLf) + insert.text,
            scanner.Encoding()};
}

}  // namespace kx::app
