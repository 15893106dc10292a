#pragma once

#include <atomic>
#include <mutex>
#include <string>

#include "faxcomm/core/SerialDevice.h"

// A device for tests that need what pseudo-terminals do not have: modem lines and line
// error counters the test sets, writes that fail or take time, and a record of what went
// out. Input comes through a pipe the test feeds.
class ScriptedDevice final : public qpcomm::SerialDevice {
public:
    std::atomic<std::uint8_t> lines{qpcomm::mslCTS | qpcomm::mslDSR};
    std::atomic<std::uint32_t> breaks{0};
    std::atomic<std::size_t> written{0};
    std::atomic<bool> failWrites{false};
    std::atomic<int> writeDelayMs{0};       // each write takes this long
    std::atomic<std::size_t> writeLimit{0}; // most bytes one write takes (0: all)
    std::atomic<int> writesStarted{0};

    ScriptedDevice();
    ~ScriptedDevice() override;
    ScriptedDevice(const ScriptedDevice&) = delete;
    ScriptedDevice& operator=(const ScriptedDevice&) = delete;

    // Bytes that arrive from the far end.
    void Feed(const std::string& bytes);
    // The output in order: the bytes the device accepted, and '|' for each output flush.
    std::string OutputHistory() const;

    int Open(const std::string&) override { return qpcomm::prOK; }
    void Close() override {}
    bool IsOpen() const override { return true; }
    int PollHandle() const override { return pipe_[0]; }
    int SetLine(const qpcomm::LineSettings& settings) override;
    qpcomm::LineSettings GetLine() const override;
    long Read(std::uint8_t* buffer, std::size_t size) override;
    long Write(const std::uint8_t* data, std::size_t length) override;
    std::size_t OutputQueued() const override { return 0; }
    int FlushInput() override { return qpcomm::prOK; }
    int FlushOutput() override;
    int SetDTR(bool) override { return qpcomm::prOK; }
    int SetRTS(bool) override { return qpcomm::prOK; }
    std::uint8_t ModemLines() override { return lines.load(); }
    bool HasModemLines() const override { return true; }
    std::array<std::uint32_t, 4> LineErrorCounts() override { return {0, 0, 0, breaks.load()}; }
    int SetFlow(int, int, std::uint8_t, std::uint8_t) override { return qpcomm::prOK; }

private:
    int pipe_[2] = {-1, -1};
    mutable std::mutex mutex_;
    qpcomm::LineSettings line_;
    std::string history_;
};
