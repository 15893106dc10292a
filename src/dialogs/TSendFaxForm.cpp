#include "dialogs/TSendFaxForm.h"

#include "common/DataFolder.h"
#include "common/ErrorText.h"
#include "common/Settings.h"
#include "dialogs/ModemSettingHints.h"
#include "dialogs/PortDeviceCaptions.h"
#include "dialogs/TCheckFaxClassForm.h"
#include "dialogs/TFindModemForm.h"
#include "faxcomm/ComPortHelpers.h"
#include "faxcomm/TQpComPort.h"
#include "faxcomm/TQpFaxStatus.h"
#include "faxcomm/TQpSendFax.h"
#include "faxcomm/TStandardFaxDisplay.h"
#include "ui/KeyboardAccess.h"
#include "ui/TButtonBar.h"
#include "ui/TFormFields.h"
#include "ui/THelpBrowser.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>
#include <limits>
#include <optional>

namespace {

constexpr int ClientWidth = 592;
constexpr int ClientHeight = 403;
constexpr int StatusHeight = 63;
constexpr int MaxUserFieldLength = 20;
// Every text handed to the send component is cut to this length.
constexpr int MaxComponentText = 255;
// Room for a port's caption ("Com1  USRobotics USB Modem (ttyACM0)") in its column.
constexpr int PortCaptionWidth = 250;

std::string ComponentText(const QString& text) {
    return text.left(MaxComponentText).toStdString();
}

// A whole number for one of the send component's 16-bit counts; none for other texts.
std::optional<std::uint16_t> WholeNumber(const QString& text) {
    bool ok = false;
    const int value = text.trimmed().toInt(&ok, 10);
    if (!ok || value < 0 || value > std::numeric_limits<std::uint16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

QString FaxErrorMessage(int code) {
    return QString::fromStdString(qp::ErrorTextOr(code, "Unknown error"));
}

} // namespace

TSendFaxForm::TSendFaxForm(QWidget* parent)
    : QDialog(parent), resultText_(QStringLiteral("Cancelled")) {
    setObjectName("SendFaxForm");
    setWindowTitle(QStringLiteral("Send Fax"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildButtonBar();

    auto* body = new QWidget(this);
    auto* columns = new QHBoxLayout(body);
    columns->setContentsMargins(6, 4, 6, 4);
    columns->addWidget(BuildNumberAndUser(), 1);
    columns->addWidget(BuildModemAndDialing(), 1);
    layout->addWidget(body, 1);

    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setFixedHeight(StatusHeight);
    status_->setAlignment(Qt::AlignCenter);
    status_->setWordWrap(true);
    status_->setAutoFillBackground(true);
    status_->setStyleSheet("QLabel#status { color: blue; background-color: silver; }");
    layout->addWidget(status_);

    hintGuard_ = std::make_unique<HintTargetGuard>(this, status_);
    CreateComponents();
    ShowPortDevices(comPort_, PortCaptionWidth, ModemSettingHints::ComPort);
    PrepareKeyboard();
    setFixedSize(std::max(ClientWidth, sizeHint().width()),
                 std::max(ClientHeight, sizeHint().height()));
}

TSendFaxForm::~TSendFaxForm() {
    // No event of the send component may reach a half-destroyed window.
    sendFax_->OnFaxFinish = nullptr;
    ClosePort();
    RestoreCallerCursor();
}

void TSendFaxForm::CreateComponents() {
    port_ = new TQpComPort(this);
    port_->setObjectName("QpComPort1");
    port_->SetInSize(8192);
    port_->SetOutSize(8192);
    port_->SetAutoOpen(false);
    port_->SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
    port_->SetBufferFull(7372);
    port_->SetBufferResume(819);
    port_->SetTraceSize(32000);
    port_->SetTracing(tlOn);
    port_->SetLogging(tlOn);
    port_->SetTapiMode(tmOff);
    port_->SetTraceName(DataFolder() + "QPXSEND.TRC");
    port_->SetLogName(DataFolder() + "QPXSEND.LOG");

    faxStatus_ = new TQpFaxStatus(this);
    faxStatus_->setObjectName("QpFaxStatus1");
    faxStatus_->SetPosition(poScreenCenter);

    sendFax_ = new TQpSendFax(this);
    sendFax_->setObjectName("QpSendFax1");
    sendFax_->SetFaxClass(qpfax::fcUnknown);
    sendFax_->SetComPort(port_);
    sendFax_->SetStatusDisplay(faxStatus_);
    faxStatus_->SetFax(sendFax_);
    sendFax_->SetFaxFileExt("APF");
    sendFax_->OnFaxFinish = [this](TQpAbstractFax&, int code) { TransmissionFinished(code); };
}

void TSendFaxForm::BuildButtonBar() {
    auto* bar = new TButtonBar(this);
    auto* help = bar->AddButton("Helpbutton", "&Help", "Get Windows help for Send Fax");
    auto* problems =
        bar->AddButton("ExplorerButton1", "Problems??", "Click here for Troubleshooting tips!");
    auto* send = bar->AddButton("SendFaxButton", "&Send Fax", "Attempt to send the fax");
    auto* findModem = bar->AddButton("FindModemButton", "Find Modem", ModemSettingHints::FindModem);
    auto* checkClass =
        bar->AddButton("CheckFaxClassButton", "Check Fax Class", ModemSettingHints::CheckFaxClass);
    bar->AddStretch();
    auto* close = bar->AddButton("CloseButton", "C&lose", "Close the Send Fax dialog");

    connect(help, &QPushButton::clicked, this,
            [this] { THelpBrowser::ShowTopic(THelpBrowser::hcSendFax, this); });
    connect(problems, &QPushButton::clicked, this,
            [this] { THelpBrowser::ShowTopic(THelpBrowser::hcTroubleshooting, this); });
    connect(send, &QPushButton::clicked, this, &TSendFaxForm::SendClick);
    connect(findModem, &QPushButton::clicked, this, &TSendFaxForm::FindModemClick);
    connect(checkClass, &QPushButton::clicked, this, &TSendFaxForm::CheckFaxClassClick);
    connect(close, &QPushButton::clicked, this, &TSendFaxForm::CloseClick);
    static_cast<QVBoxLayout*>(layout())->addWidget(bar);
}

// The number to dial first, then the sender's own details and the dialing numbers.
QWidget* TSendFaxForm::BuildNumberAndUser() {
    auto* panel = new QWidget(this);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(3);

    phoneNumber_ = TFormFields::LabelledEdit(
        "sfPhoneNumber", "&Phone #:", "Enter the recipient phone # here", panel, grid, 0);
    dialPrefix_ = TFormFields::LabelledEdit(
        "sfDialPrefix", "&Dial prefix:", ModemSettingHints::DialPrefix, panel, grid, 1);
    userName_ = TFormFields::StackedEdit(
        "sfusername", "Your Nam&e (optional)",
        "Enter your name here\n(this will be printed on the fax header)", panel, grid, 2);
    userName_->setMaxLength(MaxUserFieldLength);
    stationId_ =
        TFormFields::StackedEdit("sfStationID", "Your fax n&umber or Station ID# (required)",
                                 "Enter your own fax number here\n(this is required for "
                                 "identification purposes)",
                                 panel, grid, 4);
    stationId_->setMaxLength(MaxUserFieldLength);
    modemInit_ =
        TFormFields::StackedEdit("sfModemInit", "&Modem initialization string (rarely needed):",
                                 ModemSettingHints::ModemInit, panel, grid, 6);

    auto* rateLabel = new QLabel("&Transfer Rate (BPS)", panel);
    transferRate_ = new QComboBox(panel);
    transferRate_->setObjectName("TransferRate");
    transferRate_->addItems({"2400", "4800", "7200", "9600", "12000", "14400"});
    transferRate_->setCurrentIndex(IndexFromBps(9600));
    rateLabel->setBuddy(transferRate_);
    TButtonBar::SetHint(transferRate_, ModemSettingHints::TransferRate);
    grid->addWidget(rateLabel, 8, 0);
    grid->addWidget(transferRate_, 8, 1);

    dialAttempts_ = TFormFields::LabelledEdit("sfDialAttempts", "Number of dial &attempts",
                                              ModemSettingHints::DialAttempts, panel, grid, 9);
    retryWait_ = TFormFields::LabelledEdit("sfRetryWait", "Seconds to wait before &retry",
                                           ModemSettingHints::RetryWait, panel, grid, 10);
    timeOut_ = TFormFields::LabelledEdit("sfTimeOut", "Seconds to &wait before timeout",
                                         ModemSettingHints::TimeOut, panel, grid, 11);
    dialAttempts_->setText("3");
    retryWait_->setText("60");
    timeOut_->setText("60");
    for (QLineEdit* edit : {dialAttempts_, retryWait_, timeOut_}) {
        edit->setMaximumWidth(60);
    }
    grid->setRowStretch(12, 1);
    return panel;
}

QWidget* TSendFaxForm::BuildModemAndDialing() {
    auto* panel = new QWidget(this);
    auto* box = new QVBoxLayout(panel);
    box->setContentsMargins(0, 0, 0, 0);
    box->setSpacing(3);

    // One port per line, each with the device it opens.
    auto* port = TFormFields::RadioGroup("ComPort", "P&ort", PortChoiceItems(), 1, comPort_, panel);
    TButtonBar::SetHint(port, ModemSettingHints::ComPort);
    auto* faxClass = TFormFields::RadioGroup("sfFaxClass", "Fax &class",
                                             {"auto detect", "class 1", "class 2", "class 2.0"}, 2,
                                             faxClass_, panel);
    TButtonBar::SetHint(faxClass, ModemSettingHints::FaxClass);
    auto* tone = TFormFields::RadioGroup("sfToneOrPulse", "To&ne or Pulse", {"Tone", "Pulse"}, 2,
                                         toneOrPulse_, panel);
    TButtonBar::SetHint(tone, ModemSettingHints::ToneOrPulse);
    TFormFields::SelectItem(faxClass_, 0);
    TFormFields::SelectItem(toneOrPulse_, 0);

    blindDial_ = new QCheckBox("&Blind Dial", panel);
    blindDial_->setObjectName("CheckBlindDial");
    TButtonBar::SetHint(blindDial_, ModemSettingHints::BlindDial);
    ignoreBusy_ = new QCheckBox("&Ignore Busy Signal", panel);
    ignoreBusy_->setObjectName("CheckIgnoreBusy");
    TButtonBar::SetHint(ignoreBusy_, ModemSettingHints::IgnoreBusy);

    box->addWidget(port);
    box->addWidget(faxClass);
    box->addWidget(tone);
    box->addWidget(blindDial_);
    box->addWidget(ignoreBusy_);
    box->addStretch(1);
    return panel;
}

// Tab follows the columns: number, own details and dialing numbers; then port, class,
// dialing choices; then the button bar. Each radio group is one Tab stop.
void TSendFaxForm::PrepareKeyboard() {
    QList<QWidget*> order{phoneNumber_,  dialPrefix_,   userName_,  stationId_, modemInit_,
                          transferRate_, dialAttempts_, retryWait_, timeOut_};
    for (const QButtonGroup* group : {comPort_, faxClass_, toneOrPulse_}) {
        for (QAbstractButton* button : group->buttons()) {
            order.append(button);
        }
    }
    order << blindDial_ << ignoreBusy_;
    KeyboardAccess::Prepare(this, order);
}

void TSendFaxForm::SetFaxFile(const QString& path) {
    faxFile_ = path;
}

void TSendFaxForm::SetPhoneNumber(const QString& number) {
    presetPhone_ = number;
}

void TSendFaxForm::SetSettings(const SendFaxSettings& settings) {
    TFormFields::SelectItem(comPort_, settings.comPort);
    port_->SetComNumber(static_cast<std::uint16_t>(std::max(0, settings.comPort + 1)));
    // Preferences allow a longer name: one given here is shown and used whole, while
    // typing stays limited to the field's own length.
    userName_->setMaxLength(std::max(MaxUserFieldLength, int(settings.userName.size())));
    userName_->setText(settings.userName);
    stationId_->setMaxLength(std::max(MaxUserFieldLength, int(settings.stationId.size())));
    stationId_->setText(settings.stationId);
    dialPrefix_->setText(settings.dialPrefix);
    modemInit_->setText(settings.modemInit);
    dialAttempts_->setText(settings.dialAttempts);
    retryWait_->setText(settings.retryWait);
    timeOut_->setText(settings.timeOut);
    TFormFields::SelectItem(faxClass_, settings.faxClass);
    TFormFields::SelectItem(toneOrPulse_, settings.toneOrPulse);
    blindDial_->setChecked(settings.blindDial);
    ignoreBusy_->setChecked(settings.ignoreBusy);
    transferRate_->setCurrentIndex(IndexFromBps(BpsFromIndex(settings.rateIndex)));
    // Filled fields show the start of their text, not its end.
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        edit->setCursorPosition(0);
    }
}

SendFaxSettings TSendFaxForm::Settings() const {
    SendFaxSettings settings;
    settings.comPort = TFormFields::ItemIndex(comPort_);
    settings.userName = userName_->text();
    settings.stationId = stationId_->text();
    settings.dialPrefix = dialPrefix_->text();
    settings.modemInit = modemInit_->text();
    settings.dialAttempts = dialAttempts_->text();
    settings.retryWait = retryWait_->text();
    settings.timeOut = timeOut_->text();
    settings.faxClass = TFormFields::ItemIndex(faxClass_);
    settings.toneOrPulse = TFormFields::ItemIndex(toneOrPulse_);
    settings.blindDial = blindDial_->isChecked();
    settings.ignoreBusy = ignoreBusy_->isChecked();
    settings.rateIndex = transferRate_->currentIndex();
    return settings;
}

QString TSendFaxForm::ResultText() const {
    return resultText_;
}

QString TSendFaxForm::HeaderLine(const QString& name, const QString& stationId,
                                 const QDateTime& when) {
    QString line = QStringLiteral("Page $P of $N, Sent ");
    if (!(name + stationId).trimmed().isEmpty()) {
        line += "by ";
    }
    if (!name.isEmpty()) {
        line += name + ",";
    }
    if (!stationId.isEmpty()) {
        line += " $I ";
    }
    const QLocale c = QLocale::c();
    line += " on " + c.toString(when.date(), "d MMM yyyy") + " at " +
            c.toString(when.time(), "hh:mmap");
    return line;
}

QString TSendFaxForm::ModemInitCommand(const QString& typed) {
    return QString::fromStdString(::ModemInitCommand(typed.toStdString()));
}

int TSendFaxForm::SelectedPortNumber() const {
    return TFormFields::ItemIndex(comPort_) + 1;
}

void TSendFaxForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    SetHintTarget(status_);
    if (firstActivation_) {
        firstActivation_ = false;
        phoneNumber_->setText(presetPhone_);
        phoneNumber_->setCursorPosition(0);
        phoneNumber_->selectAll();
        // The caller shows the hourglass while it builds the fax file; the window is
        // ready now. Popped again when the window closes, giving the hourglass back to
        // the caller while it stores the result.
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        arrowPushed_ = true;
    }
}

void TSendFaxForm::SendClick() {
    if (busy_) {
        QApplication::beep();
        return;
    }
    busy_ = true;
    status_->setText(QStringLiteral("Opening communications port..."));
    QApplication::processEvents();
    port_->SetComNumber(static_cast<std::uint16_t>(SelectedPortNumber()));
    QString message;
    if (!OpenComPort(*port_, message)) {
        ClosePort();
        status_->clear();
        InfoBox(message);
        busy_ = false;
        return;
    }
    status_->clear();
    QApplication::processEvents();
    try {
        ConfigureSendFax();
        sendFax_->StartTransmit();
    } catch (const std::exception&) {
        // Reported by the component's own events when it got that far; silent otherwise.
        busy_ = false;
        SetHintTarget(status_);
        ClosePort();
    }
}

void TSendFaxForm::ConfigureSendFax() {
    sendFax_->SetDesiredBPS(
        static_cast<std::uint16_t>(BpsFromIndex(transferRate_->currentIndex())));
    sendFax_->SetBlindDial(blindDial_->isChecked());
    sendFax_->SetDetectBusy(!ignoreBusy_->isChecked());
    sendFax_->SetFaxFile(ComponentText(faxFile_));
    sendFax_->SetCoverFile(ComponentText(coverFile_));
    sendFax_->SetPhoneNumber(ComponentText(phoneNumber_->text()));
    sendFax_->SetToneDial(TFormFields::ItemIndex(toneOrPulse_) == 0);
    sendFax_->SetFaxClass(static_cast<TFaxClass>(TFormFields::ItemIndex(faxClass_) + 1));
    // The first text that is not a whole number ends the conversion: it and the ones
    // after it keep the component's values.
    if (const auto attempts = WholeNumber(dialAttempts_->text())) {
        sendFax_->SetDialAttempts(*attempts);
        if (const auto retryWait = WholeNumber(retryWait_->text())) {
            sendFax_->SetDialRetryWait(*retryWait);
            if (const auto timeOut = WholeNumber(timeOut_->text())) {
                sendFax_->SetDialWait(*timeOut);
            }
        }
    }
    sendFax_->SetStationID(ComponentText(stationId_->text()));
    sendFax_->SetDialPrefix(ComponentText(dialPrefix_->text()));
    if (!modemInit_->text().isEmpty()) {
        sendFax_->SetModemInit(ComponentText(ModemInitCommand(modemInit_->text())));
    }
    sendFax_->SetHeaderLine(ComponentText(
        HeaderLine(userName_->text(), stationId_->text(), QDateTime::currentDateTime())));
}

void TSendFaxForm::TransmissionFinished(int errorCode) {
    const QString message = FaxErrorMessage(errorCode);
    resultText_ = (errorCode == 0 || message.toUpper() == "OK") ? QStringLiteral("Sent") : message;
    // The call is over: the port is free again before the user reads the outcome.
    ClosePort();
    InfoBox("Finished: " + message);
    busy_ = false;
}

void TSendFaxForm::CheckFaxClassClick() {
    {
        TCheckFaxClassForm dialog(port_, sendFax_, SelectedPortNumber(), this);
        CenterForm(&dialog);
        dialog.exec();
        const int found = dialog.RecommendedClass();
        if (found >= 0 && found + 1 != TFormFields::ItemIndex(faxClass_) &&
            AskYesNo("Set fax class as " + dialog.RecommendedName() + " ?", "Fax Class")) {
            TFormFields::SelectItem(faxClass_, found + 1);
        }
    }
    ClosePort();
    QApplication::processEvents();
}

void TSendFaxForm::FindModemClick() {
    TFindModemForm::SearchAndOffer(port_, comPort_, this);
}

void TSendFaxForm::CloseClick() {
    if (busy_) {
        QApplication::beep();
        return;
    }
    ClosePort();
    RestoreCallerCursor();
    QDialog::reject();
}

void TSendFaxForm::reject() {
    CloseClick();
}

void TSendFaxForm::closeEvent(QCloseEvent* event) {
    if (busy_) {
        QApplication::beep();
        event->ignore();
        return;
    }
    ClosePort();
    RestoreCallerCursor();
    QDialog::closeEvent(event);
}

void TSendFaxForm::RestoreCallerCursor() {
    if (arrowPushed_) {
        arrowPushed_ = false;
        QApplication::restoreOverrideCursor();
    }
}

void TSendFaxForm::ClosePort() {
    try {
        port_->SetOpen(false);
    } catch (const std::exception&) {
        // A port that will not close is closed as far as this window is concerned.
    }
}
