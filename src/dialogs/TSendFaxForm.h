#pragma once

#include "dialogs/SendFaxSettings.h"
#include "ui/WindowUtils.h"

#include <QDateTime>
#include <QDialog>

#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TQpComPort;
class TQpFaxStatus;
class TQpSendFax;

// The send window: shows the number to dial and the modem and dialing settings, lets the
// user find the modem's port and fax class, and sends one prepared fax file on its own
// serial port while the fax status display shows the progress. The outcome is the result
// text: "Cancelled" until a transmission finishes, then "Sent" or the error text of the
// last one.
class TSendFaxForm final : public QDialog {
    Q_OBJECT

public:
    explicit TSendFaxForm(QWidget* parent = nullptr);
    ~TSendFaxForm() override;

    void SetFaxFile(const QString& path);
    // Put into the number field when the window is first activated.
    void SetPhoneNumber(const QString& number);
    void SetSettings(const SendFaxSettings& settings);
    SendFaxSettings Settings() const;
    // "Cancelled", "Sent", or the error text of the last finished transmission.
    QString ResultText() const;

    // True from Send until the transmission has finished or failed to start.
    bool Busy() const { return busy_; }

private:
    bool busy_ = false;
    bool firstActivation_ = true;
    QString faxFile_;
    QString coverFile_;
    QString presetPhone_;
    QString resultText_;
    SendFaxSettings settings_;

    QLabel* status_ = nullptr;
    std::unique_ptr<HintTargetGuard> hintGuard_;

    QButtonGroup* comPort_ = nullptr;
    QButtonGroup* faxClass_ = nullptr;
    QButtonGroup* toneOrPulse_ = nullptr;
    QCheckBox* blindDial_ = nullptr;
    QCheckBox* ignoreBusy_ = nullptr;
    QLineEdit* userName_ = nullptr;
    QLineEdit* stationId_ = nullptr;
    QLineEdit* dialPrefix_ = nullptr;
    QLineEdit* phoneNumber_ = nullptr;
    QLineEdit* modemInit_ = nullptr;
    QComboBox* transferRate_ = nullptr;
    QLineEdit* dialAttempts_ = nullptr;
    QLineEdit* retryWait_ = nullptr;
    QLineEdit* timeOut_ = nullptr;

    TQpComPort* port_ = nullptr;
    TQpSendFax* sendFax_ = nullptr;
    TQpFaxStatus* faxStatus_ = nullptr;
};
