#pragma once

#include <QObject>

class TQpFaxPrinter;

// A display of the fax printer's progress. The printer calls UpdateDisplay with `first`
// at the start of a job (the display shows itself), without flags for each progress
// change, and with `last` at the end (the display hides itself). It reads what it shows
// from FaxPrinter().
class TQpAbstractFaxPrinterStatus : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

    TQpFaxPrinter* FaxPrinter() const { return faxPrinter_; }
    void SetFaxPrinter(TQpFaxPrinter* printer) { faxPrinter_ = printer; }

    virtual void UpdateDisplay(bool first, bool last) = 0;
    virtual bool Visible() const = 0;

private:
    TQpFaxPrinter* faxPrinter_ = nullptr;
};
