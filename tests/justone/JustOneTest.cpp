#include "app/JustOne.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace kx::app {
namespace {

// A name no other test run or installed program uses.
std::string UniqueName(const char* what) {
    return std::string("kxboot-test-") + what + "-" +
           std::to_string(std::chrono::steady_clock::now().time_since_epoch().count());
}

TEST(JustOne, SecondGuardOfTheSameNameMustEndAndTheFirstOneGoesOn) {
    const std::string name = UniqueName("same");
    TJustOne first(name);
    TJustOne second(name);
    EXPECT_TRUE(first.MutexOwned);
    EXPECT_NE(first.MutexHandle, nullptr);
    EXPECT_FALSE(first.TerminateRequested());
    EXPECT_FALSE(second.MutexOwned);
    EXPECT_EQ(second.MutexHandle, nullptr);
    EXPECT_TRUE(second.TerminateRequested());
}

TEST(JustOne, CopiesUnderDifferentFileNamesRunSideBySide) {
    TJustOne a(UniqueName("a"));
    TJustOne b(UniqueName("b"));
    EXPECT_TRUE(a.MutexOwned);
    EXPECT_TRUE(b.MutexOwned);
}

TEST(JustOne, AfterTheFirstCopyEndsANewOneStartsNormally) {
    const std::string name = UniqueName("again");
    {
        TJustOne first(name);
        ASSERT_TRUE(first.MutexOwned);
    }
    TJustOne next(name);
    EXPECT_TRUE(next.MutexOwned);
}

TEST(JustOne, ALockThatCannotBeMadeCountsAsARunningCopy) {
    TJustOne unnamed{std::string()};
    EXPECT_TRUE(unnamed.TerminateRequested());
}

TEST(JustOne, TheProgramsOwnGuardIsNamedAfterItsFile) {
    TJustOne own;
    ASSERT_TRUE(own.MutexOwned);
    TJustOne again;  // same program file, same name
    EXPECT_TRUE(again.TerminateRequested());
}

}  // namespace
}  // namespace kx::app
