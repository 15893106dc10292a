#pragma once

#include <termios.h>

#include "faxcomm/core/SerialDevice.h"

namespace qpcomm {

// A serial device through POSIX termios: opened non-blocking in raw mode, held exclusively
// with TIOCEXCL and flock. Devices without modem control lines (pseudo-terminals) are
// accepted: their DTR is dropped by setting the output speed to 0, and their modem status
// shows CTS and DSR present.
class PosixSerialDevice final : public SerialDevice {
public:
    PosixSerialDevice() = default;
    ~PosixSerialDevice() override;
    PosixSerialDevice(const PosixSerialDevice&) = delete;
    PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

    int Open(const std::string& name) override;
    void Close() override;
    bool IsOpen() const override { return fd_ >= 0; }
    int PollHandle() const override { return fd_; }

    int SetLine(const LineSettings& settings) override;
    LineSettings GetLine() const override;

    long Read(std::uint8_t* buffer, std::size_t size) override;
    long Write(const std::uint8_t* data, std::size_t length) override;
    std::size_t OutputQueued() const override;

    int FlushInput() override;
    int FlushOutput() override;
    int SetDTR(bool on) override;
    int SetRTS(bool on) override;

    std::uint8_t ModemLines() override;
    bool HasModemLines() const override { return hasModemLines_; }
    std::array<std::uint32_t, 4> LineErrorCounts() override;

    int SetFlow(int hwOptions, int swOptions, std::uint8_t xonChar, std::uint8_t xoffChar) override;

    // Maps a system error number of open() to a port result code.
    static int OpenErrorCode(int error);

private:
    int ApplyTermios(const termios& settings);
    int SetModemLine(int line, bool on);

    int fd_ = -1;
    bool hasModemLines_ = true;
    bool dtrDropped_ = false;
    speed_t lineSpeed_ = B19200;
};

} // namespace qpcomm
