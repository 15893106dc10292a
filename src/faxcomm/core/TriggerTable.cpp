#include "faxcomm/core/TriggerTable.h"

#include <algorithm>
#include <cctype>

#include "faxcomm/core/ReceiveBuffer.h"

namespace qpcomm {

namespace {

template <typename Table>
int FreeSlot(const Table& table) {
    for (std::size_t i = 0; i < table.size(); ++i) {
        if (!table[i]) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::uint8_t Upper(std::uint8_t byte) {
    return static_cast<std::uint8_t>(std::toupper(byte));
}

TriggerMessage Message(std::uint16_t id, std::uint16_t wParam, std::uint16_t data = 0) {
    return TriggerMessage{id, wParam, data};
}

} // namespace

int TriggerTable::AllocateHandle(Kind kind, int slot) {
    for (std::size_t i = 0; i < handles_.size(); ++i) {
        if (handles_[i].kind == Kind::Free) {
            handles_[i] = HandleEntry{kind, slot};
            return static_cast<int>(i) + FirstTriggerHandle;
        }
    }
    return prNoMoreTriggers;
}

const TriggerTable::HandleEntry* TriggerTable::Entry(int handle) const {
    if (handle < FirstTriggerHandle || handle > LastTriggerHandle) {
        return nullptr;
    }
    const HandleEntry& entry = handles_[handle - FirstTriggerHandle];
    return entry.kind == Kind::Free ? nullptr : &entry;
}

int TriggerTable::UsedHandles() const {
    return static_cast<int>(
        std::count_if(handles_.begin(), handles_.end(),
                      [](const HandleEntry& e) { return e.kind != Kind::Free; }));
}

int TriggerTable::StatusKind(int handle) const {
    const HandleEntry* entry = Entry(handle);
    if (!entry || entry->kind != Kind::Status) {
        return prBadTriggerHandle;
    }
    return statusTriggers_[entry->slot]->kind;
}

int TriggerTable::AddTimer() {
    const int slot = FreeSlot(timers_);
    if (slot < 0) {
        return prNoMoreTriggers;
    }
    const int handle = AllocateHandle(Kind::Timer, slot);
    if (handle > 0) {
        timers_[slot] = Timer{handle, 0, false, Clock::time_point{}};
    }
    return handle;
}

int TriggerTable::AddData(const std::string& text, bool ignoreCase) {
    if (text.empty()) {
        return prBadArgument;
    }
    if (text.size() > MaxDataTriggerLength) {
        return prTriggerTooLong;
    }
    const int slot = FreeSlot(dataTriggers_);
    if (slot < 0) {
        return prNoMoreTriggers;
    }
    const int handle = AllocateHandle(Kind::Data, slot);
    if (handle > 0) {
        DataTrigger trigger{handle, text, ignoreCase, {}};
        if (ignoreCase) {
            std::transform(trigger.text.begin(), trigger.text.end(), trigger.text.begin(),
                           [](char c) { return static_cast<char>(Upper(c)); });
        }
        dataTriggers_[slot] = std::move(trigger);
    }
    return handle;
}

int TriggerTable::AddStatus(int kind) {
    if (kind < 0 || kind > MaxStatusTriggerKind) {
        return prBadArgument;
    }
    const int slot = FreeSlot(statusTriggers_);
    if (slot < 0) {
        return prNoMoreTriggers;
    }
    const int handle = AllocateHandle(Kind::Status, slot);
    if (handle > 0) {
        statusTriggers_[slot] = StatusTrigger{handle, kind, false, 0, PortConditions{}};
    }
    return handle;
}

int TriggerTable::Remove(int handle) {
    const HandleEntry* entry = Entry(handle);
    if (!entry) {
        return prBadTriggerHandle;
    }
    switch (entry->kind) {
    case Kind::Timer:
        timers_[entry->slot].reset();
        break;
    case Kind::Data:
        dataTriggers_[entry->slot].reset();
        std::erase(pendingMatches_, handle);
        break;
    case Kind::Status:
        statusTriggers_[entry->slot].reset();
        break;
    case Kind::Free:
        break;
    }
    handles_[handle - FirstTriggerHandle] = HandleEntry{};
    return prOK;
}

void TriggerTable::RemoveAll() {
    handles_.fill(HandleEntry{});
    timers_.fill(std::nullopt);
    dataTriggers_.fill(std::nullopt);
    statusTriggers_.fill(std::nullopt);
    pendingMatches_.clear();
}

TriggerTable TriggerTable::SetUpOf(const std::vector<int>& keep) const {
    TriggerTable setUp = *this;
    for (int handle = FirstTriggerHandle; handle <= LastTriggerHandle; ++handle) {
        if (setUp.Entry(handle) && std::find(keep.begin(), keep.end(), handle) == keep.end()) {
            setUp.Remove(handle);
        }
    }
    for (auto& timer : setUp.timers_) {
        if (timer) {
            timer->active = false;
        }
    }
    for (auto& trigger : setUp.statusTriggers_) {
        if (trigger) {
            trigger->active = false;
        }
    }
    setUp.ResetDataScan();
    return setUp;
}

int TriggerTable::SetTimer(int handle, long ticks, bool active, Clock::time_point now) {
    const HandleEntry* entry = Entry(handle);
    if (!entry || entry->kind != Kind::Timer) {
        return prBadTriggerHandle;
    }
    Timer& timer = *timers_[entry->slot];
    if (!active) {
        timer.active = false;
        return prOK;
    }
    if (ticks > 0) {
        timer.ticks = ticks;
    }
    timer.active = true;
    timer.deadline = now + std::chrono::milliseconds(TicksToMilliseconds(timer.ticks));
    return prOK;
}

int TriggerTable::ActivateStatus(int handle, bool active, std::uint32_t value,
                                 const PortConditions& now) {
    const HandleEntry* entry = Entry(handle);
    if (!entry || entry->kind != Kind::Status) {
        return prBadTriggerHandle;
    }
    StatusTrigger& trigger = *statusTriggers_[entry->slot];
    trigger.active = active && trigger.kind != skNone;
    trigger.value = value;
    trigger.baseline = now;
    return prOK;
}

void TriggerTable::ResetDataScan() {
    for (auto& trigger : dataTriggers_) {
        if (trigger) {
            trigger->window.clear();
        }
    }
    scanned_ = 0;
    reported_ = 0;
    pendingMatches_.clear();
}

void TriggerTable::BytesTaken(std::size_t count) {
    scanned_ -= std::min(count, scanned_);
    reported_ -= std::min(count, reported_);
}

std::optional<TriggerTable::Clock::time_point> TriggerTable::NextTimerDeadline() const {
    std::optional<Clock::time_point> earliest;
    for (const auto& timer : timers_) {
        if (timer && timer->active && (!earliest || timer->deadline < *earliest)) {
            earliest = timer->deadline;
        }
    }
    return earliest;
}

void TriggerTable::BeginPass() {
    firedThisPass_.reset();
    heldBack_ = false;
}

std::optional<TriggerMessage> TriggerTable::NextFiring(Clock::time_point now,
                                                       const PortConditions& port,
                                                       const ReceiveBuffer& received) {
    if (auto message = FiringTimer(now)) {
        return message;
    }
    if (auto message = FiringStatus(port)) {
        return message;
    }
    return FiringData(received);
}

std::optional<TriggerMessage> TriggerTable::FiringTimer(Clock::time_point now) {
    for (auto& timer : timers_) {
        if (timer && timer->active && timer->deadline <= now) {
            timer->active = false;
            return Message(msgTriggerTimer, static_cast<std::uint16_t>(timer->handle));
        }
    }
    return std::nullopt;
}

bool TriggerTable::StatusConditionMet(const StatusTrigger& trigger, const PortConditions& port,
                                      std::uint16_t& data) const {
    switch (trigger.kind) {
    case skModem: {
        const std::uint8_t changed =
            (port.modemLines ^ trigger.baseline.modemLines) & trigger.value & 0xF0;
        data = port.modemLines;
        return changed != 0;
    }
    case skLine: {
        static const std::uint16_t flags[4] = {lfeOverrun, lfeParity, lfeFraming, lfeBreak};
        std::uint16_t occurred = 0;
        for (int i = 0; i < 4; ++i) {
            if ((trigger.value & (1u << i)) &&
                port.lineErrors[i] > trigger.baseline.lineErrors[i]) {
                occurred |= flags[i];
            }
        }
        data = occurred;
        return occurred != 0;
    }
    case skOutBuffFree:
        data = static_cast<std::uint16_t>(std::min<std::size_t>(port.outputFree, 0xFFFF));
        return port.outputFree >= trigger.value;
    case skOutBuffUsed:
        data = static_cast<std::uint16_t>(std::min<std::size_t>(port.outputUsed, 0xFFFF));
        return port.outputUsed <= trigger.value;
    case skOutSent:
        return port.blocksWritten > trigger.baseline.blocksWritten;
    default:
        return false;
    }
}

std::optional<TriggerMessage> TriggerTable::FiringStatus(const PortConditions& port) {
    for (auto& trigger : statusTriggers_) {
        std::uint16_t data = 0;
        if (!trigger || !trigger->active || !StatusConditionMet(*trigger, port, data)) {
            continue;
        }
        if (firedThisPass_.test(trigger->handle)) {
            heldBack_ = true;
            continue;
        }
        firedThisPass_.set(trigger->handle);
        trigger->active = false;
        return Message(msgTriggerStatus, static_cast<std::uint16_t>(trigger->handle), data);
    }
    return std::nullopt;
}

bool TriggerTable::AdvanceDataTrigger(DataTrigger& trigger, std::uint8_t byte) {
    trigger.window.push_back(static_cast<char>(trigger.ignoreCase ? Upper(byte) : byte));
    if (trigger.window.size() > trigger.text.size()) {
        trigger.window.erase(0, trigger.window.size() - trigger.text.size());
    }
    if (trigger.window == trigger.text) {
        trigger.window.clear();
        return true;
    }
    return false;
}

// Received data: each byte not yet scanned advances every data-match trigger. When a
// string is completed, the bytes before it are first reported with a data-available
// message if at least the threshold of them is unreported; then a data-match message goes
// out for each completed trigger. Without a match, a data-available message reports the
// bytes waiting once they reach the threshold and new bytes have come since the last one.
std::optional<TriggerMessage> TriggerTable::FiringData(const ReceiveBuffer& received) {
    if (!pendingMatches_.empty()) {
        const int handle = pendingMatches_.front();
        pendingMatches_.pop_front();
        return Message(msgTriggerData, static_cast<std::uint16_t>(handle));
    }
    std::uint8_t byte = 0;
    while (received.PeekAt(scanned_, byte)) {
        ++scanned_;
        std::size_t longest = 0;
        for (auto& trigger : dataTriggers_) {
            if (trigger && AdvanceDataTrigger(*trigger, byte)) {
                pendingMatches_.push_back(trigger->handle);
                longest = std::max(longest, trigger->text.size());
            }
        }
        if (pendingMatches_.empty()) {
            continue;
        }
        const std::size_t before = scanned_ - std::min(longest, scanned_);
        if (availThreshold_ > 0 && before > reported_ && before - reported_ >= availThreshold_) {
            reported_ = before;
            return Message(msgTriggerAvail, static_cast<std::uint16_t>(before));
        }
        return FiringData(received);
    }
    const std::size_t waiting = received.Count();
    if (availThreshold_ > 0 && waiting >= availThreshold_ && waiting > reported_) {
        reported_ = waiting;
        return Message(msgTriggerAvail,
                       static_cast<std::uint16_t>(std::min<std::size_t>(waiting, 0xFFFF)));
    }
    return std::nullopt;
}

} // namespace qpcomm
