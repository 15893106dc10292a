#pragma once

#include <array>
#include <string>

#include "faxcomm/core/FaxCodes.h"

namespace qpfax {

// The class-specific commands and report prefixes of a Class 2 or Class 2.0 modem:
// commands are "AT+F" + suffix, reports "+F" + suffix, the hang-up report the suffix
// alone. Reports are matched as substrings of a response line.
class FaxCommandTable {
public:
    enum Entry : int {
        SelectClass,
        ModelQuery,
        MakerQuery,
        RevisionQuery,
        SessionParameters,
        LocalId,
        Capabilities,
        ConnectReport,
        RemoteCapabilitiesReport,
        NegotiatedReport,
        TransmittingStationReport,
        CalledStationReport,
        PageStatusReport,
        HangupReport,
        EntryCount
    };

    FaxCommandTable() = default;
    explicit FaxCommandTable(FaxClassInUse faxClass);

    const std::string& Text(Entry entry) const { return entries_[entry]; }
    bool Has(const std::string& line, Entry entry) const {
        return !entries_[entry].empty() && line.find(entries_[entry]) != std::string::npos;
    }
    // The text after the entry's report prefix, or empty.
    std::string After(const std::string& line, Entry entry) const;

private:
    std::array<std::string, EntryCount> entries_{};
};

} // namespace qpfax
