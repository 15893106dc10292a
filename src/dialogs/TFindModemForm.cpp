#include "dialogs/TFindModemForm.h"

#include "common/EQPException.h"
#include "common/ErrorText.h"
#include "faxcomm/TQpComPort.h"
#include "faxcomm/core/PortConstants.h"
#include "faxcomm/core/PortDeviceName.h"
#include "ui/KeyboardAccess.h"
#include "ui/TFormFields.h"
#include "ui/WindowUtils.h"

#include <QApplication>
#include <QButtonGroup>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

constexpr int ClientWidth = 335;
constexpr int ClientHeight = 276;
constexpr int MessageWidth = 308;
constexpr int MessageHeight = 78;

QString PortLinePrefix(int number) {
    return QStringLiteral("Com %1: ").arg(number);
}

// The line text for a port that would not open with the port library's `code`.
QString OpenFailureText(int code, bool& inUse, bool& denied) {
    if (code == qpcomm::prAccessDenied) {
        denied = true;
    }
    if (code == qpcomm::prAlreadyOpen || code == qpcomm::prHardware) {
        inUse = true;
        return QStringLiteral("Port is already open (could be modem)");
    }
    if (code == qpcomm::prBadId) {
        return QStringLiteral("Port does not exist");
    }
    return QString::fromStdString(qp::ErrorTextOr(code, "Unknown Error"));
}

// How people know the port: the USB maker and model, or the device's name.
QString PortDescription(int number) {
    const qpcomm::PortChoice choice = qpcomm::PortChoiceFor(number);
    if (!choice.label.empty()) {
        return QString::fromStdString(choice.label);
    }
    return QString::fromStdString(choice.device);
}

} // namespace

TFindModemForm::TFindModemForm(TQpComPort* port, QWidget* parent) : QDialog(parent), port_(port) {
    setObjectName("FindModemForm");
    setWindowTitle(QStringLiteral("Finding Modem...Please wait"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* layout = new QVBoxLayout(this);
    auto* heading = new QLabel(QStringLiteral("Communications Ports:"), this);
    heading->setObjectName("PortsLabel");
    layout->addWidget(heading);
    for (int i = 0; i < PortCount; ++i) {
        lines_[i] = new QLabel(PortLinePrefix(i + 1).trimmed(), this);
        lines_[i]->setObjectName(QStringLiteral("PortLine%1").arg(i + 1));
        lines_[i]->setIndent(12);
        layout->addWidget(lines_[i]);
    }
    message_ = new QLabel(QStringLiteral("Testing Communications ports...please wait."), this);
    message_->setObjectName("MessageLabel");
    message_->setWordWrap(true);
    message_->setFixedSize(MessageWidth, MessageHeight);
    message_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    layout->addWidget(message_);
    device_ = new QLabel(this);
    device_->setObjectName("DeviceLabel");
    device_->setWordWrap(true);
    device_->hide();
    layout->addWidget(device_);
    ok_ = new QPushButton(QStringLiteral("Ok"), this);
    ok_->setObjectName("OkButton");
    ok_->hide();
    layout->addWidget(ok_, 0, Qt::AlignHCenter);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    KeyboardAccess::Prepare(this, {ok_});
    setMinimumSize(ClientWidth, ClientHeight);
}

void TFindModemForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (!started_) {
        started_ = true;
        // Once the dialog is on screen, so that the user sees the lines change.
        QTimer::singleShot(0, this, &TFindModemForm::Scan);
    }
}

void TFindModemForm::reject() {
    // Escape works as "Ok", once there is an "Ok".
    if (finished_) {
        QDialog::reject();
    }
}

void TFindModemForm::Scan() {
    ok_->hide();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    portInUse_ = false;
    accessDenied_ = false;
    foundPort_ = -1;
    try {
        for (int number = 1; number <= PortCount; ++number) {
            lines_[number - 1]->setText(PortLinePrefix(number) + "TESTING");
            QApplication::processEvents();
            lines_[number - 1]->setText(PortLinePrefix(number) + ProbePort(number));
        }
    } catch (const std::exception&) {
        // Ends the scan early; what was found so far stands.
    }
    QApplication::restoreOverrideCursor();
    ShowOutcome(portInUse_);
}

QString TFindModemForm::ProbePort(int number) {
    port_->SetComNumber(static_cast<std::uint16_t>(number));
    QString outcome;
    try {
        port_->SetOpen(true);
    } catch (const EQPException& error) {
        outcome = OpenFailureText(error.ErrorCode(), portInUse_, accessDenied_);
    } catch (const std::exception& error) {
        outcome = "ERROR: " + QString::fromUtf8(error.what());
    }
    if (port_->Open()) {
        try {
            port_->OutputString("AT\r");
            if (port_->WaitForString("OK", AnswerTicks, true, false)) {
                outcome = QStringLiteral("MODEM");
                if (foundPort_ < 0) {
                    foundPort_ = number;
                }
            } else {
                outcome = QStringLiteral("Unknown");
            }
        } catch (const std::exception&) {
            outcome = QStringLiteral("Unknown");
        }
    } else if (outcome.isEmpty()) {
        outcome = QStringLiteral("Unknown");
    }
    ClosePort();
    return outcome;
}

void TFindModemForm::ShowOutcome(bool portInUse) {
    if (foundPort_ > 0) {
        const QString n = QString::number(foundPort_);
        message_->setText("A modem was found on Com Port " + n + ". " +
                          "We suggest setting the Port as Com " + n + ".");
        const QString description = PortDescription(foundPort_);
        device_->setText("Com " + n + " is " + description + ".");
        device_->setVisible(!description.isEmpty());
    } else {
        message_->setText(
            portInUse ? QStringLiteral(
                            "No modem found. Please make sure that all communication programs "
                            "(internet, AOL, etc) are closed, and then try again. If you know "
                            "which Com port your modem uses, you can also just set the Port to "
                            "that setting")
                      : QStringLiteral("No modem found. If you know which Com port your modem "
                                       "uses, you can also just set the Port to that setting"));
        // A modem may well be behind a device this user may not open.
        device_->setText(QString::fromLatin1(qpcomm::DialoutAdvice));
        device_->setVisible(accessDenied_);
    }
    ok_->show();
    ok_->setFocus();
    setWindowTitle(QStringLiteral("Find Modem"));
    finished_ = true;
    QApplication::beep();
}

void TFindModemForm::ClosePort() {
    try {
        port_->SetOpen(false);
    } catch (const std::exception&) {
        // Nothing more to do for a port that will not close.
    }
}

void TFindModemForm::SearchAndOffer(TQpComPort* port, QButtonGroup* comPort, QWidget* parent) {
    const int remembered = TFormFields::ItemIndex(comPort);
    TFindModemForm dialog(port, parent);
    CenterForm(&dialog);
    dialog.exec();
    port->SetComNumber(static_cast<std::uint16_t>(remembered + 1));
    const int found = dialog.FoundPort();
    if (found > 0 && found != remembered + 1 &&
        AskYesNo("Set Com Port to Com " + QString::number(found), "Com Port")) {
        TFormFields::SelectItem(comPort, found - 1);
    }
}
