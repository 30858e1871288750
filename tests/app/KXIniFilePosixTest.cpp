// Settings-file behaviour that relies on POSIX facilities (environment, links, modes,
// users, special files, resource limits).
#include "app/KXIniFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>

#include "tests/app/Forked.h"
#include "tests/app/TempDir.h"

namespace kx::app {
namespace {

namespace fs = std::filesystem;

// The message of the write's failure, "" when it succeeded.
std::string WriteFailure(const std::string& path, const std::string& value = "new") {
    try {
        TKXIniFile(path).WriteString("Common", "FN", value);
        return "";
    } catch (const std::runtime_error& e) {
        return e.what();
    }
}

std::size_t Entries(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

void GiveTo(const fs::path& path, const test::Account& account) {
    ASSERT_EQ(::lchown(path.c_str(), account.uid, account.gid), 0) << path;
}

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

TEST(IniFilePosix, AReadOnlyFileIsNotReplaced) {
    const auto user = test::OrdinaryAccount();
    if (!user) GTEST_SKIP() << "no account without root's powers to run as";
    test::TempDir dir;
    const std::string path = dir.File("kxboot.ini");
    const std::string before = "[Common]\r\nFN=old\r\n";
    test::WriteAll(path, before);
    GiveTo(dir.Path(), *user);
    GiveTo(path, *user);
    fs::permissions(path, fs::perms::owner_read);
    const auto end = test::RunForked([&] { return WriteFailure(path); }, user);
    EXPECT_TRUE(end.Clean());
    EXPECT_EQ(end.report, "Unable to write to " + path);
    // Root could write it, but a file nobody may write is read-only for root too.
    EXPECT_EQ(WriteFailure(path), "Unable to write to " + path);
    EXPECT_EQ(test::ReadAll(path), before);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_read);
    EXPECT_EQ(Entries(dir.Path()), 1u);
}

// A file that may be written but not read cannot be edited: writing it would replace
// every setting in it by the one key.
TEST(IniFilePosix, AWriteOnlyFileIsRefusedAndLeftByteIdentical) {
    const auto user = test::OrdinaryAccount();
    if (!user) GTEST_SKIP() << "no account without root's powers to run as";
    test::TempDir dir;
    const std::string path = dir.File("kxboot.ini");
    const std::string before = " \r\n[Common]\r\nFN=old.rom\r\n[RS232]\r\nPort=/dev/ttyS3\r\n";
    test::WriteAll(path, before);
    GiveTo(dir.Path(), *user);
    GiveTo(path, *user);
    fs::permissions(path, fs::perms::owner_write);
    const auto end = test::RunForked([&] { return WriteFailure(path); }, user);
    EXPECT_TRUE(end.Clean());
    EXPECT_EQ(end.report, "Unable to write to " + path);
    EXPECT_EQ(fs::status(path).permissions(), fs::perms::owner_write);
    fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(test::ReadAll(path), before);
    EXPECT_EQ(Entries(dir.Path()), 1u);
}

enum class Node { Device, Fifo, Socket };

// A device, FIFO or socket at `path`; the device is the null device, made here when root
// may, else the system's own.
std::string MakeNode(Node node, const std::string& path) {
    switch (node) {
        case Node::Device:
            if (::mknod(path.c_str(), S_IFCHR | 0666, makedev(1, 3)) == 0) return path;
            return "/dev/null";
        case Node::Fifo:
            ::mkfifo(path.c_str(), 0666);
            return path;
        case Node::Socket: {
            const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
            ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address);
            ::close(fd);
            return path;
        }
    }
    return path;
}

TEST(IniFilePosix, ADeviceFifoOrSocketIsNeitherReadNorReplacedAndNeverBlocks) {
    for (const Node node : {Node::Device, Node::Fifo, Node::Socket}) {
        test::TempDir dir;
        const std::string path = MakeNode(node, dir.File("kxboot.ini"));
        struct stat before {};
        ASSERT_EQ(::lstat(path.c_str(), &before), 0) << path;
        // In a child with a deadline: a FIFO that blocks an open() must not hang the suite.
        const auto end = test::RunForked(
            [&] {
                TKXIniFile ini(path);
                if (ini.ReadString("Common", "FN", "d") != "d") return std::string("a value was read");
                return WriteFailure(path);
            },
            std::nullopt, 10);
        SCOPED_TRACE(path);
        EXPECT_TRUE(end.Clean()) << "the child ended with status " << end.status;
        EXPECT_EQ(end.report, "Unable to write to " + path);
        struct stat after {};
        ASSERT_EQ(::lstat(path.c_str(), &after), 0);
        EXPECT_EQ(after.st_mode, before.st_mode);
        EXPECT_EQ(after.st_rdev, before.st_rdev);
        if (path.starts_with(dir.Path().string())) {
            EXPECT_EQ(Entries(dir.Path()), 1u);
        }
    }
}

struct LinkCase {
    const char* name;
    fs::perms folderMode;
    bool folderOwnedByLinkOwner;
    bool followed;
};

TEST(IniFilePosix, ALinkIsFollowedOnlyWhereTheProtectedSymlinkRuleAllows) {
    const auto other = test::OrdinaryAccount();
    if (::geteuid() != 0 || !other) GTEST_SKIP() << "a link owned by another user needs root to make";
    const fs::perms sticky = fs::perms::all | fs::perms::sticky_bit;
    const LinkCase cases[] = {
        {"another user's link in a shared sticky folder", sticky, false, false},
        {"the folder owner's link in a shared sticky folder", sticky, true, true},
        {"another user's link in a shared folder that is not sticky", fs::perms::all, false, true},
        {"another user's link in a sticky folder only its owner writes", fs::perms::owner_all | fs::perms::sticky_bit,
         false, true},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        const std::string target = dir.File("victim.conf");
        test::WriteAll(target, "[Common]\r\nFN=old\r\n");
        const fs::path shared = dir.Path() / "shared";
        fs::create_directory(shared);
        fs::permissions(shared, c.folderMode);
        const std::string link = (shared / "kxboot.ini").string();
        fs::create_symlink(target, link);
        GiveTo(link, *other);
        if (c.folderOwnedByLinkOwner) GiveTo(shared, *other);

        const std::string failure = WriteFailure(link);
        EXPECT_EQ(failure, c.followed ? "" : "Unable to write to " + link);
        EXPECT_EQ(test::ReadAll(target), c.followed ? "[Common]\r\nFN=new\r\n" : "[Common]\r\nFN=old\r\n");
        EXPECT_TRUE(fs::is_symlink(link));
    }
}

// The write is cut off by the file-size limit once the new version passes 4 KiB: ignored,
// the write fails half-way; with the signal's default action, the process dies in it.
TEST(IniFilePosix, AWriteCutOffHalfWayOrKilledInTheMiddleLeavesTheOldFileWhole) {
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "killed" : "failed");
        test::TempDir dir;
        const std::string path = dir.File("kxboot.ini");
        std::string before = "[Common]\r\nFN=old\r\n[MainWindow]\r\n";
        for (int i = 0; i < 250; ++i) before += "Key" + std::to_string(i) + "=value\r\n";
        test::WriteAll(path, before);
        const auto end = test::RunForked([&] {
            const rlimit limit{4096, 4096};
            ::setrlimit(RLIMIT_FSIZE, &limit);
            if (!killed) ::signal(SIGXFSZ, SIG_IGN);
            return WriteFailure(path, std::string(2000, 'x'));
        });
        if (killed) {
            EXPECT_TRUE(WIFSIGNALED(end.status) && WTERMSIG(end.status) == SIGXFSZ) << end.status;
        } else {
            EXPECT_EQ(end.report, "Unable to write to " + path);
            EXPECT_EQ(Entries(dir.Path()), 1u) << "the unfinished new version was left behind";
        }
        EXPECT_EQ(test::ReadAll(path), before);
    }
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

