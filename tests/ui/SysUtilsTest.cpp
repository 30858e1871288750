#include "ui/SysUtils.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <locale>
#include <sstream>

#include "platform/Process.h"
#include "ui/UserInterface.h"

namespace kx::ui {
namespace {

namespace fs = std::filesystem;

// Regional settings that write one and a half as "1,5" and group thousands with ".".
class CommaDecimal : public std::numpunct<char> {
protected:
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return '.'; }
    std::string do_grouping() const override { return "\3"; }
};

// The process environment as it was, put back after each test.
class Environment : public ::testing::Test {
protected:
    void TearDown() override {
        std::locale::global(savedLocale_);
        std::setlocale(LC_NUMERIC, savedCNumeric_.c_str());
        fs::current_path(savedDirectory_);
    }

private:
    std::locale savedLocale_;
    std::string savedCNumeric_ = std::setlocale(LC_NUMERIC, nullptr);
    fs::path savedDirectory_ = fs::current_path();
};

TEST_F(Environment, NumbersUseAFullStopWhateverTheRegionalSettings) {
    std::locale::global(std::locale(std::locale::classic(), new CommaDecimal));
    std::ostringstream before;
    before << 1234.5;
    ASSERT_EQ(before.str(), "1.234,5");  // the regional settings are in effect

    InitEnvironment();

    std::ostringstream after;
    after << 1234.5;
    EXPECT_EQ(after.str(), "1234.5");
    std::istringstream in("2.25");
    double value = 0;
    in >> value;
    EXPECT_EQ(value, 2.25);
    EXPECT_STREQ(std::localeconv()->decimal_point, ".");
}

TEST_F(Environment, TheCurrentDirectoryBecomesTheProgramsFolder) {
    fs::current_path(fs::temp_directory_path());
    InitEnvironment();
    EXPECT_TRUE(fs::equivalent(fs::current_path(), platform::PathFromUtf8(platform::ExecutableDir())));
    EXPECT_TRUE(fs::exists(fs::current_path() / platform::PathFromUtf8(platform::ExecutableFileName())));
}

// Without a front end nothing may run unattended: questions answer No, dialogs cancel and
// progress windows are cancelled from the start.
TEST(UserInterface, TheSilentDefaultDeclinesEverything) {
    UserInterface& silent = SilentUserInterface();
    EXPECT_FALSE(silent.AskYesNo("?"));
    EXPECT_FALSE(silent.EnterPassword("?").has_value());
    EXPECT_FALSE(silent.ChoosePort({"a"}, 0).has_value());
    EXPECT_FALSE(silent.ChooseBaudRate(19200).has_value());
    EXPECT_FALSE(silent.ChooseFile("*.rom|*.rom", ".").has_value());
    EXPECT_TRUE(silent.CreateProgress()->Cancelled());
}

}  // namespace
}  // namespace kx::ui
