#include "faxcomm/core/PortLog.h"

#include <algorithm>
#include <cstdio>

#include "faxcomm/core/PortConstants.h"
#include "faxcomm/core/PortTrace.h"

namespace qpcomm {

PortLog::PortLog(std::size_t size) : CircularEntries(size, MaxLogSize) {}

PortLog::Entry* PortLog::AddEntry(std::uint16_t type, std::uint16_t subType, std::uint32_t data,
                                  std::uint32_t otherData) {
    Entry* entry = Push();
    if (entry) {
        entry->time = std::chrono::duration_cast<std::chrono::milliseconds>(
            std::chrono::steady_clock::now() - start_);
        entry->type = type;
        entry->subType = subType;
        entry->data = data;
        entry->otherData = otherData;
        entry->bytes.clear();
    }
    return entry;
}

void PortLog::Add(std::uint16_t type, std::uint16_t subType, std::uint32_t data,
                  std::uint32_t otherData) {
    AddEntry(type, subType, data, otherData);
}

void PortLog::AddBlock(std::uint16_t type, std::uint16_t subType, const std::uint8_t* data,
                       std::size_t length) {
    if (Entry* entry = AddEntry(type, subType, static_cast<std::uint32_t>(length), 0)) {
        entry->bytes.assign(reinterpret_cast<const char*>(data), std::min(length, BlockBytesKept));
    }
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
    return WriteDumpFile(path, append, DumpText(hex));
}

} // namespace qpcomm
