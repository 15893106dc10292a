#pragma once

#include <string>

namespace qpfax {

// What a fax history line tells.
struct FaxHistoryEntry {
    int code = 0; // FaxLogCode
    std::string faxFile;
    std::string phoneNumber;
    std::string remoteId;
    int errorCode = 0;
    int hangupCode = 0;
};

// The text of a history entry (without the final line end); `time` is the date and time
// to show. CR LF inside it starts a new line.
std::string FaxHistoryText(const FaxHistoryEntry& entry, const std::string& time);
// The current date and time as history lines show it.
std::string FaxHistoryTimeNow();
// Appends the entry and a line end to the file; 0 or the negated system error.
int AppendFaxHistory(const std::string& path, const FaxHistoryEntry& entry);

} // namespace qpfax
