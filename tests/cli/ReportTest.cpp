// The load report's parts: the image's digest, the time stamp, one record as JSON.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>

#include "cli/LoadReport.h"
#include "cli/Sha256.h"
#include "link/LoadOutcome.h"

namespace kx::test {
namespace {

std::string Digest(const std::string& text) {
    return cli::Sha256Hex({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

TEST(Sha256, KnownDigestsAcrossThePaddingBoundaries) {
    struct Case {
        std::string input;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        // 56 bytes: the length no longer fits the first padding block.
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
        {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const auto& c : cases) EXPECT_EQ(Digest(c.input), c.digest) << c.input.size() << " bytes";
}

TEST(LoadReport, TimesAreUtcWithMilliseconds) {
    using namespace std::chrono;
    const auto at = [](std::int64_t ms) { return system_clock::time_point(milliseconds(ms)); };
    EXPECT_EQ(cli::IsoUtc(at(0)), "1970-01-01T00:00:00.000Z");
    EXPECT_EQ(cli::IsoUtc(at(951782400000 + 3723004)), "2000-02-29T01:02:03.004Z");
    EXPECT_EQ(cli::IsoUtc(at(1796774400000 - 1)), "2026-12-08T23:59:59.999Z");
    EXPECT_EQ(cli::IsoUtc(at(-1)), "1969-12-31T23:59:59.999Z");
}

TEST(LoadReport, ARecordIsOneLineOfJsonWithEveryFieldInOrder) {
    cli::LoadRecord r;
    r.time = std::chrono::system_clock::time_point(std::chrono::milliseconds(1500));
    r.start = std::chrono::system_clock::time_point(std::chrono::milliseconds(0));
    r.port = "/dev/serial/by-id/usb-FTDI_A1-if00-port0";
    r.portPath = "/dev/ttyUSB0";
    r.portStable = "/dev/serial/by-id/usb-FTDI_A1-if00-port0";
    r.image = "fw \"v2\".rom";
    r.imagePath = "C:\\firmware\\fw \"v2\".rom";
    r.sha256 = "ab";
    r.outcome = "failed";
    r.reason = "exchange-failed";
    r.message = "RS232. Ошибка обмена.(0)";
    r.pages = 3;
    r.seconds = 1.5;
    EXPECT_EQ(cli::RecordLine(r),
              R"j({"time":"1970-01-01T00:00:01.500Z","start":"1970-01-01T00:00:00.000Z",)j"
              R"j("port":"/dev/serial/by-id/usb-FTDI_A1-if00-port0","port_path":"/dev/ttyUSB0",)j"
              R"j("port_by_id":"/dev/serial/by-id/usb-FTDI_A1-if00-port0","image":"fw \"v2\".rom",)j"
              R"j("image_path":"C:\\firmware\\fw \"v2\".rom",)j"
              R"j("sha256":"ab","outcome":"failed","reason":"exchange-failed","message":"RS232. Ошибка обмена.(0)",)j"
              R"j("identity":"","head":"","pages":3,"seconds":1.500,"version":")j" KXBOOT_VERSION R"j("})j");
    // A port with no stable name (a pty, a URL) says so with null.
    r.portStable.clear();
    EXPECT_NE(cli::RecordLine(r).find(R"j("port_by_id":null,)j"), std::string::npos);
}

// Scripts key on the codes: each reason has its own, and the self-tests' line names the
// kind and the code.
TEST(LoadReport, EveryReasonHasACodeOfItsOwn) {
    using link::LoadReason;
    std::set<std::string> codes;
    for (int r = static_cast<int>(LoadReason::Loaded); r <= static_cast<int>(LoadReason::Cancelled); ++r) {
        const std::string code = link::ReasonName(static_cast<LoadReason>(r));
        EXPECT_TRUE(codes.insert(code).second) << code << " names two reasons";
        EXPECT_TRUE(std::all_of(code.begin(), code.end(), [](char c) { return (c >= 'a' && c <= 'z') || c == '-'; }))
            << code;
    }
    EXPECT_EQ(codes.size(), 20u);
    link::LoadOutcome outcome;
    outcome.reason = LoadReason::VersionMismatch;
    outcome.pages = 2;
    EXPECT_EQ(link::OutcomeLine(outcome), "outcome=refused reason=version-mismatch pages=2");
    EXPECT_EQ(link::OutcomeLine(std::nullopt), "outcome=none");
}

}  // namespace
}  // namespace kx::test
