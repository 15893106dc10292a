#pragma once

#include <string>

#include <QObject>
#include <QPointer>

class TQpAbstractFax;

// The fax history: one entry per log event of its fax component, appended to
// FaxHistoryName (default "QPFAX.HIS"; a name without a folder is taken in the data
// folder). Nothing is written while the name is empty.
class TQpFaxLog final : public QObject {
    Q_OBJECT

public:
    explicit TQpFaxLog(QObject* owner = nullptr);

    const std::string& FaxHistoryName() const { return historyName_; }
    void SetFaxHistoryName(const std::string& value) { historyName_ = value; }
    TQpAbstractFax* Fax() const { return fax_.data(); }
    void SetFax(TQpAbstractFax* fax) { fax_ = fax; }

    // Writes the entry for a log code of the fax component; 0 or the file's error.
    int UpdateLog(int logCode);
    // The file the history goes to.
    std::string HistoryPath() const;

private:
    std::string historyName_ = "QPFAX.HIS";
    QPointer<TQpAbstractFax> fax_;
};
