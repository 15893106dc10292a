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

bool WriteDumpFile(const std::string& path, bool append, const std::string& text) {
    std::ofstream file(path, std::ios::binary | (append ? std::ios::app : std::ios::trunc));
    if (!file) {
        return false;
    }
    file << text;
    return static_cast<bool>(file.flush());
}

PortTrace::PortTrace(std::size_t size) : CircularEntries(size, MaxTraceSize) {}

void PortTrace::Add(char kind, std::uint8_t byte) {
    if (Entry* entry = Push()) {
        *entry = Entry{kind, byte};
    }
}

void PortTrace::Add(char kind, const std::uint8_t* data, std::size_t length) {
    for (std::size_t i = 0; i < length; ++i) {
        Add(kind, data[i]);
    }
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
    return WriteDumpFile(path, append, DumpText(hex));
}

} // namespace qpcomm
