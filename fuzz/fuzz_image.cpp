// Image acceptance under arbitrary files: any content and any size, up to sparse files
// of several gigabytes, is loaded or refused without crashing, the verdict and the
// pages agree with the file, an oversize file is never read into memory, and the
// file on disk is never changed.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "app/FirmwareImage.h"
#include "link/LinkTexts.h"
#include "link/RangeError.h"

namespace {

using kx::app::FirmwareImage;
using Bytes = std::vector<std::uint8_t>;

using kx::fuzz::Fail;
using kx::fuzz::Require;

const std::string& TempPath() {
    static const std::string path = kx::fuzz::ScratchPath("kx-fuzz-image", ".rom");
    return path;
}

// The file as described by the input: its first bytes, its full size (the rest is a
// repeated fill byte, or a hole for sizes beyond what fits in memory) and its last bytes.
struct FileShape {
    Bytes head;
    std::uint64_t size = 0;
    Bytes tail;       // the last bytes, written at size - tail.size()
    bool sparse = false;
    std::uint8_t fill = 0;
};

FileShape Shape(FuzzedDataProvider& in) {
    FileShape shape;
    const int mode = in.ConsumeIntegralInRange<int>(0, 3);
    if (mode == 2) {
        // Around the limit and the page boundaries that matter.
        shape.size = in.ConsumeIntegralInRange<std::uint64_t>(FirmwareImage::MaxSize - 3 * 3072,
                                                               FirmwareImage::MaxSize + 3072);
    } else if (mode == 3) {
        shape.size = in.ConsumeIntegralInRange<std::uint64_t>(FirmwareImage::MaxSize + 1, std::uint64_t{1} << 33);
        shape.sparse = true;
    } else if (mode == 1) {
        shape.size = in.ConsumeIntegralInRange<std::uint64_t>(0, 7 * 3072);
    }
    shape.fill = in.ConsumeIntegral<std::uint8_t>();
    shape.tail = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 4));
    shape.head = in.ConsumeRemainingBytes<std::uint8_t>();
    if (mode == 0) {
        shape.size = shape.head.size();
        shape.tail.clear();
    }
    if (shape.head.size() > shape.size) shape.head.resize(shape.size);
    if (shape.tail.size() > shape.size - shape.head.size()) shape.tail.resize(shape.size - shape.head.size());
    return shape;
}

// The whole content for files small enough to hold; empty for sparse ones.
Bytes Content(const FileShape& shape) {
    if (shape.sparse) return {};
    Bytes bytes(shape.head);
    bytes.resize(shape.size - shape.tail.size(), shape.fill);
    bytes.insert(bytes.end(), shape.tail.begin(), shape.tail.end());
    return bytes;
}

