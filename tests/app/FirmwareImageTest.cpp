#include "app/FirmwareImage.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <system_error>

#include "link/LinkTexts.h"
#include "link/RangeError.h"
#include "tests/app/TempDir.h"

namespace kx::app {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Verdict = std::optional<link::ImageRefusal>;
using link::LoadReason;

const Verdict Accepted;
const Verdict TooLong = link::ImageRefusal{LoadReason::TooLong, texts::TooLong};
const Verdict TypeMismatch = link::ImageRefusal{LoadReason::TypeMismatch, texts::TypeMismatch};
const Verdict VersionMismatch = link::ImageRefusal{LoadReason::VersionMismatch, texts::VersionMismatch};

std::string Shown(const Verdict& verdict) { return verdict ? verdict->text : "accepted"; }

// An image of `size` bytes whose byte i is i's page number mixed with its offset, so that
// a page taken from the wrong place is noticed; a trailer when the size calls for one.
Bytes MakeImage(std::size_t size, std::uint8_t t0 = 0x2D, std::uint8_t t1 = 0x70,
                std::uint8_t t2 = 0x00) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<std::uint8_t>(i / FirmwareImage::PageSize * 31 + i);
    if (size % FirmwareImage::PageSize == 3) {
        bytes[size - 3] = t0;
        bytes[size - 2] = t1;
        bytes[size - 1] = t2;
    }
    return bytes;
}

struct SizeCase {
    std::size_t size;
    bool trailer;
    std::size_t pagesSent;
    Verdict refusal;
};

class ImageSize : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ImageSize, TrailerPagesAndVerdict) {
    const SizeCase& c = GetParam();
    const FirmwareImage image = FirmwareImage::FromBytes(MakeImage(c.size));
    EXPECT_EQ(image.Size(), c.size);
    EXPECT_EQ(image.HasTrailer(), c.trailer);
    EXPECT_EQ(image.PagesToSend(), c.pagesSent);
    EXPECT_EQ(image.Refusal(0x2D), c.refusal) << Shown(image.Refusal(0x2D));
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, ImageSize,
    ::testing::Values(SizeCase{0, false, 0, Accepted}, SizeCase{3, true, 0, Accepted},
                      SizeCase{3075, true, 0, Accepted}, SizeCase{6143, false, 0, Accepted},
                      SizeCase{6144, false, 1, Accepted}, SizeCase{6146, false, 1, Accepted},
                      SizeCase{22 * 3072, false, 21, Accepted}, SizeCase{67587, true, 21, Accepted},
                      SizeCase{67588, false, 21, TooLong},
                      SizeCase{23 * 3072, false, 22, TooLong},
                      SizeCase{23 * 3072 + 3, true, 22, TooLong}));

struct TrailerCase {
    std::uint8_t t0, t1, t2;
    std::size_t size;
    Verdict refusal;
};

class ImageTrailer : public ::testing::TestWithParam<TrailerCase> {};

// Type before version before size: the first failing test decides.
TEST_P(ImageTrailer, RefusedInOrder) {
    const TrailerCase& c = GetParam();
    const FirmwareImage image = FirmwareImage::FromBytes(MakeImage(c.size, c.t0, c.t1, c.t2));
    const auto trailer = image.Trailer();
    EXPECT_EQ(trailer[0], c.t0);
    EXPECT_EQ(trailer[1], c.t1);
    EXPECT_EQ(trailer[2], c.t2);
    EXPECT_EQ(image.Refusal(0x2D), c.refusal) << Shown(image.Refusal(0x2D));
}

INSTANTIATE_TEST_SUITE_P(
    Order, ImageTrailer,
    ::testing::Values(TrailerCase{0x2D, 0x70, 0xFF, 3075, Accepted},
                      TrailerCase{0x2E, 0x70, 0x00, 3075, TypeMismatch},
                      TrailerCase{0x2D, 0x71, 0x00, 3075, VersionMismatch},
                      TrailerCase{0x2E, 0x71, 0x00, 3075, TypeMismatch},
                      TrailerCase{0x2E, 0x70, 0x00, 23 * 3072 + 3, TypeMismatch},
                      TrailerCase{0x2D, 0x00, 0x00, 23 * 3072 + 3, VersionMismatch}));

TEST(FirmwareImage, TypeIsJudgedAgainstTheReportedLowByte) {
    const FirmwareImage image = FirmwareImage::FromBytes(MakeImage(3075, 0x41));
    EXPECT_EQ(image.Refusal(0x41), Accepted);
    EXPECT_EQ(image.Refusal(0x2D), TypeMismatch);
}

