// The settings engine against the system's own profile functions, on a corpus of awkward
// files: every value the system finds in a file, and more, is read through both and must
// agree; the same writes are then made through both, each on its own copy, and the two
// copies must mean the same to the system (which rewrites whole files, so the bytes may
// differ). Files without a byte-order mark are compared through the ANSI functions, byte
// for byte in the settings code page; marked ones through the wide functions.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "app/KXIniFile.h"
#include "platform/Process.h"
#include "platform/win32/WinText.h"

namespace kx::app {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using platform::win32::Utf8ToWide;
using platform::win32::WideToUtf8;

constexpr DWORD BufferSize = TKXIniFile::MaxValueLength + 1;
constexpr DWORD ListSize = 1 << 20;
const std::string Absent = "<absent>";

std::string Utf16File(const std::string& utf8) {
    const std::wstring wide = Utf8ToWide(utf8);
    std::string bytes = "\xFF\xFE";
    for (const wchar_t unit : wide) {
        bytes += static_cast<char>(unit & 0xFF);
        bytes += static_cast<char>((unit >> 8) & 0xFF);
    }
    return bytes;
}

struct CorpusFile {
    const char* name;
    std::string bytes;
    // Wine writes a section with an empty name ("[]") back without its header, so that
    // its keys join the section before it: a change of meaning that the engine, which
    // leaves every other line as it is, does not copy. Such files are only read; so is
    // the one with NULs, where only what a reader gets matters.
    bool writable = true;
    bool Marked() const { return bytes.starts_with("\xEF\xBB\xBF") || bytes.starts_with("\xFF\xFE"); }
};

std::vector<CorpusFile> Corpus() {
    return {
        {"plain", "[Common]\r\nFN=C:\\fw\\a.rom\r\n[RS232]\r\nPort=5\r\n[MainWindow]\r\nState=0\r\nLeft=10\r\n"},
        {"duplicates", "[Common]\r\nFN=first\r\nfn=second\r\n[common]\r\nFN=third\r\nOnlyHere=x\r\n"
                       "[RS232]\r\nPort=1\r\n[RS232]\r\nPort=2\r\nBaud=9600\r\n"},
        {"keys before any section", "FN=top\r\nPort=9\r\n[Common]\r\nFN=in\r\n"},
        {"quotes", "[Common]\r\nA=\"quoted\"\r\nB='single'\r\nC=\"unmatched\r\nD=unmatched\"\r\nE=\"mixed'\r\n"
                   "F=\"\"\r\nG=\"\r\nH= \" padded \" \r\nI='\"'\r\n"},
        {"brackets", "[Common\r\nFN=after broken\r\n[A]]\r\nK=1\r\n[B]tail\r\nK=2\r\n]C[\r\nK=3\r\n[[D]]\r\nK=4\r\n"
                     "[ E ]\r\nK=5\r\n[F\r\n[G=1\r\n"},
        {"a section without a name", "K=0\r\n[E]\r\nK=5\r\n[]\r\nK=6\r\n[F\r\n[G=1\r\n", false},
        {"blanks and tabs", "\r\n\r\n   [ Common ]   \r\n\tFN\t=\t x y \t\r\n  Port   =  5  \r\n\r\n\r\n"
                            "[MainWindow]\r\n \t \r\nLeft=1\r\n\v\f\r\n"},
        {"line ends", "[Common]\nFN=lf\r\nA=crlf\rB=cr\n\r\nC=lfcr\r\r\nD=last without one"},
        {"comments and bare names", "; comment\r\n[Common]\r\n;FN=commented\r\nFN=real\r\n# hash=1\r\nNoEquals\r\n"
                                    "Port\r\nPort=after bare\r\n=no name\r\n"},
        {"long lines", "[Common]\r\nFN=" + std::string(3000, 'a') + "\r\nLong=" + std::string(70000, 'b') +
                           "\r\nAfter=1\r\n"},
        {"code page 1251", "[Common]\r\nFN=C:\\\xCF\xF0\xEE\xF8\xE8\xE2\xEA\xE8\\\xC1\xEB\xEE\xEA.rom\r\n"
                           "[\xD0\xE0\xE7\xE4\xE5\xEB]\r\n\xCA\xEB\xFE\xF7=\xE7\xED\xE0\xF7\xE5\xED\xE8\xE5\r\n"},
        {"UTF-8 with its mark", "\xEF\xBB\xBF[Common]\r\nFN=C:\\Прошивки\\a.rom\r\n[Раздел]\r\nКлюч=значение\r\n"},
        {"UTF-16 LE with its mark", Utf16File("[Common]\r\nFN=C:\\Прошивки\\a.rom\r\n[RS232]\r\nPort=3\r\n")},
        {"empty", ""},
        {"one blank", " \r\n"},
        {"control characters", "[Common]\r\nFN=a\x1a\r\n\x1a[S]\r\nK=v\x1a\r\n"},
        {"a NUL inside values", "[Common]\r\nFN=ab\0cd\r\nQ=\"a\0b\"\r\nAfter=1\r\n"s, false},
    };
}

// A name or value as the program would pass it (UTF-8), from the system's text.
struct SystemApi {
    bool wide;  // the wide functions (marked files) or the ANSI ones

