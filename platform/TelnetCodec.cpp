#include "platform/TelnetCodec.h"

#include <utility>

namespace kx::platform {
namespace {

// Longer sub-negotiations carry nothing this side reads (a signature text at most).
constexpr std::size_t MaxSubLength = 64;

// One at a time: GCC 12 at -O3 sees an overflow that is not there in a ranged insert.
void Put(ByteVector& out, std::initializer_list<std::uint8_t> bytes) {
    for (const std::uint8_t b : bytes) out.push_back(b);
}

}  // namespace

ByteVector TelnetCodec::Opening() {
    ByteVector out;
    for (const std::uint8_t option : {Binary, SuppressGoAhead, ComPortOption}) {
        ours_[option].asked = true;
        Put(out, {Iac, Will, option});
    }
    for (const std::uint8_t option : {Binary, SuppressGoAhead}) {
        theirs_[option].asked = true;
        Put(out, {Iac, Do, option});
    }
    return out;
}

void TelnetCodec::Escape(const std::uint8_t* data, std::size_t count, ByteVector& out) {
    out.reserve(out.size() + count + count / 16);
    for (std::size_t i = 0; i < count; ++i) {
        out.push_back(data[i]);
        if (data[i] == Iac) out.push_back(Iac);
    }
}

ByteVector TelnetCodec::ComPortCommand(std::uint8_t command, std::initializer_list<std::uint8_t> value) {
    ByteVector out{Iac, Sb, ComPortOption, command};
    Escape(value.begin(), value.size(), out);
    Put(out, {Iac, Se});
    return out;
}

void TelnetCodec::Receive(const std::uint8_t* bytes, std::size_t count, ByteVector& data, ByteVector& replies) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        switch (state_) {
            case State::Data:
                if (b == Iac)
                    state_ = State::Command;
                else
                    data.push_back(b);
                break;
            case State::Command:
                TakeCommand(b, data);
                break;
            case State::Option:
                Negotiate(verb_, b, replies);
                state_ = State::Data;
                break;
            case State::Sub:
                if (b == Iac)
                    state_ = State::SubIac;
                else if (sub_.size() < MaxSubLength)
                    sub_.push_back(b);
                break;
            case State::SubIac:
                if (b == Se) {
                    EndSub();
                    state_ = State::Data;
                } else {
                    if (sub_.size() < MaxSubLength) sub_.push_back(b);   // IAC IAC: one 0xFF
                    state_ = State::Sub;
                }
                break;
        }
    }
}

void TelnetCodec::TakeCommand(std::uint8_t b, ByteVector& data) {
    state_ = State::Data;
    if (b == Iac) {
        data.push_back(Iac);
    } else if (b >= Will && b <= Dont) {
        verb_ = b;
        state_ = State::Option;
    } else if (b == Sb) {
        sub_.clear();
        state_ = State::Sub;
    }
    // Any other command (no-operation, go-ahead, data mark...) means nothing here.
}

bool TelnetCodec::WeWant(std::uint8_t option) {
    return option == Binary || option == SuppressGoAhead || option == ComPortOption;
}

bool TelnetCodec::TheyMay(std::uint8_t option) { return option == Binary || option == SuppressGoAhead; }

void TelnetCodec::Negotiate(std::uint8_t verb, std::uint8_t option, ByteVector& replies) {
    switch (verb) {
        case Do:
            Agree(ours_[option], WeWant(option), Will, Wont, option, replies);
            if (option == ComPortOption) comPortRefused_ = false;
            break;
        case Dont:
            Withdraw(ours_[option], Wont, option, replies);
            if (option == ComPortOption) comPortRefused_ = true;
            break;
        case Will:
            Agree(theirs_[option], TheyMay(option), Do, Dont, option, replies);
            break;
        default:
            Withdraw(theirs_[option], Dont, option, replies);
            break;
    }
}

// A proposal or an acknowledgement of ours: answered only when it changes the state, so
// that two sides never echo each other for ever.
void TelnetCodec::Agree(Side& side, bool wanted, std::uint8_t yes, std::uint8_t no, std::uint8_t option,
                        ByteVector& replies) {
    if (!wanted) {
        Put(replies, {Iac, no, option});
        return;
    }
    if (!side.enabled && !side.asked) Put(replies, {Iac, yes, option});
    side.enabled = true;
    side.asked = false;
}

void TelnetCodec::Withdraw(Side& side, std::uint8_t no, std::uint8_t option, ByteVector& replies) {
    if (side.enabled && !side.asked) Put(replies, {Iac, no, option});
    side.enabled = false;
    side.asked = false;
}

void TelnetCodec::EndSub() {
    // The server's answer to a rate request: the rate it now runs at, four bytes, high first.
    if (sub_.size() >= 6 && sub_[0] == ComPortOption && sub_[1] == SetBaudRate + ServerOffset)
        confirmedRates_.push_back(std::uint32_t{sub_[2]} << 24 | std::uint32_t{sub_[3]} << 16 | std::uint32_t{sub_[4]} << 8 | sub_[5]);
}

TelnetCodec::OptionState TelnetCodec::ComPort() const {
    if (ours_[ComPortOption].enabled) return OptionState::Accepted;
    return comPortRefused_ ? OptionState::Refused : OptionState::Asked;
}

std::vector<std::uint32_t> TelnetCodec::TakeConfirmedRates() { return std::exchange(confirmedRates_, {}); }

}  // namespace kx::platform
