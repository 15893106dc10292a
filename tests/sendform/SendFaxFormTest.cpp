// The send window: its controls and settings, the header line, sending through the
// emulated Class 2 / 2.0 modem with the status display and the finish box, busy calls,
// two sends in one visit, Close and Send while busy, a port that will not open, and the
// keyboard.
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include <filesystem>
#include <memory>

#include "Emulator.h"
#include "KeyboardCheck.h"
#include "SendFormFixtures.h"
#include "common/DataFolder.h"
#include "dialogs/TSendFaxForm.h"
#include "faxcomm/TQpComPort.h"
#include "faxcomm/TQpFaxStatus.h"
#include "faxcomm/TQpSendFax.h"
#include "faxcomm/TStandardFaxDisplay.h"
#include "ui/MessageBoxScript.h"

using namespace sendformtest;

namespace {

SendFaxSettings TypicalSettings(int comPort, int faxClass) {
    SendFaxSettings s;
    s.comPort = comPort;
    s.userName = "Sales Desk";
    s.stationId = "+1 555 0100";
    s.dialPrefix = "";
    s.modemInit = "";
    s.dialAttempts = "1";
    s.retryWait = "1";
    s.timeOut = "30";
    s.faxClass = faxClass;
    s.rateIndex = 5;
    return s;
}

QPushButton* Button(const QWidget* window, const char* name) {
    return window->findChild<QPushButton*>(name);
}

QLineEdit* Edit(const QWidget* window, const char* name) {
    return window->findChild<QLineEdit*>(name);
}

QStringList ShownTexts() {
    QStringList texts;
    for (const MessageBoxScript::ShownBox& box : MessageBoxScript::Shown()) {
        texts << box.text;
    }
    return texts;
}

} // namespace

class SendFaxFormTest final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void headerLineRules();
    void settingsGoInAndComeBack();
    void closingWithoutSendingIsCancelled();
    void sendsWithClass2AndReportsSent();
    void busyThenCancelThenBusyAgainInOneVisit();
    void statusDisplayWorksWhileTheWindowIsModal();
    void portInUseAndMissingPortLeaveTheWindowIdle();
    void keyboardAlone();
};

void SendFaxFormTest::init() {
    MessageBoxScript::Reset();
    MessageBoxScript::AnswerAll(true);
    MapPortsToNothing();
}

void SendFaxFormTest::cleanup() {
    MessageBoxScript::Reset();
}

void SendFaxFormTest::headerLineRules() {
    const QDateTime when(QDate(2026, 12, 7), QTime(15, 50));
    QCOMPARE(TSendFaxForm::HeaderLine("Sales Desk", "+1 555 0100", when),
             QString("Page $P of $N, Sent by Sales Desk, $I  on 7 Dec 2026 at 03:50pm"));
    // A name alone: one blank between the comma and "on", no $I.
    QCOMPARE(TSendFaxForm::HeaderLine("Sales Desk", "", when),
             QString("Page $P of $N, Sent by Sales Desk, on 7 Dec 2026 at 03:50pm"));
    // Neither: no "by", two blanks before "on".
    QCOMPARE(TSendFaxForm::HeaderLine("", "", QDateTime(QDate(2027, 1, 2), QTime(9, 5))),
             QString("Page $P of $N, Sent  on 2 Jan 2027 at 09:05am"));
    // A station ID alone.
    QCOMPARE(TSendFaxForm::HeaderLine("", "4711", QDateTime(QDate(2026, 5, 30), QTime(0, 1))),
             QString("Page $P of $N, Sent by  $I  on 30 May 2026 at 12:01am"));

    QCOMPARE(TSendFaxForm::ModemInitCommand("E0"), QString("ATE0"));
    QCOMPARE(TSendFaxForm::ModemInitCommand("ate0"), QString("ate0"));
    QCOMPARE(TSendFaxForm::ModemInitCommand("S7=90 &at"), QString("S7=90 &at"));
    QCOMPARE(TSendFaxForm::ModemInitCommand(""), QString(""));
}

