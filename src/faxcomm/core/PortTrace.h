#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace qpcomm {

// The trace of a port: every byte in or out as a (kind, byte) pair in a circular buffer of
// a fixed number of pairs; when full the oldest pairs are overwritten. Kind 'R' is a
// received byte, 'T' a transmitted one; other kinds mark special entries.
// Not thread-safe by itself: the port record's lock guards it.
class PortTrace {
public:
    struct Entry {
        char kind;
        std::uint8_t byte;
    };

    // Starts with room for `size` pairs (at least 1, at most MaxTraceSize).
    explicit PortTrace(std::size_t size);

    void Add(char kind, std::uint8_t byte);
    void Add(char kind, const std::uint8_t* data, std::size_t length);
    void Clear();
    bool Paused() const { return paused_; }
    void SetPaused(bool paused) { paused_ = paused; }

    std::size_t Size() const { return entries_.size(); }
    std::size_t Count() const { return count_; }
    // Entries from the oldest to the newest.
    std::vector<Entry> Entries() const;

    // The dump text: each change of kind starts a block with a blank line and the heading
    // "Receive: ", "Transmit: " or "Special-<kind>: ", followed by the block's bytes. Bytes
    // 32..126 (33..126 with `hex`) appear as themselves, others as "[" value "]", the value
    // in two upper-case hexadecimal digits with `hex`, in decimal without.
    std::string DumpText(bool hex) const;

    // Writes DumpText to `path`, replacing or appending; false when the file cannot be
    // written.
    bool DumpToFile(const std::string& path, bool append, bool hex) const;

private:
    std::vector<Entry> entries_;
    std::size_t next_ = 0;
    std::size_t count_ = 0;
    bool paused_ = false;
};

// The text a traced byte is written as (shared with the log dump).
std::string TraceByteText(std::uint8_t byte, bool hex);

} // namespace qpcomm
