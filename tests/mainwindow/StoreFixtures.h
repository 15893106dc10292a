#pragma once

#include <QString>

#include <functional>
#include <string>

class QWidget;
class TTableAdapter;

// Helpers shared by the main window tests: a clean data folder, settings that skip the
// first-start preferences, rows put into the tables, and answers to modal windows.
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

// Runs `action` on the next modal window that opens (polling the event loop), e.g. to
// fill in and accept a dialog that the code under test shows with exec().
void OnNextModal(std::function<void(QWidget*)> action);

QString DataPath(const QString& name);

} // namespace fixtures