struct LocationCase {
    const char* name;
    bool folderWritable;
    std::optional<std::string> beside;  // the file beside the program
    bool besideWritable;
    std::optional<std::string> own;     // the per-user file, when there is one already
    bool chooseOwn;
    std::string content;                // what the chosen file holds when opened
};

TEST_F(SettingsPath, ThePerUserFileOnlyWhereTheFileBesideTheProgramCannotBeWritten) {
    const auto user = test::OrdinaryAccount();
    if (!user) GTEST_SKIP() << "no account without root's powers to run as";
    const std::string prepared = "[RS232]\r\nPort=5\r\n[Common]\r\nFN=/opt/fw.rom\r\n";
    const LocationCase cases[] = {
        {"writable folder and file", true, prepared, true, std::nullopt, false, prepared},
        {"writable folder, no file", true, std::nullopt, true, std::nullopt, false, " \r\n"},
        {"read-only folder: seeded from the prepared file", false, prepared, true, std::nullopt, true, prepared},
        {"read-only file: seeded from it", true, prepared, false, std::nullopt, true, prepared},
        {"read-only folder, no file", false, std::nullopt, true, std::nullopt, true, " \r\n"},
        {"a per-user file already there is kept", false, prepared, true, "[RS232]\r\nPort=7\r\n", true,
         "[RS232]\r\nPort=7\r\n"},
    };
    for (const LocationCase& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir root;
        const fs::path program = root.Path() / "opt";
        const fs::path config = root.Path() / "home" / "config";
        fs::create_directories(program);
        fs::create_directories(config / "kxboot");
        const std::string beside = (program / "kxboot.ini").string();
        const std::string own = (config / "kxboot" / "kxboot.ini").string();
        if (c.beside) test::WriteAll(beside, *c.beside);
        if (c.own) test::WriteAll(own, *c.own);
        for (const auto& entry : fs::recursive_directory_iterator(root.Path())) GiveTo(entry.path(), *user);
        GiveTo(root.Path(), *user);
        if (c.beside && !c.besideWritable) fs::permissions(beside, fs::perms::owner_read);
        if (!c.folderWritable) fs::permissions(program, fs::perms::owner_read | fs::perms::owner_exec);

        const auto end = test::RunForked(
            [&] {
                setenv("XDG_CONFIG_HOME", config.c_str(), 1);
                const std::string chosen = TKXIniFile::DefaultPathFor((program / "kxboot").string());
                TKXIniFile ini(chosen);
                return chosen + "\n" + test::ReadAll(chosen);
            },
            user);
        EXPECT_EQ(end.report, (c.chooseOwn ? own : beside) + "\n" + c.content);
        if (c.beside) {
            EXPECT_EQ(test::ReadAll(beside), *c.beside) << "the file beside the program was changed";
        }
    }
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool UnderAddressSanitizer = true;
#else
constexpr bool UnderAddressSanitizer = false;
#endif

// A field of /proc/self/status, in KiB.
long StatusKiB(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with(field + ":")) return std::atol(line.c_str() + field.size() + 1);
    return -1;
}

