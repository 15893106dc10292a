#pragma once

#include <QString>

#include <string>

class TTableAdapter;

// Helpers shared by the main window tests: a clean data folder, settings that skip the
// first-start preferences and rows put into the tables.
namespace fixtures {

// Removes every file of the data folder (tables must be closed).
void ClearDataFolder();

// Writes a settings file with port 0 so that the preferences do not open at start.
void WriteConfiguredSettings();

struct SentFax {
    std::string subject;
    bool sent = false;
    std::string date; // "YYYYMMDD" or empty
    std::string time;
    std::string recipient;
    std::string phone;
    int pages = 0;
    std::string result;
};
void AddSentFax(TTableAdapter& table, const SentFax& fax);

struct ReceivedFax {
    std::string date;
    std::string time;
    std::string from;
    int pages = 0;
    std::string faxFile;
    std::string notes;
};
void AddReceivedFax(TTableAdapter& table, const ReceivedFax& fax);

QString DataPath(const QString& name);

} // namespace fixtures
