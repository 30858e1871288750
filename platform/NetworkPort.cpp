#include "platform/NetworkPort.h"

#include <algorithm>
#include <chrono>

namespace kx::platform {
namespace {

using Steady = std::chrono::steady_clock;

Millis Left(Steady::time_point deadline) {
    const auto left = std::chrono::ceil<Millis>(deadline - Steady::now());
    return std::max(left, Millis::zero());
}

}  // namespace

std::unique_ptr<SerialPort> NetworkPort::Open(const std::string& name, std::string* why) {
    std::string reason;
    const auto address = ParseNetworkAddress(name, &reason);
    if (!address) {
        if (why != nullptr) *why = reason;
        return nullptr;
    }
    ConnectOutcome outcome = ConnectOutcome::Unreachable;
    auto socket = ConnectTcp(address->host, address->port, ConnectTimeout, outcome, reason);
    if (outcome == ConnectOutcome::BadHost) {
        if (why != nullptr) *why = reason;
        return nullptr;
    }
    return std::make_unique<NetworkPort>(address->protocol, std::move(socket));
}

NetworkPort::NetworkPort(NetworkProtocol protocol, std::unique_ptr<Socket> socket)
    : telnet_(protocol == NetworkProtocol::Rfc2217), socket_(std::move(socket)) {
    if (!telnet_ || !socket_) return;
    try {
        Send(codec_.Opening());
        PullUntil(NegotiationWait, [this] { return codec_.ComPort() != TelnetCodec::OptionState::Asked; });
    } catch (const PortGone&) {
        return;   // the first read or write reports it
    }
    // The link drives no flow control lines of its own; the server must not wait on them.
    Command(TelnetCodec::SetControl, {TelnetCodec::NoFlowControl});
}

void NetworkPort::SetupQueues(std::uint32_t, std::uint32_t) {
    // The server's queues are its own.
}

void NetworkPort::SetBaudRate(std::uint32_t rate) {
    if (!telnet_ || !socket_ || codec_.ComPort() == TelnetCodec::OptionState::Refused) return;
    Command(TelnetCodec::SetBaudRate, {static_cast<std::uint8_t>(rate >> 24), static_cast<std::uint8_t>(rate >> 16),
                                       static_cast<std::uint8_t>(rate >> 8), static_cast<std::uint8_t>(rate)});
    ++rateRequests_;
}

std::uint32_t NetworkPort::BaudRate() {
    // 0, "not known", leaves the rate asked for standing: a raw stream runs at whatever
    // the server was set up for, and some servers never confirm.
    if (!socket_ || rateRequests_ == 0) return confirmedRate_;
    try {
        PullUntil(RateAnswerWait, [this] {
            return rateRequests_ == 0 || codec_.ComPort() == TelnetCodec::OptionState::Refused;
        });
    } catch (const PortGone&) {
    }
    rateRequests_ = 0;   // an answer later than the wait is taken, but no longer waited for
    return confirmedRate_;
}

void NetworkPort::SetByteSize(std::uint8_t bits) {
    if (bits != 0) Command(TelnetCodec::SetDataSize, {bits});   // 0 would only ask for the size
}

void NetworkPort::SetParity(std::uint8_t code) {
    if (code <= 4) Command(TelnetCodec::SetParity, {static_cast<std::uint8_t>(code + 1)});
}

void NetworkPort::SetStopBits(std::uint8_t code) {
    // The option numbers one stop bit 1, two 2 and one and a half 3.
    static constexpr std::uint8_t Values[] = {1, 3, 2};
    if (code <= 2) Command(TelnetCodec::SetStopSize, {Values[code]});
}

// The control lines are fire-and-forget, as on a local port: the server's answer (if
// any) is taken in with the data later, never waited for.
void NetworkPort::SetDTR() { Command(TelnetCodec::SetControl, {TelnetCodec::DtrOn}); }
void NetworkPort::SetRTS() { Command(TelnetCodec::SetControl, {TelnetCodec::RtsOn}); }
void NetworkPort::ClearRTS() { Command(TelnetCodec::SetControl, {TelnetCodec::RtsOff}); }

void NetworkPort::PurgeInput() {
    if (!socket_) return;
    try {
        while (Pull(Millis::zero()) > 0) {
        }
    } catch (const PortGone&) {
        return;   // the next read or write reports it
    }
    pending_.clear();
    pendingStart_ = 0;
    Command(TelnetCodec::PurgeData, {TelnetCodec::PurgeReceive});
}

void NetworkPort::PurgeOutput() { Command(TelnetCodec::PurgeData, {TelnetCodec::PurgeTransmit}); }

void NetworkPort::Write(const std::uint8_t* data, std::size_t count) {
    if (!socket_) throw PortGone();
    if (!telnet_) {
        socket_->Send(data, count, SendWait);
        return;
    }
    ByteVector escaped;
    TelnetCodec::Escape(data, count, escaped);
    Send(escaped);
}

std::size_t NetworkPort::Read(std::uint8_t* buffer, std::size_t maxCount, Millis wait) {
    if (!socket_) throw PortGone();
    if (maxCount == 0) return 0;
    PullUntil(wait, [this] { return pendingStart_ < pending_.size(); });
    const std::size_t count = std::min(maxCount, pending_.size() - pendingStart_);
    std::copy_n(pending_.begin() + static_cast<std::ptrdiff_t>(pendingStart_), count, buffer);
    pendingStart_ += count;
    if (pendingStart_ == pending_.size()) {
        pending_.clear();
        pendingStart_ = 0;
    }
    return count;
}

void NetworkPort::Command(std::uint8_t command, std::initializer_list<std::uint8_t> value) {
    if (!telnet_ || !socket_ || codec_.ComPort() == TelnetCodec::OptionState::Refused) return;
    try {
        Send(TelnetCodec::ComPortCommand(command, value));
    } catch (const PortGone&) {
        // Found out by the next read or write.
    }
}

void NetworkPort::Send(const ByteVector& bytes) {
    try {
        socket_->Send(bytes.data(), bytes.size(), SendWait);
    } catch (const PortGone&) {
        socket_.reset();
        throw;
    }
}

std::size_t NetworkPort::Pull(Millis wait) {
    std::uint8_t raw[4096];
    std::size_t got = 0;
    try {
        got = socket_->Receive(raw, sizeof raw, wait);
    } catch (const PortGone&) {
        socket_.reset();
        throw;
    }
    if (!telnet_) {
        pending_.insert(pending_.end(), raw, raw + got);
        return got;
    }
    ByteVector replies;
    codec_.Receive(raw, got, pending_, replies);
    const std::vector<std::uint32_t> confirmed = codec_.TakeConfirmedRates();
    if (!confirmed.empty()) {
        // The last confirmation is the rate now in force.
        confirmedRate_ = confirmed.back();
        rateRequests_ = std::max(0, rateRequests_ - static_cast<int>(confirmed.size()));
    }
    if (!replies.empty()) Send(replies);
    return got;
}

template <typename Done>
void NetworkPort::PullUntil(Millis wait, Done done) {
    const auto deadline = Steady::now() + wait;
    while (!done()) {
        const Millis left = Left(deadline);
        Pull(left);
        if (left == Millis::zero()) return;
    }
}

}  // namespace kx::platform
