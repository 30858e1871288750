// The telnet layer of a network port on fakes: escapes cut anywhere between two reads,
// options answered or left alone, and what goes out on the connection.
#include <gtest/gtest.h>

#include <deque>

#include "platform/NetworkPort.h"
#include "platform/TelnetCodec.h"

namespace kx::test {
namespace {

using platform::ByteVector;
using platform::TelnetCodec;
using T = platform::TelnetCodec;

// The server's side of a connection: chunks to hand out one per receive, and what was sent.
class FakeSocket final : public platform::Socket {
public:
    explicit FakeSocket(std::deque<ByteVector>* chunks, ByteVector* sent) : chunks_(chunks), sent_(sent) {}
    void Send(const std::uint8_t* data, std::size_t count, platform::Millis) override {
        sent_->insert(sent_->end(), data, data + count);
    }
    std::size_t Receive(std::uint8_t* buffer, std::size_t maxCount, platform::Millis) override {
        if (chunks_->empty()) return 0;
        ByteVector& chunk = chunks_->front();
        const std::size_t n = std::min(maxCount, chunk.size());
        std::copy_n(chunk.begin(), n, buffer);
        chunk.erase(chunk.begin(), chunk.begin() + static_cast<std::ptrdiff_t>(n));
        if (chunk.empty()) chunks_->pop_front();
        return n;
    }

private:
    std::deque<ByteVector>* chunks_;
    ByteVector* sent_;
};

// Data, a doubled 0xFF, negotiation and a rate confirmation (itself holding an escaped 0xFF),
// then 0xFF twice more as the stream's last bytes.
const ByteVector Stream{0x01, T::Iac, T::Iac, 0x02,   T::Iac, T::Will, T::SuppressGoAhead,
                        T::Iac, T::Sb,  T::ComPortOption, T::SetBaudRate + T::ServerOffset,
                        0x00,   0x00,   0x4B,   0x00,   T::Iac, T::Se, 0x03, T::Iac, T::Iac, T::Iac, T::Iac};
const ByteVector StreamData{0x01, 0xFF, 0x02, 0x03, 0xFF, 0xFF};

TEST(TelnetCodecTest, DataComesOutTheSameWhereverTheStreamIsCut) {
    for (std::size_t cut = 0; cut <= Stream.size(); ++cut)
        for (std::size_t second = cut; second <= Stream.size(); second += 3) {
            SCOPED_TRACE(std::to_string(cut) + "/" + std::to_string(second));
            TelnetCodec codec;
            codec.Opening();
            ByteVector data, replies;
            codec.Receive(Stream.data(), cut, data, replies);
            codec.Receive(Stream.data() + cut, second - cut, data, replies);
            codec.Receive(Stream.data() + second, Stream.size() - second, data, replies);
            EXPECT_EQ(data, StreamData);
            EXPECT_TRUE(replies.empty());   // the go-ahead option was asked for by this side
            EXPECT_EQ(codec.TakeConfirmedRates(), std::vector<std::uint32_t>{19200});
        }
}

TEST(TelnetCodecTest, OptionsAreAnsweredOnceOrRefused) {
    struct Case {
        const char* name;
        ByteVector in;
        ByteVector replies;
        T::OptionState comPort;
    };
    const Case cases[] = {
        {"acknowledgements", {T::Iac, T::Do, T::Binary, T::Iac, T::Will, T::Binary}, {}, T::OptionState::Asked},
        {"echo refused both ways", {T::Iac, T::Will, 1, T::Iac, T::Do, 1}, {T::Iac, T::Dont, 1, T::Iac, T::Wont, 1},
         T::OptionState::Asked},
        {"com port taken up", {T::Iac, T::Do, T::ComPortOption, T::Iac, T::Do, T::ComPortOption}, {},
         T::OptionState::Accepted},
        {"com port refused", {T::Iac, T::Dont, T::ComPortOption}, {}, T::OptionState::Refused},
        {"withdrawn after agreeing", {T::Iac, T::Will, T::SuppressGoAhead, T::Iac, T::Wont, T::SuppressGoAhead},
         {T::Iac, T::Dont, T::SuppressGoAhead}, T::OptionState::Asked},
        {"other commands ignored", {T::Iac, 241, T::Iac, 249, T::Iac, T::Sb, 24, 1, T::Iac, T::Se}, {},
         T::OptionState::Asked},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TelnetCodec codec;
        codec.Opening();
        ByteVector data, replies;
        codec.Receive(c.in.data(), c.in.size(), data, replies);
        EXPECT_TRUE(data.empty());
        EXPECT_EQ(replies, c.replies);
        EXPECT_EQ(codec.ComPort(), c.comPort);
    }
}

TEST(NetworkPortTest, EscapesOnlyOverTelnetAndReadsDataPastTheNegotiation) {
    const ByteVector frame{0x05, 0xFF, 0x00, 0xFF, 0xFF};
    for (const auto protocol : {platform::NetworkProtocol::Rfc2217, platform::NetworkProtocol::Raw}) {
        const bool telnet = protocol == platform::NetworkProtocol::Rfc2217;
        SCOPED_TRACE(telnet ? "rfc2217" : "raw");
        std::deque<ByteVector> chunks{{T::Iac, T::Do, T::ComPortOption}};
        ByteVector sent;
        platform::NetworkPort port(protocol, std::make_unique<FakeSocket>(&chunks, &sent));
        sent.clear();
        port.Write(frame.data(), frame.size());
        EXPECT_EQ(sent, telnet ? (ByteVector{0x05, 0xFF, 0xFF, 0x00, 0xFF, 0xFF, 0xFF, 0xFF}) : frame);

        // The answer split inside an escape, behind an option the server proposes.
        chunks = {{T::Iac, T::Will, 1, 0x07, T::Iac}, {T::Iac, 0x08}};
        if (!telnet) chunks = {{0x07, 0xFF}, {0x08}};
        sent.clear();
        std::uint8_t got[8] = {};
        std::size_t n = port.Read(got, sizeof got, platform::Millis{0});
        n += port.Read(got + n, sizeof got - n, platform::Millis{0});
        EXPECT_EQ(ByteVector(got, got + n), (ByteVector{0x07, 0xFF, 0x08}));
        EXPECT_EQ(sent, telnet ? (ByteVector{T::Iac, T::Dont, 1}) : ByteVector());
    }
}

TEST(NetworkPortTest, AConnectionNeverMadeIsAPortGone) {
    platform::NetworkPort port(platform::NetworkProtocol::Rfc2217, nullptr);
    port.SetBaudRate(19200);
    EXPECT_EQ(port.BaudRate(), 0u);
    const std::uint8_t byte = 0;
    EXPECT_THROW(port.Write(&byte, 1), platform::PortGone);
    std::uint8_t buffer[1];
    EXPECT_THROW(port.Read(buffer, 1, platform::Millis{0}), platform::PortGone);
}

TEST(NetworkAddressTest, UrlsAreParsedOrRefusedWithAReason) {
    using platform::NetworkProtocol;
    struct Case {
        const char* name;
        bool ok;
        NetworkProtocol protocol;
        const char* host;
        std::uint16_t port;
    };
    const Case cases[] = {
        {"rfc2217://moxa.local:4001", true, NetworkProtocol::Rfc2217, "moxa.local", 4001},
        {"RFC2217://10.0.0.5:950/", true, NetworkProtocol::Rfc2217, "10.0.0.5", 950},
        {"tcp://[fe80::1]:2000", true, NetworkProtocol::Raw, "fe80::1", 2000},
        {"socket://box:65535", true, NetworkProtocol::Raw, "box", 65535},
        {"telnet://box:23", false, {}, "", 0},      {"tcp://box", false, {}, "", 0},
        {"tcp://:4001", false, {}, "", 0},          {"tcp://box:0", false, {}, "", 0},
        {"tcp://box:65536", false, {}, "", 0},      {"tcp://fe80::1:2000", false, {}, "", 0},
        {"tcp://box:40x", false, {}, "", 0},        {"tcp://[::1:2000", false, {}, "", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_TRUE(platform::IsNetworkPortName(c.name));
        std::string why;
        const auto address = platform::ParseNetworkAddress(c.name, &why);
        ASSERT_EQ(address.has_value(), c.ok) << why;
        if (!c.ok) {
            EXPECT_FALSE(why.empty());
            continue;
        }
        EXPECT_EQ(address->protocol, c.protocol);
        EXPECT_EQ(address->host, c.host);
        EXPECT_EQ(address->port, c.port);
    }
    for (const char* local : {"/dev/ttyUSB0", "COM3", "\\\\.\\COM12", "/dev/serial/by-id/usb-FTDI:x"})
        EXPECT_FALSE(platform::IsNetworkPortName(local)) << local;
}

}  // namespace
}  // namespace kx::test
