#pragma once

#include "dialogs/SendFaxSettings.h"
#include "ui/WindowUtils.h"

#include <QDateTime>
#include <QDialog>

#include <memory>

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QGridLayout;
class QGroupBox;
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

    // The page header line for a fax sent at `when` by `name` with station `stationId`;
    // $P, $N and $I are filled in on each page by the send component.
    static QString HeaderLine(const QString& name, const QString& stationId, const QDateTime& when);
    // The modem init command for a typed init string: "AT" is put in front unless the
    // text holds "AT" somewhere (in any case).
    static QString ModemInitCommand(const QString& typed);

    // The window's serial port and send component.
    TQpComPort* ComPort() const { return port_; }
    TQpSendFax* SendFax() const { return sendFax_; }
    TQpFaxStatus* FaxStatus() const { return faxStatus_; }

    // Escape and the window's close: as "Close", refused with a beep while busy.
    void reject() override;

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QWidget* BuildNumberAndUser();
    QWidget* BuildModemAndDialing();
    void BuildButtonBar();
    void PrepareKeyboard();
    void CreateComponents();

    void SendClick();
    void ConfigureSendFax();
    void TransmissionFinished(int errorCode);
    void CheckFaxClassClick();
    void FindModemClick();
    void CloseClick();
    void ClosePort();
    void RestoreCallerCursor();
    int SelectedPortNumber() const;

    bool busy_ = false;
    bool firstActivation_ = true;
    bool arrowPushed_ = false; // the arrow cursor over the caller's hourglass
    QString faxFile_;
    QString coverFile_;
    QString presetPhone_;
    QString resultText_;

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
