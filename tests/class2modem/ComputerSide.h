#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The computer's end of the emulated modem's serial line in the tests: opens the device
// in raw mode, sends command lines and data, and reads the modem's answers line by line
// or as DLE-framed page data.
class ComputerSide {
public:
    ComputerSide() = default;
    ~ComputerSide();
    ComputerSide(const ComputerSide&) = delete;
    ComputerSide& operator=(const ComputerSide&) = delete;

    bool Open(const std::string& device);
    void Close();
    int Fd() const { return fd_; }

    // Writes everything, waiting while the modem holds the line (flow control).
    bool Write(const std::string& bytes,
               std::chrono::milliseconds limit = std::chrono::seconds(20));
    bool Write(const std::vector<std::uint8_t>& bytes,
               std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Writes once without waiting; the count taken (0 when the modem holds the line).
    long TryWrite(const std::vector<std::uint8_t>& bytes);
    // Sends "text" and a carriage return.
    void Command(const std::string& text);
    // The next non-empty line of the modem's answers; control bytes before it (XON, ...)
    // are kept in ControlBytes().
    std::optional<std::string> Line(std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Sends a command and reads lines up to and including a final result code.
    std::vector<std::string> Exchange(const std::string& command,
                                      std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Reads lines up to and including a final result code.
    std::vector<std::string> Lines(std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Page data up to DLE ETX, DLE doubling undone; nothing on time-out.
    std::optional<std::vector<std::uint8_t>>
    PageData(std::chrono::milliseconds limit = std::chrono::seconds(20));
    // Waits until the control byte `byte` (XON, CAN, ...) arrives in front of any line.
    bool AwaitControl(char byte, std::chrono::milliseconds limit = std::chrono::seconds(5));
    // Nothing but bytes below 32 (or nothing) arrives within `limit`.
    bool Quiet(std::chrono::milliseconds limit);
    // Throws away what arrived, and what arrives within `limit`.
    void Flush(std::chrono::milliseconds limit);
    // Drops (true) or raises DTR: the output speed 0 on a pseudo-terminal.
    void DropDtr(bool dropped);

    const std::string& ControlBytes() const { return control_; }
    void ClearControlBytes() { control_.clear(); }
    // Everything the modem sent, as received.
    const std::string& Received() const { return received_; }

    static bool IsFinalResult(const std::string& line);

private:
    bool Fill(std::chrono::steady_clock::time_point deadline);

    int fd_ = -1;
    std::string buffer_;
    std::string control_;
    std::string received_;
};
