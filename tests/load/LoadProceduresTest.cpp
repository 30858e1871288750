#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <map>
#include <system_error>

#include "link/KX_RS232.h"
#include "link/RangeError.h"
#include "tests/app/TempDir.h"
#include "tests/support/FakeBench.h"

namespace kx::test {
namespace {

using Texts = std::vector<std::string>;
constexpr std::uint8_t fnIdentify = 1, fnErase = 2, fnFinish = 6, fnWriteData = 10, fnProgramPage = 20;
const std::string Done = "Загрузка окончена.";
const std::string WrongController = "В устройстве неверный микроконтроллер.";
const Bytes PatchIdentity{0x41, 0x00, 0xAA, 0xBB, 0x4C, 0xCC, 1, 2, 3, 4, 5, 6};  // revision 4

class Load : public ::testing::Test, protected FakeBench {
protected:
    Load() : FakeBench("ttyFAKE0") {
        link.ScanPorts();
        link.OpenPort(1);
        link.SetBaudRate(19200);
    }

    std::string Image(std::size_t size, const std::string& name = "image.rom") {
        image.resize(size);
        for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 7 + i / 251);
        const std::string path = dir.File(name);
        WriteAll(path, std::string(image.begin(), image.end()));
        return path;
    }
    Bytes Slice(std::size_t from, std::size_t count) const {
        return Bytes(image.begin() + static_cast<std::ptrdiff_t>(from),
                     image.begin() + static_cast<std::ptrdiff_t>(from + count));
    }
    void ExpectLinkSetBack() const {
        EXPECT_EQ(link.BaudRate, 19200u);
        EXPECT_EQ(line->baud, 19200u);
        EXPECT_EQ(link.AnswerTimeout, 1000);
    }
    // The last box came while the window was still up, and the window then went.
    void ExpectBoxThenWindowGone() const {
        ASSERT_GE(ui.events.size(), 2u);
        EXPECT_EQ(ui.events.back(), "progress:destroy");
        EXPECT_TRUE(ui.events[ui.events.size() - 2].rfind("error:", 0) == 0 ||
                    ui.events[ui.events.size() - 2].rfind("info:", 0) == 0);
        EXPECT_EQ(ui.progress, nullptr);
    }

