#include "store/TFaxStore.h"

#include "store/TableLayouts.h"
#include "common/DataFolder.h"

#include <QCoreApplication>

#include <exception>
#include <filesystem>

namespace {

bool FileExists(const std::string& path) {
    std::error_code error;
    return std::filesystem::exists(path, error);
}

} // namespace

TFaxStore::TFaxStore(TTableEnv& env)
    : env_(env), faxAdapter_(env), recAdapter_(env), coverAdapter_(env), phoneAdapter_(env) {}

TFaxStore::~TFaxStore() = default;

std::string TFaxStore::TableFilePath(const store::TableLayout& layout) {
    return DataFolder() + layout.fileName;
}

std::string TFaxStore::IndexFilePath(const store::TableLayout& layout) {
    return DataFolder() + store::IndexFileName(layout.fileName);
}

bool TFaxStore::MakeTable(TTableAdapter& adapter, const store::TableLayout& layout) {
    try {
        const std::string path = TableFilePath(layout);
        if (!adapter.CreateNew(path, static_cast<int>(layout.fields.size()))) {
            return false;
        }
        for (const auto& field : layout.fields) {
            adapter.CreateField(field.name, field.type, field.width, field.decimals);
        }
        return adapter.CreateExec() && FileExists(path);
    } catch (const std::exception&) {
        return false;
    }
}

bool TFaxStore::OpenTable(TTableAdapter& adapter, const store::TableLayout& layout, bool closeFirst,
                          AfterOpen afterOpen) {
    adapter.SetDatabaseName(DataFolder());
    adapter.SetTableName(layout.fileName);
    if (!FileExists(TableFilePath(layout)) && !MakeTable(adapter, layout)) {
        return false;
    }
    // The grids hear of the table once, when it is ready.
    adapter.DisableControls();
    bool indexRepaired = false;
    try {
        if (closeFirst) {
            adapter.Close();
        }
        try {
            adapter.Open();
        } catch (const std::exception&) {
            // An index that cannot be read is rebuilt, as a missing one is created below.
            adapter.OpenRepairingIndex();
            indexRepaired = true;
        }
    } catch (const std::exception&) {
        adapter.EnableControls();
        return false;
    }
    if (indexRepaired) {
        adapter.AddOpenNote("The index file " + store::IndexFileName(layout.fileName) +
                            " could not be read; it has been rebuilt.");
    }
    // The table is open: what follows only prepares it and never fails the open.
    try {
        if (!FileExists(IndexFilePath(layout))) {
            adapter.IndexTag(layout.tag, store::NotDeleted, layout.option, false, layout.keyAtOpen);
        }
        if (afterOpen == AfterOpen::GoFirst) {
            adapter.First();
        } else {
            adapter.SetOrder(adapter.TagArea(layout.tag));
        }
        adapter.SetFilter(store::NotDeleted);
    } catch (const std::exception&) {
    }
    adapter.EnableControls();
    return true;
}

bool TFaxStore::OpenFaxDBF() {
    return OpenTable(faxAdapter_, store::SentLayout(), true, AfterOpen::GoFirst);
}

bool TFaxStore::OpenRecFaxDBF() {
    return OpenTable(recAdapter_, store::ReceivedLayout(), true, AfterOpen::GoFirst);
}

bool TFaxStore::OpenCoverDBF() {
    return OpenTable(coverAdapter_, store::CoverLayout(), false, AfterOpen::TagAsOrder);
}

bool TFaxStore::OpenPhoneDBF(TTableAdapter& adapter) {
    return OpenTable(adapter, store::PhoneLayout(), false, AfterOpen::TagAsOrder);
}

bool TFaxStore::MakeFaxDBF() {
    return MakeTable(faxAdapter_, store::SentLayout());
}

bool TFaxStore::MakeRecFaxDBF() {
    return MakeTable(recAdapter_, store::ReceivedLayout());
}

bool TFaxStore::MakeCoverDBF() {
    return MakeTable(coverAdapter_, store::CoverLayout());
}

bool TFaxStore::MakePhoneDBF(TTableAdapter& adapter) {
    return MakeTable(adapter, store::PhoneLayout());
}

void TFaxStore::CloseAndOpen(TTableAdapter& adapter) {
    const long remembered = adapter.RecNo();
    adapter.DisableControls();
    try {
        adapter.Close();
        QCoreApplication::processEvents();
        adapter.Open();
        adapter.SetFilter(store::NotDeleted);
        try {
            adapter.Go(remembered);
        } catch (const std::exception&) {
            // The record is gone (or there was none): stay where the open left us.
        }
    } catch (...) {
        adapter.EnableControls();
        throw;
    }
    adapter.EnableControls();
}

void TFaxStore::FaxTableCloseAndOpen() {
    CloseAndOpen(faxAdapter_);
}

void TFaxStore::RecTableCloseAndOpen() {
    CloseAndOpen(recAdapter_);
}

std::string TFaxStore::RepairNotes() const {
    std::string notes;
    for (const TTableAdapter* adapter : {&faxAdapter_, &recAdapter_}) {
        if (!adapter->OpenNotes().empty()) {
            notes += adapter->OpenNotes() + "\n";
        }
    }
    return notes;
}

std::string TFaxStore::FaxTableCalcFields(bool sent) {
    return sent ? "Yes" : "No ";
}
