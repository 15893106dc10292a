#include "faxcomm/core/PortTrace.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "faxcomm/core/PortConstants.h"

namespace qpcomm {

std::string TraceByteText(std::uint8_t byte, bool hex) {
    const int first = hex ? 33 : 32;
    if (byte >= first && byte <= 126) {
        return std::string(1, static_cast<char>(byte));
    }
    char text[8];
    std::snprintf(text, sizeof text, hex ? "[%02X]" : "[%d]", byte);
    return text;
}

PortTrace::PortTrace(std::size_t size) : entries_(std::clamp<std::size_t>(size, 1, MaxTraceSize)) {}

void PortTrace::Add(char kind, std::uint8_t byte) {
    if (paused_) {
        return;
    }
    entries_[next_] = Entry{kind, byte};
    next_ = (next_ + 1) % entries_.size();
    count_ = std::min(count_ + 1, entries_.size());
}

void PortTrace::Add(char kind, const std::uint8_t* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        Add(kind, data[i]);
    }
}

void PortTrace::Clear() {
    next_ = 0;
    count_ = 0;
}

std::vector<PortTrace::Entry> PortTrace::Entries() const {
    std::vector<Entry> result;
    result.reserve(count_);
    const std::size_t first = (next_ + entries_.size() - count_) % entries_.size();
    for (std::size_t i = 0; i < count_; ++i) {
        result.push_back(entries_[(first + i) % entries_.size()]);
    }
    return result;
}

namespace {

std::string BlockHeading(char kind) {
    switch (kind) {
    case 'R':
        return "Receive: ";
    case 'T':
        return "Transmit: ";
    default:
        return std::string("Special-") + kind + ": ";
    }
}

} // namespace

std::string PortTrace::DumpText(bool hex) const {
    std::string text;
    char currentKind = 0;
    for (const Entry& entry : Entries()) {
        if (entry.kind != currentKind) {
            if (currentKind != 0) {
                text += "\n";
            }
            text += "\n" + BlockHeading(entry.kind);
            currentKind = entry.kind;
        }
        text += TraceByteText(entry.byte, hex);
    }
    if (currentKind != 0) {
        text += "\n";
    }
    return text;
}

bool PortTrace::DumpToFile(const std::string& path, bool append, bool hex) const {
    std::ofstream file(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    if (!file) {
        return false;
    }
    file << DumpText(hex);
    return static_cast<bool>(file.flush());
}

} // namespace qpcomm