void WriteFile(const FileShape& shape, const Bytes& content) {
    const int fd = open(TempPath().c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Require(fd >= 0, "cannot create the temporary image");
    auto put = [fd](const Bytes& bytes, off_t at) {
        if (!bytes.empty()) Require(pwrite(fd, bytes.data(), bytes.size(), at) == static_cast<ssize_t>(bytes.size()), "short write");
    };
    if (shape.sparse) {
        Require(ftruncate(fd, static_cast<off_t>(shape.size)) == 0, "cannot size the sparse image");
        put(shape.head, 0);
        put(shape.tail, static_cast<off_t>(shape.size - shape.tail.size()));
    } else {
        put(content, 0);
    }
    close(fd);
}

std::array<std::uint8_t, 3> LastThree(const FileShape& shape, const Bytes& content) {
    std::array<std::uint8_t, 3> last{};
    for (std::size_t i = 0; i < 3; ++i) {
        const std::uint64_t at = shape.size - 3 + i;
        if (!shape.sparse) { last[i] = content[at]; continue; }
        const std::uint64_t tailStart = shape.size - shape.tail.size();
        if (at >= tailStart) last[i] = shape.tail[at - tailStart];
        else if (at < shape.head.size()) last[i] = shape.head[at];
    }
    return last;
}

std::optional<kx::link::ImageRefusal> ExpectedRefusal(const FileShape& shape, std::array<std::uint8_t, 3> trailer,
                                                      std::uint8_t low) {
    namespace t = kx::texts;
    using kx::link::ImageRefusal;
    using kx::link::LoadReason;
    const bool hasTrailer = shape.size % FirmwareImage::PageSize == 3;
    if (hasTrailer && trailer[0] != low) return ImageRefusal{LoadReason::TypeMismatch, t::TypeMismatch};
    if (hasTrailer && trailer[1] != FirmwareImage::TrailerMarker)
        return ImageRefusal{LoadReason::VersionMismatch, t::VersionMismatch};
    if (shape.size > FirmwareImage::MaxSize) return ImageRefusal{LoadReason::TooLong, t::TooLong};
    return std::nullopt;
}

template <typename F>
bool ThrowsRange(F&& f) {
    try {
        f();
    } catch (const kx::link::RangeError&) {
        return true;
    }
    return false;
}

void CheckPages(FirmwareImage& image, const Bytes& content, const std::array<std::uint8_t, 6>& head) {
    const std::size_t n = image.PageCount();
    Require(n == content.size() / FirmwareImage::PageSize, "page count does not match the size");
    Require(image.PagesToSend() == (n > 1 ? n - 1 : 0), "pages to send is not N - 1");
    image.OverwriteHead(head);
    for (std::size_t p = 1; p <= image.PagesToSend(); ++p) {
        const auto page = image.Page(p);
        Require(page.size() == FirmwareImage::PageSize, "a page is not 3072 bytes");
        for (std::size_t i = 0; i < page.size(); ++i) {
            const std::size_t at = (p - 1) * FirmwareImage::PageSize + i;
            const std::uint8_t want = at < head.size() ? head[at] : content[at];
            if (page[i] != want) Fail("page " + std::to_string(p) + " differs from the file at byte " + std::to_string(at));
        }
    }
    Require(ThrowsRange([&] { image.Page(0); }), "page 0 was served");
    Require(ThrowsRange([&] { image.Page(image.PagesToSend() + 1); }), "a page past N - 1 was served");
    Require(image.Bytes().size() >= head.size(), "the head did not grow a short image");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::uint8_t low = in.ConsumeBool() ? 0x2D : in.ConsumeIntegral<std::uint8_t>();
    std::array<std::uint8_t, 6> head{};
    for (auto& b : head) b = in.ConsumeIntegral<std::uint8_t>();
    const FileShape shape = Shape(in);
    const Bytes content = Content(shape);
    WriteFile(shape, content);

    FirmwareImage image = FirmwareImage::Load(TempPath());
    Require(image.Size() == shape.size, "size differs from the file");
    Require(image.HasTrailer() == (shape.size % FirmwareImage::PageSize == 3), "trailer presence is wrong");
    const auto trailer = image.HasTrailer() ? LastThree(shape, content) : std::array<std::uint8_t, 3>{};
    if (image.HasTrailer()) Require(image.Trailer() == trailer, "trailer bytes differ from the file");
    const auto refusal = image.Refusal(low);
    Require(refusal == ExpectedRefusal(shape, trailer, low),
            "verdict differs: " + (refusal ? refusal->text : std::string("accepted")));

    if (shape.size > FirmwareImage::MaxSize) {
        // Refused for its size: the body must not have been read.
        Require(!image.BodyLoaded() && image.Bytes().capacity() <= FirmwareImage::MaxSize, "an oversize body was read");
        Require(ThrowsRange([&] { image.Page(1); }), "a page of an unread body was served");
    } else {
        Require(image.BodyLoaded() && image.Bytes() == content, "the body differs from the file");
        CheckPages(image, content, head);
        Require(FirmwareImage::FromBytes(content).Refusal(low) == refusal, "FromBytes judges differently");
        std::ifstream again(TempPath(), std::ios::binary);
        const Bytes onDisk((std::istreambuf_iterator<char>(again)), std::istreambuf_iterator<char>());
        Require(onDisk == content, "the file on disk changed");
    }
    std::remove(TempPath().c_str());
    return 0;
}
