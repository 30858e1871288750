#include "platform/posix/UucpLock.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>

#include "tests/app/Forked.h"
#include "tests/app/TempDir.h"

namespace kx::platform::posix {
namespace {

namespace fs = std::filesystem;

// A PID that surely belonged to a process which has ended.
int DeadPid() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

class UucpLockTest : public ::testing::Test {
protected:
    std::string LockFile(const std::string& device) const {
        return tmp.File("LCK.." + UucpLock::LockName(device));
    }
    void WriteLock(const std::string& device, const std::string& content) const {
        std::ofstream(LockFile(device), std::ios::binary) << content;
    }
    test::TempDir tmp;
    std::vector<std::string> folders{tmp.Path().string()};
};

TEST_F(UucpLockTest, LockNameFollowsSymlinksAndFlattensSubfolders) {
    EXPECT_EQ(UucpLock::LockName("/dev/ttyUSB0"), "ttyUSB0");
    EXPECT_EQ(UucpLock::LockName("/dev/pts/3"), "pts_3");
    const std::string link = tmp.File("port");
    fs::create_symlink("/dev/null", link);
    EXPECT_EQ(UucpLock::LockName(link), "null");
}

TEST_F(UucpLockTest, LockFilePidReadsTheCommonForms) {
    struct Case {
        std::string content;
        int pid;
    };
    const int binary = 4242;
    const Case cases[] = {
        {"      1234\n", 1234},
        {"1234\n", 1234},
        {std::string(reinterpret_cast<const char*>(&binary), sizeof binary), 4242},
        {"", 0},
        {"garbage\n", 0},
        {"99999999999999\n", 0},
    };
    for (const auto& c : cases) {
        WriteLock("/dev/ttyS0", c.content);
        EXPECT_EQ(LockFilePid(LockFile("/dev/ttyS0")), c.pid) << c.content;
    }
}

// Anyone may plant entries in the lock folder. A FIFO (which would block a plain open)
// and a link (even to a file naming a live PID) hold no PID: they are stale and are
// replaced, and a link's target is never touched. A folder cannot be removed, so the
// port stays busy.
TEST_F(UucpLockTest, WhatIsNotARegularFileIsAStaleLockOrABusyPort) {
    const std::string device = "/dev/ttyUSB9";
    const std::string target = tmp.File("someone-elses-file");
    const std::string live = std::to_string(::getpid()) + "\n";
    struct Case {
        const char* name;
        std::function<void(const std::string&)> plant;
        UucpLock::Outcome outcome;
    };
    const Case cases[] = {
        {"fifo", [](const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0); },
         UucpLock::Outcome::Acquired},
        {"link to a live lock", [&](const std::string& path) { fs::create_symlink(target, path); },
         UucpLock::Outcome::Acquired},
        {"dangling link", [](const std::string& path) { fs::create_symlink("/nonexistent/x", path); },
         UucpLock::Outcome::Acquired},
        {"folder", [](const std::string& path) { fs::create_directory(path); },
         UucpLock::Outcome::Busy},
    };
    for (const auto& c : cases) {
        std::ofstream(target, std::ios::binary) << live;
        c.plant(LockFile(device));
        EXPECT_FALSE(UucpLock::Held(device, folders)) << c.name;
        std::unique_ptr<UucpLock> lock;
        EXPECT_EQ(UucpLock::Acquire(device, folders, lock), c.outcome) << c.name;
        EXPECT_EQ(test::ReadAll(target), live) << c.name;
        lock.reset();
        std::error_code ec;
        fs::remove_all(LockFile(device), ec);
    }
}

TEST_F(UucpLockTest, AcquireWritesOurPidAndReleaseRemovesIt) {
    std::unique_ptr<UucpLock> lock;
    ASSERT_EQ(UucpLock::Acquire("/dev/ttyUSB7", folders, lock), UucpLock::Outcome::Acquired);
    ASSERT_TRUE(lock);
    EXPECT_EQ(lock->Path(), LockFile("/dev/ttyUSB7"));
    char expected[16];
    std::snprintf(expected, sizeof expected, "%10d\n", ::getpid());
    EXPECT_EQ(test::ReadAll(LockFile("/dev/ttyUSB7")), expected);
    EXPECT_TRUE(UucpLock::Held("/dev/ttyUSB7", folders));

    std::unique_ptr<UucpLock> second;
    EXPECT_EQ(UucpLock::Acquire("/dev/ttyUSB7", folders, second), UucpLock::Outcome::Busy);
    EXPECT_FALSE(second);

    lock.reset();
    EXPECT_FALSE(fs::exists(LockFile("/dev/ttyUSB7")));
    EXPECT_FALSE(UucpLock::Held("/dev/ttyUSB7", folders));
    // No temporary files are left behind.
    EXPECT_TRUE(fs::is_empty(tmp.Path()));
}

TEST_F(UucpLockTest, StaleLocksAreIgnoredAndReplaced) {
    for (const std::string& content : {std::to_string(DeadPid()) + "\n", std::string("junk"), std::string()}) {
        WriteLock("/dev/ttyACM0", content);
        EXPECT_FALSE(UucpLock::Held("/dev/ttyACM0", folders)) << content;
        std::unique_ptr<UucpLock> lock;
        EXPECT_EQ(UucpLock::Acquire("/dev/ttyACM0", folders, lock), UucpLock::Outcome::Acquired) << content;
        EXPECT_EQ(LockFilePid(LockFile("/dev/ttyACM0")), ::getpid());
    }
}

TEST_F(UucpLockTest, ALiveOwnerInAnyFolderHoldsThePort) {
    test::TempDir other;
    const std::vector<std::string> both{tmp.Path().string(), other.Path().string()};
    std::ofstream(other.File("LCK..ttyS3")) << "         1\n";  // init always runs
    EXPECT_TRUE(UucpLock::Held("/dev/ttyS3", both));
    std::unique_ptr<UucpLock> lock;
    EXPECT_EQ(UucpLock::Acquire("/dev/ttyS3", both, lock), UucpLock::Outcome::Busy);
    EXPECT_FALSE(fs::exists(LockFile("/dev/ttyS3")));
    // A lock left by someone else is never removed by us.
    EXPECT_TRUE(fs::exists(other.File("LCK..ttyS3")));

    // An ordinary user may not signal another user's process: the probe's "not permitted"
    // still means alive.
    const auto account = test::OrdinaryAccount();
    if (!account) GTEST_SKIP() << "no ordinary account to probe as";
    const test::ChildEnd end = test::RunForked(
        [&both] { return UucpLock::Held("/dev/ttyS3", both) ? "" : "init's lock was taken for stale"; }, account);
    EXPECT_TRUE(end.Clean());
    EXPECT_EQ(end.report, "");
}

TEST_F(UucpLockTest, NoWritableFolderMeansGoingOnWithoutTheLock) {
    std::unique_ptr<UucpLock> lock;
    EXPECT_EQ(UucpLock::Acquire("/dev/ttyS0", {tmp.File("missing")}, lock), UucpLock::Outcome::Unavailable);
    EXPECT_EQ(UucpLock::Acquire("/dev/ttyS0", {}, lock), UucpLock::Outcome::Unavailable);
    EXPECT_FALSE(lock);
}

TEST_F(UucpLockTest, FoldersComeFromTheEnvironmentWhenSet) {
    ::setenv("KXBOOT_LOCK_DIR", tmp.Path().c_str(), 1);
    EXPECT_EQ(UucpLock::Folders(), folders);
    ::unsetenv("KXBOOT_LOCK_DIR");
    for (const auto& folder : UucpLock::Folders()) EXPECT_TRUE(fs::is_directory(folder)) << folder;
}

}  // namespace
}  // namespace kx::platform::posix