TEST(FirmwareImage, PagesComeFromTheirOffsetsAndAreRangeChecked) {
    const Bytes bytes = MakeImage(3 * 3072 + 100);
    const FirmwareImage image = FirmwareImage::FromBytes(bytes);
    ASSERT_EQ(image.PagesToSend(), 2u);
    for (std::size_t p = 1; p <= 2; ++p) {
        const auto page = image.Page(p);
        ASSERT_EQ(page.size(), FirmwareImage::PageSize);
        EXPECT_TRUE(std::equal(page.begin(), page.end(), bytes.begin() + (p - 1) * 3072)) << p;
    }
    EXPECT_THROW(image.Page(0), link::RangeError);
    EXPECT_THROW(image.Page(3), link::RangeError);  // the last whole page is never sent
}

TEST(FirmwareImage, HeadOverwriteChangesOnlyTheFirstSixBytes) {
    const Bytes bytes = MakeImage(6144);
    FirmwareImage image = FirmwareImage::FromBytes(bytes);
    image.OverwriteHead({1, 2, 3, 4, 5, 6});
    const auto page = image.Page(1);
    EXPECT_EQ(Bytes(page.begin(), page.begin() + 6), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(std::equal(page.begin() + 6, page.end(), bytes.begin() + 6));

    FirmwareImage tiny = FirmwareImage::FromBytes({9, 9});
    tiny.OverwriteHead({1, 2, 3, 4, 5, 6});
    EXPECT_EQ(tiny.Bytes(), (Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(tiny.PagesToSend(), 0u);
}

class ImageFile : public ::testing::Test {
protected:
    test::TempDir dir;
};

TEST_F(ImageFile, LoadReadsTheWholeFileAndLeavesItUnchanged) {
    const Bytes bytes = MakeImage(67587);
    const std::string path = dir.File("a.rom");
    const std::string content(bytes.begin(), bytes.end());
    test::WriteAll(path, content);

    FirmwareImage image = FirmwareImage::Load(path);
    EXPECT_TRUE(image.BodyLoaded());
    EXPECT_EQ(image.Bytes(), bytes);
    EXPECT_FALSE(image.Refusal(0x2D).has_value());
    image.OverwriteHead({0, 0, 0, 0, 0, 0});
    EXPECT_EQ(test::ReadAll(path), content);
}

TEST_F(ImageFile, AnEmptyFileLoadsAsAnEmptyImage) {
    const std::string path = dir.File("empty.rom");
    test::WriteAll(path, "");
    const FirmwareImage image = FirmwareImage::Load(path);
    EXPECT_TRUE(image.BodyLoaded());
    EXPECT_EQ(image.Size(), 0u);
    EXPECT_FALSE(image.Refusal(0x2D).has_value());
}

// A sparse file far beyond the limit: only the size and the trailer are read.
TEST_F(ImageFile, AHugeFileIsJudgedWithoutReadingItsBody) {
    const std::string path = dir.File("huge.rom");
    const std::uint64_t size = (std::uint64_t{4} << 30) / 3072 * 3072 + 3072 * 2 + 3;
    {
        std::ofstream out(path, std::ios::binary);
    }
    std::filesystem::resize_file(path, size);
    {
        std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
        out.seekp(static_cast<std::streamoff>(size - 3));
        out.write("\x2d\x70\x01", 3);
    }
    const FirmwareImage image = FirmwareImage::Load(path);
    EXPECT_FALSE(image.BodyLoaded());
    EXPECT_TRUE(image.Bytes().empty());
    EXPECT_EQ(image.Size(), size);
    EXPECT_EQ(image.Trailer(), (std::array<std::uint8_t, 3>{0x2D, 0x70, 0x01}));
    EXPECT_EQ(image.Refusal(0x2D), TooLong);
    EXPECT_EQ(image.Refusal(0x2C), TypeMismatch);
    EXPECT_THROW(image.Page(1), link::RangeError);
}

TEST_F(ImageFile, UnreadableFilesThrowWithThePathInTheText) {
    for (const std::string& path : {dir.File("missing.rom"), dir.Path().string()}) {
        try {
            FirmwareImage::Load(path);
            ADD_FAILURE() << "no exception for " << path;
        } catch (const std::system_error& e) {
            EXPECT_NE(std::string(e.what()).find(path), std::string::npos) << e.what();
            EXPECT_TRUE(e.code()) << path;
        }
    }
}

}  // namespace
}  // namespace kx::app