void SendFaxFormTest::settingsGoInAndComeBack() {
    TSendFaxForm form;
    QCOMPARE(form.windowTitle(), QString("Send Fax"));
    QCOMPARE(form.ResultText(), QString("Cancelled"));
    SendFaxSettings in;
    in.comPort = 3;
    in.userName = "Anna";
    in.stationId = "030 1234";
    in.dialPrefix = "0,";
    in.modemInit = "E0";
    in.dialAttempts = "4x"; // texts come back as typed
    in.retryWait = "90";
    in.timeOut = "45";
    in.faxClass = 2;
    in.toneOrPulse = 1;
    in.blindDial = true;
    in.ignoreBusy = true;
    in.rateIndex = 1;
    form.SetSettings(in);
    QCOMPARE(form.ComPort()->ComNumber(), 4);
    const SendFaxSettings out = form.Settings();
    QCOMPARE(out.comPort, 3);
    QCOMPARE(out.userName, QString("Anna"));
    QCOMPARE(out.stationId, QString("030 1234"));
    QCOMPARE(out.dialPrefix, QString("0,"));
    QCOMPARE(out.modemInit, QString("E0"));
    QCOMPARE(out.dialAttempts, QString("4x"));
    QCOMPARE(out.retryWait, QString("90"));
    QCOMPARE(out.timeOut, QString("45"));
    QCOMPARE(out.faxClass, 2);
    QCOMPARE(out.toneOrPulse, 1);
    QVERIFY(out.blindDial);
    QVERIFY(out.ignoreBusy);
    QCOMPARE(out.rateIndex, 1);
    QCOMPARE(form.findChild<QComboBox*>("TransferRate")->currentText(), QString("4800"));

    // No port chosen selects none; a list index out of range means 9600.
    in.comPort = -1;
    in.rateIndex = 9;
    form.SetSettings(in);
    QCOMPARE(form.Settings().comPort, -1);
    QCOMPARE(form.Settings().rateIndex, 3);
    QCOMPARE(form.findChild<QComboBox*>("TransferRate")->currentText(), QString("9600"));

    // Name and station ID take 20 typed characters at most; a longer name from the
    // settings (Preferences allow 35) is kept whole.
    QCOMPARE(Edit(&form, "sfusername")->maxLength(), 20);
    QCOMPARE(Edit(&form, "sfStationID")->maxLength(), 20);
    in.userName = "Maximilian Alexander von Rose"; // 29 characters
    form.SetSettings(in);
    QCOMPARE(form.Settings().userName, in.userName);

    // The window's own port: trace and log in the data folder, opened only on demand.
    QCOMPARE(form.ComPort()->TraceName(), DataFolder() + "QPXSEND.TRC");
    QCOMPARE(form.ComPort()->LogName(), DataFolder() + "QPXSEND.LOG");
    QVERIFY(!form.ComPort()->AutoOpen());
    QCOMPARE(form.ComPort()->BufferFull(), 7372);
    QCOMPARE(form.ComPort()->BufferResume(), 819);
    QCOMPARE(form.SendFax()->ComPort(), form.ComPort());
    QCOMPARE(form.SendFax()->FaxFileExt(), std::string("APF"));
}

void SendFaxFormTest::closingWithoutSendingIsCancelled() {
    TSendFaxForm form;
    form.SetSettings(TypicalSettings(0, 0));
    form.SetPhoneNumber("5550199");
    // The number reaches its field when the window first shows, not before.
    QCOMPARE(Edit(&form, "sfPhoneNumber")->text(), QString());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(Edit(&form, "sfPhoneNumber")->text(), QString("5550199"));
    Edit(&form, "sfPhoneNumber")->setText("5550123");
    form.hide();
    form.show();
    QCOMPARE(Edit(&form, "sfPhoneNumber")->text(), QString("5550123"));
    Button(&form, "CloseButton")->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Rejected));
    QCOMPARE(form.ResultText(), QString("Cancelled"));
    QVERIFY(MessageBoxScript::Shown().isEmpty());
}

