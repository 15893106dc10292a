#include "dialogs/TFaxViewer.h"

#include "ui/KeyboardAccess.h"
#include "ui/MessageBoxScript.h"
#include "ui/WindowUtils.h"
#include "ui/THelpBrowser.h"
#include "faximage/viewer/TQpFaxPrinter.h"
#include "faximage/viewer/TQpFaxPrinterStatus.h"
#include "faximage/viewer/TQpFaxViewer.h"

#include "common/EQPException.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrinterInfo>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

// A message box with the error icon and an OK button only.
void ErrorBox(const QString& text) {
    const QString caption = QStringLiteral("Error");
    if (MessageBoxScript::Take(caption, text)) {
        return;
    }
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok,
                    QApplication::activeWindow());
    box.exec();
}

bool PrinterInstalled() {
    return !QPrinterInfo::availablePrinters().isEmpty();
}

} // namespace

TFaxViewer::TFaxViewer(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("FaxViewer"));
    setWindowTitle(QStringLiteral("Fax Viewer "));
    setWindowFlags(Qt::Window | Qt::WindowSystemMenuHint | Qt::WindowMaximizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
    setSizeGripEnabled(true);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* menuBar = new QMenuBar(this);
    layout->setMenuBar(menuBar);
    BuildViewMenu(menuBar);
    BuildComponents();
    BuildTopBar(layout);
    layout->addWidget(faxViewer_, 1);
    BuildBottomBar(layout);

    hintGuard_ = std::make_unique<HintTargetGuard>(this, status_);
    // The focus starts on the page, where the arrow and page keys scroll; the top bar
    // comes after it.
    KeyboardAccess::SetName(faxViewer_, QStringLiteral("Fax page"));
    KeyboardAccess::Prepare(this, {faxViewer_});
    resize(594, 386 + menuBar->sizeHint().height());
    RestoreFormPlacement(this);
}

TFaxViewer::~TFaxViewer() = default;

void TFaxViewer::BuildComponents() {
    faxViewer_ = new TQpFaxViewer(this);
    faxViewer_->setObjectName(QStringLiteral("FaxViewer"));
    faxViewer_->SetScaling(false);
    faxViewer_->SetAutoScaleMode(asHalfWidth);
    faxViewer_->SetBusyCursor(Qt::WaitCursor);
    QFont font(QStringLiteral("Arial"));
    font.setBold(true);
    faxViewer_->setFont(font);
    connect(faxViewer_, &TQpFaxViewer::OnPageChange, this, &TFaxViewer::ShowPageCounter);
    connect(faxViewer_, &TQpFaxViewer::OnViewerError, this, &TFaxViewer::ShowViewerError);

    printerStatus_ = new TQpFaxPrinterStatus(this);
    printerStatus_->setObjectName(QStringLiteral("PrinterStatus"));
    printerStatus_->SetPosition(poScreenCenter);
    faxPrinter_ = new TQpFaxPrinter(this);
    faxPrinter_->setObjectName(QStringLiteral("FaxPrinter"));
    faxPrinter_->SetCaption(QStringLiteral("QP Fax Printer"));
    faxPrinter_->SetMultiPage(false);
    faxPrinter_->SetStatusDisplay(printerStatus_);
    QFont marginFont(QStringLiteral("Arial"));
    marginFont.setPixelSize(11);
    // The margin font is given in screen pixels; the printer works in points.
    marginFont.setPointSizeF(11 * 72.0 / 96.0);
    faxPrinter_->FaxHeader().SetEnabled(true);
    faxPrinter_->FaxHeader().SetCaption(QStringLiteral("FILE: $F"));
    faxPrinter_->FaxHeader().SetFont(marginFont);
    faxPrinter_->FaxFooter().SetEnabled(true);
    faxPrinter_->FaxFooter().SetCaption(QStringLiteral("Page: $P of $N"));
    faxPrinter_->FaxFooter().SetFont(marginFont);
}

QToolButton* TFaxViewer::AddPictureButton(QHBoxLayout* bar, const QString& name, int icon,
                                          const QString& hint) {
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setIcon(style()->standardIcon(static_cast<QStyle::StandardPixmap>(icon)));
    button->setFixedSize(30, 30);
    button->setToolTip(hint);
    button->setStatusTip(hint);
    // A screen reader says what the picture stands for.
    button->setAccessibleName(hint);
    bar->addWidget(button);
    return button;
}

