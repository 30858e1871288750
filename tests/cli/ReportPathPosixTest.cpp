// Where --report may write: only a regular file, never through a link another user planted
// in a shared folder, never blocking on a FIFO.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>

#include "cli/LoadReport.h"
#include "tests/app/TempDir.h"

namespace kx::test {
namespace {

namespace fs = std::filesystem;

cli::LoadRecord Record(const std::string& port) {
    cli::LoadRecord r;
    r.port = port;
    r.outcome = "loaded";
    return r;
}

std::size_t Lines(const std::string& text) { return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')); }

TEST(ReportPath, RecordsAreAppendedToAFileOrThroughTheUsersOwnLink) {
    TempDir dir;
    const std::string file = dir.File("loads.jsonl");
    WriteAll(file, "earlier\n");
    fs::create_symlink(file, dir.File("link.jsonl"));
    cli::LoadReport(file).Append(Record("/dev/ttyUSB0"));
    cli::LoadReport(dir.File("link.jsonl")).Append(Record("/dev/ttyUSB1"));
    const std::string text = ReadAll(file);
    EXPECT_EQ(Lines(text), 3u);
    EXPECT_EQ(text.rfind("earlier\n{", 0), 0u);
    EXPECT_NE(text.find("ttyUSB1"), std::string::npos);
    EXPECT_TRUE(fs::is_symlink(dir.File("link.jsonl")));
}

TEST(ReportPath, AFifoADeviceOrAFolderIsRefusedAtOnce) {
    TempDir dir;
    const std::string fifo = dir.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    // Without a reader an ordinary open for writing would wait for one for ever.
    for (const std::string& path : {fifo, std::string("/dev/null"), dir.Path().string()})
        EXPECT_THROW(cli::LoadReport{path}, std::system_error) << path;
}

TEST(ReportPath, ALinkAnotherUserPlantedInASharedFolderIsNotFollowed) {
    TempDir dir;
    const fs::path shared = dir.Path() / "tmp";
    fs::create_directory(shared);
    ASSERT_EQ(::chmod(shared.c_str(), 01777), 0);
    const std::string precious = dir.File("root-only");
    WriteAll(precious, "keep\n");
    const fs::path planted = shared / "loads.jsonl";
    fs::create_symlink(precious, planted);
    if (::lchown(planted.c_str(), 65534, 65534) != 0) GTEST_SKIP() << "giving the link to another user needs root";
    EXPECT_THROW(cli::LoadReport{planted.string()}, std::system_error);
    EXPECT_EQ(ReadAll(precious), "keep\n");
}

}  // namespace
}  // namespace kx::test
