// Settings-file behaviour that relies on POSIX facilities (environment, links, modes).
#include "app/KXIniFile.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "tests/app/TempDir.h"

namespace kx::app {
namespace {

namespace fs = std::filesystem;

TEST(IniFilePosix, AWriteKeepsTheFilesPermissionsAndLinks) {
    test::TempDir dir;
    const std::string path = dir.File("kxboot.ini");
    test::WriteAll(path, "[Common]\r\n");
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    const std::string link = dir.File("link.ini");
    fs::create_symlink(path, link);
    TKXIniFile(link).WriteString("Common", "FN", "x");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(test::ReadAll(path), "[Common]\r\nFN=x\r\n");
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read | fs::perms::owner_write);
}

class SettingsPath : public ::testing::Test {
protected:
    void SetUp() override {
        Save("KXBOOT_SETTINGS");
        Save("XDG_CONFIG_HOME");
    }
    void TearDown() override {
        for (const auto& [name, value] : saved_) {
            if (value)
                setenv(name.c_str(), value->c_str(), 1);
            else
                unsetenv(name.c_str());
        }
    }
    void Save(const std::string& name) {
        const char* value = std::getenv(name.c_str());
        saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }

    test::TempDir dir;

private:
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST_F(SettingsPath, TheEnvironmentNamesTheFileWhenNotEmpty) {
    setenv("KXBOOT_SETTINGS", "/somewhere/else.ini", 1);
    EXPECT_EQ(TKXIniFile::DefaultPath(), "/somewhere/else.ini");
    setenv("KXBOOT_SETTINGS", "", 1);
    EXPECT_EQ(fs::path(TKXIniFile::DefaultPath()).filename(), "app_tests.ini");
}

TEST_F(SettingsPath, BesideTheProgramWithItsExtensionReplaced) {
    EXPECT_EQ(TKXIniFile::DefaultPathFor(dir.File("kxboot")), dir.File("kxboot.ini"));
    EXPECT_EQ(TKXIniFile::DefaultPathFor(dir.File("kxboot.exe")), dir.File("kxboot.ini"));
    EXPECT_TRUE(fs::is_empty(dir.Path())) << "the writability probe was left behind";
}

TEST_F(SettingsPath, TheUserConfigurationFolderWhereTheProgramsFolderIsNotWritable) {
    setenv("XDG_CONFIG_HOME", dir.File("config").c_str(), 1);
    const std::string chosen = TKXIniFile::DefaultPathFor("/nonexistent/folder/kxboot");
    EXPECT_EQ(chosen, (dir.Path() / "config" / "kxboot" / "kxboot.ini").string());
    EXPECT_TRUE(fs::is_directory(dir.Path() / "config" / "kxboot"));
}

}  // namespace
}  // namespace kx::app