QPushButton* TFaxViewer::AddTextButton(QHBoxLayout* bar, const QString& name,
                                       const QString& caption, const QString& hint) {
    auto* button = new QPushButton(caption, this);
    button->setObjectName(name);
    button->setToolTip(hint);
    button->setStatusTip(hint);
    bar->addWidget(button);
    return button;
}

void TFaxViewer::BuildTopBar(QVBoxLayout* layout) {
    auto* top = new QWidget(this);
    top->setObjectName(QStringLiteral("TopPanel"));
    top->setFixedHeight(45);
    top->setAutoFillBackground(true);
    QPalette palette = top->palette();
    palette.setColor(QPalette::Window, QColor(0, 0, 128));
    palette.setColor(QPalette::WindowText, Qt::white);
    top->setPalette(palette);
    auto* bar = new QHBoxLayout(top);
    bar->setContentsMargins(6, 4, 6, 4);
    KeyboardAccess::MarkCommandBar(top);

    auto* first = AddPictureButton(bar, QStringLiteral("FirstButton"), QStyle::SP_MediaSkipBackward,
                                   QStringLiteral("First page"));
    auto* previous = AddPictureButton(bar, QStringLiteral("PrevButton"), QStyle::SP_ArrowBack,
                                      QStringLiteral("Previous page"));
    auto* next = AddPictureButton(bar, QStringLiteral("NextButton"), QStyle::SP_ArrowForward,
                                  QStringLiteral("Next page"));
    auto* last = AddPictureButton(bar, QStringLiteral("LastButton"), QStyle::SP_MediaSkipForward,
                                  QStringLiteral("Last page"));
    navigationButtons_ = {first, previous, next, last};
    for (QToolButton* button : navigationButtons_) {
        button->setVisible(false);
    }
    connect(first, &QToolButton::clicked, faxViewer_, &TQpFaxViewer::FirstPage);
    connect(previous, &QToolButton::clicked, this, [this] {
        if (faxViewer_->PageNumber() > 1) {
            faxViewer_->PrevPage();
        }
    });
    connect(next, &QToolButton::clicked, this, [this] {
        if (faxViewer_->PageNumber() < faxViewer_->PageCount()) {
            faxViewer_->NextPage();
        }
    });
    connect(last, &QToolButton::clicked, faxViewer_, &TQpFaxViewer::LastPage);
    bar->addSpacing(12);

    printerSetupButton_ =
        AddPictureButton(bar, QStringLiteral("PrinterSetupButton"),
                         QStyle::SP_FileDialogDetailedView, QStringLiteral("Printer setup"));
    printButton_ = AddPictureButton(bar, QStringLiteral("Printbutton"), QStyle::SP_DialogSaveButton,
                                    QStringLiteral("Print"));
    auto* printPage = AddPictureButton(bar, QStringLiteral("ExplorerButton1"), QStyle::SP_FileIcon,
                                       QStringLiteral("Print current page"));
    connect(printerSetupButton_, &QToolButton::clicked, this, &TFaxViewer::PrinterSetup);
    connect(printButton_, &QToolButton::clicked, this, &TFaxViewer::PrintAll);
    connect(printPage, &QToolButton::clicked, this, &TFaxViewer::PrintCurrentPage);
    bar->addSpacing(12);

    auto* zoomIn = AddPictureButton(bar, QStringLiteral("ZoomInButton"), QStyle::SP_ArrowUp,
                                    QStringLiteral("Zoom in"));
    auto* zoomOut = AddPictureButton(bar, QStringLiteral("ZoomOutButton"), QStyle::SP_ArrowDown,
                                     QStringLiteral("Zoom out"));
    zoomIn->setText(QStringLiteral("+"));
    zoomOut->setText(QStringLiteral("-"));
    connect(zoomIn, &QToolButton::clicked, this, &TFaxViewer::ZoomIn);
    connect(zoomOut, &QToolButton::clicked, this, &TFaxViewer::ZoomOut);
    bar->addStretch(1);

    auto* help = AddTextButton(bar, QStringLiteral("Helpbutton"), QStringLiteral("&Help"),
                               QStringLiteral("Get Windows help for Fax Viewer"));
    connect(help, &QPushButton::clicked, this, &TFaxViewer::ShowHelp);
    auto* close = AddTextButton(bar, QStringLiteral("CloseButton"), QStringLiteral("C&lose"),
                                QStringLiteral("Close the Fax Viewer"));
    close->setDefault(true);
    close->setAutoDefault(true);
    connect(close, &QPushButton::clicked, this, &TFaxViewer::reject);
    layout->addWidget(top);
}

