#include "StoreFixtures.h"

#include "store/TTableAdapter.h"
#include "common/DataFolder.h"
#include "common/IniFile.h"
#include "common/Settings.h"

#include <filesystem>

namespace fixtures {

void ClearDataFolder() {
    namespace fs = std::filesystem;
    for (const auto& entry : fs::directory_iterator(DataFolder())) {
        // The runtime folder and the single-instance lock belong to the test process.
        const std::string name = entry.path().filename().string();
        if (name == "runtime" || name.ends_with(".lock")) {
            continue;
        }
        fs::remove_all(entry.path());
    }
}

void WriteConfiguredSettings() {
    IniFile ini(SettingsFileName());
    ini.WriteInteger("Modem", "ComPort", 0);
    ini.Save();
}

void AddSentFax(TTableAdapter& table, const SentFax& fax) {
    table.Append();
    table.SetFieldString("SUBJECT", fax.subject);
    table.SetFieldLogical("SENT", fax.sent);
    table.SetFieldDate("DATESENT", fax.date);
    table.SetFieldString("TIMESENT", fax.time);
    table.SetFieldString("RECIPIENT", fax.recipient);
    table.SetFieldString("PHONE", fax.phone);
    table.SetFieldNumber("PAGES", fax.pages);
    table.SetFieldString("LASTRESULT", fax.result);
    table.Post();
}

void AddReceivedFax(TTableAdapter& table, const ReceivedFax& fax) {
    table.Append();
    table.SetFieldDate("DATEREC", fax.date);
    table.SetFieldString("TIMEREC", fax.time);
    table.SetFieldString("FROM", fax.from);
    table.SetFieldNumber("PAGES", fax.pages);
    table.SetFieldString("FAXFILE", fax.faxFile);
    table.SetFieldString("NOTES", fax.notes);
    table.Post();
}

QString DataPath(const QString& name) {
    return QString::fromStdString(DataFolder()) + name;
}

} // namespace fixtures
