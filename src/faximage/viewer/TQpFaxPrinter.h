#pragma once

#include "faximage/viewer/FaxPrintLayout.h"
#include "faximage/viewer/TQpAbstractFaxPrinterStatus.h"
#include "faximage/viewer/TQpFaxPrinterLog.h"
#include "faximage/viewer/TQpFaxPrinterMargin.h"

#include <memory>

#include <QImage>
#include <QObject>
#include <QPointer>
#include <QString>

class QPainter;
class QPrinter;
class TQpFaxUnpacker;

// Progress of a print job as reported by OnFaxPrintStatus.
enum TFaxPrintProgress {
    ppIdle = 0,
    ppComposing = 1,
    ppRendering = 2,
    ppSubmitting = 3,
    ppConverting = 4
};

// Prints the pages of an APF fax file on a QPrinter: each page decoded into a picture,
// scaled onto the sheet (or four to a portrait sheet, two to a landscape one, with
// MultiPage), with a header and a footer line. Progress goes to the events, to an
// optional status display and to an optional print log.
class TQpFaxPrinter final : public QObject {
    Q_OBJECT
public:
    explicit TQpFaxPrinter(QObject* owner = nullptr);
    ~TQpFaxPrinter() override;
    Q_DISABLE_COPY_MOVE(TQpFaxPrinter)

    // The print job title.
    QString Caption() const;
    void SetCaption(const QString& caption);

    const QString& FileName() const { return fileName_; }
    // Reads the file's page count and page 1's flags and makes the whole file the range
    // to print. Throws the unpacker's errors for a file it cannot read.
    void SetFileName(const QString& fileName);

    int TotalPages() const { return totalPages_; }
    int CurrentPage() const { return currentPage_; }
    int FirstPageToPrint() const { return firstPage_; }
    void SetFirstPageToPrint(int page) { firstPage_ = page; }
    int LastPageToPrint() const { return lastPage_; }
    void SetLastPageToPrint(int page) { lastPage_ = page; }
    bool FirstPageIsFine() const { return firstPageFine_; }
    bool FirstPageIsWide() const { return firstPageWide_; }

    TFaxPrintScale PrintScale() const { return printScale_; }
    void SetPrintScale(TFaxPrintScale scale) { printScale_ = scale; }
    bool MultiPage() const { return multiPage_; }
    void SetMultiPage(bool multiPage) { multiPage_ = multiPage; }

    TQpAbstractFaxPrinterStatus* StatusDisplay() const { return statusDisplay_; }
    void SetStatusDisplay(TQpAbstractFaxPrinterStatus* display);
    TQpFaxPrinterLog* FaxPrinterLog() const { return printerLog_; }
    void SetFaxPrinterLog(TQpFaxPrinterLog* log);

    TQpFaxPrinterMargin& FaxHeader() { return header_; }
    TQpFaxPrinterMargin& FaxFooter() { return footer_; }

    // The printer the pages go to (choose a PDF file through it for print-to-file).
    QPrinter& Printer() { return *printer_; }
    TQpFaxUnpacker& Unpacker() { return *unpacker_; }

    TFaxPrintProgress LastStatus() const { return lastStatus_; }
    static QString ProgressText(int progress);

    // Runs the print dialog; when it is confirmed, its page range becomes the range to
    // print. Returns whether it was confirmed.
    bool ShowPrintSetup();
    // Prints the range; nothing happens for a file without pages. Decoding errors are
    // logged as failures and thrown on.
    void PrintPages();
    // Stops a running job before its next page and discards it.
    void AbortPrinting();
    bool Printing() const { return printing_; }

signals:
    void OnNextPage(int currentPage, int totalPages);
    void OnFaxPrintLog(TFaxPLCode code);
    void OnFaxPrintStatus(TFaxPrintProgress status);

private:
    bool JobAborted() const;
    void FindCompanions();
    void ReportProgress(TFaxPrintProgress progress);
    void WriteLog(TFaxPLCode code);
    void ShowStatus(bool first, bool last);
    void PrintPage(QPainter& painter, int page);
    QImage DecodePage(int page);
    FaxPrintArea AreaFor(int page) const;
    bool SheetIsPortrait() const;

    QString fileName_;
    int totalPages_ = 0;
    int currentPage_ = 0;
    int firstPage_ = 0;
    int lastPage_ = 0;
    bool firstPageFine_ = false;
    bool firstPageWide_ = false;
    TFaxPrintScale printScale_ = psFitToPage;
    bool multiPage_ = false;
    QPointer<TQpAbstractFaxPrinterStatus> statusDisplay_;
    QPointer<TQpFaxPrinterLog> printerLog_;
    TFaxPrintProgress lastStatus_ = ppIdle;
    TQpFaxPrinterMargin header_{QStringLiteral("FILE: $F")};
    TQpFaxPrinterMargin footer_{QStringLiteral("PAGE: $P of $N")};
    std::unique_ptr<QPrinter> printer_;
    int dialogMin_ = 0;
    int dialogMax_ = 0;
    bool printing_ = false;
    bool aborted_ = false;
    TQpFaxUnpacker* unpacker_ = nullptr; // owned as a child
};
