#pragma once

#include <string>

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

} // namespace qpfax
