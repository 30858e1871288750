// The boot session against a scripted boot loader on an in-memory line.
#include <gtest/gtest.h>

#include <system_error>

#include "app/BootSession.h"
#include "app/FirmwareImage.h"
#include "link/KX_RS232.h"
#include "link/LinkError.h"
#include "link/LinkTexts.h"
#include "tests/app/TempDir.h"
#include "tests/support/FakeBench.h"

namespace kx::test {
namespace {

constexpr std::size_t Page = 3072;
constexpr const char* Done = "Загрузка окончена.";

// `size` bytes, every page distinguishable from the others, none of them blank.
Bytes Image(std::size_t size) {
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(i * 31 + i / Page + 7);
    return bytes;
}

Bytes WithTrailer(Bytes bytes, std::uint8_t t0, std::uint8_t t1, std::uint8_t t2) {
    bytes.insert(bytes.end(), {t0, t1, t2});
    return bytes;
}

// The boot loader at 249 on a one-wire line, answering 2 ms after each request: chip word
// 0x1D2D, two bytes, revision byte 0x40, one byte, then the head bytes.
void MakeSessionDevice(FakeBootLoader& device) {
    device.address = 0xF9;
    device.answerDelay = platform::Millis{2};
    device.identity = {0x2D, 0x1D, 0x00, 0x00, 0x40, 0x00, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6};
}

class BootSessionTest : public ::testing::Test, protected FakeBench {
protected:
    BootSessionTest() : FakeBench("/dev/ttyBOOT") { MakeSessionDevice(device); }

    void SetUp() override {
        link.OpenPortNamed("/dev/ttyBOOT");
        link.SetBaudRate(19200);
    }

    std::string File(const Bytes& bytes) {
        const std::string path = dir.File("image.rom");
        WriteAll(path, std::string(bytes.begin(), bytes.end()));
        return path;
    }
    link::LoadOutcome Run(const std::string& path) { return app::RunBootSession(link, path, head); }
    link::LoadOutcome Run(const Bytes& image) { return Run(File(image)); }

    // The three address bytes of every program-page request, in order.
    std::vector<Bytes> ProgramAddresses() const {
        std::vector<Bytes> out;
        for (const auto& r : device.With(FakeBootLoader::ProgramPage))
            out.push_back(Bytes(r.frame.begin() + 5, r.frame.begin() + 8));
        return out;
    }
    // Every box came before the progress window went away, and it went away.
    void ExpectWindowReleasedLast() const {
        ASSERT_FALSE(ui.events.empty());
        EXPECT_EQ(ui.events.back(), "progress:destroy");
        EXPECT_EQ(ui.progress, nullptr);
    }

