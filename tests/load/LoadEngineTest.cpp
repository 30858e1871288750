// The load engine through each of its three callers (the boot session at 249, the link's
// erase-and-load at 240 and patch-and-load at 241): what every load shares, each checked
// by the outcome it returns as much as by the boxes and the frames.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <memory>
#include <optional>
#include <span>

#include "app/BootSession.h"
#include "link/KX_RS232.h"
#include "link/LinkTexts.h"
#include "link/LoadEngine.h"
#include "tests/app/TempDir.h"
#include "tests/support/FakeBench.h"

namespace kx::test {
namespace {

using link::LoadKind;
using link::LoadOutcome;
using link::LoadReason;
using Texts = std::vector<std::string>;
constexpr std::uint8_t fnIdentify = 1, fnFinish = 6, fnWriteData = 10, fnProgramPage = 20;

enum class Caller { Session, Erase, Patch };

struct Profile {
    const char* name;
    Caller caller;
    Bytes identity;                      // an answer the load accepts
    std::optional<link::HeadBytes> head;  // the head bytes in it
    std::size_t pageSize;                // of that identity
    int pagesOfEight;                    // pages sent of an image of eight pages
    std::vector<int> gaugeOfEight;
    bool finishFailureReported;
    bool restoresLink;                   // rate and answer time-out set back at the end
    std::uint32_t rateAfterMissingFile;
    std::function<std::string(const std::string& path)> missingText;
};

class LoadEngineTest : public ::testing::TestWithParam<Profile>, protected FakeBench {
protected:
    LoadEngineTest() : FakeBench("ttyFAKE0") {
        link.ScanPorts();
        link.OpenPort(1);
        link.SetBaudRate(19200);
        device.identity = GetParam().identity;
    }

    std::string Image(std::size_t pages) {
        const std::size_t size = pages * GetParam().pageSize;
        Bytes bytes(size);
        for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + i / 251 + 1);
        const std::string path = dir.File("image.rom");
        WriteAll(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }
    LoadOutcome Load(const std::string& path) {
        switch (GetParam().caller) {
            case Caller::Session: return app::RunBootSession(link, path, head);
            case Caller::Erase: return link.EraseAndLoad(path, false, 7372800, 0);
            case Caller::Patch: return link.PatchAndLoad(path, false, 0, 0);
        }
        return {};
    }
    int Page(const BootRequest& r) const { return r.pageNumber; }
    // The box, if any, came while the window was up; then the window went, and the link
    // is as the profile leaves it.
    void ExpectEndedCleanly(const LoadOutcome& outcome) const {
        ASSERT_GE(ui.events.size(), 1u);
        EXPECT_EQ(ui.events.back(), "progress:destroy");
        EXPECT_EQ(ui.progress, nullptr);
        if (!outcome.text.empty()) {
            const std::string box = (outcome.Kind() == LoadKind::Loaded ? "info:" : "error:") + outcome.text;
            EXPECT_EQ(ui.events[ui.events.size() - 2], box);
        }
        if (GetParam().restoresLink) {
            EXPECT_EQ(link.BaudRate, 19200u);
            EXPECT_EQ(link.AnswerTimeout, 1000);
        }
    }

