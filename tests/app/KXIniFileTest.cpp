#include "app/KXIniFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <stdexcept>

#include "tests/app/TempDir.h"

namespace kx::app {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

class IniFile : public ::testing::Test {
protected:
    std::string Make(const std::string& content) {
        test::WriteAll(path, content);
        return path;
    }

    test::TempDir dir;
    std::string path = dir.File("kxboot.ini");
};

TEST_F(IniFile, ANewFileHoldsABlankAndALineBreakAndReadsDefaults) {
    TKXIniFile ini(path);
    EXPECT_EQ(test::ReadAll(path), " \r\n");
    EXPECT_EQ(ini.ReadString("Common", "FN", "none"), "none");
    EXPECT_EQ(ini.ReadInteger("RS232", "Port", 7), 7);
}

TEST_F(IniFile, AnExistingFileIsLeftAloneByConstruction) {
    Make("[Common]\nFN=x\n");
    TKXIniFile ini(path);
    EXPECT_EQ(test::ReadAll(path), "[Common]\nFN=x\n");
    EXPECT_EQ(ini.ReadString("common", "fn", ""), "x");
}

TEST_F(IniFile, ConstructionFailsWhereTheFileCannotBeCreated) {
    EXPECT_THROW(TKXIniFile(dir.File("no/such/folder/kxboot.ini")), std::system_error);
}

TEST_F(IniFile, NamesMatchWithoutCaseAndTheFirstSectionAndKeyWin) {
    Make("FN=outside\r\n"
         "[ common ]\r\n"
         "; FN=comment\r\n"
         "Fn = first \r\n"
         "fn=second\r\n"
         "Quoted=\"  padded  \"\r\n"
         "Single='x'\r\n"
         "Empty=\r\n"
         "NoEquals\r\n"
         "[COMMON]\r\n"
         "FN=other section\r\n"
         "Extra=only here\r\n");
    TKXIniFile ini(path);
    EXPECT_EQ(ini.ReadString("COMMON", "fN", "d"), "first");
    EXPECT_EQ(ini.ReadString("Common", "Quoted", "d"), "  padded  ");
    EXPECT_EQ(ini.ReadString("Common", "Single", "d"), "x");
    EXPECT_EQ(ini.ReadString("Common", "Empty", "d"), "");
    EXPECT_EQ(ini.ReadString("Common", "NoEquals", "d"), "d");
    EXPECT_EQ(ini.ReadString("Common", "Extra", "d"), "d");
}

struct LineCase {
    const char* name;
    std::string file;
    const char* section;
    const char* key;
    const char* expected;  // "<default>" when the key is not found
};

TEST_F(IniFile, LinesAreReadAsTheProfileFunctionsReadThem) {
    const LineCase cases[] = {
        {"a [ without ] opens no section", "[A]\r\n[Broken\r\nFN=x\r\n", "A", "FN", "x"},
        {"nor is it one", "[A]\r\n[Broken\r\nFN=x\r\n", "Broken", "FN", "<default>"},
        {"but a key of its own", "[A]\r\n[Broken=1\r\n", "A", "[Broken", "1"},
        {"the name runs to the last ]", "[a]b] tail\r\nK=1\r\n", "A]B", "K", "1"},
        {"keys before any section", "K=top\r\n[S]\r\nK=s\r\n", "", "K", "top"},
        {"a bare name hides a later key", "[S]\r\nK\r\nK=2\r\n", "S", "K", "<default>"},
        {"CR alone ends a line", "[S]\rK=cr\rJ=2", "S", "J", "2"},
        {"all ASCII white space and ^Z trimmed", "\v[S]\f\r\n\tK\t=\x1a v \x1a\r\n", "S", "K", "v"},
        {"names asked for are trimmed", " [ S ] \r\n K = v \r\n", "  s\t", " k ", "v"},
        {"one pair of quotes only", "[S]\r\nK=\"'x'\"\r\n", "S", "K", "'x'"},
        {"a lone quote stays", "[S]\r\nK=\"\r\n", "S", "K", "\""},
        {"a NUL ends the value", "[S]\r\nK=ab\0cd\r\n"s, "S", "K", "ab"},
        {"before its quotes are taken", "[S]\r\nK=\"a\0b\"\r\n"s, "S", "K", "\"a"},
    };
    for (const LineCase& c : cases) {
        TKXIniFile ini(Make(c.file));
        EXPECT_EQ(ini.ReadString(c.section, c.key, "<default>"), c.expected) << c.name;
    }
}

TEST_F(IniFile, AWriteToAKeyBeforeAnySectionOrAfterABrokenHeaderStaysWhereItBelongs) {
    TKXIniFile ini(Make("K=1\r\n[A]\r\n[Broken\r\nX=1\r\n\r\n[B]\r\n"));
    ini.WriteString("", "L", "2");
    ini.WriteString("A", "Y", "3");
    EXPECT_EQ(test::ReadAll(path), "K=1\r\nL=2\r\n[A]\r\n[Broken\r\nX=1\r\nY=3\r\n\r\n[B]\r\n");
}

// Bytes of UTF-16 text, after its byte-order mark.
std::string Utf16Bytes(std::u16string_view text, bool bigEndian) {
    std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
    for (const char16_t unit : text) {
        const char lo = static_cast<char>(unit & 0xFF), hi = static_cast<char>(unit >> 8);
        bytes += bigEndian ? hi : lo;
        bytes += bigEndian ? lo : hi;
    }
    return bytes;
}

TEST_F(IniFile, FilesWithAByteOrderMarkAreReadAndWrittenInTheirOwnEncoding) {
    const std::u16string before = u"[Common]\r\nFN=старый\r\n[RS232]\r\nPort=5\r\n";
    const std::u16string after = u"[Common]\r\nFN=новый\u0080\u0800\U00010000\r\n[RS232]\r\nPort=5\r\n[MainWindow]\r\nLeft=7\r\n";
    const auto utf8 = [](std::string_view text) { return "\xEF\xBB\xBF" + std::string(text); };
    const struct {
        const char* name;
        std::string before, after;
    } cases[] = {
        {"UTF-8", utf8("[Common]\r\nFN=старый\r\n[RS232]\r\nPort=5\r\n"),
         utf8("[Common]\r\nFN=новый\u0080\u0800\U00010000\r\n[RS232]\r\nPort=5\r\n[MainWindow]\r\nLeft=7\r\n")},
        {"UTF-16 LE", Utf16Bytes(before, false), Utf16Bytes(after, false)},
        {"UTF-16 BE", Utf16Bytes(before, true), Utf16Bytes(after, true)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TKXIniFile ini(Make(c.before));
        EXPECT_EQ(ini.ReadString("common", "FN", ""), "старый");
        EXPECT_EQ(ini.ReadInteger("RS232", "Port", 0), 5);
        // The first code point of each UTF-8 length, and one beyond 16 bits.
        ini.WriteString("Common", "FN", "новый\u0080\u0800\U00010000");
        EXPECT_EQ(ini.ReadString("Common", "FN", ""), "новый\u0080\u0800\U00010000");
        ini.WriteInteger("MainWindow", "Left", 7);
        EXPECT_EQ(test::ReadAll(path), c.after);
    }
}

TEST_F(IniFile, WritesKeepEveryOtherLineByteForByte) {
    Make("; settings\n"
         "[Common]\r\n"
         "  FN = old \r\n"
         "; keep me\n"
         "\r\n"
         "[MainWindow]\r\n"
         "State=0");
    TKXIniFile ini(path);
    ini.WriteString("common", "fn", "new");
    ini.WriteString("COMMON", "Added", "1");
    ini.WriteInteger("mainwindow", "Left", -20);
    ini.WriteString("RS232", "Port", "/dev/ttyS0");
    EXPECT_EQ(test::ReadAll(path),
              "; settings\n"
              "[Common]\r\n"
              "  FN=new\r\n"
              "; keep me\n"
              "Added=1\r\n"
              "\r\n"
              "[MainWindow]\r\n"
              "State=0\r\n"
              "Left=-20\r\n"
              "[RS232]\r\n"
              "Port=/dev/ttyS0\r\n");
    EXPECT_EQ(ini.ReadInteger("MainWindow", "left", 0), -20);
}

TEST_F(IniFile, EveryWriteReachesTheFileAtOnce) {
    TKXIniFile writer(path);
    TKXIniFile reader(path);
    writer.WriteString("Common", "FN", "a");
    EXPECT_EQ(reader.ReadString("Common", "FN", ""), "a");
    writer.WriteString("Common", "FN", "b");
    EXPECT_EQ(reader.ReadString("Common", "FN", ""), "b");
    // Only the settings file is left in the folder: no temporary files.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path()), fs::directory_iterator()), 1);
}

TEST_F(IniFile, ReadsAreCutAt2047Characters) {
    TKXIniFile ini(path);
    ini.WriteString("Common", "Ascii", std::string(3000, 'a'));
    EXPECT_EQ(ini.ReadString("Common", "Ascii", ""), std::string(2047, 'a'));
    std::string cyrillic;
    for (int i = 0; i < 3000; ++i) cyrillic += "ж";
    ini.WriteString("Common", "Cyrillic", cyrillic);
    EXPECT_EQ(ini.ReadString("Common", "Cyrillic", ""), cyrillic.substr(0, 2047 * 2));
    EXPECT_EQ(ini.ReadString("Common", "Missing", std::string(2048, 'd')), std::string(2047, 'd'));
}

TEST_F(IniFile, ReadIntegerAcceptsDecimalAndHexadecimalOnly) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"16", 16},          {" 42 ", 42},       {"-20", -20},      {"+7", 7},
        {"0x10", 16},        {"0X1f", 31},       {"$FF", 255},      {"-0x10", -16},
        {"2147483647", 2147483647},              {"-2147483648", INT32_MIN},
        {"abc", -1},         {"12abc", -1},      {"0x", -1},        {"$", -1},
        {"", -1},            {"--5", -1},        {"$-5", -1},       {"0x+5", -1},
        {"2147483648", -1},  {"0x80000000", -1}, {"1.5", -1},       {"1 2", -1},
    };
    TKXIniFile ini(path);
    for (const auto& [text, expected] : cases) {
        ini.WriteString("S", "K", text);
        EXPECT_EQ(ini.ReadInteger("S", "K", -1), expected) << '"' << text << '"';
    }
}

