#pragma once

#include "store/TTableAdapter.h"

#include <string>

class TTableEnv;

namespace store {
struct TableLayout;
}

// The fax store: the four tables the main window owns (sent faxes, received faxes,
// cover sheet templates, phone book) and the operations that create, open and reopen
// them. Open and create operations report failure as false and never raise.
class TFaxStore final {
public:
    explicit TFaxStore(TTableEnv& env);
    ~TFaxStore();
    TFaxStore(const TFaxStore&) = delete;
    TFaxStore& operator=(const TFaxStore&) = delete;

    TTableEnv& Env() { return env_; }
    TTableAdapter& FaxAdapter() { return faxAdapter_; }
    TTableAdapter& RecAdapter() { return recAdapter_; }
    TTableAdapter& CoverAdapter() { return coverAdapter_; }
    TTableAdapter& PhoneAdapter() { return phoneAdapter_; }

    // Open the table of that kind, creating the file (and the index) when missing. The
    // sent and received tables end on their first record; the cover and phone tables
    // have their tag as the active order.
    bool OpenFaxDBF();
    bool OpenRecFaxDBF();
    bool OpenCoverDBF();
    // Opens the phone book into `adapter` (the store's own or a window's).
    static bool OpenPhoneDBF(TTableAdapter& adapter);

    // Create the empty table file; true only when the file now exists.
    bool MakeFaxDBF();
    bool MakeRecFaxDBF();
    bool MakeCoverDBF();
    static bool MakePhoneDBF(TTableAdapter& adapter);

    // Reopen after a change so that index order and grid are current; the current
    // record stays current when it still exists.
    void FaxTableCloseAndOpen();
    void RecTableCloseAndOpen();

    // What was repaired when the sent and received tables were last opened (an index
    // rebuilt, a cut record left out), one sentence per line; empty when nothing.
    std::string RepairNotes() const;

    // The calculated "Sent" column: "Yes" when SENT is true, otherwise "No ".
    static std::string FaxTableCalcFields(bool sent);

    // The path of a table's file or its index in the data folder.
    static std::string TableFilePath(const store::TableLayout& layout);
    static std::string IndexFilePath(const store::TableLayout& layout);

private:
    enum class AfterOpen { GoFirst, TagAsOrder };

    static bool MakeTable(TTableAdapter& adapter, const store::TableLayout& layout);
    static bool OpenTable(TTableAdapter& adapter, const store::TableLayout& layout, bool closeFirst,
                          AfterOpen afterOpen);
    static void CloseAndOpen(TTableAdapter& adapter);

    TTableEnv& env_;
    TTableAdapter faxAdapter_;
    TTableAdapter recAdapter_;
    TTableAdapter coverAdapter_;
    TTableAdapter phoneAdapter_;
};
