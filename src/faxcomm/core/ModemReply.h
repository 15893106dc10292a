#pragma once

#include <cstdlib>
#include <string>

#include "faxcomm/core/FaxCommandTable.h"

namespace qpfax {

// Small readers of modem reply lines shared by the Class 2 and 2.0 state handlers.

inline bool Has(const std::string& line, const char* text) {
    return line.find(text) != std::string::npos;
}

// The first character after a report's ':' (or '='), spaces skipped.
inline char ReportValue(const std::string& afterPrefix) {
    const std::size_t at = afterPrefix.find_first_of(":=");
    std::size_t i = at == std::string::npos ? 0 : at + 1;
    while (i < afterPrefix.size() && afterPrefix[i] == ' ') {
        ++i;
    }
    return i < afterPrefix.size() ? afterPrefix[i] : '\0';
}

// The hang-up code of a hang-up report line ("+FHNG:" / "+FHS:"): decimal in Class 2,
// hexadecimal in Class 2.0.
inline int HangupCodeOf(const FaxCommandTable& commands, const std::string& line, bool class20) {
    const std::string after = commands.After(line, FaxCommandTable::HangupReport);
    const std::size_t at = after.find_first_of(":=");
    const std::string digits = at == std::string::npos ? after : after.substr(at + 1);
    return static_cast<int>(std::strtol(digits.c_str(), nullptr, class20 ? 16 : 10));
}

} // namespace qpfax