TEST_F(IniFile, AFailedWriteRaisesTheWriteErrorAndLeavesNoTrace) {
    TKXIniFile ini(path);
    fs::remove_all(dir.Path());
    try {
        ini.WriteString("Common", "FN", "x");
        ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + path);
    }
    EXPECT_FALSE(fs::exists(dir.Path()));
}

TEST_F(IniFile, AnExistingFileThatCannotBeReadIsNotReplaced) {
    fs::create_directories(path);  // a folder where the file should be
    TKXIniFile ini(path);
    EXPECT_THROW(ini.WriteString("Common", "FN", "x"), std::runtime_error);
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_EQ(ini.ReadString("Common", "FN", "d"), "d");
}

TEST_F(IniFile, ALineBreakInANameOrValueIsRefusedRatherThanWrittenAsNewLines) {
    Make("[Common]\r\nFN=old\r\n");
    TKXIniFile ini(path);
    EXPECT_THROW(ini.WriteString("Common", "FN", "a\r\n[RS232]\r\nPort=x"), std::runtime_error);
    EXPECT_THROW(ini.WriteString("Common\r\n[RS232]", "Port", "x"), std::runtime_error);
    EXPECT_THROW(ini.WriteString("Common", "FN=a\nPort", "x"), std::runtime_error);
    EXPECT_EQ(test::ReadAll(path), "[Common]\r\nFN=old\r\n");
}

