#include "faxcomm/core/PortLog.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "faxcomm/core/PortConstants.h"
#include "faxcomm/core/PortTrace.h"

namespace qpcomm {

PortLog::PortLog(std::size_t size) : entries_(std::clamp<std::size_t>(size, 1, MaxLogSize)) {}

void PortLog::Add(std::uint16_t type, std::uint16_t subType, std::uint32_t data,
                  std::uint32_t otherData) {
    if (paused_) {
        return;
    }
    Entry& entry = entries_[next_];
    entry.time = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start_);
    entry.type = type;
    entry.subType = subType;
    entry.data = data;
    entry.otherData = otherData;
    entry.bytes.clear();
    next_ = (next_ + 1) % entries_.size();
    count_ = std::min(count_ + 1, entries_.size());
}

void PortLog::AddBlock(std::uint16_t type, std::uint16_t subType, const std::uint8_t* data,
                       std::size_t length) {
    if (paused_) {
        return;
    }
    const std::size_t slot = next_;
    Add(type, subType, static_cast<std::uint32_t>(length));
    entries_[slot].bytes.assign(reinterpret_cast<const char*>(data),
                                std::min(length, BlockBytesKept));
}

void PortLog::Clear() {
    next_ = 0;
    count_ = 0;
}

std::vector<PortLog::Entry> PortLog::Entries() const {
    std::vector<Entry> result;
    result.reserve(count_);
    const std::size_t first = (next_ + entries_.size() - count_) % entries_.size();
    for (std::size_t i = 0; i < count_; ++i) {
        result.push_back(entries_[(first + i) % entries_.size()]);
    }
    return result;
}

namespace {

const char* TypeName(std::uint16_t type) {
    switch (type) {
    case ltDevice:
        return "Device";
    case ltTrigger:
        return "Trigger";
    case ltStatus:
        return "Status";
    case ltUser:
        return "User";
    default:
        return "Other";
    }
}

const char* SubTypeName(std::uint16_t type, std::uint16_t subType) {
    static const char* const device[] = {"?", "Read", "Write", "LineSet", "Flush", "Failed"};
    static const char* const trigger[] = {"?", "Avail", "Data", "Timer", "Status"};
    static const char* const status[] = {"?", "ModemStatus", "LineError"};
    static const char* const user[] = {"?", "Open", "Close", "DTR", "RTS", "Flow"};
    switch (type) {
    case ltDevice:
        return subType < 6 ? device[subType] : "?";
    case ltTrigger:
        return subType < 5 ? trigger[subType] : "?";
    case ltStatus:
        return subType < 3 ? status[subType] : "?";
    case ltUser:
        return subType < 6 ? user[subType] : "?";
    default:
        return "?";
    }
}

std::string EntryLine(const PortLog::Entry& entry, bool hex) {
    char head[96];
    std::snprintf(head, sizeof head, "%-10.3f%-10s%-14s%4u  ", entry.time.count() / 1000.0,
                  TypeName(entry.type), SubTypeName(entry.type, entry.subType), entry.data);
    std::string line = head;
    if (entry.type == ltDevice && entry.subType == lsWrite) {
        for (char byte : entry.bytes) {
            line += TraceByteText(static_cast<std::uint8_t>(byte), hex);
        }
        if (entry.data > entry.bytes.size()) {
            line += "...";
        }
    } else {
        line += std::to_string(entry.otherData);
    }
    return line + "\n";
}

} // namespace

std::string PortLog::DumpText(bool hex) const {
    std::string text = "Time      Type      SubType       Data  OtherData\n"
                       "----      ----      -------       ----  ---------\n";
    for (const Entry& entry : Entries()) {
        text += EntryLine(entry, hex);
    }
    return text;
}

bool PortLog::DumpToFile(const std::string& path, bool append, bool hex) const {
    std::ofstream file(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    if (!file) {
        return false;
    }
    file << DumpText(hex);
    return static_cast<bool>(file.flush());
}

} // namespace qpcomm
