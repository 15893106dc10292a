#include "faxcomm/TStandardFaxDisplay.h"

#include <cmath>

#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "common/ErrorText.h"
#include "faxcomm/TQpAbstractFax.h"
#include "faxcomm/TQpMeter.h"
#include "faxcomm/TQpSendFax.h"
#include "faxcomm/core/FaxCodes.h"

namespace {

QFrame* Panel(QWidget* parent) {
    auto* frame = new QFrame(parent);
    frame->setFrameShape(QFrame::Panel);
    frame->setFrameShadow(QFrame::Sunken);
    return frame;
}

} // namespace

TStandardFaxDisplay::TStandardFaxDisplay(QWidget* parent) : QDialog(parent) {
    setObjectName("StandardFaxDisplay");
    setWindowTitle("Fax Status");
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
    setFixedSize(529, 295);
    QFont font("Arial");
    font.setPixelSize(12);
    setFont(font);

    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(8, 8, 8, 8);
    outer->setSpacing(4);

    auto* top = new QHBoxLayout;
    auto* panel1 = Panel(this);
    auto* grid1 = new QGridLayout(panel1);
    grid1->setContentsMargins(6, 2, 6, 2);
    grid1->setVerticalSpacing(0);
    phone_ = AddRow(grid1, 0, "Phone number:", "PhoneNumber", "555-1212");
    faxFile_ = AddRow(grid1, 1, "Fax file name:", "FaxFileName", "noname");
    coverFile_ = AddRow(grid1, 2, "Cover file name:", "CoverFileName", "noname");
    totalPages_ = AddRow(grid1, 3, "Total pages:", "TotalPages", "99");
    dialAttempt_ = AddRow(grid1, 4, "Dial attempt:", "DialAttempt", "1");
    auto* panel2 = Panel(this);
    auto* grid2 = new QGridLayout(panel2);
    grid2->setContentsMargins(6, 2, 6, 2);
    grid2->setVerticalSpacing(0);
    remoteId_ = AddRow(grid2, 0, "Remote ID:", "RemoteID", "");
    bps_ = AddRow(grid2, 1, "Connect BPS:", "ConnectBPS", "9600");
    resolution_ = AddRow(grid2, 2, "Resolution:", "Resolution", "Normal");
    width_ = AddRow(grid2, 3, "Width:", "Width", "1728");
    errorControl_ = AddRow(grid2, 4, "Error control:", "ErrorControl", "off");
    top->addWidget(panel1);
    top->addWidget(panel2);
    outer->addLayout(top);

    auto* middle = new QHBoxLayout;
    auto* panel3 = Panel(this);
    auto* grid3 = new QGridLayout(panel3);
    grid3->setContentsMargins(6, 2, 6, 2);
    grid3->setVerticalSpacing(0);
    currentPage_ = AddRow(grid3, 0, "Current page:", "CurrentPage", "1");
    pageLength_ = AddRow(grid3, 1, "Page length:", "PageLength", "9999");
    auto* panel4 = Panel(this);
    auto* grid4 = new QGridLayout(panel4);
    grid4->setContentsMargins(6, 2, 6, 2);
    grid4->setVerticalSpacing(0);
    bytes_ = AddRow(grid4, 0, "Bytes transferred:", "BytesTransferred", "9999");
    elapsed_ = AddRow(grid4, 1, "Elapsed time:", "ElapsedTime", "99:99");
    middle->addWidget(panel3);
    middle->addWidget(panel4);
    outer->addLayout(middle);

    auto* panel5 = Panel(this);
    auto* grid5 = new QGridLayout(panel5);
    grid5->setContentsMargins(6, 2, 6, 2);
    status_ = AddRow(grid5, 0, "Status:", "Status", "OK");
    outer->addWidget(panel5);

    auto* panel6 = Panel(this);
    panel6->setFixedHeight(34);
    progressCaption_ = new QLabel("Page progress:", panel6);
    progressCaption_->setObjectName("PageProgressLabel");
    progressCaption_->setGeometry(6, 7, 110, 20);
    meter_ = new TQpMeter(panel6);
    meter_->setObjectName("PageProgress");
    meter_->setGeometry(120, 7, 380, 20);
    meter_->SetPosition(0);
    meter_->SetStep(10);
    meter_->setAccessibleName("Page progress");
    meter_->setAccessibleDescription("Share of the current page sent");
    outer->addWidget(panel6);

    cancel_ = new QPushButton("Cancel", this);
    cancel_->setObjectName("CancelButton");
    cancel_->setAccessibleName("Cancel");
    cancel_->setAccessibleDescription("Cancels the fax and hangs up");
    cancel_->setToolTip("Cancels the fax and hangs up");
    cancel_->setDefault(true);
    connect(cancel_, &QPushButton::clicked, this, [this] { CancelClick(); });
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(cancel_);
    buttons->addStretch();
    outer->addLayout(buttons);
    cancel_->setFocus();

    ticker_.setInterval(1000);
    connect(&ticker_, &QTimer::timeout, this, [this] { UpdateValues(); });
}

