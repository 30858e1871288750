// The settings file under arbitrary content: reads never fail and never return more
// than 2047 characters, a write of a plain value reads back as written (also through a
// fresh object on the same file), and it leaves every other key's value alone.
#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "app/IniScanner.h"
#include "app/KXIniFile.h"

namespace {

using kx::app::TKXIniFile;
using kx::app::WindowPlacement;

using kx::fuzz::Fail;
using kx::fuzz::Require;

const std::string& TempPath() {
    static const std::string path = kx::fuzz::ScratchPath("kx-fuzz-ini", ".ini");
    return path;
}

std::string Lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

// What the profile functions trim from the ends of names and values.
bool Blank(char c) { return c == ' ' || (c >= '\t' && c <= '\r') || c == '\x1a'; }

// Whether the text survives a file in UTF-16 (a file saved as "Unicode"): only valid
// UTF-8 does.
bool SurvivesUtf16(const std::string& s) {
    using kx::app::IniEncoding;
    return kx::app::DecodeIniText(IniEncoding::Utf16Le, kx::app::EncodeIniText(IniEncoding::Utf16Le, s)) == s;
}

// Set when the file is UTF-16: only valid UTF-8 text then reads back as written.
bool utf16File = false;

// A name the INI syntax can hold as it is: no brackets, equals sign, line breaks or
// comment start, no blanks at its ends, not empty.
bool PlainName(const std::string& s) {
    if (s.empty() || Blank(s.front()) || Blank(s.back()) || (utf16File && !SurvivesUtf16(s))) return false;
    return s.find_first_of("[]=;\r\n\t\"") == std::string::npos && s.find('\0') == std::string::npos;
}

// A value that reads back as written: one line, no blanks or quotes at its ends.
bool PlainValue(const std::string& s) {
    if (s.size() > TKXIniFile::MaxValueLength || s.find_first_of("\r\n") != std::string::npos) return false;
    if (s.find('\0') != std::string::npos || (utf16File && !SurvivesUtf16(s))) return false;
    if (s.empty()) return true;
    auto edge = [](char c) { return Blank(c) || c == '"' || c == '\''; };
    return !edge(s.front()) && !edge(s.back());
}

// UTF-8 characters: every byte that does not continue a sequence.
std::size_t Characters(const std::string& s) {
    return static_cast<std::size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

using Probe = std::pair<std::string, std::string>;

std::vector<Probe> Probes(FuzzedDataProvider& in) {
    std::vector<Probe> probes = {{"Common", "FN"}, {"MainWindow", "State"}, {"MainWindow", "Left"},
                                 {"mainwindow", "WIDTH"}, {"RS232", "Port"}};
    const int extra = in.ConsumeIntegralInRange<int>(0, 6);
    for (int i = 0; i < extra; ++i) {
        std::string section = in.ConsumeRandomLengthString(12);
        std::string key = in.ConsumeRandomLengthString(12);
        probes.emplace_back(std::move(section), std::move(key));
    }
    return probes;
}

std::vector<std::string> ReadAll(const TKXIniFile& ini, const std::vector<Probe>& probes) {
    std::vector<std::string> values;
    for (const auto& [section, key] : probes) {
        std::string v = ini.ReadString(section, key, "\x01" "default");
        Require(Characters(v) <= TKXIniFile::MaxValueLength, "a read returned more than 2047 characters");
        values.push_back(std::move(v));
        ini.ReadInteger(section, key, -7);
    }
    WindowPlacement placement;
    ini.ReadPlacement("MainWindow", placement);
    return values;
}

bool SameName(const Probe& a, const Probe& b) { return Lower(a.first) == Lower(b.first) && Lower(a.second) == Lower(b.second); }

// One write; plain ones are checked for read-back and for leaving the other keys alone.
void OneWrite(FuzzedDataProvider& in, TKXIniFile& ini, const std::vector<Probe>& probes) {
    Probe target = in.ConsumeBool() && !probes.empty()
                       ? probes[in.ConsumeIntegralInRange<std::size_t>(0, probes.size() - 1)]
                       : Probe{in.ConsumeRandomLengthString(12), in.ConsumeRandomLengthString(12)};
    const bool asInteger = in.ConsumeBool();
    const std::int32_t number = in.ConsumeIntegral<std::int32_t>();
    const std::string value = asInteger ? std::to_string(number) : in.ConsumeRandomLengthString(3000);
    const bool plain = PlainName(target.first) && PlainName(target.second) && PlainValue(value);
    const std::vector<std::string> before = ReadAll(ini, probes);
    try {
        if (asInteger) ini.WriteInteger(target.first, target.second, number);
        else ini.WriteString(target.first, target.second, value);
    } catch (const std::runtime_error& e) {
        Require(!plain, std::string("a plain write failed: ") + e.what());
        Require(std::string(e.what()) == "Unable to write to " + ini.FileName(), std::string("unexpected write error: ") + e.what());
        return;
    }
    if (!plain) return;
    Require(ini.ReadString(target.first, target.second, "\x01") == value, "a written value does not read back");
    if (asInteger) Require(ini.ReadInteger(target.first, target.second, -7) == number, "a written integer does not read back");
    const TKXIniFile fresh(ini.FileName());
    Require(fresh.ReadString(target.first, target.second, "\x01") == value, "a written value is not in the file");
    const std::vector<std::string> after = ReadAll(ini, probes);
    for (std::size_t i = 0; i < probes.size(); ++i) {
        if (SameName(probes[i], target) || !PlainName(probes[i].first) || !PlainName(probes[i].second)) continue;
        Require(after[i] == before[i], "writing [" + target.first + "] " + target.second + " changed [" +
                                           probes[i].first + "] " + probes[i].second);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    // The file's text comes first (up to a backslash and another character), so that
    // seeds can be written as real settings files.
    const std::string content = in.ConsumeRandomLengthString(size);
    utf16File = content.starts_with("\xFF\xFE") || content.starts_with("\xFE\xFF");
    const std::vector<Probe> probes = Probes(in);
    const int writes = in.ConsumeIntegralInRange<int>(0, 4);
    {
        std::ofstream file(TempPath(), std::ios::binary | std::ios::trunc);
        file << content;
    }
    TKXIniFile ini(TempPath());
    ReadAll(ini, probes);
    for (int i = 0; i < writes; ++i) OneWrite(in, ini, probes);
    WindowPlacement placement;
    placement.State = in.ConsumeIntegral<int>();
    placement.Left = in.ConsumeIntegral<int>();
    ini.WritePlacement("MainWindow", placement);
    ini.ReadPlacement("MainWindow", placement);
    std::remove(TempPath().c_str());
    return 0;
}
