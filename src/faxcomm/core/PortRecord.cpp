#include "faxcomm/core/PortRecord.h"

#include <fcntl.h>
#include <unistd.h>

namespace qpcomm {

void DeliveryCompletion::Finish() {
    {
        std::lock_guard guard(mutex_);
        done_ = true;
    }
    finished_.notify_all();
}

bool DeliveryCompletion::WaitFor(std::chrono::milliseconds limit) {
    std::unique_lock guard(mutex_);
    return finished_.wait_for(guard, limit, [this] { return done_; });
}

PortRecord::PortRecord(std::unique_ptr<SerialDevice> serialDevice, std::size_t outputSize)
    : outSize(outputSize), device(std::move(serialDevice)) {
    if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        wakePipe[0] = wakePipe[1] = -1;
    }
}

PortRecord::~PortRecord() {
    for (int fd : wakePipe) {
        if (fd >= 0) {
            ::close(fd);
        }
    }
}

std::size_t PortRecord::OutputFree() const {
    const std::size_t used = OutputUsed();
    return used >= outSize ? 0 : outSize - used;
}

PortConditions PortRecord::Conditions() const {
    PortConditions conditions;
    conditions.modemLines = modemShadow & 0xF0;
    conditions.lineErrors = lineErrors;
    conditions.outputUsed = OutputUsed();
    conditions.outputFree = conditions.outputUsed >= outSize ? 0 : outSize - conditions.outputUsed;
    conditions.blocksWritten = blocksWritten;
    return conditions;
}

void PortRecord::TraceBytes(char kind, const std::uint8_t* data, std::size_t length) {
    if (trace) {
        trace->Add(kind, data, length);
    }
}

void PortRecord::Log(std::uint16_t type, std::uint16_t subType, std::uint32_t data,
                     std::uint32_t otherData) {
    if (log) {
        log->Add(type, subType, data, otherData);
    }
}

void PortRecord::WakeEventThread() const {
    if (wakePipe[1] >= 0) {
        const char byte = 1;
        [[maybe_unused]] ssize_t ignored = ::write(wakePipe[1], &byte, 1);
    }
}

} // namespace qpcomm
