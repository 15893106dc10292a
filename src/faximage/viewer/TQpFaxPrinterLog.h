#pragma once

#include <QObject>
#include <QString>

class TQpFaxPrinter;

// Codes of the print log: a job started, finished, was aborted or failed.
enum TFaxPLCode { lcStart = 0, lcFinish = 1, lcAborted = 2, lcFailed = 3 };

// Appends one line per print log event to a text file ("FAXPRINT.LOG" in the data
// folder unless another name is given; a relative name is taken inside the data folder).
class TQpFaxPrinterLog final : public QObject {
    Q_OBJECT
public:
    explicit TQpFaxPrinterLog(QObject* owner = nullptr);

    const QString& LogFileName() const { return logFileName_; }
    void SetLogFileName(const QString& name) { logFileName_ = name; }
    TQpFaxPrinter* FaxPrinter() const { return faxPrinter_; }
    void SetFaxPrinter(TQpFaxPrinter* printer) { faxPrinter_ = printer; }

    // The line written for `code` about `fileName`, without its line end; finishing
    // codes are followed by an empty line in the file.
    static QString LogLine(TFaxPLCode code, const QString& fileName, const QString& when);

    // Appends the line for `code`, creating the file when it does not exist. Nothing is
    // written when LogFileName is empty. Throws EQPException with the negated system
    // error when the file cannot be written.
    void UpdateLog(TFaxPLCode code, const QString& fileName);

private:
    QString logFileName_ = QStringLiteral("FAXPRINT.LOG");
    TQpFaxPrinter* faxPrinter_ = nullptr;
};
