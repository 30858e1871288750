#include <gtest/gtest.h>

#include <algorithm>
#include <stdexcept>
#include <vector>

#include "link/KX_BI.h"

namespace kx::link {
namespace {

using Bytes = std::vector<std::uint8_t>;

class FrameTest : public ::testing::Test {
protected:
    Bytes Sent() const { return Bytes(f.TxBuf.begin(), f.TxBuf.begin() + f.TxBuf[0]); }
    void Receive(const Bytes& bytes) { std::copy(bytes.begin(), bytes.end(), f.RxBuf.begin()); }

    TKXBaseInterface f{nullptr, nullptr};
};

TEST_F(FrameTest, ClosesFramesWithLengthAndCheckByte) {
    f.BeginFrame();
    f.EndFrame();
    EXPECT_EQ(Sent(), (Bytes{0x02, 0xFE}));

    f.BeginFrame();
    f.PutByte(0xF9);
    f.PutWord(1);
    f.PutByte(1);
    f.EndFrame();
    EXPECT_EQ(Sent(), (Bytes{0x06, 0xF9, 0x01, 0x00, 0x01, 0xFF}));
    EXPECT_EQ(f.TxPos, 5);

    // 03 + FD already sums to 256: the check byte is 00.
    f.BeginFrame();
    f.PutByte(0xFD);
    f.EndFrame();
    EXPECT_EQ(Sent(), (Bytes{0x03, 0xFD, 0x00}));
}

TEST_F(FrameTest, PutsValuesLeastSignificantByteFirst) {
    f.BeginFrame();
    f.PutWord(0x1234);
    f.PutLongInt(0x12345678);
    f.PutSingle(1.0f);
    f.PutLongInt(-2);
    EXPECT_EQ(Bytes(f.TxBuf.begin() + 1, f.TxBuf.begin() + f.TxPos),
              (Bytes{0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x80, 0x3F, 0xFE, 0xFF, 0xFF, 0xFF}));
}

TEST(FrameLayering, MultiBytePutsGoThroughPutByte) {
    struct Counting : TKXBaseInterface {
        using TKXBaseInterface::TKXBaseInterface;
        void PutByte(std::uint8_t b) override {
            ++calls;
            TKXBaseInterface::PutByte(static_cast<std::uint8_t>(b ^ 0xFF));
        }
        int calls = 0;
    } f(nullptr, nullptr);
    f.BeginFrame();
    f.PutWord(0x0102);
    f.PutLongInt(0);
    f.PutSingle(0.0f);
    EXPECT_EQ(f.calls, 10);
    EXPECT_EQ(f.TxBuf[1], 0xFD);
    EXPECT_EQ(f.TxBuf[10], 0xFF);
}

TEST_F(FrameTest, GetsValuesLeastSignificantByteFirst) {
    Receive({0x34, 0x12, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x80, 0x3F, 0x07});
    f.RxPos = 0;
    EXPECT_EQ(f.GetWord(), 0x1234);
    EXPECT_EQ(f.GetLongInt(), 0x12345678);
    EXPECT_EQ(f.GetSingle(), 1.0f);
    EXPECT_EQ(f.GetByte(), 0x07);
    EXPECT_EQ(f.RxPos, 11);
}

TEST_F(FrameTest, ChecksTheSumOfTheReceivedLength) {
    const Bytes good{0x06, 0xF9, 0x01, 0x00, 0x01, 0xFF};
    Receive(good);
    EXPECT_TRUE(f.CheckAnswer());
    for (std::size_t i = 1; i < good.size(); ++i) {
        Bytes bad = good;
        bad[i] ^= 0x10;
        Receive(bad);
        EXPECT_FALSE(f.CheckAnswer()) << "byte " << i;
    }
    // A shorter length sums fewer bytes: 05 F9 01 00 01 makes 256.
    Receive({0x05, 0xF9, 0x01, 0x00, 0x01, 0x77});
    EXPECT_TRUE(f.CheckAnswer());
}

TEST_F(FrameTest, RefusesFramesLongerThan255Bytes) {
    f.BeginFrame();
    for (int i = 1; i < 254; ++i) f.PutByte(1);
    EXPECT_EQ(f.TxPos, 254);
    f.EndFrame();
    EXPECT_EQ(f.TxBuf[0], 255);
    unsigned sum = 0;
    for (int i = 0; i <= f.TxPos; ++i) sum += f.TxBuf[static_cast<std::size_t>(i)];
    EXPECT_EQ(sum % 256, 0u);

    f.TxBuf[0] = 0xAA;
    f.PutByte(2);  // TxPos 255: the frame would be 256 bytes
    EXPECT_EQ(f.TxPos, 255);
    f.TxBuf[255] = 0x55;
    EXPECT_THROW(f.EndFrame(), RangeError);
    EXPECT_EQ(f.TxBuf[0], 0xAA);
    EXPECT_EQ(f.TxBuf[255], 0x55);
    for (std::int32_t pos : {-1, 0x7FFFFFFF}) {
        f.TxPos = pos;
        EXPECT_THROW(f.EndFrame(), RangeError) << pos;
        EXPECT_THROW(f.PutByte(0), RangeError) << pos;
        EXPECT_EQ(f.TxPos, pos);
    }
}

TEST_F(FrameTest, PutPastTheBufferFailsOnIndex256KeepingEarlierBytes) {
    f.BeginFrame();
    for (int i = 0; i < 255; ++i) f.PutByte(static_cast<std::uint8_t>(i));
    EXPECT_EQ(f.TxPos, 256);
    try {
        f.PutByte(0);
        FAIL() << "no range error";
    } catch (const RangeError& e) {
        EXPECT_STREQ(e.what(), "Range check error");
    }
    EXPECT_EQ(f.TxPos, 256);
    EXPECT_THROW(f.EndFrame(), RangeError);

    // A multi-byte put that fails part-way keeps what it appended.
    f.TxPos = 254;
    EXPECT_THROW(f.PutLongInt(0x44332211), RangeError);
    EXPECT_EQ(f.TxPos, 256);
    EXPECT_EQ(f.TxBuf[254], 0x11);
    EXPECT_EQ(f.TxBuf[255], 0x22);
}

TEST_F(FrameTest, GetsThatWouldReachPastTheBufferDoNotAdvance) {
    struct Case {
        std::int32_t pos;
        int width;
        bool fails;
    };
    const Case cases[] = {{255, 1, false}, {256, 1, true}, {254, 2, false}, {255, 2, true},
                          {252, 4, false}, {253, 4, true}, {-1, 1, true},   {-1, 4, true},
                          {0x7FFFFFFE, 4, true}};
    for (const Case& c : cases) {
        f.RxPos = c.pos;
        auto get = [&] {
            switch (c.width) {
                case 1: f.GetByte(); break;
                case 2: f.GetWord(); break;
                default: f.GetLongInt(); break;
            }
        };
        if (c.fails) {
            EXPECT_THROW(get(), RangeError) << c.pos << "/" << c.width;
            EXPECT_EQ(f.RxPos, c.pos);
            if (c.width == 4) {
                EXPECT_THROW(f.GetSingle(), RangeError);
            }
            EXPECT_EQ(f.RxPos, c.pos);
        } else {
            EXPECT_NO_THROW(get()) << c.pos << "/" << c.width;
            EXPECT_EQ(f.RxPos, c.pos + c.width);
        }
    }
}

TEST_F(FrameTest, PlainInterfaceHasNoTransport) {
    f.BeginFrame();
    f.PutByte(9);
    f.RxPos = 7;
    const auto tx = f.TxBuf;
    f.StartCommand(1, 2);
    f.Command(1, 2);
    EXPECT_EQ(f.TxPos, 2);
    EXPECT_EQ(f.RxPos, 7);
    EXPECT_EQ(f.TxBuf, tx);
    EXPECT_EQ(f.ReadAddress(), 0);
    std::string s = "stale";
    f.GetString(s);
    EXPECT_EQ(s, "");
    EXPECT_THROW(f.Transact(), std::logic_error);
    EXPECT_THROW(f.TransactOnce(), std::logic_error);
    EXPECT_THROW(f.PutChar('x'), std::logic_error);
    EXPECT_THROW(f.GetChar(), std::logic_error);
    EXPECT_THROW(f.EraseAndLoad("a.rom", true, 1e6, 1), std::logic_error);
    EXPECT_THROW(f.PatchAndLoad("a.rom", true, 1, 4), std::logic_error);
}

}  // namespace
}  // namespace kx::link
