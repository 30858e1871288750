#pragma once
// The telnet layer of a network serial port: the option negotiation that puts the
// connection in binary mode both ways and takes up the COM port control option, the
// doubling of 0xFF in data, and the server's answers to COM port control commands.
// Only bytes in, bytes out: the socket is someone else's, so the codec can be fed any
// split of the stream (an escape cut between two reads included).
#include <array>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <vector>

namespace kx::platform {

using ByteVector = std::vector<std::uint8_t>;

class TelnetCodec {
public:
    static constexpr std::uint8_t Iac = 255, Dont = 254, Do = 253, Wont = 252, Will = 251, Sb = 250, Se = 240;
    static constexpr std::uint8_t Binary = 0, SuppressGoAhead = 3, ComPortOption = 44;

    // COM port control commands as the client sends them; the server answers each with
    // the same code plus ServerOffset.
    enum Command : std::uint8_t {
        SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, SetControl = 5, PurgeData = 12
    };
    static constexpr std::uint8_t ServerOffset = 100;
    // SetControl values and PurgeData values.
    static constexpr std::uint8_t NoFlowControl = 1, DtrOn = 8, DtrOff = 9, RtsOn = 11, RtsOff = 12;
    static constexpr std::uint8_t PurgeReceive = 1, PurgeTransmit = 2;

    enum class OptionState { Asked, Accepted, Refused };

    // What this side sends first: binary and no go-ahead both ways, and that it will use
    // the COM port control option.
    ByteVector Opening();

    // Appends `count` data bytes to `out`, each 0xFF doubled.
    static void Escape(const std::uint8_t* data, std::size_t count, ByteVector& out);
    // One COM port control command with its value (escaped as data is).
    static ByteVector ComPortCommand(std::uint8_t command, std::initializer_list<std::uint8_t> value);

    // Takes received bytes: the data in them is appended to `data`, the answers this side
    // owes the server (to options it proposes) to `replies`.
    void Receive(const std::uint8_t* bytes, std::size_t count, ByteVector& data, ByteVector& replies);

    // Whether the server took up the COM port control option; Asked until it has said.
    OptionState ComPort() const;
    // The rates the server confirmed since the last call, oldest first.
    std::vector<std::uint32_t> TakeConfirmedRates();

private:
    enum class State { Data, Command, Option, Sub, SubIac };
    struct Side {
        bool enabled = false;
        bool asked = false;
    };

    // The byte after an IAC.
    void TakeCommand(std::uint8_t b, ByteVector& data);
    void Negotiate(std::uint8_t verb, std::uint8_t option, ByteVector& replies);
    void Agree(Side& side, bool wanted, std::uint8_t yes, std::uint8_t no, std::uint8_t option, ByteVector& replies);
    void Withdraw(Side& side, std::uint8_t no, std::uint8_t option, ByteVector& replies);
    void EndSub();

    static bool WeWant(std::uint8_t option);
    static bool TheyMay(std::uint8_t option);

    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    ByteVector sub_;
    std::array<Side, 256> ours_{};     // options this side performs (WILL / DO from them)
    std::array<Side, 256> theirs_{};   // options the server performs (WILL from them / DO)
    bool comPortRefused_ = false;
    std::vector<std::uint32_t> confirmedRates_;
};

}  // namespace kx::platform