void SendFaxFormTest::sendsWithClass2AndReportsSent() {
    Emulator modem;
    QVERIFY(modem.Start(
        {"--time-factor", "20", "--rx-tiff", modem.File("rx.tif"), "--remote-id", "FAR END"}));
    SetPortDevice(3, modem.Device());
    const std::string fax = DataFolder() + "QPX_1.APF";
    WriteTestFax(fax, 2);

    TSendFaxForm form;
    form.SetFaxFile(QString::fromStdString(fax));
    form.SetPhoneNumber("5550199");
    SendFaxSettings settings = TypicalSettings(2, 2); // Com3, class 2
    settings.modemInit = "E0";
    form.SetSettings(settings);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    bool statusShown = false;
    QString remoteShown;
    form.SendFax()->OnFaxStatus = [&](TQpAbstractFax& fax, bool, bool last) {
        TStandardFaxDisplay* display = form.FaxStatus()->Display();
        if (!last && fax.FaxStatus() == qpfax::fsSendingPage && display->isVisible()) {
            if (!statusShown) {
                SaveShot(display, "fax-status-during-send");
            }
            statusShown = true;
            remoteShown = LabelText(display, "RemoteID");
        }
    };
    Button(&form, "SendFaxButton")->click();
    QVERIFY(form.Busy());
    QVERIFY(WaitUntil([&] { return !form.Busy(); }, 40000));

    QCOMPARE(ShownTexts(), QStringList{"Finished: OK"});
    QCOMPARE(MessageBoxScript::Shown().constFirst().caption, QString("Information"));
    QCOMPARE(form.ResultText(), QString("Sent"));
    QVERIFY(statusShown);
    QCOMPARE(remoteShown, QString("FAR END"));
    QVERIFY(!form.FaxStatus()->Display()->isVisible());
    // The window stays open with its port closed again.
    QVERIFY(form.isVisible());
    QVERIFY(!form.ComPort()->Open());
    QCOMPARE(TiffPageCount(modem.File("rx.tif")), 2);

    // What the component was given: the init string with "AT", the class, the number, the
    // rate of the list, the header line with the sender.
    QCOMPARE(form.SendFax()->ModemInit(), std::string("ATE0"));
    QCOMPARE(form.SendFax()->FaxClass(), qpfax::fcClass2);
    QCOMPARE(form.SendFax()->PhoneNumber(), std::string("5550199"));
    QCOMPARE(form.SendFax()->DesiredBPS(), 14400);
    QCOMPARE(form.SendFax()->StationID(), std::string("+1 555 0100"));
    QVERIFY(QString::fromStdString(form.SendFax()->HeaderLine())
                .startsWith("Page $P of $N, Sent by Sales Desk, $I  on "));
    QVERIFY(modem.Event("dial 5550199").has_value());
    QVERIFY(!modem.EventsSoFar("cmd ATE0").empty());
    QVERIFY(std::filesystem::exists(DataFolder() + "QPXSEND.TRC") ||
            std::filesystem::exists(DataFolder() + "QPXSEND.LOG"));

    Button(&form, "CloseButton")->click();
    QVERIFY(!form.isVisible());
    QCOMPARE(form.ResultText(), QString("Sent"));
}

