#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The modem's side of a pseudo-terminal: the master, read and written without blocking,
// and one slave descriptor kept open for the whole life of the object so the master never
// reports a hang-up when the computer closes and reopens the port. The slave is raw from
// the start. Optionally a symlink names the slave (removed again on Close, if it still
// points there).
//
// A pseudo-terminal has no modem lines. Hardware flow control is played by stopping the
// slave's output (tcflow), which makes the computer's writes wait exactly as a real port
// waits for CTS; the computer's DTR is read from the slave's output speed (0 = dropped).
class ModemPty {
public:
    ModemPty() = default;
    ~ModemPty();
    ModemPty(const ModemPty&) = delete;
    ModemPty& operator=(const ModemPty&) = delete;

    // False with `error` set when the pseudo-terminal or the link cannot be made. An
    // existing symlink at `link` is replaced; any other file there is left alone (error).
    bool Open(const std::string& link, std::string& error);
    void Close();

    int MasterFd() const { return master_; }
    const std::string& SlavePath() const { return slavePath_; }
    // The name the computer opens: the link when there is one, else the slave.
    const std::string& DevicePath() const { return link_.empty() ? slavePath_ : link_; }

    // Bytes from the computer: the count, 0 when none are waiting, -1 on a lasting error.
    long Read(std::uint8_t* buffer, std::size_t size);
    // Bytes to the computer: the count taken (maybe 0 when its input is full), -1 on error.
    long Write(const char* data, std::size_t size);
    // Hardware flow: stop or release the computer's output.
    void HoldComputer(bool hold);
    bool DtrOn() const;

private:
    int master_ = -1;
    int slave_ = -1;
    bool holding_ = false;
    std::string slavePath_;
    std::string link_;
};