QLabel* TStandardFaxDisplay::AddRow(QGridLayout* grid, int row, const QString& caption,
                                    const QString& name, const QString& value) {
    auto* label = new QLabel(caption);
    label->setObjectName(name + "Label");
    auto* valueLabel = new QLabel(value);
    valueLabel->setObjectName(name);
    valueLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    valueLabel->setAccessibleName(caption.chopped(1));
    valueLabel->setAccessibleDescription(caption.chopped(1) + " of the fax in progress");
    label->setBuddy(valueLabel);
    grid->addWidget(label, row, 0);
    grid->addWidget(valueLabel, row, 1);
    return valueLabel;
}

QString TStandardFaxDisplay::MinutesSeconds(qint64 seconds) {
    if (seconds < 0) {
        seconds = 0;
    }
    return QString("%1:%2")
        .arg(seconds / 60)
        .arg(seconds % 60, 2, 10, QChar('0'))
        .rightJustified(6, ' ');
}

QString TStandardFaxDisplay::ShortName(const std::string& path) {
    QString name = QString::fromStdString(path);
    const int slash = std::max(name.lastIndexOf('/'), name.lastIndexOf('\\'));
    name = name.mid(slash + 1);
    if (name.size() > 20) {
        name = name.left(20) + "...";
    }
    return name;
}

void TStandardFaxDisplay::reject() {
    CancelClick();
}

void TStandardFaxDisplay::CancelClick() {
    if (fax_) {
        fax_->Cancel();
    }
}

void TStandardFaxDisplay::UpdateValues() {
    if (!fax_) {
        return;
    }
    const qpfax::FaxProgress p = fax_->Progress();
    const int status = p.status;
    if ((status == qpfax::fsConnectionParams || status == qpfax::fsGotRemoteId) &&
        !callTimerRunning_) {
        callTimer_.start();
        callTimerRunning_ = true;
    } else if (status == qpfax::fsFinished || status == qpfax::fsUserAbort ||
               status == qpfax::fsGotHangup) {
        callTimerRunning_ = false;
    }
    auto* sender = dynamic_cast<TQpSendFax*>(fax_.data());
    if (status == qpfax::fsBusyWait) {
        if (!redialRunning_) {
            redialTimer_.start();
            redialRunning_ = true;
            redialSeconds_ = sender ? sender->DialRetryWait() : 0;
        }
    } else {
        redialRunning_ = false;
    }
    if (callTimerRunning_ || redialRunning_) {
        if (!ticker_.isActive()) {
            ticker_.start();
        }
    } else {
        ticker_.stop();
    }

    if (sender != nullptr) {
        phone_->setText(QString::fromStdString(p.phoneNumber));
        faxFile_->setText(ShortName(p.faxFile));
        coverFile_->setText(ShortName(p.coverFile));
        dialAttempt_->setText(QString::number(p.dialAttempt));
    } else {
        phone_->clear();
        faxFile_->setText(ShortName(p.faxFile));
        coverFile_->clear();
        dialAttempt_->setText("1");
    }
    totalPages_->setText(QString::number(p.totalPages + p.coverPages));
    remoteId_->setText(QString::fromStdString(p.remoteId));
    bps_->setText(QString::number(p.bitRate));
    resolution_->setText(p.highResolution ? "high" : "standard");
    width_->setText(p.wide ? "2048" : "1728");
    errorControl_->setText(p.errorCorrection ? "on" : "off");
    currentPage_->setText(p.currentPage == 0 ? "<cover page>" : QString::number(p.currentPage));
    pageLength_->setText(QString::number(p.pageLength));
    const long transferred = std::max(0L, p.bytesSent - p.bytesWaiting);
    bytes_->setText(QString::number(transferred));
    elapsed_->setText(callTimerRunning_ ? MinutesSeconds(callTimer_.elapsed() / 1000) : "00:00");
    QString text = QString::fromStdString(qp::StatusText(status).value_or(""));
    if (status == qpfax::fsBusyWait && redialRunning_) {
        text += MinutesSeconds(redialSeconds_ - redialTimer_.elapsed() / 1000);
    }
    status_->setText(text);
    if (sender == nullptr) {
        meter_->hide();
        progressCaption_->setText("Page progress: N/A");
    } else {
        meter_->show();
        progressCaption_->setText("Page progress:");
        meter_->SetMin(0);
        meter_->SetMax(100);
        meter_->SetPosition(
            p.pageLength == 0 ? 0
                              : static_cast<int>(std::lround(transferred * 100.0 / p.pageLength)));
    }
}