    TempDir dir;
    Bytes image;
};



TEST_F(Load, TheClockSetsTheRateAndTheLinkIsSetBackAfterwards) {
    const std::pair<double, std::uint32_t> cases[] = {
        {7372800, 4800}, {2 * 7372800.0, 9600}, {4 * 7372800.0, 19200}, {2.5 * 1536, 2}, {3.5 * 1536, 4}};
    device.identity = {0, 0x94, 0x03};
    const std::string path = Image(128);
    for (const auto& [clockHz, rate] : cases) {
        device.requests.clear();
        link.EraseAndLoad(path, false, clockHz, 0);
        ASSERT_FALSE(device.requests.empty()) << clockHz;
        for (const auto& r : device.requests) EXPECT_EQ(r.baud, rate) << clockHz;
        ExpectLinkSetBack();
    }
    EXPECT_EQ(ui.Infos().size(), std::size(cases));
}

TEST_F(Load, ARefusedRateIsUndoneWithItsBoxAndNoWindow) {
    line->refusedRates = {4800};
    const link::LoadOutcome outcome = link.EraseAndLoad(Image(128), false, 7372800, 0);
    EXPECT_EQ(outcome.reason, link::LoadReason::RateRefused);
    EXPECT_EQ(outcome.text, "RS232. Не могу установить нужную скорость обмена.");
    EXPECT_EQ(ui.events, (Texts{"error:RS232. Не могу установить нужную скорость обмена."}));
    EXPECT_EQ(link.BaudRate, 19200u);
    EXPECT_TRUE(device.requests.empty());
}

TEST_F(Load, EraseReopensAPortOpenedByNameAsItDoesOneOpenedByNumber) {
    // A port given by name (the command line's --port) that no scan has listed.
    const std::string name = "/dev/serial/by-id/usb-adapter";
    const auto named = ports.Add(name);
    FakeBootLoader other{*named, link};
    other.identity = {0, 0x94, 0x03};
    link.OpenPortNamed(name);
    ASSERT_EQ(link.PortNumber, 0);
    named->events.clear();
    link.EraseAndLoad(Image(128), false, 7372800, 0);
    const Texts reopen{"CLOSE", "OPEN", "QUEUES", "BAUD=19200", "BYTESIZE=8", "PARITY=0", "STOPBITS=2",
                       "DTR", "PURGE-RX"};
    ASSERT_GE(named->events.size(), reopen.size());
    EXPECT_EQ(Texts(named->events.begin(), named->events.begin() + 9), reopen);
    EXPECT_EQ(ui.Infos(), Texts{Done});
    EXPECT_EQ(other.pages.size(), 1u);
    EXPECT_TRUE(device.requests.empty());  // the port in slot 1 was never used
}

TEST_F(Load, AClockWhoseRateDoesNotFit32BitsIsARangeError) {
    for (double clockHz : {1e30, -7372800.0, std::nan("")}) {
        EXPECT_THROW(link.EraseAndLoad(Image(128), false, clockHz, 0), link::RangeError) << clockHz;
    }
    EXPECT_TRUE(device.requests.empty());
    EXPECT_EQ(ui.progressWindowsCreated, 0);
}

struct GeometryCase {
    std::uint16_t id;
    std::size_t pageSize;
    std::size_t packetSize;
};

class EraseGeometry : public Load, public ::testing::WithParamInterface<GeometryCase> {};

// Three whole pages and half a page that is never sent, with every request's time-out.
TEST_P(EraseGeometry, PagesGoOutInTheGeometryOfTheIdentity) {
    const GeometryCase& c = GetParam();
    device.identity = {0xEE, static_cast<std::uint8_t>(c.id), static_cast<std::uint8_t>(c.id >> 8)};
    link.EraseAndLoad(Image(3 * c.pageSize + c.pageSize / 2), false, 7372800, 0);

    ASSERT_EQ(device.pages.size(), 3u);
    for (std::size_t p = 0; p < 3; ++p) {
        EXPECT_EQ(device.pages[p].address, p * c.pageSize);
        EXPECT_EQ(device.pages[p].bytes, Slice(p * c.pageSize, c.pageSize)) << p;
    }
    const std::map<std::uint8_t, std::uint16_t> timeouts{
        {fnIdentify, 100}, {fnErase, 4000}, {fnWriteData, 500}, {fnProgramPage, 800}, {fnFinish, 100}};
    std::size_t packet = 0;
    for (const auto& r : device.requests) {
        EXPECT_EQ(r.address, 240);
        EXPECT_EQ(r.answerTimeout, timeouts.at(r.function)) << int{r.function};
        if (r.function != fnWriteData) continue;
        EXPECT_EQ(r.data.size(), 1 + c.packetSize);
        EXPECT_EQ(r.data[0], packet++ % (c.pageSize / c.packetSize));
    }
    EXPECT_EQ(packet, 3 * c.pageSize / c.packetSize);
    EXPECT_EQ(device.requests[1].function, fnErase);
    EXPECT_EQ(device.requests.back().function, fnFinish);
    EXPECT_EQ(Gauge(), (std::vector<int>{33, 67, 100}));
    EXPECT_EQ(ui.Infos(), Texts{Done});
    ExpectBoxThenWindowGone();
    ExpectLinkSetBack();
}

INSTANTIATE_TEST_SUITE_P(Table, EraseGeometry,
                         ::testing::Values(GeometryCase{0x0297, 256, 128}, GeometryCase{0x0394, 128, 128},
                                           GeometryCase{0x0494, 128, 128}, GeometryCase{0x0893, 64, 64}));

TEST_F(Load, PatchSkipsPageTwoAndSendsTheHeadBytesInsteadOfTheFiles) {
    device.identity = PatchIdentity;
    int unanswered = 2;  // a device switched on late
    device.silentOn = [&](const BootRequest& r) { return r.function == fnIdentify && unanswered-- > 0; };
    const std::string path = Image(3 * 1536);
    link.PatchAndLoad(path, true, 0x41, 4);

    ASSERT_EQ(device.pages.size(), 2u);
    EXPECT_EQ(device.pages[0].address, 0u);
    EXPECT_EQ(device.pages[1].address, 2048u);
    Bytes first = Slice(0, 1536);
    std::copy(PatchIdentity.begin() + 6, PatchIdentity.end(), first.begin());
    EXPECT_EQ(device.pages[0].bytes, first);
    EXPECT_EQ(device.pages[1].bytes, Slice(3072, 1536));
    EXPECT_EQ(test::ReadAll(path), std::string(image.begin(), image.end()));
    EXPECT_EQ(device.Count(fnIdentify), 3u);
    EXPECT_EQ(device.Count(fnErase), 0u);
    EXPECT_EQ(device.Count(fnWriteData), 24u);
    for (const auto& r : device.requests) {
        EXPECT_EQ(r.address, 241);
        EXPECT_EQ(r.baud, 115200u);
    }
    EXPECT_EQ(Gauge(), (std::vector<int>{33, 100}));
    EXPECT_TRUE(ui.Has("pages:2/2"));
    EXPECT_EQ(ui.Infos(), Texts{Done});
    ExpectLinkSetBack();
}

TEST_F(Load, PatchSkipsPageTwoAlsoWhenItIsTheLastPage) {
    device.identity = PatchIdentity;
    link.PatchAndLoad(Image(2 * 1536 + 100), true, 0x41, 4);
    ASSERT_EQ(device.pages.size(), 1u);
    EXPECT_EQ(device.pages[0].address, 0u);
    EXPECT_EQ(device.Count(fnWriteData), 12u);
    EXPECT_EQ(device.Count(fnFinish), 1u);
    // Page 1 of 2 moves the gauge to half; the skipped last page leaves it there, and
    // the one page sent is all there was to send.
    EXPECT_EQ(Gauge(), (std::vector<int>{50}));
    EXPECT_TRUE(ui.Has("pages:1/1"));
    EXPECT_EQ(ui.Infos(), Texts{Done});
    ExpectLinkSetBack();
}

// An exception that leaves a procedure (here from the user interface, while the device
// stays silent) still passes the final stage: window gone, rate and time-out set back.
TEST_F(Load, AProcedureLeftByAnExceptionStillSetsTheLinkBack) {
    struct WindowSystemGone : std::runtime_error {
        WindowSystemGone() : std::runtime_error("the window system went away") {}
    };
    device.silentOn = [](const BootRequest&) { return true; };
    const std::string path = Image(3 * 1536);
    for (const bool patch : {false, true}) {
        SCOPED_TRACE(patch ? "PatchAndLoad" : "EraseAndLoad");
        device.requests.clear();
        ui.processMessagesCalls = 0;
        ui.onProcessMessages = [](long calls) {
            if (calls > 3) throw WindowSystemGone();
        };
        if (patch)
            EXPECT_THROW(link.PatchAndLoad(path, false, 0x41, 4), WindowSystemGone);
        else
            EXPECT_THROW(link.EraseAndLoad(path, false, 7372800, 0), WindowSystemGone);
        ui.onProcessMessages = nullptr;
        ASSERT_FALSE(device.requests.empty());
        EXPECT_EQ(device.requests[0].baud, patch ? 115200u : 4800u);
        EXPECT_EQ(ui.progress, nullptr);
        EXPECT_EQ(ui.events.back(), "progress:destroy");
        ExpectLinkSetBack();
    }
}


TEST_F(Load, TheSizeLimitOfTheIdentityIsTestedBeforeErasing) {
    device.identity = {0, 0x93, 0x08};
    EXPECT_EQ(link.EraseAndLoad(Image(7169), false, 7372800, 0).reason, link::LoadReason::TooLong);
    EXPECT_EQ(ui.Errors(), Texts{"Что-то длинновата программка-то."});
    EXPECT_EQ(device.Count(fnErase), 0u);
    ExpectBoxThenWindowGone();

    link.EraseAndLoad(Image(7168), false, 7372800, 0);
    EXPECT_EQ(device.pages.size(), 112u);
    EXPECT_EQ(ui.Infos(), Texts{Done});
}

struct IdentityCase {
    const char* name;
    bool patch;
    Bytes answer;
    bool check;
    std::uint16_t expectedId;
};

class IdentityRefused : public Load, public ::testing::WithParamInterface<IdentityCase> {};

// Refused before anything is erased or sent. RxBuf starts with an identity that would be
// accepted, so an answer too short to hold one must not borrow its bytes.
TEST_P(IdentityRefused, WithTheWrongControllerBox) {
    const IdentityCase& c = GetParam();
    const Bytes stale = c.patch ? PatchIdentity : Bytes{0, 0x94, 0x03};
    std::copy(stale.begin(), stale.end(), link.RxBuf.begin() + 5);
    device.identity = c.answer;
    const link::LoadOutcome outcome = c.patch ? link.PatchAndLoad(Image(4 * 1536), c.check, c.expectedId, 4)
                                              : link.EraseAndLoad(Image(1024), c.check, 7372800, c.expectedId);
    EXPECT_EQ(outcome.reason, link::LoadReason::WrongController);
    EXPECT_EQ(outcome.identity, c.answer);
    EXPECT_EQ(ui.Errors(), Texts{WrongController});
    EXPECT_EQ(device.requests.size(), 1u);
    ExpectBoxThenWindowGone();
    ExpectLinkSetBack();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, IdentityRefused,
    ::testing::Values(IdentityCase{"OtherThanExpected", false, {0, 0x94, 0x03}, true, 0x0297},
                      IdentityCase{"ExpectedButNotInTable", false, {0, 0x34, 0x12}, true, 0x1234},
                      IdentityCase{"NotInTableUnchecked", false, {0, 0x34, 0x12}, false, 0},
                      IdentityCase{"EraseAnswerTooShort", false, {0x00, 0x94}, false, 0},
                      IdentityCase{"EraseAnswerEmpty", false, {}, false, 0},
                      IdentityCase{"OtherRevision", true, {0x41, 0, 0, 0, 0x5C, 0, 1, 2, 3, 4, 5, 6}, true, 0x41},
                      IdentityCase{"PatchNotInTable", true, {0x42, 0, 0, 0, 0x4C, 0, 1, 2, 3, 4, 5, 6}, false, 0},
                      IdentityCase{"PatchAnswerTooShort", true, {0x41, 0, 0, 0, 0x4C, 0, 1, 2, 3, 4, 5}, true, 0x41}),
    [](const auto& param) { return std::string(param.param.name); });


TEST_F(Load, AFailedEraseIsReportedAndNothingIsSent) {
    device.identity = {0, 0x97, 0x02};
    device.silentOn = [](const BootRequest& r) { return r.function == fnErase; };
    EXPECT_EQ(link.EraseAndLoad(Image(1024), false, 7372800, 0).reason, link::LoadReason::EraseFailed);
    EXPECT_EQ(ui.Errors(), Texts{"RS232. Нет связи. Проверьте правильность соединения PC и устройства."});
    EXPECT_EQ(device.Count(fnWriteData), 0u);
    ExpectBoxThenWindowGone();
}




TEST_F(Load, CaptionsFollowTheStagesAndTheLineMode) {
    const auto stages = [&] {
        Texts shown;
        for (const auto& e : ui.events)
            if (e.rfind("label:", 0) == 0 || e.rfind("gauge:", 0) == 0 || e == "cancel-button") shown.push_back(e);
        return shown;
    };
    device.identity = {0, 0x97, 0x02};
    link.EraseAndLoad(Image(256), false, 7372800, 0);
    EXPECT_EQ(stages(), (Texts{"cancel-button", "gauge:hidden", "label:Включите устройство...",
                               "label:Определение типа микроконтроллера...", "label:Очистка устройства...",
                               "label:Загрузка программы...", "gauge:shown"}));

    ui.events.clear();
    link.SetLineMode(2);
    device.echo = true;
    device.identity = PatchIdentity;
    link.PatchAndLoad(Image(1536), false, 0, 0);
    EXPECT_EQ(stages().at(2), "label:Включите ТОЛЬКО нужное устройство...");
    EXPECT_EQ(ui.Infos(), Texts{Done});

    // Line mode 1 asks for the device as mode 0 does; only mode 2 asks for it alone.
    ui.events.clear();
    link.SetLineMode(1);
    device.echo = false;
    link.PatchAndLoad(Image(1536), false, 0, 0);
    EXPECT_EQ(stages().at(2), "label:Включите устройство...");
}

}  // namespace
}  // namespace kx::test
