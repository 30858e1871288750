#include "link/BootLoaders.h"

#include "link/LinkTexts.h"
#include "link/KX_RS232.h"
#include "ui/UserInterface.h"

namespace kx::link {
namespace {

using std::chrono::milliseconds;

constexpr PageGeometry SessionGeometries[] = {{SessionIdentityWord, 3072, 128, PageGeometry::NoLimit}};
constexpr PageGeometry EraseGeometries[] = {
    {0x0297, 256, 128, 126976},
    {0x0394, 128, 128, 15360},
    {0x0494, 128, 128, 15360},
    {0x0893, 64, 64, 7168},
};
constexpr PageGeometry PatchGeometries[] = {{0x0041, 1536, 128, PageGeometry::NoLimit}};

// One ignored byte, then the identity word.
Identity ReadShortIdentity(TKX_RS& link) {
    Identity identity;
    link.GetByte();
    identity.word = link.GetWord();
    return identity;
}

// The identity word, two ignored bytes, the revision in the upper nibble, one ignored
// byte, then the six head bytes.
Identity ReadIdentityWithHead(TKX_RS& link) {
    Identity identity;
    identity.word = link.GetWord();
    link.GetByte();
    link.GetByte();
    identity.revision = static_cast<std::uint8_t>(link.GetByte() >> 4);
    link.GetByte();
    HeadBytes head{};
    for (auto& b : head) b = link.GetByte();
    identity.head = head;
    return identity;
}

void OpenSessionWindow(ui::ProgressWindow& window, std::uint8_t) {
    window.ShowCancelButton();
    window.SetLabel(texts::WakeController);
    window.SetGaugeVisible(false);
}

void OpenProcedureWindow(ui::ProgressWindow& window, std::uint8_t lineMode) {
    window.ShowCancelButton();
    window.SetGaugeVisible(false);
    window.SetLabel(lineMode == 2 ? texts::WakeOnlyDevice : texts::WakeDevice);
}

}  // namespace

const BootLoaderProfile BootLoader249{
    .address = 249,
    .geometries = SessionGeometries,
    .identityBytes = 12,
    .readIdentity = ReadIdentityWithHead,
    .timeouts = {.wake = milliseconds{100}, .erase = {}, .data = milliseconds{500},
                 .program = milliseconds{1500}, .finish = milliseconds{100}},
    .pageAddressStep = 2048,
    .skippedPage = 0,
    .erases = false,
    .reportsFinishFailure = false,
    .rate = {.setsRate = false, .verifiesRate = false, .restoresBeforeWindow = false, .restoresAfterLoad = false},
    .missingFileText = texts::FileNotFound,
    .refusedImageText = texts::TooLong,
    .openWindow = OpenSessionWindow,
    .clearingCaption = nullptr,
};

const BootLoaderProfile BootLoader240{
    .address = 240,
    .geometries = EraseGeometries,
    .identityBytes = 3,
    .readIdentity = ReadShortIdentity,
    .timeouts = {.wake = milliseconds{100}, .erase = milliseconds{4000}, .data = milliseconds{500},
                 .program = milliseconds{800}, .finish = milliseconds{100}},
    .pageAddressStep = 0,
    .skippedPage = 0,
    .erases = true,
    .reportsFinishFailure = true,
    .rate = {.setsRate = true, .verifiesRate = true, .restoresBeforeWindow = true, .restoresAfterLoad = true},
    .missingFileText = texts::FileMissing,
    .refusedImageText = texts::ProcedureTooLong,
    .openWindow = OpenProcedureWindow,
    .clearingCaption = texts::Clearing,
};

const BootLoaderProfile BootLoader241{
    .address = 241,
    .geometries = PatchGeometries,
    .identityBytes = 12,
    .readIdentity = ReadIdentityWithHead,
    .timeouts = {.wake = milliseconds{100}, .erase = {}, .data = milliseconds{500},
                 .program = milliseconds{800}, .finish = milliseconds{100}},
    .pageAddressStep = 1024,
    .skippedPage = 2,
    .erases = false,
    .reportsFinishFailure = false,
    .rate = {.setsRate = true, .verifiesRate = false, .restoresBeforeWindow = false, .restoresAfterLoad = true},
    .missingFileText = texts::FileMissing,
    .refusedImageText = texts::ProcedureTooLong,
    .openWindow = OpenProcedureWindow,
    .clearingCaption = texts::Clearing,
};

}  // namespace kx::link