void SendFaxFormTest::busyThenCancelThenBusyAgainInOneVisit() {
    Emulator modem;
    QVERIFY(modem.Start({"--fault", "busy"}));
    SetPortDevice(4, modem.Device());
    const std::string fax = DataFolder() + "QPX_2.APF";
    WriteTestFax(fax, 1);

    TSendFaxForm form;
    form.SetFaxFile(QString::fromStdString(fax));
    form.SetPhoneNumber("5550100");
    SendFaxSettings settings = TypicalSettings(3, 3); // Com4, class 2.0
    // Attempts is not a number: it and the two after it keep the component's values.
    settings.dialAttempts = "x";
    settings.retryWait = "1";
    settings.timeOut = "1";
    form.SetSettings(settings);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    Button(&form, "SendFaxButton")->click();
    QVERIFY(form.Busy());
    QCOMPARE(form.SendFax()->DialAttempts(), 3);
    QCOMPARE(form.SendFax()->DialRetryWait(), 60);
    QCOMPARE(form.SendFax()->DialWait(), 60);
    // Busy, waiting 60 s to redial: Close, Escape and Send do nothing but beep.
    QVERIFY(WaitUntil([&] { return form.SendFax()->FaxStatus() == qpfax::fsBusyWait; }, 15000));
    Button(&form, "CloseButton")->click();
    QTest::keyClick(&form, Qt::Key_Escape);
    form.close();
    Button(&form, "SendFaxButton")->click();
    QVERIFY(form.isVisible());
    QVERIFY(form.Busy());
    QVERIFY(modem.Event("dial 5550100").has_value());
    QCOMPARE(modem.EventsSoFar("dial ").size(), std::size_t(1));
    // The status display's Cancel ends the call.
    QTest::keyClick(form.FaxStatus()->Display(), Qt::Key_Escape);
    QVERIFY(WaitUntil([&] { return !form.Busy(); }, 15000));
    QCOMPARE(ShownTexts(), QStringList{"Finished: Cancel requested"});
    QCOMPARE(form.ResultText(), QString("Cancel requested"));

    // Second send: attempts and retry convert, the timeout does not and keeps its value.
    Edit(&form, "sfDialAttempts")->setText("1");
    Edit(&form, "sfRetryWait")->setText("2");
    Edit(&form, "sfTimeOut")->setText("3 s");
    Button(&form, "SendFaxButton")->click();
    QVERIFY(WaitUntil([&] { return !form.Busy(); }, 20000));
    QCOMPARE(form.SendFax()->DialAttempts(), 1);
    QCOMPARE(form.SendFax()->DialRetryWait(), 2);
    QCOMPARE(form.SendFax()->DialWait(), 60);
    QCOMPARE(ShownTexts(),
             (QStringList{"Finished: Cancel requested", "Finished: Called fax number was busy"}));
    // The later outcome counts.
    QCOMPARE(form.ResultText(), QString("Called fax number was busy"));
    QVERIFY(!form.ComPort()->Open());
    Button(&form, "CloseButton")->click();
    QVERIFY(!form.isVisible());
}

// The main window runs the send window modally: the status display must still take a
// mouse click on its Cancel button (a window outside the modal one would be blocked).
void SendFaxFormTest::statusDisplayWorksWhileTheWindowIsModal() {
    Emulator modem;
    QVERIFY(modem.Start({"--fault", "busy"}));
    SetPortDevice(6, modem.Device());
    const std::string fax = DataFolder() + "QPX_4.APF";
    WriteTestFax(fax, 1);

    TSendFaxForm form;
    form.SetFaxFile(QString::fromStdString(fax));
    form.SetPhoneNumber("5550100");
    SendFaxSettings settings = TypicalSettings(5, 2); // Com6, class 2
    settings.dialAttempts = "3";                      // busy: waits to dial again
    settings.retryWait = "60";
    form.SetSettings(settings);
    form.setWindowModality(Qt::ApplicationModal);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    Button(&form, "SendFaxButton")->click();
    QVERIFY(WaitUntil([&] { return form.SendFax()->FaxStatus() == qpfax::fsBusyWait; }, 15000));
    TStandardFaxDisplay* display = form.FaxStatus()->Display();
    QVERIFY(display->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(display));
    // Through the window system, where a window blocked by a modal one gets no click.
    QPushButton* cancel = display->findChild<QPushButton*>("CancelButton");
    QTest::mouseClick(display->windowHandle(), Qt::LeftButton, {},
                      cancel->mapTo(display, cancel->rect().center()));
    QVERIFY(WaitUntil([&] { return !form.Busy(); }, 15000));
    QCOMPARE(form.ResultText(), QString("Cancel requested"));
    QVERIFY(!display->isVisible());
    Button(&form, "CloseButton")->click();
}

