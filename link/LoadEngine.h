#pragma once
// One firmware load through a boot loader, whichever it is: wake it, read and judge its
// identity, prepare the image, send the pages, finish. A BootLoaderProfile says what
// differs; the image is whatever the caller reads a file into. Every outcome is shown
// through the link's own user interface and returned as a value; only a file that exists
// but cannot be read leaves as an exception.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "link/BootLoaders.h"
#include "link/LoadOutcome.h"

namespace kx::link {

class TKX_RS;

// The image as the engine sees it.
class LoadImage {
public:
    virtual ~LoadImage() = default;

    // The image's own refusal for a device of this identity; nullopt when it takes it.
    virtual std::optional<ImageRefusal> Refusal(const Identity& identity) const = 0;
    virtual std::uint64_t Size() const = 0;
    // Writes the six head bytes over the image's first six (a shorter image grows).
    virtual void OverwriteHead(const HeadBytes& head) = 0;
    // The pages that make 100 % on the gauge, and the last one sent (pages 1..last).
    virtual std::size_t PageCount(const PageGeometry& geometry) const = 0;
    virtual std::size_t LastPageToSend(const PageGeometry& geometry) const = 0;
    // Page p (1-based), `geometry.pageSize` bytes.
    virtual std::span<const std::uint8_t> Page(std::size_t p, const PageGeometry& geometry) const = 0;
};

struct IdentityCheck {
    bool check = false;
    std::uint16_t expectedWord = 0;
    std::optional<std::uint8_t> expectedRevision;
};

struct LoadRequest {
    std::string fileName;
    IdentityCheck identity;
    std::uint32_t baudRate = 0;   // used only by profiles that set the rate
    // Reads the named existing file (throws when it cannot).
    std::function<std::unique_ptr<LoadImage>(const std::string& fileName)> readImage;
    // Told the identity answer as soon as it is read, before it is judged.
    std::function<void(const Identity&)> onIdentity;
};

// The whole load, from the rate and the file to the finish.
LoadOutcome RunLoad(TKX_RS& link, const BootLoaderProfile& profile, const LoadRequest& request);

// True when `fileName` names something a load can read: an existing regular file (a
// folder, a device or a pipe counts as missing).
bool ImageFileExists(const std::string& fileName);

}  // namespace kx::link
