#include "ScriptedDevice.h"

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <thread>
#include <unistd.h>

ScriptedDevice::ScriptedDevice() {
    [[maybe_unused]] const int made = ::pipe2(pipe_, O_NONBLOCK | O_CLOEXEC);
}

ScriptedDevice::~ScriptedDevice() {
    ::close(pipe_[0]);
    ::close(pipe_[1]);
}

void ScriptedDevice::Feed(const std::string& bytes) {
    [[maybe_unused]] const ssize_t count = ::write(pipe_[1], bytes.data(), bytes.size());
}

std::string ScriptedDevice::OutputHistory() const {
    std::lock_guard guard(mutex_);
    return history_;
}

int ScriptedDevice::SetLine(const qpcomm::LineSettings& settings) {
    std::lock_guard guard(mutex_);
    line_ = settings;
    return qpcomm::prOK;
}

qpcomm::LineSettings ScriptedDevice::GetLine() const {
    std::lock_guard guard(mutex_);
    return line_;
}

long ScriptedDevice::Read(std::uint8_t* buffer, std::size_t size) {
    const ssize_t count = ::read(pipe_[0], buffer, size);
    return count > 0 ? count : 0;
}

// A slow write is accepted only when it ends, as a UART takes bytes into its queue.
long ScriptedDevice::Write(const std::uint8_t* data, std::size_t length) {
    ++writesStarted;
    if (writeDelayMs.load() > 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(writeDelayMs.load()));
    }
    if (failWrites.load()) {
        return qpcomm::prPutBlockFail;
    }
    const std::size_t limit = writeLimit.load();
    const std::size_t taken = limit > 0 ? std::min(limit, length) : length;
    std::lock_guard guard(mutex_);
    history_.append(reinterpret_cast<const char*>(data), taken);
    written += taken;
    return static_cast<long>(taken);
}

int ScriptedDevice::FlushOutput() {
    std::lock_guard guard(mutex_);
    history_ += '|';
    return qpcomm::prOK;
}
