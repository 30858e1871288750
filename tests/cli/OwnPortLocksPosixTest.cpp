// What the cancel watchdog removes when it ends the program without unwinding the links:
// this process's port lock files, and nothing of anyone else's.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>

#include "cli/Terminal.h"
#include "tests/app/TempDir.h"

namespace kx::test {
namespace {

std::string PidText(int pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", pid);
    return text;
}

TEST(OwnPortLocks, OnlyLockFilesHoldingThisProcesssPidAreRemoved) {
    TempDir dir;
    ::setenv("KXBOOT_LOCK_DIR", dir.Path().c_str(), 1);
    const std::string self = PidText(::getpid());
    const struct {
        const char* name;
        std::string content;
        bool stays;
    } files[] = {
        {"LCK..ttyUSB0", self, false},
        {"LCK..pts_3", std::to_string(::getpid()) + "\n", false},   // no leading blanks
        {"LCK..ttyUSB1", PidText(1), true},                       // another live process's
        {"LCK..ttyS0", "garbage\n", true},
        {"LTMP.12.0", self, true},                                 // not a lock file
    };
    for (const auto& f : files) WriteAll(dir.File(f.name), f.content);
    cli::RemoveOwnPortLocks();
    ::unsetenv("KXBOOT_LOCK_DIR");
    for (const auto& f : files) EXPECT_EQ(std::filesystem::exists(dir.File(f.name)), f.stays) << f.name;
}

}  // namespace
}  // namespace kx::test