    TempDir dir;
    app::HeadBytes head{};
};

TEST_P(LoadEngineTest, AWholeLoadTellsItsPagesIdentityAndHead) {
    const LoadOutcome outcome = Load(Image(8));
    EXPECT_EQ(outcome.Kind(), LoadKind::Loaded);
    EXPECT_EQ(outcome.reason, LoadReason::Loaded);
    EXPECT_EQ(outcome.text, texts::Done);
    EXPECT_EQ(outcome.identity, GetParam().identity);
    EXPECT_EQ(outcome.head, GetParam().head);
    EXPECT_EQ(outcome.pages, GetParam().pagesOfEight);
    EXPECT_EQ(device.Count(fnProgramPage), static_cast<std::size_t>(GetParam().pagesOfEight));
    EXPECT_EQ(Gauge(), GetParam().gaugeOfEight);
    EXPECT_EQ(ui.Infos(), Texts{texts::Done});
    EXPECT_TRUE(ui.Errors().empty());
    ExpectEndedCleanly(outcome);
}

TEST_P(LoadEngineTest, NoFileNameDoesNothingAndSaysSo) {
    const LoadOutcome outcome = Load("");
    EXPECT_EQ(outcome.reason, LoadReason::NoFileName);
    EXPECT_EQ(outcome.Kind(), LoadKind::Failed);
    EXPECT_EQ(outcome.text, "");
    EXPECT_TRUE(ui.events.empty());
    EXPECT_TRUE(device.requests.empty());
}

// A folder counts as missing, as a name with nothing behind it does.
TEST_P(LoadEngineTest, AMissingFileIsToldBeforeAnyWindowOrFrame) {
    for (const std::string& path : {dir.File("нет.rom"), dir.Path().string()}) {
        SCOPED_TRACE(path);
        ui.events.clear();
        link.SetBaudRate(19200);
        const LoadOutcome outcome = Load(path);
        EXPECT_EQ(outcome.reason, LoadReason::FileMissing);
        EXPECT_EQ(outcome.text, GetParam().missingText(path));
        EXPECT_EQ(ui.events, Texts{"error:" + outcome.text});
        EXPECT_EQ(link.BaudRate, GetParam().rateAfterMissingFile);
    }
    EXPECT_EQ(ui.progressWindowsCreated, 0);
    EXPECT_TRUE(device.requests.empty());
}

TEST_P(LoadEngineTest, AnImageWithNoPageToSendIsRefusedBeforeTheBoardIsWoken) {
    // An empty file, and a text file given the image's name.
    for (const std::string& content : {std::string(), std::string("not a firmware image, only text\r\n")}) {
        SCOPED_TRACE(content.size());
        ui.events.clear();
        const std::string path = dir.File("short.rom");
        WriteAll(path, content);
        const LoadOutcome outcome = Load(path);
        EXPECT_EQ(outcome.Kind(), LoadKind::Refused);
        EXPECT_EQ(outcome.reason, LoadReason::TooShort);
        EXPECT_EQ(ui.events, Texts{std::string("error:") + texts::TooShort});
    }
    EXPECT_EQ(ui.progressWindowsCreated, 0);
    EXPECT_TRUE(line->writes.empty()) << "a request went out";
}

TEST_P(LoadEngineTest, ACancelWhileWakingEndsSilentlyAfterTheAttemptInHand) {
    device.silentOn = [](const BootRequest&) { return true; };
    // Pressed during the first attempt's wait for an answer.
    ui.onProcessMessages = [this](long call) {
        if (call == 1 && ui.progress) ui.progress->cancelled = true;
    };
    const LoadOutcome outcome = Load(Image(2));
    EXPECT_EQ(outcome.reason, LoadReason::Cancelled);
    EXPECT_EQ(outcome.Kind(), LoadKind::Cancelled);
    EXPECT_EQ(outcome.text, "");
    EXPECT_TRUE(outcome.identity.empty());
    // One identify with its three tries, then nothing.
    EXPECT_EQ(device.requests.size(), 3u);
    EXPECT_EQ(device.Count(fnIdentify), 3u);
    EXPECT_TRUE(ui.Errors().empty() && ui.Infos().empty());
    ExpectEndedCleanly(outcome);
}

// An adapter that mutes its receiver while it sends, on a line run with echo: the board
// answers every wake-up, so asking again would fail the same way for ever. One identify
// (its three tries) and one box; left to find out, the link loads through it.
TEST_P(LoadEngineTest, AnAdapterWithoutEchoEndsTheWakeLoopWithOneBoxUnlessTheLinkFindsOut) {
    link.SetLineMode(2);
    const std::string image = Image(2);
    LoadOutcome outcome = Load(image);
    EXPECT_EQ(outcome.reason, LoadReason::NoEcho);
    EXPECT_EQ(outcome.Kind(), LoadKind::Failed);
    EXPECT_EQ(outcome.text, texts::NoEcho);
    EXPECT_EQ(ui.Errors(), Texts{texts::NoEcho});
    EXPECT_EQ(device.requests.size(), 3u);
    EXPECT_EQ(device.Count(fnIdentify), 3u);
    ExpectEndedCleanly(outcome);

    ui.events.clear();
    device.requests.clear();
    link.SetBaudRate(19200);
    link.AutoLineMode = true;
    outcome = Load(image);
    EXPECT_EQ(outcome.reason, LoadReason::Loaded);
    EXPECT_GT(outcome.pages, 0);
    EXPECT_EQ(device.Count(fnIdentify), 1u);
    EXPECT_EQ(link.LineMode, 1);
}

TEST_P(LoadEngineTest, ACancelDuringAPageTakesEffectBeforeTheNextOne) {
    device.onRequest = [this](const BootRequest& r) {
        if (r.function == fnWriteData && Page(r) == 1 && ui.progress) ui.progress->cancelled = true;
    };
    const LoadOutcome outcome = Load(Image(8));
    EXPECT_EQ(outcome.reason, LoadReason::Cancelled);
    EXPECT_EQ(outcome.pages, 1);
    EXPECT_EQ(outcome.identity, GetParam().identity);
    EXPECT_EQ(device.Count(fnProgramPage), 1u);   // the page in hand is programmed
    EXPECT_EQ(device.Count(fnFinish), 0u);
    EXPECT_TRUE(ui.Errors().empty() && ui.Infos().empty());
    ExpectEndedCleanly(outcome);
}

TEST_P(LoadEngineTest, AFailedPacketIsAnExchangeFailureWithTheLinksText) {
    // The first packet of the third page sent goes unanswered (page 2 when nothing is skipped).
    device.silentOn = [this](const BootRequest& r) {
        return r.function == fnWriteData && device.Count(fnProgramPage) == 2;
    };
    const LoadOutcome outcome = Load(Image(8));
    EXPECT_EQ(outcome.reason, LoadReason::ExchangeFailed);
    EXPECT_EQ(outcome.Kind(), LoadKind::Failed);
    EXPECT_EQ(outcome.text, texts::NoLink);
    EXPECT_EQ(outcome.pages, 2);
    EXPECT_EQ(ui.Errors(), Texts{texts::NoLink});
    EXPECT_EQ(device.Count(fnProgramPage), 2u);
    EXPECT_EQ(device.Count(fnFinish), 0u);
    ExpectEndedCleanly(outcome);
}

TEST_P(LoadEngineTest, AnAdapterPulledOutInAPageIsALostPort) {
    device.onRequest = [this](const BootRequest& r) {
        if (r.function == fnProgramPage) line->pulled = true;
    };
    const LoadOutcome outcome = Load(Image(8));
    EXPECT_EQ(outcome.reason, LoadReason::PortLost);
    EXPECT_EQ(outcome.Kind(), LoadKind::Failed);
    EXPECT_EQ(outcome.text, texts::NoLink);
    EXPECT_EQ(ui.Errors(), Texts{texts::NoLink});
    EXPECT_EQ(device.Count(fnFinish), 0u);
}

TEST_P(LoadEngineTest, AnAdapterBackWithinTheRetriesStillEndsTheLoadAndTheBoardThereGetsNothing) {
    bool lost = false;
    std::size_t afterLoss = 0;
    device.onRequest = [&](const BootRequest& r) {
        if (lost) ++afterLoss;
        if (r.function == fnProgramPage && !lost) lost = line->pulled = true;
    };
    // Plugged in again as soon as the link has seen it go.
    ui.onProcessMessages = [this](long) {
        if (!link.PortOpen()) line->pulled = false;
    };
    const LoadOutcome outcome = Load(Image(8));
    EXPECT_EQ(outcome.reason, LoadReason::PortLost);
    EXPECT_EQ(outcome.text, texts::NoLink);
    EXPECT_EQ(afterLoss, 0u) << "requests went to a board this load never identified";

    // The next load takes the port up again and starts from the wake-up.
    device.onRequest = nullptr;
    EXPECT_EQ(Load(Image(8)).reason, LoadReason::Loaded);
}

TEST_P(LoadEngineTest, AFinishWithoutAnswerFailsOnlyWhereTheBootLoaderReportsIt) {
    device.silentOn = [](const BootRequest& r) { return r.function == fnFinish; };
    const LoadOutcome outcome = Load(Image(8));
    EXPECT_EQ(device.Count(fnFinish), 3u);
    EXPECT_EQ(outcome.pages, GetParam().pagesOfEight);
    if (GetParam().finishFailureReported) {
        EXPECT_EQ(outcome.reason, LoadReason::FinishFailed);
        EXPECT_EQ(ui.Errors(), Texts{texts::NoLink});
        EXPECT_TRUE(ui.Infos().empty());
    } else {
        EXPECT_EQ(outcome.reason, LoadReason::Loaded);
        EXPECT_EQ(ui.Infos(), Texts{texts::Done});
        EXPECT_TRUE(ui.Errors().empty());
    }
    ExpectEndedCleanly(outcome);
}

TEST_P(LoadEngineTest, AnUnknownControllerIsRefusedWithTheBytesItAnswered) {
    Bytes answer = GetParam().identity;
    answer[GetParam().caller == Caller::Erase ? 1 : 0] ^= 0x01;
    device.identity = answer;
    const LoadOutcome outcome = Load(Image(2));
    EXPECT_EQ(outcome.reason, LoadReason::WrongController);
    EXPECT_EQ(outcome.Kind(), LoadKind::Refused);
    EXPECT_EQ(outcome.text, texts::WrongController);
    EXPECT_EQ(outcome.identity, answer);
    EXPECT_EQ(outcome.pages, 0);
    EXPECT_EQ(device.requests.size(), 1u);
    ExpectEndedCleanly(outcome);
}

std::string SessionMissing(const std::string&) { return texts::FileNotFound; }
std::string ProcedureMissing(const std::string& path) { return "Не могу найти файл " + path + "."; }

const Bytes SessionIdentity{0x2D, 0x1D, 0x00, 0x00, 0x40, 0x00, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6};
const Bytes PatchIdentity{0x41, 0x00, 0xAA, 0xBB, 0x4C, 0xCC, 1, 2, 3, 4, 5, 6};

INSTANTIATE_TEST_SUITE_P(
    Callers, LoadEngineTest,
    ::testing::Values(
        // Pages 1..N-1; nothing set back.
        Profile{"Session249", Caller::Session, SessionIdentity, link::HeadBytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6},
                3072, 7, {12, 25, 38, 50, 62, 75, 88}, false, false, 19200, SessionMissing},
        // Pages 1..N of the identity's geometry (here 256 bytes).
        Profile{"Erase240", Caller::Erase, Bytes{0xEE, 0x97, 0x02}, std::nullopt, 256, 8,
                {12, 25, 38, 50, 62, 75, 88, 100}, true, true, 19200, ProcedureMissing},
        // Pages 1..N less page 2, which moves no gauge; the missing file leaves its rate.
        Profile{"Patch241", Caller::Patch, PatchIdentity, link::HeadBytes{1, 2, 3, 4, 5, 6}, 1536, 7,
                {12, 38, 50, 62, 75, 88, 100}, false, true, 115200, ProcedureMissing}),
    [](const auto& p) { return std::string(p.param.name); });

// The image as a test wants it: any size, any refusal.
class FakeImage final : public link::LoadImage {
public:
    FakeImage(std::uint64_t size, std::optional<link::ImageRefusal> refusal)
        : bytes_(static_cast<std::size_t>(size)), refusal_(std::move(refusal)) {}

