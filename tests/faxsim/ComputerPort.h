#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The computer's side of a simulated modem in the tests: opens the device a fax program
// would open, writes commands, frames and data, and reads result lines, received frames
// and received data. Plain byte handling, no fax logic.
class ComputerPort {
public:
    using Ms = std::chrono::milliseconds;

    ComputerPort() = default;
    ~ComputerPort();
    ComputerPort(const ComputerPort&) = delete;
    ComputerPort& operator=(const ComputerPort&) = delete;

    bool Open(const std::string& path);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }
    int Fd() const { return fd_; }

    void Write(const std::string& bytes);
    // Writes `command` and a carriage return; returns the next line.
    std::optional<std::string> Command(const std::string& command, Ms limit = Ms(5000));
    // The next non-empty line (CR or LF ends it).
    std::optional<std::string> Line(Ms limit = Ms(5000));
    // Reads lines until one equals `line`.
    bool WaitForLine(const std::string& line, Ms limit);
    // Data up to DLE ETX, with DLE DLE undone; bytes before an HDLC frame's 0xFF are
    // dropped when `frame` is set.
    std::optional<std::vector<std::uint8_t>> Data(Ms limit, bool frame = false);
    // Writes an HDLC frame (stuffed) followed by DLE ETX.
    void SendFrame(const std::vector<std::uint8_t>& frame);
    // Writes data (stuffed) followed by DLE ETX.
    void SendData(const std::vector<std::uint8_t>& data);
    // Sets the line speed (0 drops DTR).
    bool SetSpeed(unsigned speed);
    // Bytes received but not yet consumed.
    std::string& Pending() { return buffer_; }
    // Waits for more input; false on time-out.
    bool Fill(Ms limit);

private:
    int fd_ = -1;
    std::string buffer_;
};

// A CSI/TSI frame as a Class 1 program sends it: the ID reversed behind blanks.
std::vector<std::uint8_t> IdentFrame(std::uint8_t fcf, const std::string& ident);
// The ID in a received CSI/TSI frame (its 20 bytes reversed, blanks around it removed).
std::string FrameIdent(const std::vector<std::uint8_t>& frame);
