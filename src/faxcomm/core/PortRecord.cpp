#include "faxcomm/core/PortRecord.h"

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>

namespace qpcomm {

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

void PortRecord::MarkDeviceFailed(std::uint32_t reason) {
    if (deviceFailed) {
        return;
    }
    deviceFailed = true;
    staged.clear();
    ++stagedGeneration;
    Log(ltDevice, lsFailed, reason);
    outputWake.notify_all();
    dataArrived.notify_all();
}

void PortRecord::EndCall(const std::shared_ptr<HandlerCall>& call, HandlerCall::State state) {
    call->state = state;
    std::erase(calls, call);
    callsChanged.notify_all();
    dispatchWake.notify_all();
}

void PortRecord::WithdrawPendingCalls(int handlerId) {
    const std::vector<std::shared_ptr<HandlerCall>> current = calls;
    for (const auto& call : current) {
        if (call->state == HandlerCall::State::Waiting &&
            (handlerId == 0 || call->handlerId == handlerId)) {
            EndCall(call, HandlerCall::State::Withdrawn);
        }
    }
}

bool PortRecord::CallInProgressElsewhere(int handlerId) const {
    return std::any_of(calls.begin(), calls.end(), [&](const auto& call) {
        if (handlerId != 0 && call->handlerId != handlerId) {
            return false;
        }
        return call->state == HandlerCall::State::Posting ||
               (call->state == HandlerCall::State::Running &&
                call->thread != std::this_thread::get_id());
    });
}

} // namespace qpcomm