TEST_F(IniFile, AddsLinesAfterAnUnterminatedLastLine) {
    TKXIniFile ini(Make("[A]\nx=1"));
    ini.WriteString("A", "y", "2");
    ini.WriteString("B", "z", "3");
    EXPECT_EQ(test::ReadAll(path), "[A]\nx=1\r\ny=2\r\n[B]\r\nz=3\r\n");
    EXPECT_EQ(ini.ReadString("a", "Y", "-"), "2");
}

struct PlacementCase {
    const char* name;
    const char* file;
    WindowPlacement::Border border;
    WindowPlacement expected;  // from the start placement {0, 10, 20, 300, 200}
};

class Placement : public ::testing::TestWithParam<PlacementCase> {};

TEST_P(Placement, ReadRestoresWhatTheRulesAllow) {
    const PlacementCase& c = GetParam();
    test::TempDir dir;
    const std::string path = dir.File("p.ini");
    test::WriteAll(path, c.file);
    WindowPlacement p{WindowPlacement::Normal, 10, 20, 300, 200, c.border};
    TKXIniFile(path).ReadPlacement("MainWindow", p);
    EXPECT_EQ(p.State, c.expected.State);
    EXPECT_EQ(p.Left, c.expected.Left);
    EXPECT_EQ(p.Top, c.expected.Top);
    EXPECT_EQ(p.Width, c.expected.Width);
    EXPECT_EQ(p.Height, c.expected.Height);
}

