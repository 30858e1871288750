// The program's own path, the priority pair and the named mutex, on the real system.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <future>
#include <random>
#include <thread>

#include "platform/Console.h"
#include "platform/NamedLock.h"
#include "platform/Priority.h"
#include "platform/Process.h"
#include "ui/SysUtils.h"

namespace kx::platform {
namespace {

TEST(Executable, PathIsThisProgramAndSplitsIntoFolderAndName) {
    const std::string path = ExecutablePath();
    EXPECT_EQ(ExecutableFileName(), "windows_tests.exe");
    ASSERT_FALSE(ExecutableDir().empty());
    EXPECT_NE(ExecutableDir().back(), '\\');
    EXPECT_EQ(ExecutableDir() + "\\" + ExecutableFileName(), path);
    EXPECT_TRUE(std::filesystem::is_regular_file(PathFromUtf8(path)));
}

TEST(Executable, EnvironmentMovesIntoTheProgramFolder) {
    const auto before = std::filesystem::current_path();
    std::filesystem::current_path(std::filesystem::temp_directory_path());
    ui::InitEnvironment();
    const auto now = std::filesystem::current_path();
    std::filesystem::current_path(before);
    EXPECT_TRUE(std::filesystem::equivalent(now, PathFromUtf8(ExecutableDir())));
}

class PriorityTest : public ::testing::Test {
protected:
    void SetUp() override {
        process_ = GetPriorityClass(GetCurrentProcess());
        thread_ = GetThreadPriority(GetCurrentThread());
        // Start from values that are neither the defaults nor the raised ones.
        ASSERT_TRUE(SetPriorityClass(GetCurrentProcess(), BELOW_NORMAL_PRIORITY_CLASS));
        ASSERT_TRUE(SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_LOWEST));
    }
    void TearDown() override {
        SetThreadPriority(GetCurrentThread(), thread_);
        SetPriorityClass(GetCurrentProcess(), process_);
    }

private:
    DWORD process_ = 0;
    int thread_ = 0;
};

TEST_F(PriorityTest, RaiseThenRestoreReturnsToTheSavedValues) {
    SystemPriority().RaisePriority();
    // Without administrator rights Windows grants the high class instead of real-time.
    const DWORD raised = GetPriorityClass(GetCurrentProcess());
    EXPECT_TRUE(raised == REALTIME_PRIORITY_CLASS || raised == HIGH_PRIORITY_CLASS) << raised;
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_TIME_CRITICAL);

    SystemPriority().RestorePriority();
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_LOWEST);
}

// The class belongs to the process: it stays raised while any thread still transmits,
// and goes back when the last one finishes.
TEST_F(PriorityTest, TheClassIsRestoredWhenTheLastRaisedThreadRestores) {
    std::promise<void> otherRaised, mainRestored, otherRestored;
    std::thread other([&] {
        SystemPriority().RaisePriority();
        otherRaised.set_value();
        mainRestored.get_future().wait();
        SystemPriority().RestorePriority();
        otherRestored.set_value();
    });
    otherRaised.get_future().wait();
    SystemPriority().RaisePriority();
    SystemPriority().RestorePriority();
    EXPECT_EQ(GetThreadPriority(GetCurrentThread()), THREAD_PRIORITY_LOWEST);
    const DWORD whileOtherRaised = GetPriorityClass(GetCurrentProcess());
    EXPECT_TRUE(whileOtherRaised == REALTIME_PRIORITY_CLASS || whileOtherRaised == HIGH_PRIORITY_CLASS)
        << whileOtherRaised;
    mainRestored.set_value();
    otherRestored.get_future().wait();
    other.join();
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS));
}

std::string UniqueName(const std::string& stem) {
    std::random_device rd;
    return stem + "-" + std::to_string(rd()) + std::to_string(GetCurrentProcessId());
}

TEST(NamedLock, SecondAcquireFailsUntilTheFirstIsReleased) {
    for (const std::string stem : {"kxboot.exe", "Загрузчик МК.exe"}) {
        SCOPED_TRACE(stem);
        const std::string name = UniqueName(stem);
        auto first = TryAcquireNamedLock(name);
        ASSERT_NE(first, nullptr);
        EXPECT_EQ(TryAcquireNamedLock(name), nullptr);
        EXPECT_EQ(TryAcquireNamedLock(name), nullptr);   // a refused attempt keeps nothing alive
        first.reset();
        EXPECT_NE(TryAcquireNamedLock(name), nullptr);
    }
}

TEST(NamedLock, DifferentNamesDoNotExcludeEachOther) {
    // Copies of the program under different file names run side by side.
    const std::string name = UniqueName("kxboot");
    auto first = TryAcquireNamedLock(name + ".exe");
    auto second = TryAcquireNamedLock(name + "-copy.exe");
    EXPECT_NE(first, nullptr);
    EXPECT_NE(second, nullptr);
}

TEST(Console, PreparedConsoleReadsAndShowsUtf8) {
    // Under Wine a program whose output goes to a pipe has no console at all;
    // scripts/test-windows runs this test on a terminal as well.
    if (GetConsoleOutputCP() == 0) GTEST_SKIP() << "no console";
    SetConsoleOutputCP(866);
    SetConsoleCP(866);
    PrepareConsole();
    EXPECT_EQ(GetConsoleOutputCP(), static_cast<UINT>(CP_UTF8));
    EXPECT_EQ(GetConsoleCP(), static_cast<UINT>(CP_UTF8));
}

}  // namespace
}  // namespace kx::platform
