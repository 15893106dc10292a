#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "faxcomm/core/CircularEntries.h"

namespace qpcomm {

// One traced byte: kind 'R' received, 'T' transmitted, other kinds for special entries.
struct TraceEntry {
    char kind;
    std::uint8_t byte;
};

// The trace of a port: every byte in or out as a (kind, byte) pair in a circle of a fixed
// number of pairs; when full the oldest pairs are overwritten.
// Not thread-safe by itself: the port record's lock guards it.
class PortTrace final : public CircularEntries<TraceEntry> {
public:
    using Entry = TraceEntry;

    // Starts with room for `size` pairs (at least 1, at most MaxTraceSize).
    explicit PortTrace(std::size_t size);

    void Add(char kind, std::uint8_t byte);
    void Add(char kind, const std::uint8_t* data, std::size_t length);

    // The dump text: each change of kind starts a block with a blank line and the heading
    // "Receive: ", "Transmit: " or "Special-<kind>: ", followed by the block's bytes. Bytes
    // 32..126 (33..126 with `hex`) appear as themselves, others as "[" value "]", the value
    // in two upper-case hexadecimal digits with `hex`, in decimal without.
    std::string DumpText(bool hex) const;

    // Writes DumpText to `path`, replacing or appending; false when the file cannot be
    // written.
    bool DumpToFile(const std::string& path, bool append, bool hex) const;
};

// The text a traced byte is written as (shared with the log dump).
std::string TraceByteText(std::uint8_t byte, bool hex);
// Writes a dump to `path`, replacing or appending; false when the file cannot be written
// (shared with the log dump).
bool WriteDumpFile(const std::string& path, bool append, const std::string& text);

} // namespace qpcomm
