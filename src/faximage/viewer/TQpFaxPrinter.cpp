#include "faximage/viewer/TQpFaxPrinter.h"

#include "faximage/FaxImageExceptions.h"
#include "faximage/TQpFaxUnpacker.h"
#include "faximage/core/FaxImageResult.h"
#include "faximage/viewer/FaxPictureOps.h"
#include "faximage/viewer/FaxPrintTags.h"
#include "faximage/viewer/TQpAbstractFaxPrinterStatus.h"

#include "common/EQPException.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>

namespace {

// Depth-first search of `owner`'s children for the first object of type T.
template <typename T>
T* FindFirstCompanion(QObject* owner) {
    if (!owner) {
        return nullptr;
    }
    for (QObject* child : owner->children()) {
        if (auto* match = qobject_cast<T*>(child)) {
            return match;
        }
        if (auto* match = FindFirstCompanion<T>(child)) {
            return match;
        }
    }
    return nullptr;
}

void ProcessMessages() {
    QCoreApplication::processEvents();
}

} // namespace

TQpFaxPrinter::TQpFaxPrinter(QObject* owner)
    : QObject(owner), printer_(std::make_unique<QPrinter>(QPrinter::HighResolution)),
      unpacker_(new TQpFaxUnpacker(this)) {
    printer_->setDocName(QStringLiteral("ZAde Fax Printer"));
    FindCompanions();
}

TQpFaxPrinter::~TQpFaxPrinter() = default;

QString TQpFaxPrinter::Caption() const {
    return printer_->docName();
}

void TQpFaxPrinter::SetCaption(const QString& caption) {
    printer_->setDocName(caption);
}

QString TQpFaxPrinter::ProgressText(int progress) {
    static const char* const texts[] = {"Idle", "Composing", "Rendering", "Submitting",
                                        "Converting"};
    return progress >= 0 && progress <= ppConverting ? QString::fromLatin1(texts[progress])
                                                     : QString();
}

void TQpFaxPrinter::SetFileName(const QString& fileName) {
    if (fileName == fileName_) {
        return;
    }
    fileName_ = fileName;
    totalPages_ = 0;
    firstPageFine_ = false;
    firstPageWide_ = false;
    if (!fileName.isEmpty()) {
        unpacker_->SetInFileName(fileName);
        totalPages_ = unpacker_->PageCount();
        if (totalPages_ > 0) {
            firstPageFine_ = unpacker_->FirstPageIsFine();
            firstPageWide_ = unpacker_->FirstPageIsWide();
        }
    }
    dialogMin_ = totalPages_ > 0 ? 1 : 0;
    dialogMax_ = totalPages_;
    printer_->setFromTo(dialogMin_, dialogMax_);
    firstPage_ = dialogMin_;
    lastPage_ = printer_->toPage();
}

void TQpFaxPrinter::SetStatusDisplay(TQpAbstractFaxPrinterStatus* display) {
    statusDisplay_ = display;
    if (display) {
        display->SetFaxPrinter(this);
    }
}

void TQpFaxPrinter::SetFaxPrinterLog(TQpFaxPrinterLog* log) {
    printerLog_ = log;
    if (log) {
        log->SetFaxPrinter(this);
    }
}

// Links the first status display and the first log among the owner's components that
// are not linked yet. Runs at creation and again before each job, so companions created
// after the printer are found too.
void TQpFaxPrinter::FindCompanions() {
    if (!statusDisplay_) {
        SetStatusDisplay(FindFirstCompanion<TQpAbstractFaxPrinterStatus>(parent()));
    }
    if (!printerLog_) {
        SetFaxPrinterLog(FindFirstCompanion<TQpFaxPrinterLog>(parent()));
    }
}

bool TQpFaxPrinter::ShowPrintSetup() {
    QPrintDialog dialog(printer_.get(), qobject_cast<QWidget*>(parent()));
    dialog.setMinMax(dialogMin_, dialogMax_);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, dialogMax_ > 0);
    if (firstPage_ > 0 && lastPage_ >= firstPage_) {
        printer_->setFromTo(firstPage_, lastPage_);
    }
    if (dialog.exec() != QDialog::Accepted) {
        return false;
    }
    if (printer_->printRange() == QPrinter::PageRange && printer_->fromPage() > 0) {
        firstPage_ = printer_->fromPage();
        lastPage_ = printer_->toPage();
    } else {
        firstPage_ = dialogMin_;
        lastPage_ = dialogMax_;
    }
    return true;
}

bool TQpFaxPrinter::SheetIsPortrait() const {
    return printer_->pageLayout().orientation() == QPageLayout::Portrait;
}

bool TQpFaxPrinter::JobAborted() const {
    return aborted_ || printer_->printerState() == QPrinter::Aborted;
}

