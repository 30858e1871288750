// A station waits for the loaded board to go before it waits for the next one.
#include "app/BoardPresence.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/KX_RS232.h"
#include "tests/support/FakeBench.h"

namespace kx::test {
namespace {

using platform::Millis;

class BoardPresence : public ::testing::Test, protected FakeBench {
protected:
    BoardPresence() : FakeBench("/dev/ttyBOOT") {
        link.OpenPortNamed("/dev/ttyBOOT");
        device.address = 0xF9;
        device.identity = {0x2D, 0x1D, 0x00, 0x00, 0x40, 0x00, 0xA1, 0xB2, 0xC3, 0xD4, 0xE5, 0xF6};
        device.onRequest = [this](const BootRequest&) { sentAt.push_back(clock.Now()); };
    }

    std::vector<Millis> sentAt;
};

TEST_F(BoardPresence, ALingeringBoardIsPolledAtAPaceUntilItFallsSilent) {
    int answered = 0;
    device.silentOn = [&answered](const BootRequest&) { return ++answered > 5; };
    ASSERT_TRUE(app::WaitUntilBoardGone(link, [] { return false; }));

    // Five answered polls, then one request tried three times.
    ASSERT_EQ(sentAt.size(), 8u);
    for (std::size_t i = 1; i < 5; ++i)
        EXPECT_GE(sentAt[i] - sentAt[i - 1], Millis{200}) << "poll " << i << " came too soon";
    EXPECT_EQ(link.AnswerTimeout, 100);
    EXPECT_TRUE(ui.Errors().empty());
}

TEST_F(BoardPresence, ACancelEndsTheWaitBeforeTheNextPoll) {
    int polls = 0;
    EXPECT_FALSE(app::WaitUntilBoardGone(link, [&polls] { return polls++ == 3; }));
    EXPECT_EQ(sentAt.size(), 3u);
}

}  // namespace
}  // namespace kx::test
