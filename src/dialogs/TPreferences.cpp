#include "dialogs/TPreferences.h"

#include "common/DataFolder.h"
#include "common/Settings.h"
#include "dialogs/ChooseDefaultFont.h"
#include "dialogs/ModemSettingHints.h"
#include "dialogs/PortDeviceCaptions.h"
#include "dialogs/TCheckFaxClassForm.h"
#include "dialogs/TFindModemForm.h"
#include "faxcomm/TQpComPort.h"
#include "faxcomm/TQpSendFax.h"
#include "faxcomm/core/SerialDeviceScan.h"
#include "ui/TButtonBar.h"
#include "ui/TFormFields.h"
#include "ui/KeyboardAccess.h"
#include "ui/THelpBrowser.h"

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSoundEffect>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int ClientWidth = 606;
constexpr int ClientHeight = 423;
constexpr int StatusHeight = 55;
constexpr int MaxNameLength = 35;
constexpr int MaxFaxNumberLength = 20;
// Room for a port's caption ("Com1  USRobotics USB Modem (ttyACM0)") in its column.
constexpr int PortCaptionWidth = 260;

// Reads a whole number from an edit; keeps `value` when the text is not one.
void TakeWholeNumber(const QLineEdit* edit, int& value) {
    bool ok = false;
    const int number = edit->text().trimmed().toInt(&ok, 10);
    if (ok) {
        value = number;
    }
}

} // namespace

const char* const TPreferences::WelcomeText =
    "Please enter information about yourself and your\nfaxmodem in the Preferences screen. "
    "These values\nwill be saved for future use.\n\nBE SURE TO VERIFY THE PORT AND FAX "
    "CLASS\nSETTINGS BEFORE CONTINUING";

const char* const TPreferences::TestLineWelcomeText =
    "No USB fax modem is plugged in, so the port is set to the\nbuilt-in test line: you can "
    "send and receive test faxes\nwithout a modem. Choose a Com port once your modem is\n"
    "connected.";

