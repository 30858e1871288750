// The POSIX lock file: where it lives, how it is created, what it refuses to follow,
// and that the kernel lets go of it with the process that held it.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "platform/NamedLock.h"

namespace kx::platform {
namespace {

namespace fs = std::filesystem;

class PosixNamedLockTest : public ::testing::Test {
protected:
    void SetUp() override {
        const char* old = std::getenv("XDG_RUNTIME_DIR");
        if (old != nullptr) saved_ = old;
        std::string pattern = (fs::temp_directory_path() / "kxlock-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        runtime_ = pattern;
        ::setenv("XDG_RUNTIME_DIR", runtime_.c_str(), 1);
        name_ = "kxboot-locktest-" + std::to_string(::getpid());
    }
    void TearDown() override {
        if (saved_) ::setenv("XDG_RUNTIME_DIR", saved_->c_str(), 1);
        else ::unsetenv("XDG_RUNTIME_DIR");
        fs::remove_all(runtime_);
        fs::remove(FallbackFolder() / (name_ + ".lock"));
    }
    static fs::path FallbackFolder() { return fs::path("/tmp") / ("kxboot-" + std::to_string(::geteuid())); }
    fs::path LockPath() const { return runtime_ / (name_ + ".lock"); }

    fs::path runtime_;
    std::string name_;
    std::optional<std::string> saved_;
};

TEST_F(PosixNamedLockTest, LockFileIsCreatedOwnerOnlyInTheRuntimeFolder) {
    const auto lock = TryAcquireNamedLock(name_);
    ASSERT_NE(lock, nullptr);
    struct stat st {};
    ASSERT_EQ(::lstat(LockPath().c_str(), &st), 0);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_uid, ::geteuid());
}

TEST_F(PosixNamedLockTest, PlantedLinksAndFifosAreNeitherFollowedNorWaitedOn) {
    const fs::path target = runtime_ / "victim";
    fs::create_symlink(target, LockPath());
    EXPECT_EQ(TryAcquireNamedLock(name_), nullptr);
    EXPECT_FALSE(fs::exists(target)) << "the link was followed";

    fs::remove(LockPath());
    ASSERT_EQ(::mkfifo(LockPath().c_str(), 0600), 0);
    EXPECT_EQ(TryAcquireNamedLock(name_), nullptr);  // returns at once instead of blocking
}

TEST_F(PosixNamedLockTest, NamesThatWouldLeaveTheFolderAreRefused) {
    for (const std::string bad : {"", ".", "..", "../escape", "a/b"}) {
        EXPECT_EQ(TryAcquireNamedLock(bad), nullptr) << bad;
    }
}

TEST_F(PosixNamedLockTest, AnUnsafeRuntimeFolderIsPassedOverForThePerUserFolder) {
    ASSERT_EQ(::chmod(runtime_.c_str(), 0777), 0);
    const auto lock = TryAcquireNamedLock(name_);
    ASSERT_NE(lock, nullptr);
    EXPECT_FALSE(fs::exists(LockPath()));
    EXPECT_TRUE(fs::exists(FallbackFolder() / (name_ + ".lock")));
    struct stat st {};
    ASSERT_EQ(::lstat(FallbackFolder().c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, ::geteuid());
}

// A child process takes the lock and holds it until it is killed.
TEST_F(PosixNamedLockTest, ALockHeldByAnotherProcessIsReleasedWhenThatProcessDies) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const auto held = TryAcquireNamedLock(name_);
        const char answer = held ? 'y' : 'n';
        (void)!::write(ready[1], &answer, 1);
        ::pause();
        ::_exit(0);
    }
    char answer = 0;
    ASSERT_EQ(::read(ready[0], &answer, 1), 1);
    ASSERT_EQ(answer, 'y');
    EXPECT_EQ(TryAcquireNamedLock(name_), nullptr);

    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);
    ::close(ready[0]);
    ::close(ready[1]);
    EXPECT_NE(TryAcquireNamedLock(name_), nullptr);
}

}  // namespace
}  // namespace kx::platform
