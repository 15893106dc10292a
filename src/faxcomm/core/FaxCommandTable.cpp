#include "faxcomm/core/FaxCommandTable.h"

namespace qpfax {

namespace {

struct Suffixes {
    const char* class2;
    const char* class2_0;
    bool command;
};

// clang-format off
constexpr std::array<Suffixes, FaxCommandTable::EntryCount> kSuffixes = {{
    {"CLASS=2", "CLASS=2.0", true},
    {"MDL?", "MI?", true},
    {"MFR?", "MM?", true},
    {"REV?", "MR?", true},
    {"DIS", "IS", true},
    {"LID", "LI", true},
    {"DCC", "CC", true},
    {"CON", "CO", false},
    {"DIS", "IS", false},
    {"DCS", "CS", false},
    {"TSI", "TI", false},
    {"CSI", "CI", false},
    {"PTS", "PS", false},
    {"FHNG", "FHS", false},
}};
// clang-format on

} // namespace

FaxCommandTable::FaxCommandTable(FaxClassInUse faxClass) {
    if (faxClass != ciClass2 && faxClass != ciClass2_0) {
        return;
    }
    for (int i = 0; i < EntryCount; ++i) {
        const Suffixes& s = kSuffixes[static_cast<std::size_t>(i)];
        const std::string suffix = faxClass == ciClass2 ? s.class2 : s.class2_0;
        if (i == HangupReport) {
            entries_[static_cast<std::size_t>(i)] = suffix;
        } else {
            entries_[static_cast<std::size_t>(i)] = (s.command ? "AT+F" : "+F") + suffix;
        }
    }
}

std::string FaxCommandTable::After(const std::string& line, Entry entry) const {
    const std::string& prefix = entries_[entry];
    const std::size_t at = prefix.empty() ? std::string::npos : line.find(prefix);
    if (at == std::string::npos) {
        return {};
    }
    return line.substr(at + prefix.size());
}

} // namespace qpfax