    std::optional<link::ImageRefusal> Refusal(const link::Identity&) const override { return refusal_; }
    std::uint64_t Size() const override { return bytes_.size(); }
    void OverwriteHead(const link::HeadBytes&) override {}
    std::size_t PageCount(const link::PageGeometry& g) const override { return bytes_.size() / g.pageSize; }
    std::size_t LastPageToSend(const link::PageGeometry& g) const override { return PageCount(g); }
    std::span<const std::uint8_t> Page(std::size_t p, const link::PageGeometry& g) const override {
        return std::span<const std::uint8_t>(bytes_).subspan((p - 1) * g.pageSize, g.pageSize);
    }

private:
    Bytes bytes_;
    std::optional<link::ImageRefusal> refusal_;
};

// Loads through a profile of the test's own, a copy of a real one with something changed.
class OwnProfileTest : public ::testing::Test, protected FakeBench {
protected:
    OwnProfileTest() : FakeBench("ttyFAKE0") {
        link.ScanPorts();
        link.OpenPort(1);
    }

    LoadOutcome Run(const link::BootLoaderProfile& profile, std::uint64_t size,
                    std::optional<link::ImageRefusal> refusal = std::nullopt) {
        const std::string path = dir.File("image.rom");
        WriteAll(path, "x");
        const link::LoadRequest request{
            .fileName = path,
            .identity = {},
            .baudRate = 19200,
            .readImage = [&](const std::string&) { return std::make_unique<FakeImage>(size, refusal); },
            .onIdentity = {},
        };
        return link::RunLoad(link, profile, request);
    }