TPreferences::TPreferences(bool showWelcome, QWidget* parent)
    : QDialog(parent), showWelcome_(showWelcome) {
    setObjectName("Preferences");
    setWindowTitle(QStringLiteral("Preferences"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    BuildButtonBar();

    auto* body = new QWidget(this);
    auto* columns = new QHBoxLayout(body);
    columns->setContentsMargins(6, 4, 6, 4);
    columns->addWidget(BuildPersonalAndModem(), 1);
    columns->addWidget(BuildDialing(), 1);
    layout->addWidget(body, 1);
    layout->addWidget(BuildReceiving());

    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setFixedHeight(StatusHeight);
    status_->setAlignment(Qt::AlignCenter);
    status_->setWordWrap(true);
    status_->setAutoFillBackground(true);
    status_->setStyleSheet("QLabel#status { color: blue; background-color: silver; }");
    layout->addWidget(status_);

    hintGuard_ = std::make_unique<HintTargetGuard>(this, status_);
    player_ = new QSoundEffect(this);
    ShowPortDevices(comPort_, PortCaptionWidth, ModemSettingHints::ComPort);
    CreatePortComponents();
    PrepareKeyboard();
    // The port list may need more height than the classic layout had.
    setFixedSize(ClientWidth, std::max(ClientHeight, sizeHint().height()));
}

// Tab follows the columns: personal and modem settings, dialing, receiving; then the
// button bar. Each radio group is one Tab stop (the arrow keys choose within it).
void TPreferences::PrepareKeyboard() {
    QList<QWidget*> order{name_, faxNumber_};
    const auto addGroup = [&order](const QButtonGroup* group) {
        for (QAbstractButton* button : group->buttons()) {
            order.append(button);
        }
    };
    addGroup(comPort_);
    addGroup(faxClass_);
    order << modemInit_ << transferRate_ << dialPrefix_;
    addGroup(toneOrPulse_);
    order << dialAttempts_ << retryWait_ << timeOut_ << blindDial_ << ignoreBusy_;
    addGroup(answerOnRing_);
    order << receiveAtStartup_ << waveFileEdit_ << chooseButton_ << playButton_ << noneButton_;
    KeyboardAccess::Prepare(this, order);
}

TPreferences::~TPreferences() = default;

void TPreferences::BuildButtonBar() {
    auto* bar = new TButtonBar(this);
    auto* help = bar->AddButton("Helpbutton", "&Help", "Get Windows help for Preferences");
    auto* font = bar->AddButton("ExplorerButton1", "Set Default Font",
                                "Set the default font to use for new Faxes and Cover Sheets");
    auto* findModem = bar->AddButton("FindModemButton", "Find Modem", ModemSettingHints::FindModem);
    auto* checkClass =
        bar->AddButton("CheckFaxClassButton", "Check Fax Class", ModemSettingHints::CheckFaxClass);
    bar->AddStretch();
    auto* accept = bar->AddButton("OkButton", "&Accept", "Save changes to preferences");
    auto* cancel = bar->AddButton("Cancelbutton", "Cance&l", "Cancel changes to preferences");

    connect(help, &QPushButton::clicked, this,
            [this] { THelpBrowser::ShowTopic(THelpBrowser::hcPreferences, this); });
    connect(font, &QPushButton::clicked, this, [this] { ChooseDefaultFont(this); });
    connect(findModem, &QPushButton::clicked, this, &TPreferences::FindModemClick);
    connect(checkClass, &QPushButton::clicked, this, &TPreferences::CheckFaxClassClick);
    connect(accept, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    static_cast<QVBoxLayout*>(layout())->addWidget(bar);
}

void TPreferences::WidenFor(QLineEdit* edit, int characters) {
    // Room for as many average characters as the field takes, plus its frame and margins.
    edit->setMinimumWidth(edit->fontMetrics().averageCharWidth() * characters + 12);
}

QWidget* TPreferences::BuildPersonalAndModem() {
    auto* panel = new QWidget(this);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(3);

    // Labels above the fields, so that the fields get the column's whole width.
    name_ = TFormFields::StackedEdit("Name", "Your &name", "Enter your name here", panel, grid, 0);
    name_->setMaxLength(MaxNameLength);
    faxNumber_ = TFormFields::StackedEdit("FaxNumber", "Your &fax number (Station ID#)",
                                          "Enter your own fax number here", panel, grid, 2);
    faxNumber_->setMaxLength(MaxFaxNumberLength);
    WidenFor(name_, MaxNameLength);
    WidenFor(faxNumber_, MaxFaxNumberLength);

    // One port per line, each with the device it opens; the fax classes below.
    auto* port = TFormFields::RadioGroup("ComPort", "&Port", PortChoiceItems(), 1, comPort_, this);
    TButtonBar::SetHint(port, ModemSettingHints::ComPort);
    auto* faxClass = TFormFields::RadioGroup("FaxClass", "Fax &class",
                                             {"auto detect", "class 1", "class 2", "class 2.0"}, 2,
                                             faxClass_, this);
    TButtonBar::SetHint(faxClass, ModemSettingHints::FaxClass);
    grid->addWidget(port, 4, 0, 1, 2);
    grid->addWidget(faxClass, 5, 0, 1, 2);

    auto* initLabel = new QLabel("&Modem initialization string:", panel);
    modemInit_ = new QLineEdit(panel);
    modemInit_->setObjectName("ModemInit");
    initLabel->setBuddy(modemInit_);
    TButtonBar::SetHint(modemInit_, ModemSettingHints::ModemInit);
    grid->addWidget(initLabel, 6, 0, 1, 2);
    grid->addWidget(modemInit_, 7, 0, 1, 2);

    auto* rateLabel = new QLabel("&Transfer Rate (BPS)", panel);
    transferRate_ = new QComboBox(panel);
    transferRate_->setObjectName("TransferRate");
    transferRate_->addItems({"2400", "4800", "7200", "9600", "12000", "14400"});
    rateLabel->setBuddy(transferRate_);
    TButtonBar::SetHint(transferRate_, ModemSettingHints::TransferRate);
    grid->addWidget(rateLabel, 8, 0);
    grid->addWidget(transferRate_, 8, 1);
    grid->setRowStretch(9, 1);
    return panel;
}

QWidget* TPreferences::BuildDialing() {
    auto* panel = new QWidget(this);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setVerticalSpacing(3);

    dialPrefix_ = TFormFields::LabelledEdit(
        "DialPrefix", "&Dial prefix:", ModemSettingHints::DialPrefix, panel, grid, 0);
    auto* tone = TFormFields::RadioGroup("ToneOrPulse", "Tone &or Pulse", {"Tone", "Pulse"}, 2,
                                         toneOrPulse_, this);
    TButtonBar::SetHint(tone, ModemSettingHints::ToneOrPulse);
    grid->addWidget(tone, 1, 0, 1, 2);
    dialAttempts_ = TFormFields::LabelledEdit("DialAttempts", "N&umber of dial attempts",
                                              ModemSettingHints::DialAttempts, panel, grid, 2);
    retryWait_ = TFormFields::LabelledEdit("RetryWait", "Seconds to wait before &retry",
                                           ModemSettingHints::RetryWait, panel, grid, 3);
    timeOut_ = TFormFields::LabelledEdit("TimeOut", "&Seconds to wait before timeout",
                                         ModemSettingHints::TimeOut, panel, grid, 4);
    dialAttempts_->setText("3");
    retryWait_->setText("60");
    timeOut_->setText("60");
    for (QLineEdit* edit : {dialAttempts_, retryWait_, timeOut_}) {
        edit->setMaximumWidth(60);
    }

    blindDial_ = new QCheckBox("&Blind Dial", panel);
    blindDial_->setObjectName("CheckBlindDial");
    TButtonBar::SetHint(blindDial_, ModemSettingHints::BlindDial);
    ignoreBusy_ = new QCheckBox("&Ignore Busy Signal", panel);
    ignoreBusy_->setObjectName("CheckIgnoreBusy");
    TButtonBar::SetHint(ignoreBusy_, ModemSettingHints::IgnoreBusy);
    grid->addWidget(blindDial_, 5, 0, 1, 2);
    grid->addWidget(ignoreBusy_, 6, 0, 1, 2);

    auto* ring = TFormFields::RadioGroup("AnswerOnRing", "Answer on rin&g", {"1", "2", "3"}, 3,
                                         answerOnRing_, this);
    TButtonBar::SetHint(ring, "Select which ring Quillpost should answer on, when in receive mode");
    grid->addWidget(ring, 7, 0, 1, 2);
    grid->setRowStretch(8, 1);
    return panel;
}

QWidget* TPreferences::BuildReceiving() {
    auto* panel = new QWidget(this);
    auto* grid = new QGridLayout(panel);
    grid->setContentsMargins(6, 0, 6, 4);
    grid->setVerticalSpacing(2);

    receiveAtStartup_ = new QCheckBox("Start Recei&ving at program startup", panel);
    receiveAtStartup_->setObjectName("ReceiveAtStartup");
    TButtonBar::SetHint(receiveAtStartup_, "Check this box to have Quillpost start receiving "
                                           "faxes \nas soon as it starts up");
    grid->addWidget(receiveAtStartup_, 0, 0, 1, 4);

    auto* wavLabel = new QLabel("Select &WAV File to play when receiving a fax:", panel);
    waveFileEdit_ = new QLineEdit(panel);
    waveFileEdit_->setObjectName("WaveFileEdit");
    wavLabel->setBuddy(waveFileEdit_);
    TButtonBar::SetHint(waveFileEdit_, "Type in the path and name of the .WAV file");
    // Alt letters: "Fax &class" and "Your &name" have C and N.
    auto* choose = new QPushButton("Choos&e", panel);
    choose->setObjectName("SelectWavButton");
    TButtonBar::SetHint(choose, "Select the .WAV file from a Windows\nFile Open dialog");
    auto* play = new QPushButton("Pla&y Now", panel);
    play->setObjectName("BitBtn2");
    TButtonBar::SetHint(play, "Play the .WAV file you have selected");
    auto* none = new QPushButton("None", panel);
    none->setObjectName("BitBtn1");
    chooseButton_ = choose;
    playButton_ = play;
    noneButton_ = none;
    grid->addWidget(wavLabel, 1, 0, 1, 4);
    grid->addWidget(waveFileEdit_, 2, 0);
    grid->addWidget(choose, 2, 1);
    grid->addWidget(play, 2, 2);
    grid->addWidget(none, 2, 3);
    grid->setColumnStretch(0, 1);

    connect(choose, &QPushButton::clicked, this, &TPreferences::SelectWavFile);
    connect(play, &QPushButton::clicked, this, &TPreferences::PlayNow);
    connect(none, &QPushButton::clicked, waveFileEdit_, &QLineEdit::clear);
    return panel;
}

void TPreferences::LoadFrom(const QpSettings& settings) {
    transferRate_->setCurrentIndex(IndexFromBps(settings.maximumBps));
    waveFileEdit_->setText(QString::fromStdString(settings.receiveWav));
    faxNumber_->setText(QString::fromStdString(settings.userFax));
    name_->setText(QString::fromStdString(settings.userName));
    dialPrefix_->setText(QString::fromStdString(settings.dialPrefix));
    modemInit_->setText(QString::fromStdString(settings.initString));
    dialAttempts_->setText(QString::number(settings.dialAttempts));
    retryWait_->setText(QString::number(settings.retryWait));
    timeOut_->setText(QString::number(settings.dialTimeout));
    TFormFields::SelectItem(comPort_, settings.comPort);
    // A first start with no USB serial device: the test line lets the user try the program.
    testLinePreselected_ = showWelcome_ && !qpcomm::SerialDeviceScan::UsbSerialDevicePresent();
    if (testLinePreselected_) {
        TFormFields::SelectItem(comPort_, TestLinePortIndex);
    }
    TFormFields::SelectItem(faxClass_, settings.faxClass);
    receiveAtStartup_->setChecked(settings.receiveAtStartup);
    TFormFields::SelectItem(answerOnRing_, settings.answerOnRing - 1);
    blindDial_->setChecked(settings.blindDial);
    ignoreBusy_->setChecked(settings.ignoreBusy);
    TFormFields::SelectItem(toneOrPulse_, settings.toneOrPulse);
    // Filled fields show the start of their text, not its end.
    for (QLineEdit* edit : findChildren<QLineEdit*>()) {
        edit->setCursorPosition(0);
    }
}

void TPreferences::StoreTo(QpSettings& settings) const {
    settings.maximumBps = BpsFromIndex(transferRate_->currentIndex());
    settings.receiveWav = waveFileEdit_->text().toStdString();
    settings.userFax = faxNumber_->text().toStdString();
    settings.userName = name_->text().toStdString();
    settings.dialPrefix = dialPrefix_->text().toStdString();
    settings.initString = modemInit_->text().toStdString();
    TakeWholeNumber(dialAttempts_, settings.dialAttempts);
    TakeWholeNumber(retryWait_, settings.retryWait);
    TakeWholeNumber(timeOut_, settings.dialTimeout);
    settings.comPort = TFormFields::ItemIndex(comPort_);
    settings.faxClass = TFormFields::ItemIndex(faxClass_);
    settings.receiveAtStartup = receiveAtStartup_->isChecked();
    settings.answerOnRing = TFormFields::ItemIndex(answerOnRing_) + 1;
    settings.blindDial = blindDial_->isChecked();
    settings.ignoreBusy = ignoreBusy_->isChecked();
    settings.toneOrPulse = TFormFields::ItemIndex(toneOrPulse_);
}

void TPreferences::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    SetHintTarget(status_);
    if (showWelcome_) {
        showWelcome_ = false;
        // After the dialog is on screen, so that the box appears over it.
        QTimer::singleShot(0, this, &TPreferences::ShowWelcome);
    }
}

void TPreferences::ShowWelcome() {
    QString text = QString::fromLatin1(WelcomeText);
    if (testLinePreselected_) {
        text += QStringLiteral("\n\n") + QString::fromLatin1(TestLineWelcomeText);
    }
    InfoBox(text);
}

void TPreferences::SelectWavFile() {
    QFileDialog dialog(this, QString(), QString::fromStdString(DataFolder()),
                       QStringLiteral("WAVE files (*.wav)"));
    dialog.setObjectName("OpenDialog1");
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QString current = waveFileEdit_->text();
    if (!current.isEmpty() && QFileInfo(current).isFile()) {
        dialog.selectFile(current);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return;
    }
    const QString chosen = dialog.selectedFiles().constFirst();
    if (chosen.toUpper().contains(".WAV")) {
        waveFileEdit_->setText(chosen);
    }
}

void TPreferences::PlayNow() {
    const QString file = waveFileEdit_->text();
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        return;
    }
    player_->stop();
    player_->setSource(QUrl::fromLocalFile(QFileInfo(file).absoluteFilePath()));
    player_->play();
}

// The dialog's own port for the modem tests; its trace and log are kept apart from the
// send window's and the receive mode's.
void TPreferences::CreatePortComponents() {
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
    port_->SetTraceName("QPX2.TRC");
    port_->SetLogName("QPX2.LOG");
    sendFax_ = new TQpSendFax(this);
    sendFax_->setObjectName("QpSendFax1");
    sendFax_->SetComPort(port_);
}

void TPreferences::ClosePort() {
    try {
        port_->SetOpen(false);
    } catch (const std::exception&) {
        // A port that will not close is closed as far as this dialog is concerned.
    }
}

void TPreferences::FindModemClick() {
    TFindModemForm::SearchAndOffer(port_, comPort_, this);
}

void TPreferences::CheckFaxClassClick() {
    {
        TCheckFaxClassForm dialog(port_, sendFax_, TFormFields::ItemIndex(comPort_) + 1, this);
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