void TFaxViewer::BuildBottomBar(QVBoxLayout* layout) {
    auto* bottom = new QWidget(this);
    bottom->setObjectName(QStringLiteral("BottomPanel"));
    bottom->setFixedHeight(50);
    bottom->setAutoFillBackground(true);
    QPalette palette = bottom->palette();
    palette.setColor(QPalette::Window, QColor(192, 192, 192));
    bottom->setPalette(palette);
    auto* bar = new QHBoxLayout(bottom);
    bar->setContentsMargins(6, 4, 6, 4);
    status_ = new QLabel(bottom);
    status_->setObjectName(QStringLiteral("status"));
    bar->addWidget(status_, 1);
    statusPanel_ = new QLabel(QStringLiteral("Loading..."), bottom);
    statusPanel_->setObjectName(QStringLiteral("StatusPanel"));
    statusPanel_->setFixedWidth(168);
    statusPanel_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    statusPanel_->setAutoFillBackground(true);
    QPalette panelPalette = statusPanel_->palette();
    panelPalette.setColor(QPalette::Window, QColor(0, 0, 255));
    panelPalette.setColor(QPalette::WindowText, Qt::white);
    statusPanel_->setPalette(panelPalette);
    bar->addWidget(statusPanel_);
    layout->addWidget(bottom);
}

void TFaxViewer::BuildViewMenu(QMenuBar* menuBar) {
    QMenu* view = menuBar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("View1"));
    for (int zoom : ZoomLadder()) {
        QAction* action = view->addAction(QStringLiteral("%1%").arg(zoom));
        action->setObjectName(QStringLiteral("Zoom%1").arg(zoom));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, zoom] { ApplyZoom(zoom); });
        zoomActions_.append(action);
    }
    view->addSeparator();
    const QStringList rotations = {
        QStringLiteral("No rotation"), QStringLiteral("Rotate 90 degrees"),
        QStringLiteral("Rotate 180 degrees"), QStringLiteral("Rotate 270 degrees")};
    for (int rotation = 0; rotation < rotations.size(); ++rotation) {
        QAction* action = view->addAction(rotations[rotation]);
        action->setObjectName(QStringLiteral("Rotate%1").arg(rotation));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, rotation] { ApplyRotation(rotation); });
        rotationActions_.append(action);
    }
}

const QList<int>& TFaxViewer::ZoomLadder() {
    static const QList<int> ladder = {25, 50, 75, 100, 150, 200};
    return ladder;
}

int TFaxViewer::SnapToLadder(int estimate) {
    if (estimate < 37) {
        return 25;
    }
    if (estimate <= 62) {
        return 50;
    }
    if (estimate <= 87) {
        return 75;
    }
    if (estimate <= 125) {
        return 100;
    }
    if (estimate <= 175) {
        return 150;
    }
    return 200;
}

int TFaxViewer::InitialZoom(int viewerWidth, int pageWidth) {
    if (pageWidth <= viewerWidth || pageWidth <= 0) {
        return 100;
    }
    return SnapToLadder(static_cast<int>(static_cast<double>(viewerWidth) / pageWidth * 150));
}

bool TFaxViewer::event(QEvent* event) {
    if (event->type() == QEvent::WindowActivate && firstActivation_) {
        firstActivation_ = false;
        const bool handled = QDialog::event(event);
        LoadFax();
        return handled;
    }
    return QDialog::event(event);
}

void TFaxViewer::LoadFax() {
    faxViewer_->BeginUpdate();
    faxViewer_->SetScaling(false);
    faxViewer_->SetHorizMult(1);
    faxViewer_->SetHorizDiv(1);
    faxViewer_->SetVertMult(1);
    faxViewer_->SetVertDiv(1);
    faxViewer_->EndUpdate();
    bool loaded = true;
    try {
        faxViewer_->SetFileName(fileName_);
    } catch (const EQPException&) {
        loaded = false;
    }
    if (loaded && faxViewer_->PageNumber() > 0) {
        const int zoom = InitialZoom(faxViewer_->width(), faxViewer_->PageWidth());
        ApplyZoom(zoom);
        CheckOnly(zoomActions_, zoomActions_[ZoomLadder().indexOf(zoom)]);
        ShowPageCounter();
    } else {
        try {
            faxViewer_->SetFileName(QString());
        } catch (const EQPException&) {
        }
        ErrorBox(QStringLiteral("Error opening fax file"));
        ShowPageCounter(); // "No file loaded"
    }
    for (QToolButton* button : navigationButtons_) {
        button->setVisible(faxViewer_->PageCount() > 1);
    }
    if (!PrinterInstalled()) {
        printButton_->setEnabled(false);
        printerSetupButton_->setEnabled(false);
    }
    while (QApplication::overrideCursor()) {
        QApplication::restoreOverrideCursor();
    }
}