void TQpFaxPrinter::ReportProgress(TFaxPrintProgress progress) {
    if (progress == lastStatus_) {
        return;
    }
    lastStatus_ = progress;
    emit OnFaxPrintStatus(progress);
    if (statusDisplay_ && statusDisplay_->Visible()) {
        try {
            statusDisplay_->UpdateDisplay(false, false);
        } catch (const std::exception&) {
            // A display that cannot show the progress must not stop the job.
        }
    }
    ProcessMessages();
}

void TQpFaxPrinter::WriteLog(TFaxPLCode code) {
    emit OnFaxPrintLog(code);
    if (printerLog_) {
        printerLog_->UpdateLog(code, fileName_);
    }
}

void TQpFaxPrinter::ShowStatus(bool first, bool last) {
    if (statusDisplay_) {
        statusDisplay_->UpdateDisplay(first, last);
    }
}

void TQpFaxPrinter::PrintPages() {
    if (totalPages_ <= 0 || firstPage_ < 1 || lastPage_ < firstPage_ || printing_) {
        return;
    }
    FindCompanions();
    lastPage_ = std::min(lastPage_, totalPages_);
    lastStatus_ = ppIdle;
    aborted_ = false;
    unpacker_->SetOptions(TQpFaxUnpacker::uoYield);
    ShowStatus(true, false);
    WriteLog(lcStart);
    QPainter painter;
    if (!painter.begin(printer_.get())) {
        WriteLog(lcFailed);
        ShowStatus(false, true);
        throw EQPException(-1, "The printer could not start the print job");
    }
    printing_ = true;
    try {
        for (int page = firstPage_; page <= lastPage_; ++page) {
            currentPage_ = page;
            ProcessMessages();
            if (!JobAborted() &&
                FaxPrintLayout::StartsNewSheet(page, firstPage_, multiPage_, SheetIsPortrait())) {
                printer_->newPage();
            }
            ProcessMessages();
            if (JobAborted()) {
                printing_ = false;
                return;
            }
            emit OnNextPage(page, totalPages_);
            PrintPage(painter, page);
            if (JobAborted()) {
                printing_ = false;
                return;
            }
        }
    } catch (...) {
        printing_ = false;
        currentPage_ = 0;
        painter.end();
        WriteLog(lcFailed);
        ShowStatus(false, true);
        throw;
    }
    ProcessMessages();
    if (!JobAborted()) {
        painter.end();
    }
    printing_ = false;
    WriteLog(lcFinish);
    lastStatus_ = ppIdle;
    ShowStatus(false, true);
    currentPage_ = 0;
}

FaxPrintArea TQpFaxPrinter::AreaFor(int page) const {
    return FaxPrintLayout::PageArea(printer_->width(), printer_->height(), multiPage_,
                                    SheetIsPortrait(), page, firstPage_);
}

void TQpFaxPrinter::PrintPage(QPainter& painter, int page) {
    ReportProgress(ppConverting);
    QImage picture = DecodePage(page);
    ProcessMessages();
    if (JobAborted()) {
        return;
    }
    ReportProgress(ppComposing);
    FaxPrintArea area = AreaFor(page);
    const FaxPrintTagValues tags = FaxPrintTags::ValuesNow(fileName_, page, totalPages_);
    painter.setPen(QPen(Qt::black, 0));
    if (header_.Enabled()) {
        header_.DrawAsHeader(painter, area, FaxPrintTags::Replace(header_.Caption(), tags),
                             multiPage_);
    }
    if (footer_.Enabled()) {
        footer_.DrawAsFooter(painter, area, FaxPrintTags::Replace(footer_.Caption(), tags),
                             multiPage_);
    }
    const QSize size = FaxPrintLayout::DestinationSize(picture.size(), area, printScale_);
    ReportProgress(ppRendering);
    if (!JobAborted() && !size.isEmpty()) {
        painter.drawImage(QRect(QPoint(area.left, area.top), size), picture);
    }
    ReportProgress(ppSubmitting);
}

// The page as a black-on-white one-bit bitmap, which the print engine passes on to the
// printer losslessly and unresampled.
QImage TQpFaxPrinter::DecodePage(int page) {
    const QImage picture = unpacker_->DecodePageToBitmap(page);
    QImage bitmap = FaxPictureOps::BlackOnWhiteBitmap(picture);
    if (!picture.isNull() && bitmap.isNull()) {
        qpfax::RaiseFaxImageError(faxresult::CantMakeBitmap);
    }
    return bitmap;
}

void TQpFaxPrinter::AbortPrinting() {
    if (!printing_) {
        return;
    }
    aborted_ = true;
    unpacker_->SetOptions(unpacker_->Options() | TQpFaxUnpacker::uoAbort);
    printer_->abort();
    currentPage_ = 0;
    WriteLog(lcAborted);
    ShowStatus(false, true);
}
