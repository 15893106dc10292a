#include "faxcomm/core/Class1FrameLink.h"

#include "faxcomm/core/FaxEngine.h"
#include "faxcomm/core/ModemCommander.h"

namespace qpfax {

namespace {
constexpr int kFramePauseMs = 20;
constexpr std::size_t kReadChunk = 256;
} // namespace

void Class1FrameLink::Send(const std::vector<std::uint8_t>& frame) {
    PauseMs(kFramePauseMs);
    const std::vector<std::uint8_t> wire = Class1Frames::ForModem(frame);
    engine_.SendRaw(wire.data(), wire.size());
    engine_.ArmTimeout(engine_.Options().responseWaitTicks);
}

void Class1FrameLink::Listen() {
    engine_.SendCommand("AT+FRH=3");
}

void Class1FrameLink::StartReading() {
    reader_.Reset();
    reading_ = true;
}

bool Class1FrameLink::ReadFrame() {
    std::uint8_t chunk[kReadChunk];
    while (reading_) {
        const long got = engine_.ReadBlock(chunk, sizeof chunk);
        if (got <= 0) {
            return false;
        }
        const std::size_t used = reader_.Feed(chunk, static_cast<std::size_t>(got));
        if (used < static_cast<std::size_t>(got)) {
            engine_.PushBack(chunk + used, static_cast<std::size_t>(got) - used);
        }
        if (reader_.Complete()) {
            reading_ = false;
            if (!reader_.Frame().empty()) {
                lastFcf_ = reader_.Fcf();
                finalSeen_ = reader_.Final();
            }
        }
    }
    return true;
}

void Class1FrameLink::NewMessage() {
    finalSeen_ = false;
    lastFcf_ = 0;
    reading_ = false;
}

} // namespace qpfax