TEST(IniFilePosix, A100MegabyteFileIsReadAndWrittenInFixedMemory) {
    test::TempDir dir;
    const std::string path = dir.File("kxboot.ini");
    constexpr std::size_t Megabytes = 100;
    {
        std::ofstream out(path, std::ios::binary);
        out << "[Other]\r\n";
        const std::string blanks(1 << 20, '\n');
        for (std::size_t i = 0; i < Megabytes; ++i) out << blanks;
        out << "[Common]\r\nFN=old\r\n";
    }
    const auto end = test::RunForked([&] {
        // Guards the machine against an engine that reads the file whole: it fails here
        // instead (the sanitizer's shadow memory cannot live under such a limit).
        const rlimit limit{1ul << 30, 1ul << 30};
        if (!UnderAddressSanitizer) ::setrlimit(RLIMIT_AS, &limit);
        const long before = StatusKiB("VmRSS");
        std::ofstream("/proc/self/clear_refs") << "5";  // the peak starts again from here
        TKXIniFile ini(path);
        if (ini.ReadString("Common", "FN", "") != "old") return std::string("the value was not read");
        ini.WriteString("Common", "FN", "new");
        return std::to_string(StatusKiB("VmHWM") - before);
    });
    ASSERT_TRUE(end.Clean()) << end.status;
    const long peakKiB = std::atol(end.report.c_str());
    std::printf("peak memory of a read and a write of a %zu MB settings file: %ld KiB\n", Megabytes, peakKiB);
    EXPECT_GT(peakKiB, 0) << end.report;
    EXPECT_LT(peakKiB, 8 * 1024);
    EXPECT_EQ(fs::file_size(path), Megabytes * (1 << 20) + 27);
    std::ifstream in(path, std::ios::binary);
    in.seekg(-8, std::ios::end);
    std::string tail(8, '\0');
    in.read(tail.data(), 8);
    EXPECT_EQ(tail, "FN=new\r\n");
}

}  // namespace
}  // namespace kx::app