    TempDir dir;
};

// Whatever a refusal says, the outcome knows it by its reason: reworded texts never turn
// a refusal into a failure.
TEST_F(OwnProfileTest, ARewordedRefusalIsStillRefusedForItsReason) {
    link::BootLoaderProfile reworded = link::BootLoader240;
    reworded.refusedImageText = "Образ не влезает.";
    device.identity = {0, 0x93, 0x08};   // at most 7168 bytes
    const LoadOutcome tooLong = Run(reworded, 7169);
    EXPECT_EQ(tooLong.Kind(), LoadKind::Refused);
    EXPECT_EQ(tooLong.reason, LoadReason::TooLong);
    EXPECT_EQ(tooLong.text, "Образ не влезает.");

    device.identity = SessionIdentity;
    const LoadOutcome mismatch =
        Run(link::BootLoader249, 2 * 3072, link::ImageRefusal{LoadReason::VersionMismatch, "Не та версия."});
    EXPECT_EQ(mismatch.Kind(), LoadKind::Refused);
    EXPECT_EQ(mismatch.reason, LoadReason::VersionMismatch);
    EXPECT_EQ(mismatch.text, "Не та версия.");

    EXPECT_EQ(ui.Errors(), (Texts{"Образ не влезает.", "Не та версия."}));
    EXPECT_EQ(device.Count(fnWriteData), 0u);
}

// A page whose address would not fit the request's three bytes is never programmed at the
// address it would wrap to: the load ends out of range after the pages that fit.
TEST_F(OwnProfileTest, APageAddressPastThreeBytesEndsTheLoadInsteadOfWrappingToZero) {
    link::BootLoaderProfile wide = link::BootLoader241;
    wide.pageAddressStep = 0x800000;   // page 1 at 0, page 2 skipped, page 3 at 0x1000000
    device.identity = PatchIdentity;
    const LoadOutcome outcome = Run(wide, 4 * 1536);
    EXPECT_EQ(outcome.reason, LoadReason::OutOfRange);
    const auto programs = device.With(fnProgramPage);
    ASSERT_EQ(programs.size(), 1u);
    EXPECT_EQ(Bytes(programs[0].frame.begin() + 5, programs[0].frame.begin() + 8), (Bytes{0, 0, 0}));
    EXPECT_EQ(device.Count(fnFinish), 0u);
}

}  // namespace
}  // namespace kx::test
