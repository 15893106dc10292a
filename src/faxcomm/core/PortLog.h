#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "faxcomm/core/CircularEntries.h"

namespace qpcomm {

// Entry types and subtypes of the port log.
enum LogEntryType : std::uint16_t {
    ltDevice = 1,  // subtypes: lsRead, lsWrite, lsLine, lsFlush, lsFailed
    ltTrigger = 2, // subtypes: lsAvail, lsData, lsTimer, lsStatus
    ltStatus = 3,  // subtypes: lsModem, lsLineError
    ltUser = 4,    // subtypes: lsOpen, lsClose, lsDTR, lsRTS, lsFlow
};
enum LogEntrySubType : std::uint16_t {
    lsRead = 1,
    lsWrite = 2,
    lsLine = 3,
    lsFlush = 4,
    lsFailed = 5,
    lsAvail = 1,
    lsData = 2,
    lsTimer = 3,
    lsStatus = 4,
    lsModem = 1,
    lsLineError = 2,
    lsOpen = 1,
    lsClose = 2,
    lsDTR = 3,
    lsRTS = 4,
    lsFlow = 5,
};

// One logged event: when (since the log started), its type and subtype and two data
// words; for a written block the byte count and its first bytes.
struct LogEntry {
    std::chrono::milliseconds time{};
    std::uint16_t type = 0;
    std::uint16_t subType = 0;
    std::uint32_t data = 0;
    std::uint32_t otherData = 0;
    std::string bytes; // start of a written block
};

// The log of a port: a circle of entries; when full the oldest are overwritten.
// Not thread-safe by itself: the port record's lock guards it.
class PortLog final : public CircularEntries<LogEntry> {
public:
    using Entry = LogEntry;

    // Bytes of a written block kept with its entry.
    static constexpr std::size_t BlockBytesKept = 16;

    // Starts with room for `size` entries (at least 1, at most MaxLogSize).
    explicit PortLog(std::size_t size);

    void Add(std::uint16_t type, std::uint16_t subType, std::uint32_t data,
             std::uint32_t otherData = 0);
    void AddBlock(std::uint16_t type, std::uint16_t subType, const std::uint8_t* data,
                  std::size_t length);

    // The dump: the two heading lines, then one line per entry: the time in seconds since
    // the log started, the type and subtype names, the data word and the other data (the
    // block's first bytes in trace notation for written blocks).
    std::string DumpText(bool hex) const;
    bool DumpToFile(const std::string& path, bool append, bool hex) const;

private:
    Entry* AddEntry(std::uint16_t type, std::uint16_t subType, std::uint32_t data,
                    std::uint32_t otherData);

    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

} // namespace qpcomm