void SendFaxFormTest::portInUseAndMissingPortLeaveTheWindowIdle() {
    Emulator modem;
    QVERIFY(modem.Start({}));
    SetPortDevice(5, modem.Device());
    TQpComPort other;
    other.SetAutoOpen(false);
    other.SetComNumber(5);
    other.SetOpen(true); // another program holds the port

    TSendFaxForm form;
    form.SetFaxFile(QString::fromStdString(DataFolder() + "QPX_3.APF"));
    form.SetSettings(TypicalSettings(4, 0));
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    Button(&form, "SendFaxButton")->click();
    QVERIFY(!form.Busy());
    QCOMPARE(ShownTexts(),
             QStringList{"The communications port is in use ( Com 5 )\r\rPlease make sure that "
                         "all communication programs (internet, AOL, etc) are closed, and then "
                         "try again."});
    QVERIFY(!form.ComPort()->Open());
    QCOMPARE(form.ResultText(), QString("Cancelled"));

    // Com6 names a device that does not exist.
    MessageBoxScript::Reset();
    MessageBoxScript::AnswerAll(true);
    form.findChild<QRadioButton*>("ComPort5")->setChecked(true);
    Button(&form, "SendFaxButton")->click();
    QVERIFY(!form.Busy());
    QCOMPARE(ShownTexts(),
             QStringList{"Unable to open the specified communications port ( Com6 )"});
    QCOMPARE(form.ResultText(), QString("Cancelled"));

    // The other program lets go: the window can use the port again.
    other.SetOpen(false);
    form.findChild<QRadioButton*>("ComPort4")->setChecked(true);
    Edit(&form, "sfPhoneNumber")->setText("5550111");
    MessageBoxScript::Reset();
    MessageBoxScript::AnswerAll(true);
    WriteTestFax(DataFolder() + "QPX_3.APF", 1);
    Button(&form, "SendFaxButton")->click();
    QVERIFY(WaitUntil([&] { return !form.Busy(); }, 40000));
    QCOMPARE(ShownTexts(), QStringList{"Finished: OK"});
    QCOMPARE(form.ResultText(), QString("Sent"));
    form.close();
}

void SendFaxFormTest::keyboardAlone() {
    TSendFaxForm form;
    form.SetSettings(TypicalSettings(0, 0));
    form.SetPhoneNumber("555");
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    SaveShot(&form, "send-window");
    QP_VERIFY_KEYBOARD(&form);
    // Typing goes to the number field without anything being clicked first; it replaces
    // the preset number.
    QTest::keyClicks(QApplication::focusWidget(), "0301234567");
    QCOMPARE(Edit(&form, "sfPhoneNumber")->text(), QString("0301234567"));
    // Alt+D jumps to the dial prefix.
    QTest::keyClick(&form, Qt::Key_D, Qt::AltModifier);
    QCOMPARE(QApplication::focusWidget(), Edit(&form, "sfDialPrefix"));
    // Every control explains itself to a screen reader.
    QCOMPARE(Edit(&form, "sfPhoneNumber")->accessibleDescription(),
             QString("Enter the recipient phone # here"));
    QTest::keyClick(&form, Qt::Key_Escape);
    QVERIFY(!form.isVisible());
    QCOMPARE(form.ResultText(), QString("Cancelled"));
}

QTEST_MAIN(SendFaxFormTest)
#include "SendFaxFormTest.moc"