void TFaxViewer::ShowPageCounter() {
    if (faxViewer_->PageNumber() > 0) {
        statusPanel_->setText(QStringLiteral("Page %1 of %2")
                                  .arg(faxViewer_->PageNumber())
                                  .arg(faxViewer_->PageCount()));
    } else {
        statusPanel_->setText(QStringLiteral("No file loaded"));
    }
    // The counter cannot take the focus; a screen reader finds it on the page itself.
    faxViewer_->setAccessibleDescription(statusPanel_->text());
}

void TFaxViewer::ShowViewerError(int code) {
    ErrorBox(QStringLiteral("Viewer error %1").arg(code));
    ShowPageCounter();
}

void TFaxViewer::CheckOnly(const QList<QAction*>& group, QAction* chosen) {
    for (QAction* action : group) {
        action->setChecked(action == chosen);
    }
}

void TFaxViewer::ApplyZoom(int zoom) {
    if (zoom == zoom_) {
        return;
    }
    zoom_ = zoom;
    if (zoom == 100) {
        faxViewer_->SetScaling(false);
    } else {
        faxViewer_->BeginUpdate();
        faxViewer_->SetScaling(true);
        faxViewer_->SetHorizMult(zoom);
        faxViewer_->SetHorizDiv(100);
        faxViewer_->SetVertMult(zoom);
        faxViewer_->SetVertDiv(100);
        faxViewer_->EndUpdate();
    }
    const int index = ZoomLadder().indexOf(zoom);
    CheckOnly(zoomActions_, index >= 0 ? zoomActions_[index] : nullptr);
}

void TFaxViewer::ZoomIn() {
    const int index = ZoomLadder().indexOf(zoom_);
    if (index < 0 || index + 1 >= ZoomLadder().size()) {
        QApplication::beep();
        return;
    }
    ApplyZoom(ZoomLadder()[index + 1]);
}

void TFaxViewer::ZoomOut() {
    const int index = ZoomLadder().indexOf(zoom_);
    if (index <= 0) {
        QApplication::beep();
        return;
    }
    ApplyZoom(ZoomLadder()[index - 1]);
}

void TFaxViewer::ApplyRotation(int rotation) {
    try {
        faxViewer_->SetRotation(rotation);
    } catch (const EQPException& error) {
        ShowViewerError(error.ErrorCode());
        return;
    }
    CheckOnly(rotationActions_, rotationActions_[rotation]);
}

void TFaxViewer::PrintRange(int first, int last) {
    try {
        faxPrinter_->SetPrintScale(psFitToPage);
        faxPrinter_->SetFileName(faxViewer_->FileName());
        faxPrinter_->SetFirstPageToPrint(first);
        faxPrinter_->SetLastPageToPrint(last);
        faxPrinter_->PrintPages();
    } catch (const EQPException& error) {
        ErrorBox(QString::fromStdString(error.what()));
    }
}

void TFaxViewer::PrintAll() {
    if (faxViewer_->PageNumber() == 0) {
        return;
    }
    PrintRange(1, faxViewer_->PageCount());
}

void TFaxViewer::PrintCurrentPage() {
    if (faxViewer_->PageNumber() == 0) {
        return;
    }
    PrintRange(faxViewer_->PageNumber(), faxViewer_->PageNumber());
}

void TFaxViewer::PrinterSetup() {
    if (faxViewer_->PageNumber() == 0) {
        return;
    }
    try {
        faxPrinter_->SetFileName(faxViewer_->FileName());
        faxPrinter_->SetFirstPageToPrint(1);
        faxPrinter_->SetLastPageToPrint(faxViewer_->PageCount());
        faxPrinter_->ShowPrintSetup();
    } catch (const EQPException& error) {
        ErrorBox(QString::fromStdString(error.what()));
    }
}

void TFaxViewer::ShowHelp() {
    THelpBrowser::ShowTopic(THelpBrowser::hcFaxViewer, this);
}

void TFaxViewer::SavePlacement() {
    if (placementSaved_) {
        return;
    }
    placementSaved_ = true;
    try {
        SaveFormPlacement(this);
    } catch (const std::exception&) {
        // A settings file that cannot be written must not keep the window open.
    }
}

void TFaxViewer::closeEvent(QCloseEvent* event) {
    SavePlacement();
    QDialog::closeEvent(event);
}

void TFaxViewer::done(int result) {
    SavePlacement();
    QDialog::done(result);
}
