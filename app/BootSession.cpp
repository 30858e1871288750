#include "app/BootSession.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/FirmwareImage.h"
#include "link/KX_RS232.h"
#include "link/LoadEngine.h"

namespace kx::app {
namespace {

// The firmware image as the load engine sees it: its own trailer checks, pages 1..N-1.
class SessionImage final : public link::LoadImage {
public:
    explicit SessionImage(FirmwareImage image) : image_(std::move(image)) {}

    std::optional<link::ImageRefusal> Refusal(const link::Identity& identity) const override {
        return image_.Refusal(static_cast<std::uint8_t>(identity.word & 0xFF));
    }
    std::uint64_t Size() const override { return image_.Size(); }
    void OverwriteHead(const link::HeadBytes& head) override { image_.OverwriteHead(head); }
    std::size_t PageCount(const link::PageGeometry&) const override { return image_.PageCount(); }
    std::size_t LastPageToSend(const link::PageGeometry&) const override { return image_.PagesToSend(); }
    std::span<const std::uint8_t> Page(std::size_t p, const link::PageGeometry&) const override {
        return image_.Page(p);
    }

private:
    FirmwareImage image_;
};

static_assert(FirmwareImage::PageSize == 3072, "the boot loader at 249 programs 3072-byte pages");

using ImageReader = std::function<std::unique_ptr<link::LoadImage>(const std::string&)>;

link::LoadOutcome Run(link::TKX_RS& link, const std::string& imageFileName, HeadBytes& headBytes,
                      ImageReader readImage) {
    link::LoadRequest request{
        .fileName = imageFileName,
        .identity = {true, link::SessionIdentityWord, link::SessionRevision},
        .baudRate = 0,
        .readImage = std::move(readImage),
        .onIdentity = [&headBytes](const link::Identity& identity) {
            if (identity.head) headBytes = *identity.head;
        },
    };
    return link::RunLoad(link, link::BootLoader249, request);
}

}  // namespace

link::LoadOutcome RunBootSession(link::TKX_RS& link, const std::string& imageFileName, HeadBytes& headBytes) {
    return Run(link, imageFileName, headBytes,
        [](const std::string& file) { return std::make_unique<SessionImage>(FirmwareImage::Load(file)); });
}

link::LoadOutcome RunBootSession(link::TKX_RS& link, const std::string& imageFileName,
                                 const FirmwareImage& image, HeadBytes& headBytes) {
    return Run(link, imageFileName, headBytes,
               [&image](const std::string&) { return std::make_unique<SessionImage>(image); });
}

}  // namespace kx::app
