#pragma once
// A serial port on the far side of a network connection: a telnet server with the COM
// port control option (RFC 2217), or a raw TCP byte stream. Seen from the link it is one
// more serial port: a lost connection is a port gone away, and opening the same name
// again connects anew.
#include <memory>
#include <string>

#include "platform/NetworkAddress.h"
#include "platform/SerialPort.h"
#include "platform/Socket.h"
#include "platform/TelnetCodec.h"

namespace kx::platform {

class NetworkPort final : public SerialPort {
public:
    // Longest a connection attempt may take (per attempt, every address of the name).
    static constexpr Millis ConnectTimeout{3000};
    // Longest wait for the server to take up or refuse the COM port control option, once
    // per connection; a server that never says costs no more than this.
    static constexpr Millis NegotiationWait{1000};
    // Longest wait for the server to confirm a rate; one that never does (ser2net in front
    // of a pseudo-terminal) leaves the rate asked for standing.
    static constexpr Millis RateAnswerWait{300};
    // Longest a write waits for room in the connection.
    static constexpr Millis SendWait{2000};

    // The port `name` stands for; nullptr, with the reason in `why`, when the name is
    // malformed or its host does not resolve. A server that does not answer yet still
    // gives a port: one whose first read or write finds it gone, so that the link opens
    // it again, as it does a USB adapter that is not back yet.
    static std::unique_ptr<SerialPort> Open(const std::string& name, std::string* why);

    // Over `socket` (nullptr: not connected); the telnet opening is sent at once.
    NetworkPort(NetworkProtocol protocol, std::unique_ptr<Socket> socket);

    void SetupQueues(std::uint32_t rxBytes, std::uint32_t txBytes) override;
    void SetBaudRate(std::uint32_t rate) override;
    std::uint32_t BaudRate() override;
    void SetByteSize(std::uint8_t bits) override;
    void SetParity(std::uint8_t code) override;
    void SetStopBits(std::uint8_t code) override;
    void SetDTR() override;
    void SetRTS() override;
    void ClearRTS() override;
    void PurgeInput() override;
    void PurgeOutput() override;
    void Write(const std::uint8_t* data, std::size_t count) override;
    std::size_t Read(std::uint8_t* buffer, std::size_t maxCount, Millis wait) override;

private:
    // Sends a COM port control command when the server has not refused the option.
    void Command(std::uint8_t command, std::initializer_list<std::uint8_t> value);
    void Send(const ByteVector& bytes);
    // Takes what arrives within `wait` through the codec; the raw byte count (0: nothing
    // came). A lost connection is dropped and reported (PortGone).
    std::size_t Pull(Millis wait);
    // Waits at most `wait` until `done` holds, taking in what arrives meanwhile.
    template <typename Done>
    void PullUntil(Millis wait, Done done);

    bool telnet_;
    std::unique_ptr<Socket> socket_;   // nullptr once lost (or never made)
    TelnetCodec codec_;
    ByteVector pending_;               // data taken in but not read yet
    std::size_t pendingStart_ = 0;
    int rateRequests_ = 0;             // rate requests the server has not answered
    std::uint32_t confirmedRate_ = 0;
};

}  // namespace kx::platform