using B = WindowPlacement::Border;
INSTANTIATE_TEST_SUITE_P(
    Rules, Placement,
    ::testing::Values(
        PlacementCase{"Absent", "", B::Sizeable, {0, 10, 20, 300, 200}},
        PlacementCase{"All", "[MainWindow]\nState=1\nLeft=5\nTop=6\nWidth=7\nHeight=8", B::Sizeable,
                      {1, 5, 6, 7, 8}},
        PlacementCase{"Negative", "[MainWindow]\nLeft=-20\nTop=-1\nWidth=-5\nHeight=-100", B::Sizeable,
                      {0, 0, 0, 100, 100}},
        PlacementCase{"Maximised", "[MainWindow]\nState=2\nLeft=5\nTop=6\nWidth=7\nHeight=8", B::Sizeable,
                      {2, 10, 20, 300, 200}},
        PlacementCase{"Fixed", "[MainWindow]\nLeft=5\nTop=6\nWidth=7\nHeight=8", B::Single, {0, 5, 6, 300, 200}},
        PlacementCase{"SizeToolWin", "[MainWindow]\nLeft=5\nWidth=7", B::SizeToolWin, {0, 5, 20, 300, 200}},
        PlacementCase{"NoBorder", "[MainWindow]\nTop=6\nHeight=8", B::None, {0, 10, 6, 300, 200}},
        PlacementCase{"Hex", "[MainWindow]\nLeft=0x10\nTop=abc", B::Sizeable, {0, 16, 20, 300, 200}},
        PlacementCase{"OddState", "[MainWindow]\nState=7", B::Sizeable, {7, 10, 20, 300, 200}}),
    [](const auto& param) { return std::string(param.param.name); });

TEST_F(IniFile, WritePlacementWritesAllFiveInOrderWhateverTheBorder) {
    TKXIniFile ini(path);
    ini.WritePlacement("MainWindow", {WindowPlacement::Minimized, -3, 4, 500, 600, B::Dialog});
    EXPECT_EQ(test::ReadAll(path), " \r\n[MainWindow]\r\nState=1\r\nLeft=-3\r\nTop=4\r\nWidth=500\r\nHeight=600\r\n");
}

}  // namespace
}  // namespace kx::app
