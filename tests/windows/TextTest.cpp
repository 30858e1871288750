// Settings text in the Cyrillic ANSI code page, and the path helpers.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "app/KXIniFile.h"
#include "platform/Process.h"
#include "platform/win32/WinText.h"

namespace kx::platform {
namespace {

struct FileTextCase {
    const char* utf8;
    std::string cp1251;
};

TEST(FileText, ConvertsBetweenUtf8AndCp1251) {
    const FileTextCase cases[] = {
        {"", ""},
        {"Port=5\r\n", "Port=5\r\n"},
        {"Загрузка окончена.", "\xC7\xE0\xE3\xF0\xF3\xE7\xEA\xE0 \xEE\xEA\xEE\xED\xF7\xE5\xED\xE0."},
        {"ёЁ№", "\xB8\xA8\xB9"},
        {"C:\\Прошивки\\МК.rom", "C:\\\xCF\xF0\xEE\xF8\xE8\xE2\xEA\xE8\\\xCC\xCA.rom"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.utf8);
        EXPECT_EQ(ToFileText(c.utf8), c.cp1251);
        EXPECT_EQ(FromFileText(c.cp1251), c.utf8);
    }
}

TEST(FileText, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(ToFileText("a\xE4\xB8\xAD" "b"), "a?b");   // a CJK character between two letters
}

TEST(FileText, UpperHalfOfTheCodePageSurvivesTheRoundTrip) {
    // Every byte a technician's file can hold reads back unchanged after a write
    // (0x98 is the one unassigned byte of the code page).
    std::string all;
    for (int b = 0x80; b <= 0xFF; ++b)
        if (b != 0x98) all.push_back(static_cast<char>(b));
    EXPECT_EQ(ToFileText(FromFileText(all)), all);
}

TEST(FileText, SettingsFileAtCyrillicPathIsWrittenAndReadInCp1251) {
    std::random_device rd;
    const auto folder = std::filesystem::temp_directory_path() /
                        PathFromUtf8("Настройки-" + std::to_string(rd()));
    std::filesystem::create_directories(folder);
    const std::string file = PathToUtf8(folder / PathFromUtf8("Загрузчик.ini"));
    const std::string image = "C:\\Прошивки\\Блок питания.rom";
    {
        app::TKXIniFile ini(file);
        ini.WriteString("Common", "FN", image);
        ini.WriteInteger("RS232", "Port", 5);
    }
    std::ifstream in(PathFromUtf8(file), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    in.close();

    // A technician's existing file, written by the old program in code page 1251.
    std::ofstream(PathFromUtf8(file), std::ios::binary | std::ios::trunc)
        << "[Common]\r\nFN=D:\\\xCF\xF0\xEE\xF8\xE8\xE2\xEA\xE8\\a.rom\r\n";
    const std::string stored = app::TKXIniFile(file).ReadString("Common", "FN", "");
    std::filesystem::remove_all(folder);

    EXPECT_NE(bytes.find("FN=C:\\\xCF\xF0\xEE\xF8\xE8\xE2\xEA\xE8\\\xC1\xEB\xEE\xEA "), std::string::npos) << bytes;
    EXPECT_EQ(bytes.find("\xD0"), std::string::npos) << "UTF-8 in the file";
    EXPECT_EQ(stored, "D:\\Прошивки\\a.rom");
}

TEST(FileText, SettingsPathFromTheEnvironmentKeepsCyrillicLetters) {
    // The environment is wide on Windows; its narrow copy holds only what the ANSI code
    // page can spell, which for a Russian user's folder may be nothing useful.
    const std::wstring name = L"KXBOOT_SETTINGS";
    const wchar_t* before = _wgetenv(name.c_str());
    const std::wstring saved = before != nullptr ? before : L"";
    const std::string path = "C:\\Users\\Иван\\Настройки\\kxboot.ini";
    _wputenv_s(name.c_str(), win32::Utf8ToWide(path).c_str());
    const std::string value = EnvironmentValue("KXBOOT_SETTINGS");
    const std::string chosen = app::TKXIniFile::DefaultPath();
    _wputenv_s(name.c_str(), saved.c_str());

    EXPECT_EQ(value, path);
    EXPECT_EQ(chosen, path);
    EXPECT_EQ(EnvironmentValue("KXBOOT_SURELY_NOT_SET"), "");
}

struct PathCase {
    const char* path;
    const char* folder;
    const char* fileName;
};

TEST(PathHelpers, SplitFolderAndFileName) {
    const PathCase cases[] = {
        {"C:\\Program Files\\kxboot\\kxboot.exe", "C:\\Program Files\\kxboot", "kxboot.exe"},
        {"C:\\kxboot.exe", "C:", "kxboot.exe"},   // a drive's root: the bare drive
        {"\\\\server\\share\\kxboot.exe", "\\\\server\\share", "kxboot.exe"},
        {"D:/tools/kxboot.exe", "D:/tools", "kxboot.exe"},
        {"kxboot.exe", ".", "kxboot.exe"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        EXPECT_EQ(win32::FolderOfPath(c.path), c.folder);
        EXPECT_EQ(win32::FileNameOfPath(c.path), c.fileName);
    }
}

TEST(PathHelpers, WideConversionRoundTripsCyrillic) {
    const std::string text = "Прошивка МК 7469";
    EXPECT_EQ(win32::Utf8ToWide(text).size(), 16u);
    EXPECT_EQ(win32::WideToUtf8(win32::Utf8ToWide(text)), text);
}

}  // namespace
}  // namespace kx::platform
