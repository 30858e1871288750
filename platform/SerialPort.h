#pragma once
// The operating system's serial ports, as the link needs them. One backend per OS.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platform/Clock.h"

namespace kx::platform {

// Raised by Read and Write when the port has gone away under the open handle (a USB
// adapter pulled out, a pty whose other side was closed): the handle is dead for good,
// and only closing it and opening the port again, once it is back, can help.
class PortGone : public std::runtime_error {
public:
    PortGone() : std::runtime_error("the serial port has gone away") {}
};

// One open serial port. Every operation but Read and BaudRate is fire-and-forget:
// the link never tests their results, so a backend swallows its OS errors. Read and
// Write tell a port that has gone away from one that is merely silent (PortGone).
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Driver queue sizes; a no-op where the OS has no such request.
    virtual void SetupQueues(std::uint32_t rxBytes, std::uint32_t txBytes) = 0;

    // Line settings, each applied on its own (read-modify-write of the driver state).
    virtual void SetBaudRate(std::uint32_t rate) = 0;
    // The rate the driver really runs at; 0 when it cannot be read.
    virtual std::uint32_t BaudRate() = 0;
    virtual void SetByteSize(std::uint8_t bits) = 0;
    virtual void SetParity(std::uint8_t code) = 0;      // 0 none, 1 odd, 2 even, 3 mark, 4 space
    virtual void SetStopBits(std::uint8_t code) = 0;    // 0 one, 1 one and a half, 2 two

    virtual void SetDTR() = 0;
    virtual void SetRTS() = 0;
    virtual void ClearRTS() = 0;
    virtual void PurgeInput() = 0;
    virtual void PurgeOutput() = 0;

    // Writes all bytes (blocking until handed to the driver). Throws PortGone when the
    // port has gone away; other failures are not reported.
    virtual void Write(const std::uint8_t* data, std::size_t count) = 0;

    // Waits at most `wait` for data and returns as soon as at least one byte is there,
    // reading at most `maxCount` of the bytes already received. Returns 0 when nothing
    // came in time; throws PortGone (at once) when the port has gone away.
    virtual std::size_t Read(std::uint8_t* buffer, std::size_t maxCount, Millis wait) = 0;
};

// What an attempt to open a port gives: the open port, or the reason it did not open in
// the system's words ("Permission denied"; empty where the system gives none), and
// whether that reason is that no such port exists. Each caller holds its own, so links
// opening ports on several threads never share it.
struct PortOpening {
    std::unique_ptr<SerialPort> port;   // empty when the port did not open
    std::string failure;                // empty when it did
    bool missing = false;               // it did not open because there is no such port

    static PortOpening Opened(std::unique_ptr<SerialPort> opened) { return {std::move(opened), {}, false}; }
    static PortOpening Failed(std::string why) { return {nullptr, std::move(why), false}; }
    static PortOpening Missing(std::string why) { return {nullptr, std::move(why), true}; }
};

// What a probe finds of a port: none by that name, one that someone holds, or one free.
enum class PortState { Missing, Busy, Free };

// The machine's set of ports. Slot n (1..MaxPorts) of Candidates() is the port the
// user knows as COMn; on Windows the names are "COM1".."COM256" themselves, whether or
// not such a port exists (the probe tells).
class SerialPorts {
public:
    // Windows numbers its ports up to COM256; a machine that has seen many USB adapters
    // gives a new one a number well above 32.
    static constexpr int MaxPorts = 256;

    virtual ~SerialPorts() = default;

    // Candidate names in slot order, at most MaxPorts of them.
    virtual std::vector<std::string> Candidates() = 0;
    // Whether the named port exists and whether someone holds it, probed without
    // disturbing it (no line is touched, no setting changed).
    virtual PortState Probe(const std::string& name) = 0;
    bool IsFree(const std::string& name) { return Probe(name) == PortState::Free; }
    // Opens the named port for exclusive reading and writing, or says why it cannot.
    // Keeps nothing of the attempt: safe to call from several threads at once.
    virtual PortOpening Open(const std::string& name) = 0;
    // True where the settings file stores the port as its number (Windows),
    // false where it stores the name (device path).
    virtual bool StoresPortNumber() const = 0;
};

// The backend of this OS. It holds no state of its own.
SerialPorts& SystemSerialPorts();

}  // namespace kx::platform
