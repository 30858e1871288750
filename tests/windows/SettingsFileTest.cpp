// The settings file's Windows rules: a read-only file is not replaced, and then the
// per-user file under %APPDATA% is used, made from it.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

#include "app/KXIniFile.h"
#include "platform/Process.h"
#include "platform/win32/WinText.h"

namespace kx::app {
namespace {

namespace fs = std::filesystem;

std::string Read(const std::string& path) {
    std::ifstream in(platform::PathFromUtf8(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(SettingsFile, AReadOnlyFileIsLeftAsItIsAndThePerUserFileIsMadeFromIt) {
    std::random_device rd;
    const fs::path root = fs::temp_directory_path() / ("kxboot-ro-" + std::to_string(rd()));
    const fs::path program = root / "Program";
    const fs::path appData = root / "AppData";
    fs::create_directories(program);
    fs::create_directories(appData);
    const std::string beside = platform::PathToUtf8(program / "kxboot.ini");
    const std::string prepared = "[RS232]\r\nPort=5\r\n";
    std::ofstream(program / "kxboot.ini", std::ios::binary) << prepared;
    SetFileAttributesW(platform::win32::Utf8ToWide(beside).c_str(), FILE_ATTRIBUTE_READONLY);

    std::string failure;
    try {
        TKXIniFile(beside).WriteString("RS232", "Port", "7");
    } catch (const std::runtime_error& e) {
        failure = e.what();
    }
    const wchar_t* saved = _wgetenv(L"APPDATA");
    const std::wstring before = saved != nullptr ? saved : L"";
    _wputenv_s(L"APPDATA", appData.wstring().c_str());
    const std::string chosen = TKXIniFile::DefaultPathFor(platform::PathToUtf8(program / "kxboot.exe"));
    _wputenv_s(L"APPDATA", before.c_str());
    const std::string own = Read(chosen);
    const std::string kept = Read(beside);
    SetFileAttributesW(platform::win32::Utf8ToWide(beside).c_str(), FILE_ATTRIBUTE_NORMAL);
    std::error_code ec;
    fs::remove_all(root, ec);

    EXPECT_EQ(failure, "Unable to write to " + beside);
    EXPECT_EQ(kept, prepared);
    EXPECT_EQ(chosen, platform::PathToUtf8(appData / "kxboot" / "kxboot.ini"));
    EXPECT_EQ(own, prepared);
}

}  // namespace
}  // namespace kx::app