    std::string ToProgram(const std::string& system) const {
        return wide ? system : platform::FromFileText(system);
    }
    std::string FromProgram(const std::string& program) const {
        return wide ? program : platform::ToFileText(program);
    }

    // A value, a key list (key null) or a section list (both null), in the system's form
    // (UTF-8 for the wide functions, the ANSI bytes otherwise).
    std::string Get(const std::string* section, const std::string* key, const std::string& file, DWORD size) const {
        if (wide) {
            std::wstring out(size, L'\0');
            const std::wstring s = section ? Utf8ToWide(*section) : L"", k = key ? Utf8ToWide(*key) : L"";
            const DWORD n = GetPrivateProfileStringW(section ? s.c_str() : nullptr, key ? k.c_str() : nullptr,
                                                     L"<absent>", out.data(), size, Utf8ToWide(file).c_str());
            out.resize(n);
            return WideToUtf8(out);
        }
        std::string out(size, '\0');
        const DWORD n = GetPrivateProfileStringA(section ? section->c_str() : nullptr, key ? key->c_str() : nullptr,
                                                 "<absent>", out.data(), size,
                                                 platform::win32::Utf8ToCodePage(file, CP_ACP).c_str());
        out.resize(n);
        return out;
    }

    bool Write(const std::string& section, const std::string& key, const std::string& value,
               const std::string& file) const {
        if (wide)
            return WritePrivateProfileStringW(Utf8ToWide(section).c_str(), Utf8ToWide(key).c_str(),
                                              Utf8ToWide(value).c_str(), Utf8ToWide(file).c_str());
        return WritePrivateProfileStringA(section.c_str(), key.c_str(), value.c_str(),
                                          platform::win32::Utf8ToCodePage(file, CP_ACP).c_str());
    }
};

std::vector<std::string> SplitList(const std::string& list) {
    std::vector<std::string> items;
    for (std::size_t pos = 0; pos < list.size();) {
        const auto end = list.find('\0', pos);
        items.push_back(list.substr(pos, end - pos));
        if (end == std::string::npos) break;
        pos = end + 1;
    }
    return items;
}

struct Probe {
    std::string section, key;  // the system's form
    bool operator<(const Probe& o) const { return std::tie(section, key) < std::tie(o.section, o.key); }
};

// In capitals as the system writes them (Cyrillic letters too).
std::string Upper(const SystemApi& api, const std::string& name) {
    std::wstring wide = Utf8ToWide(api.ToProgram(name));
    CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
    return api.FromProgram(WideToUtf8(wide));
}

// Every section and key the system lists in the file, as listed and in capitals, and the
// names a reader could stumble on.
std::set<Probe> Probes(const SystemApi& api, const std::string& file) {
    std::set<Probe> probes = {{"", "FN"}, {"", "Port"}, {"Common", "FN"}, {" common ", " fn "}, {"Common", "[F"},
                              {"Common", "NoEquals"}, {"Common", ";FN"}, {"A", "K"}, {"A]", "K"}, {"B", "K"},
                              {"[D]", "K"}, {"[D", "K"}, {"E", "K"}, {"F", "[G"}, {"Common", "Port"}};
    for (const std::string& section : SplitList(api.Get(nullptr, nullptr, file, ListSize))) {
        for (const std::string& key : SplitList(api.Get(&section, nullptr, file, ListSize))) {
            probes.insert({section, key});
            probes.insert({Upper(api, section), Upper(api, key)});
        }
    }
    return probes;
}

// The file's meaning to the system: every section, key and value it lists, in order.
std::string Meaning(const SystemApi& api, const std::string& file) {
    std::string meaning;
    for (const std::string& section : SplitList(api.Get(nullptr, nullptr, file, ListSize))) {
        meaning += "[" + section + "]\n";
        for (const std::string& key : SplitList(api.Get(&section, nullptr, file, ListSize)))
            meaning += key + "=" + api.Get(&section, &key, file, BufferSize) + "\n";
    }
    return meaning;
}

class IniDifferential : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        folder_ = fs::temp_directory_path() / ("kxboot-ini-diff-" + std::to_string(rd()));
        fs::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ec;
        fs::remove_all(folder_, ec);
    }
    std::string Place(const std::string& name, const std::string& bytes) {
        const fs::path path = folder_ / name;
        std::ofstream(path, std::ios::binary) << bytes;
        return platform::PathToUtf8(path);
    }

    fs::path folder_;
};

