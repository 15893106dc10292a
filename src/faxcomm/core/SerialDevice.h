#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "faxcomm/core/PortConstants.h"

namespace qpcomm {

// The operations the dispatcher needs from a device (one implementation per device
// layer). Results are 0 or a negative port result code. Reads and writes never block.
// Each operation is called with the port record's lock held, except Read and Write, which
// the port's own threads call on their own. Write and FlushOutput are never called at the
// same time.
class SerialDevice {
public:
    virtual ~SerialDevice() = default;

    // Opens `name` for exclusive use: -2001 when it does not exist or is not a serial
    // device, -2008 when another program holds it, other failures as negated system codes.
    virtual int Open(const std::string& name) = 0;
    // Discards output that does not leave within a short while, then closes.
    virtual void Close() = 0;
    virtual bool IsOpen() const = 0;
    // The descriptor the event thread waits on.
    virtual int PollHandle() const = 0;

    // -3002 when the device refuses the settings.
    virtual int SetLine(const LineSettings& settings) = 0;
    virtual LineSettings GetLine() const = 0;

    // Bytes read (0 when nothing is there), or a negative result on a device failure.
    virtual long Read(std::uint8_t* buffer, std::size_t size) = 0;
    // Bytes written (0 when the device cannot take more now), or a negative result.
    virtual long Write(const std::uint8_t* data, std::size_t length) = 0;
    // Bytes the device still holds for output (0 for a device without a transmit queue of
    // its own, such as a pseudo-terminal).
    virtual std::size_t OutputQueued() const = 0;

    virtual int FlushInput() = 0;
    virtual int FlushOutput() = 0;
    virtual int SetDTR(bool on) = 0;
    virtual int SetRTS(bool on) = 0;

    // Current states of CTS, DSR, RI and DCD in the high nibble (the bits of
    // ModemStatusBits). A device without modem lines reports CTS and DSR present.
    virtual std::uint8_t ModemLines() = 0;
    virtual bool HasModemLines() const = 0;
    // Counts of overrun, parity, framing and break errors since open.
    virtual std::array<std::uint32_t, 4> LineErrorCounts() = 0;

    // Hardware flow options (HWFlowOption set) and software flow (SWFlowOption) with the
    // XON/XOFF characters; -3002 when refused.
    virtual int SetFlow(int hwOptions, int swOptions, std::uint8_t xonChar,
                        std::uint8_t xoffChar) = 0;
};

} // namespace qpcomm