    TempDir dir;
    app::HeadBytes head{};
};

TEST_F(BootSessionTest, FullImageGoesOutPageByPageWithStagesInOrder) {
    Run(WithTrailer(Image(22 * Page), 0x2D, 0x70, 0x00));

    const std::vector<std::string> expectedStart{"progress:create", "cancel-button", "label:Включите МК...",
                                                 "gauge:hidden", "label:Определение типа микроконтроллера...",
                                                 "label:Загрузка программы...", "gauge:shown"};
    ASSERT_GE(ui.events.size(), expectedStart.size());
    EXPECT_EQ(std::vector<std::string>(ui.events.begin(), ui.events.begin() + 7), expectedStart);

    EXPECT_EQ(device.Count(FakeBootLoader::WriteData), 21u * 24u);
    const auto addresses = ProgramAddresses();
    ASSERT_EQ(addresses.size(), 21u);
    EXPECT_EQ(addresses[0], (Bytes{0x00, 0x00, 0x00}));
    EXPECT_EQ(addresses[1], (Bytes{0x00, 0x08, 0x00}));
    EXPECT_EQ(addresses[20], (Bytes{0x00, 0xA0, 0x00}));
    ASSERT_EQ(Gauge().size(), 21u);
    EXPECT_EQ(Gauge().back(), 95);
    EXPECT_TRUE(ui.Has("pages:21/21"));

    EXPECT_EQ(device.Count(FakeBootLoader::Finish), 1u);
    EXPECT_EQ(device.requests.back().frame[4], FakeBootLoader::Finish);
    EXPECT_EQ(ui.Infos(), std::vector<std::string>{Done});
    EXPECT_TRUE(ui.Errors().empty());
    ExpectWindowReleasedLast();
    EXPECT_EQ(link.AnswerTimeout, 100);
}

TEST_F(BootSessionTest, EachRequestKindGoesOutWithItsOwnTimeout) {
    Run(Image(2 * Page));
    ASSERT_EQ(device.Count(FakeBootLoader::ProgramPage), 1u);
    for (const auto& r : device.requests) {
        const std::uint16_t expected = r.frame[4] == FakeBootLoader::WriteData     ? 500
                                       : r.frame[4] == FakeBootLoader::ProgramPage ? 1500
                                                                                   : 100;
        EXPECT_EQ(r.answerTimeout, expected) << "function " << int(r.frame[4]);
    }
}

TEST_F(BootSessionTest, PacketsCarryTheirIndexAndThePageBytesInOrder) {
    const Bytes image = Image(3 * Page);
    Run(image);
    const auto packets = device.With(FakeBootLoader::WriteData);
    ASSERT_EQ(packets.size(), 48u);
    for (std::size_t n = 0; n < packets.size(); ++n) {
        const Bytes& frame = packets[n].frame;
        ASSERT_EQ(frame.size(), 135u);
        EXPECT_EQ(frame[5], n % 24);
        const std::size_t offset = n * 128;
        const std::size_t from = offset == 0 ? 6 : 0;   // page 1 starts with the head bytes
        EXPECT_TRUE(std::equal(frame.begin() + 6 + static_cast<long>(from), frame.begin() + 134,
                               image.begin() + static_cast<long>(offset + from)))
            << "packet " << n;
    }
}

// Size and trailer boundaries: which pages go out, and how the session ends.
struct SizeCase {
    const char* name;
    Bytes image;
    std::size_t pagesSent;
    link::LoadReason reason;
};

class ImageSizeTest : public BootSessionTest, public ::testing::WithParamInterface<SizeCase> {};

TEST_P(ImageSizeTest, SendsPagesOneToNMinusOneOrRefuses) {
    const SizeCase& c = GetParam();
    const link::LoadOutcome outcome = Run(c.image);
    EXPECT_EQ(outcome.pages, static_cast<int>(c.pagesSent));
    EXPECT_EQ(outcome.reason, c.reason);
    EXPECT_EQ(device.Count(FakeBootLoader::ProgramPage), c.pagesSent);
    EXPECT_EQ(device.Count(FakeBootLoader::WriteData), c.pagesSent * 24);
    if (c.reason == link::LoadReason::TooShort) {
        // Nothing to program: refused before the board is woken.
        EXPECT_EQ(ui.Errors(), std::vector<std::string>{texts::TooShort});
        EXPECT_TRUE(device.requests.empty());
        EXPECT_EQ(ui.progressWindowsCreated, 0);
        return;
    }
    if (c.reason == link::LoadReason::TooLong) {
        EXPECT_EQ(ui.Errors(), std::vector<std::string>{texts::TooLong});
        EXPECT_TRUE(ui.Infos().empty());
        EXPECT_EQ(device.Count(FakeBootLoader::Finish), 0u);
        EXPECT_EQ(device.requests.size(), device.Count(FakeBootLoader::Identify));
    } else {
        EXPECT_EQ(ui.Infos(), std::vector<std::string>{Done});
        EXPECT_TRUE(ui.Errors().empty());
        EXPECT_EQ(device.Count(FakeBootLoader::Finish), 1u);
        EXPECT_TRUE(ui.Has("gauge:shown"));
    }
    ExpectWindowReleasedLast();
}

INSTANTIATE_TEST_SUITE_P(
    Boundaries, ImageSizeTest,
    ::testing::Values(
        SizeCase{"LargestWithTrailer", WithTrailer(Image(22 * Page), 0x2D, 0x70, 0xFF), 21, link::LoadReason::Loaded},
        SizeCase{"OneByteTooLong", Image(22 * Page + 4), 0, link::LoadReason::TooLong},
        SizeCase{"TwentyTwoWholePages", Image(22 * Page), 21, link::LoadReason::Loaded},
        SizeCase{"TwentyThreePagesTrailerOk", WithTrailer(Image(23 * Page), 0x2D, 0x70, 0), 0,
                 link::LoadReason::TooLong},
        SizeCase{"OnePageAndTrailer", WithTrailer(Image(Page), 0x2D, 0x70, 0x00), 0, link::LoadReason::TooShort},
        SizeCase{"TwoPages", Image(2 * Page), 1, link::LoadReason::Loaded},
        SizeCase{"TwoPagesAndTwoBytes", Image(2 * Page + 2), 1, link::LoadReason::Loaded},
        SizeCase{"JustUnderTwoPages", Image(2 * Page - 1), 0, link::LoadReason::TooShort},
        SizeCase{"Empty", Bytes{}, 0, link::LoadReason::TooShort}),
    [](const auto& p) { return std::string(p.param.name); });

// Refusals after the identity answer: one box, nothing sent after the identify request.
struct RefusalCase {
    const char* name;
    Bytes identity;
    Bytes image;
    const char* error;
    link::LoadReason reason;
};

class RefusalTest : public BootSessionTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(RefusalTest, ShowsOneBoxAndSendsNothingMore) {
    const RefusalCase& c = GetParam();
    device.identity = c.identity;
    const link::LoadOutcome outcome = Run(c.image);
    EXPECT_EQ(outcome.Kind(), link::LoadKind::Refused);
    EXPECT_EQ(outcome.reason, c.reason);
    EXPECT_EQ(outcome.text, c.error);
    EXPECT_EQ(outcome.identity, c.identity);
    EXPECT_EQ(ui.Errors(), std::vector<std::string>{c.error});
    EXPECT_TRUE(ui.Infos().empty());
    EXPECT_EQ(device.requests.size(), device.Count(FakeBootLoader::Identify));
    EXPECT_FALSE(ui.Has("label:Загрузка программы..."));
    ExpectWindowReleasedLast();
    EXPECT_EQ(link.AnswerTimeout, 100);
}

const Bytes GoodId{0x2D, 0x1D, 0, 0, 0x40, 0, 1, 2, 3, 4, 5, 6};
Bytes IdWith(std::size_t index, std::uint8_t value) {
    Bytes id = GoodId;
    id[index] = value;
    return id;
}

constexpr link::LoadReason Wrong = link::LoadReason::WrongController;

INSTANTIATE_TEST_SUITE_P(
    Table, RefusalTest,
    ::testing::Values(
        RefusalCase{"WrongIdentityWord", IdWith(0, 0x2E), Image(2 * Page), texts::WrongController, Wrong},
        RefusalCase{"WrongIdentityHighByte", IdWith(1, 0x1E), Image(2 * Page), texts::WrongController, Wrong},
        RefusalCase{"RevisionBelow", IdWith(4, 0x3F), Image(2 * Page), texts::WrongController, Wrong},
        RefusalCase{"RevisionAbove", IdWith(4, 0x50), Image(2 * Page), texts::WrongController, Wrong},
        RefusalCase{"ShortIdentityAnswer", Bytes(GoodId.begin(), GoodId.begin() + 11), Image(2 * Page),
                    texts::WrongController, Wrong},
        RefusalCase{"EmptyIdentityAnswer", Bytes{}, Image(2 * Page), texts::WrongController, Wrong},
        RefusalCase{"TrailerType", GoodId, WithTrailer(Image(2 * Page), 0x2E, 0x70, 0), texts::TypeMismatch,
                    link::LoadReason::TypeMismatch},
        RefusalCase{"TrailerTypeBeforeVersion", GoodId, WithTrailer(Image(2 * Page), 0x00, 0x71, 0),
                    texts::TypeMismatch, link::LoadReason::TypeMismatch},
        RefusalCase{"TrailerVersion", GoodId, WithTrailer(Image(2 * Page), 0x2D, 0x71, 0),
                    texts::VersionMismatch, link::LoadReason::VersionMismatch},
        RefusalCase{"TrailerVersionBeforeSize", GoodId, WithTrailer(Image(23 * Page), 0x2D, 0x00, 0),
                    texts::VersionMismatch, link::LoadReason::VersionMismatch},
        RefusalCase{"IdentityBeforeImage", IdWith(4, 0x50), Image(30 * Page), texts::WrongController, Wrong}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(BootSessionTest, RevisionByteAtTheTopOfItsRangeIsAccepted) {
    device.identity = IdWith(4, 0x4F);
    Run(Image(2 * Page));
    EXPECT_EQ(ui.Infos(), std::vector<std::string>{Done});
}

TEST_F(BootSessionTest, AShortIdentityAnswerNeverLendsStaleBytesAsHeadBytes) {
    // A full answer first leaves the identity and head bytes in the receive buffer ...
    Run(Image(2 * Page));
    ASSERT_EQ(head, (app::HeadBytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}));
    // ... then a device answers with the first eleven bytes only, the last head byte changed.
    device.identity = {0x2D, 0x1D, 0, 0, 0x40, 0, 0x11, 0x22, 0x33, 0x44, 0x55};
    ui.events.clear();
    const std::size_t before = device.requests.size();
    Run(Image(2 * Page));
    EXPECT_EQ(ui.Errors(), std::vector<std::string>{texts::WrongController});
    EXPECT_EQ(device.requests.size(), before + 1);   // the identify request only
    EXPECT_EQ(head, (app::HeadBytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}));
}

// The head bytes are taken as the identity answer is read, before it is judged: a whole
// answer that is refused still hands over its own six bytes.
TEST_F(BootSessionTest, ARefusedIdentityStillHandsOverItsHeadBytes) {
    const Bytes otherHead{0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    const std::pair<const char*, Bytes> refused[] = {{"identity word", IdWith(0, 0x2E)},
                                                     {"revision", IdWith(4, 0x50)}};
    for (const auto& [name, answer] : refused) {
        SCOPED_TRACE(name);
        device.identity = GoodId;
        Run(Image(2 * Page));
        ASSERT_EQ(head, (app::HeadBytes{1, 2, 3, 4, 5, 6}));
        device.identity = answer;
        std::copy(otherHead.begin(), otherHead.end(), device.identity.begin() + 6);
        ui.events.clear();
        Run(Image(2 * Page));
        EXPECT_EQ(ui.Errors(), std::vector<std::string>{texts::WrongController});
        EXPECT_EQ(head, (app::HeadBytes{0x11, 0x22, 0x33, 0x44, 0x55, 0x66}));
    }
}

TEST_F(BootSessionTest, FramesOfFinishAndProgramPageAreExact) {
    Run(Bytes(3 * Page, 0x00));
    const auto programs = device.With(FakeBootLoader::ProgramPage);
    ASSERT_EQ(programs.size(), 2u);
    EXPECT_EQ(programs[0].frame, (Bytes{0x09, 0xF9, 0x01, 0x00, 0x14, 0x00, 0x00, 0x00, 0xE9}));
    EXPECT_EQ(programs[1].frame, (Bytes{0x09, 0xF9, 0x01, 0x00, 0x14, 0x00, 0x08, 0x00, 0xE1}));
    const auto finish = device.With(FakeBootLoader::Finish);
    ASSERT_EQ(finish.size(), 1u);
    EXPECT_EQ(finish[0].frame, (Bytes{0x06, 0xF9, 0x01, 0x00, 0x06, 0xFA}));

    // Packet 0 of page 2, a page of zero bytes.
    const auto packets = device.With(FakeBootLoader::WriteData);
    ASSERT_EQ(packets.size(), 48u);
    Bytes zeroPacket{0x87, 0xF9, 0x01, 0x00, 0x0A, 0x00};
    zeroPacket.resize(134, 0x00);
    zeroPacket.push_back(0x75);
    EXPECT_EQ(packets[24].frame, zeroPacket);
}

TEST_F(BootSessionTest, HeadBytesGoOnTheWireAndTheFileStaysAsItWas) {
    const Bytes image = WithTrailer(Image(3 * Page), 0x2D, 0x70, 0x42);
    const std::string path = File(image);
    Run(path);
    const auto packets = device.With(FakeBootLoader::WriteData);
    ASSERT_FALSE(packets.empty());
    EXPECT_EQ(Bytes(packets[0].frame.begin() + 6, packets[0].frame.begin() + 12),
              (Bytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}));
    EXPECT_EQ(packets[0].frame[12], image[6]);
    EXPECT_EQ(head, (app::HeadBytes{0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6}));
    EXPECT_EQ(ReadAll(path), std::string(image.begin(), image.end()));
}





TEST_F(BootSessionTest, ADeviceThatWakesLateIsCaughtByTheWakeLoop) {
    device.ignoredIdentifies = 10;
    Run(Image(2 * Page));
    EXPECT_EQ(device.Count(FakeBootLoader::Identify), 11u);
    EXPECT_EQ(ui.Infos(), std::vector<std::string>{Done});
    EXPECT_TRUE(ui.Errors().empty());
}



TEST_F(BootSessionTest, CancelDuringTheIdentifyIsNoticedAtTheFirstPageAfterTheTests) {
    device.onRequest = [this](const BootRequest& r) {
        if (r.frame[4] == FakeBootLoader::Identify && ui.progress) ui.progress->cancelled = true;
    };
    Run(Image(3 * Page));
    EXPECT_TRUE(ui.Has("label:Загрузка программы..."));
    EXPECT_EQ(device.requests.size(), 1u);
    EXPECT_TRUE(ui.Errors().empty());
    EXPECT_TRUE(ui.Infos().empty());
    EXPECT_EQ(link.AnswerTimeout, 100);
}

TEST_F(BootSessionTest, ARefusalIsStillShownWhenCancelWasPressedDuringTheIdentify) {
    device.identity = IdWith(0, 0x00);
    device.onRequest = [this](const BootRequest&) {
        if (ui.progress) ui.progress->cancelled = true;
    };
    Run(Image(3 * Page));
    EXPECT_EQ(ui.Errors(), std::vector<std::string>{texts::WrongController});
}

// A request of a page that gets no usable answer: its message once, nothing after it.
struct PageFailureCase {
    const char* name;
    std::function<bool(const BootRequest&)> silent;
    std::function<bool(const BootRequest&)> busy;
    const char* error;
    std::size_t programsSent;   // program requests written, retries included
    std::uint16_t timeoutLeft;
};

class PageFailureTest : public BootSessionTest, public ::testing::WithParamInterface<PageFailureCase> {};

bool FourthPacketOfPage3(const BootRequest& r) {
    return r.frame[4] == FakeBootLoader::WriteData && r.pageNumber == 3 && r.frame[5] == 3;
}
bool ProgramOfPage2(const BootRequest& r) { return r.frame[4] == FakeBootLoader::ProgramPage && r.pageNumber == 2; }

TEST_P(PageFailureTest, ShowsTheLinkMessageOnceAndSendsNoFinish) {
    const PageFailureCase& c = GetParam();
    device.silentOn = c.silent;
    device.busyOn = c.busy;
    const link::LoadOutcome outcome = Run(Image(6 * Page));
    EXPECT_EQ(outcome.reason, link::LoadReason::ExchangeFailed);
    EXPECT_EQ(outcome.text, c.error);
    EXPECT_EQ(ui.Errors(), std::vector<std::string>{c.error});
    EXPECT_TRUE(ui.Infos().empty());
    EXPECT_EQ(device.Count(FakeBootLoader::ProgramPage), c.programsSent);
    EXPECT_EQ(device.Count(FakeBootLoader::Finish), 0u);
    ExpectWindowReleasedLast();
    EXPECT_EQ(link.AnswerTimeout, c.timeoutLeft);
}

INSTANTIATE_TEST_SUITE_P(
    Requests, PageFailureTest,
    ::testing::Values(PageFailureCase{"SilentFourthPacketOfPage3", FourthPacketOfPage3, nullptr, texts::NoLink, 2, 500},
                      PageFailureCase{"BusyFourthPacketOfPage3", nullptr, FourthPacketOfPage3, texts::DeviceBusy, 2,
                                      500},
                      PageFailureCase{"SilentProgramOfPage2", ProgramOfPage2, nullptr, texts::NoLink, 4, 1500}),
    [](const auto& p) { return std::string(p.param.name); });

TEST_F(BootSessionTest, AFailedFourthPacketSendsItThreeTimesAndNothingAfterIt) {
    device.silentOn = FourthPacketOfPage3;
    Run(Image(6 * Page));
    ASSERT_GE(device.requests.size(), 3u);
    for (std::size_t i = device.requests.size() - 3; i < device.requests.size(); ++i)
        EXPECT_TRUE(FourthPacketOfPage3(device.requests[i])) << i;
}


}  // namespace
}  // namespace kx::test
