#include "faximage/viewer/TQpFaxPrinterStatus.h"

#include "faximage/viewer/TQpFaxPrinter.h"
#include "faximage/viewer/TStandardFaxPrinterStatusDisplay.h"

#include <QApplication>
#include <QPushButton>
#include <QScreen>
#include <QWidget>

TQpFaxPrinterStatus::TQpFaxPrinterStatus(QObject* owner) : TQpAbstractFaxPrinterStatus(owner) {}

TQpFaxPrinterStatus::~TQpFaxPrinterStatus() {
    delete display_.data();
}

void TQpFaxPrinterStatus::SetPosition(TStatusPosition position) {
    position_ = position;
    if (display_) {
        PlaceDisplay();
    }
}

TStandardFaxPrinterStatusDisplay* TQpFaxPrinterStatus::Display() const {
    return display_.data();
}

bool TQpFaxPrinterStatus::Visible() const {
    return display_ && display_->isVisible();
}

void TQpFaxPrinterStatus::SetVisible(bool visible) {
    if (!display_ && visible) {
        CreateDisplay();
    }
    if (display_) {
        display_->setVisible(visible);
    }
}

void TQpFaxPrinterStatus::CreateDisplay() {
    QWidget* ownerWidget = qobject_cast<QWidget*>(parent());
    display_ = new TStandardFaxPrinterStatusDisplay(ownerWidget ? ownerWidget->window() : nullptr);
    display_->setModal(false);
    connect(display_->AbortButton(), &QPushButton::clicked, this, [this] {
        if (FaxPrinter()) {
            FaxPrinter()->AbortPrinting();
        }
    });
    display_->adjustSize();
    PlaceDisplay();
}

void TQpFaxPrinterStatus::PlaceDisplay() {
    QWidget* anchor = display_->parentWidget();
    QRect frame;
    if (position_ == poOwnerFormCenter && anchor) {
        frame = anchor->frameGeometry();
    } else if (position_ != poDesigned) {
        QScreen* screen = QGuiApplication::primaryScreen();
        frame = screen ? screen->availableGeometry() : QRect();
    }
    if (frame.isValid()) {
        const QSize size = display_->frameGeometry().size();
        display_->move(frame.center() - QPoint(size.width() / 2, size.height() / 2));
    }
}

void TQpFaxPrinterStatus::UpdateDisplay(bool first, bool last) {
    TQpFaxPrinter* printer = FaxPrinter();
    if (!printer) {
        return;
    }
    if (!display_) {
        CreateDisplay();
    }
    TStandardFaxPrinterStatusDisplay::Contents contents;
    contents.fileName = printer->FileName();
    contents.totalPages = printer->TotalPages();
    contents.fine = printer->FirstPageIsFine();
    contents.wide = printer->FirstPageIsWide();
    contents.firstPage = printer->FirstPageToPrint();
    contents.lastPage = printer->LastPageToPrint();
    contents.statusLine = QStringLiteral("%1 %2 of %3")
                              .arg(TQpFaxPrinter::ProgressText(printer->LastStatus()))
                              .arg(printer->CurrentPage())
                              .arg(printer->LastPageToPrint());
    display_->ShowContents(contents);
    if (first) {
        PlaceDisplay();
        display_->show();
    }
    if (last) {
        display_->hide();
    }
}