TEST_F(IniDifferential, EveryValueReadsTheSameThroughTheEngineAndTheSystem) {
    int index = 0;
    for (const CorpusFile& c : Corpus()) {
        const std::string file = Place("read" + std::to_string(index++) + ".ini", c.bytes);
        const SystemApi api{c.Marked()};
        const TKXIniFile ini(file);
        for (const Probe& p : Probes(api, file)) {
            const std::string ours =
                api.FromProgram(ini.ReadString(api.ToProgram(p.section), api.ToProgram(p.key), Absent));
            EXPECT_EQ(ours, api.Get(&p.section, &p.key, file, BufferSize))
                << c.name << ": [" << p.section << "] " << p.key;
        }
    }
}

struct Write {
    const char* section;
    const char* key;
    const char* value;
};

TEST_F(IniDifferential, TheSameWritesLeaveFilesOfTheSameMeaning) {
    const Write writes[] = {
        {"Common", "FN", "C:\\Прошивки\\новая.rom"}, {"common", "fn", "second write"}, {"RS232", "Port", "7"},
        {"MainWindow", "Left", "-20"}, {"Brand New", "Key", "v a l"}, {"", "Top", "1"},
        {"Common", "NoEquals", "now set"}, {"Common", "Added", "\"quoted\""}, {"A", "K", "one"},
        {"Раздел", "Ключ", "другое"},
    };
    int index = 0;
    for (const CorpusFile& c : Corpus()) {
        if (!c.writable) continue;
        SCOPED_TRACE(c.name);
        const SystemApi api{c.Marked()};
        const std::string theirs = Place("sys" + std::to_string(index) + ".ini", c.bytes);
        const std::string ours = Place("ours" + std::to_string(index++) + ".ini", c.bytes);
        TKXIniFile ini(ours);
        for (const Write& w : writes) {
            ASSERT_TRUE(api.Write(api.FromProgram(w.section), api.FromProgram(w.key), api.FromProgram(w.value), theirs));
            ini.WriteString(w.section, w.key, w.value);
        }
        EXPECT_EQ(Meaning(api, ours), Meaning(api, theirs));
        std::ifstream in(platform::PathFromUtf8(ours), std::ios::binary);
        std::string start(3, '\0');
        in.read(start.data(), 3);
        if (c.Marked()) {
            EXPECT_EQ(start.substr(0, 2), c.bytes.substr(0, 2)) << "the byte-order mark was lost";
        }
    }
}

}  // namespace
}  // namespace kx::app
