#include "faxcomm/TQpFaxLog.h"

#include "common/DataFolder.h"
#include "faxcomm/TQpAbstractFax.h"
#include "faxcomm/core/FaxHistory.h"

TQpFaxLog::TQpFaxLog(QObject* owner) : QObject(owner) {
    // A fax component of the same owner without a history log takes this one.
    if (owner != nullptr) {
        for (auto* fax : owner->findChildren<TQpAbstractFax*>()) {
            if (fax->FaxLog() == nullptr) {
                fax->SetFaxLog(this);
                break;
            }
        }
    }
}

std::string TQpFaxLog::HistoryPath() const {
    if (historyName_.empty() || historyName_[0] == '/') {
        return historyName_;
    }
    return DataFolder() + historyName_;
}

int TQpFaxLog::UpdateLog(int logCode) {
    if (historyName_.empty() || fax_ == nullptr) {
        return 0;
    }
    const qpfax::FaxProgress progress = fax_->Progress();
    qpfax::FaxHistoryEntry entry;
    entry.code = logCode;
    entry.faxFile = progress.faxFile;
    entry.phoneNumber = progress.phoneNumber;
    entry.remoteId = progress.remoteId;
    entry.errorCode = fax_->LastError();
    entry.hangupCode = progress.hangupCode;
    return qpfax::AppendFaxHistory(HistoryPath(), entry);
}
