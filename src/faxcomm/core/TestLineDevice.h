#pragma once

#include "faxcomm/core/PosixSerialDevice.h"
#include "faxcomm/core/TestLine.h"

namespace qpcomm {

// The port device of the built-in test line: opening it starts the test line and opens
// its pseudo-terminal like any serial device; closing it ends the test line. Everything
// else is the pseudo-terminal's.
class TestLineDevice final : public SerialDevice {
public:
    explicit TestLineDevice(TestLine::Options options = TestLine::DefaultOptions());
    ~TestLineDevice() override;

    // `name` is ignored: the test line chooses its own pseudo-terminal.
    int Open(const std::string& name) override;
    void Close() override;
    bool IsOpen() const override { return pty_.IsOpen(); }
    int PollHandle() const override { return pty_.PollHandle(); }

    int SetLine(const LineSettings& settings) override { return pty_.SetLine(settings); }
    LineSettings GetLine() const override { return pty_.GetLine(); }
    long Read(std::uint8_t* buffer, std::size_t size) override { return pty_.Read(buffer, size); }
    long Write(const std::uint8_t* data, std::size_t length) override {
        return pty_.Write(data, length);
    }
    std::size_t OutputQueued() const override { return pty_.OutputQueued(); }
    int FlushInput() override { return pty_.FlushInput(); }
    int FlushOutput() override { return pty_.FlushOutput(); }
    int SetDTR(bool on) override { return pty_.SetDTR(on); }
    int SetRTS(bool on) override { return pty_.SetRTS(on); }
    std::uint8_t ModemLines() override { return pty_.ModemLines(); }
    bool HasModemLines() const override { return pty_.HasModemLines(); }
    std::array<std::uint32_t, 4> LineErrorCounts() override { return pty_.LineErrorCounts(); }
    int SetFlow(int hwOptions, int swOptions, std::uint8_t xonChar,
                std::uint8_t xoffChar) override {
        return pty_.SetFlow(hwOptions, swOptions, xonChar, xoffChar);
    }

    // The reason the last Open failed, for people.
    const std::string& LastError() const { return error_; }

private:
    TestLine::Options options_;
    TestLine line_;
    PosixSerialDevice pty_;
    std::string error_;
};

} // namespace qpcomm
