// The fax components on the emulated modem: defaults and start checks, events on the main
// thread, the history file, the status window with its meter, automatic file names, the
// accept default, cancel from the window.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QtTest>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "Emulator.h"
#include "EngineHarness.h"
#include "KeyboardCheck.h"
#include "TestPages.h"
#include "common/DataFolder.h"
#include "common/IniFile.h"
#include "common/Settings.h"
#include "faxcomm/ComPortExceptions.h"
#include "faxcomm/FaxExceptions.h"
#include "faxcomm/TQpComPort.h"
#include "faxcomm/TQpFaxLog.h"
#include "faxcomm/TQpFaxStatus.h"
#include "faxcomm/TQpMeter.h"
#include "faxcomm/TQpReceiveFax.h"
#include "faxcomm/TQpSendFax.h"
#include "faxcomm/TStandardFaxDisplay.h"

namespace {

void SetPortDevice(int number, const std::string& device) {
    IniFile ini(SettingsFileName());
    ini.WriteString("Ports", "Com" + std::to_string(number), device);
    ini.Save();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Waits (running events) until `done` or `ms` have passed.
template <typename Done>
bool WaitUntil(Done done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

QString LabelText(QWidget* window, const char* name) {
    auto* label = window->findChild<QLabel*>(name);
    return label ? label->text() : QString("<missing %1>").arg(name);
}

} // namespace

class FaxComponentTest final : public QObject {
    Q_OBJECT

private slots:
    void defaultsAndStartChecks();
    void automaticFileNames();
    void meterCells();
    void statusTexts();
    void sendWithStatusWindowAndHistory();
    void busyCountdownAndCancelFromTheWindow();
    void receiveWithUnsetAcceptAndAutomaticNames();
};

void FaxComponentTest::defaultsAndStartChecks() {
    // Constructor values, the port configured for fax, and the three start checks.
    QObject owner;
    auto* port = new TQpComPort(&owner);
    auto* send = new TQpSendFax(&owner);
    QCOMPARE(send->ComPort(), port);
    QCOMPARE(port->OutSize(), 8192);
    QCOMPARE(port->InSize(), 8192);
    QCOMPARE(port->HWFlowOptions(), unsigned(hwfUseRTS | hwfRequireCTS));
    QVERIFY(!send->BlindDial());
    QVERIFY(send->DetectBusy());
    QVERIFY(send->ToneDial());
    QCOMPARE(send->DialWait(), 60);
    QCOMPARE(send->DialAttempts(), 3);
    QCOMPARE(send->DialRetryWait(), 60);
    QCOMPARE(send->DialRetryWaitTicks(), 1092);
    QCOMPARE(send->MaxSendCount(), 50);
    QCOMPARE(send->BufferMinimum(), 1000);
    QVERIFY(send->SafeMode());
    QCOMPARE(send->FaxClass(), qpfax::fcDetect);
    QCOMPARE(send->StatusInterval(), 1);
    QCOMPARE(send->DesiredBPS(), 9600);
    send->SetModemInit("&f1");
    QCOMPARE(send->ModemInit(), std::string("&F1"));

    TQpReceiveFax receive;
    QCOMPARE(receive.AnswerOnRing(), 1);
    QCOMPARE(receive.FaxFileExt(), std::string("APF"));
    QVERIFY(!receive.OneFax());
    QVERIFY(!receive.ConstantStatus());
    QVERIFY_THROWS_EXCEPTION(EPortNotAssigned, receive.StartReceive());

    port->SetOutSize(4096);
    try {
        send->StartTransmit();
        QFAIL("a 4096-byte output buffer must be refused");
    } catch (const EOutputBufferTooSmall& e) {
        QCOMPARE(e.ErrorCode(), -3006);
        QCOMPARE(std::string(e.what()), std::string("Output buffer too small for block"));
    }
    port->SetOutSize(8192);
    port->SetDeviceLayer(dlWinsock);
    QVERIFY_THROWS_EXCEPTION(ECannotUseWithWinSock, send->StartTransmit());
}

void FaxComponentTest::automaticFileNames() {
    // FAX0001 and FAX0002 taken: FAX0003; folders ending in ':' or a separator get none.
    qptest::ScratchDir dir("names");
    std::ofstream(dir.file("FAX0001.APF")) << "x";
    std::ofstream(dir.file("FAX0002.APF")) << "x";
    QCOMPARE(TQpReceiveFax::AutomaticName(dir.path().string(), "APF"), dir.file("FAX0003.APF"));
    QCOMPARE(TQpReceiveFax::AutomaticName(dir.path().string() + "/", "APF"),
             dir.file("FAX0003.APF"));
    QCOMPARE(TQpReceiveFax::AutomaticName("C:", "APF"), std::string("C:FAX0001.APF"));
    QCOMPARE(TQpReceiveFax::AutomaticName("", "TIF"), std::string("FAX0001.TIF"));
}

void FaxComponentTest::meterCells() {
    // 380 pixels at step 10: 37 cells and a 6-pixel part at 100 %, 19 cells at 50 %; a
    // position change fires only when the drawn cells change.
    int cells = 0;
    int partial = 0;
    TQpMeter::CellsFor(380, 100, 0, 100, 10, cells, partial);
    QCOMPARE(cells, 37);
    QCOMPARE(partial, 6);
    TQpMeter::CellsFor(380, 50, 0, 100, 10, cells, partial);
    QCOMPARE(cells, 19);
    QCOMPARE(partial, 0);
    TQpMeter::CellsFor(380, 0, 0, 100, 10, cells, partial);
    QCOMPARE(cells, 0);

    TQpMeter meter;
    QCOMPARE(meter.Step(), 8);
    QCOMPARE(meter.size(), QSize(150, 16));
    meter.resize(380, 20);
    meter.SetStep(10);
    int changes = 0;
    meter.OnPosChange = [&](TQpMeter&) { ++changes; };
    meter.SetPosition(50);
    QCOMPARE(changes, 1);
    QCOMPARE(meter.Cells(), 19);
    meter.SetPosition(51); // still 19 cells
    QCOMPARE(changes, 1);
    meter.SetPosition(100);
    QCOMPARE(changes, 2);
    QCOMPARE(meter.PartialCell(), 6);
    const QImage image = meter.grab().toImage();
    const QColor bar = meter.BarColor();
    QCOMPARE(image.pixelColor(2, 10), bar);
    QCOMPARE(image.pixelColor(9, 10), bar);
    QVERIFY(image.pixelColor(10, 10) != bar); // the gap between cells
    QCOMPARE(image.pixelColor(372 + 5, 10), bar);
}

void FaxComponentTest::statusTexts() {
    QCOMPARE(TStandardFaxDisplay::ShortName("/a/b/ABCDEFGHIJKLMNOPQRSTUVWXY"),
             QString("ABCDEFGHIJKLMNOPQRST..."));
    QCOMPARE(TStandardFaxDisplay::ShortName("/a/SHORT.APF"), QString("SHORT.APF"));
    QCOMPARE(TStandardFaxDisplay::MinutesSeconds(60), QString("  1:00"));
    QCOMPARE(TStandardFaxDisplay::MinutesSeconds(754), QString(" 12:34"));
    QCOMPARE(TStandardFaxDisplay::MinutesSeconds(-3), QString("  0:00"));
    TStandardFaxDisplay window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QP_VERIFY_KEYBOARD(&window);
    QCOMPARE(window.focusWidget(), window.findChild<QPushButton*>("CancelButton"));
    QCOMPARE(window.windowTitle(), QString("Fax Status"));
    QCOMPARE(window.size(), QSize(529, 295));
    QCOMPARE(window.Meter()->geometry(), QRect(120, 7, 380, 20));
}

void FaxComponentTest::sendWithStatusWindowAndHistory() {
    // A send through the components: events on the main thread, the window shown with the
    // call's values and hidden at the end, the history lines, the result 0.
    Emulator modem;
    QVERIFY(modem.Start({"--time-factor", "20", "--remote-id", "FAR END"}));
    SetPortDevice(3, modem.Device());
    const std::string apf = DataFolder() + "SEND.APF";
    enginetest::WriteApf(apf, {testpages::Pattern(1728, 300, 1), testpages::Pattern(1728, 200, 2)},
                         false);
    QObject owner;
    auto* port = new TQpComPort(&owner);
    port->SetComNumber(3);
    auto* status = new TQpFaxStatus(&owner);
    auto* log = new TQpFaxLog(&owner);
    auto* send = new TQpSendFax(&owner);
    QCOMPARE(status->Fax(), send);
    QCOMPARE(log->Fax(), send);
    send->SetFaxClass(qpfax::fcClass2);
    send->SetStationID("quill 1");
    send->SetPhoneNumber("5550199");
    send->SetFaxFile(apf);
    send->SetHeaderLine("PAGE $P OF $N");
    send->SetDesiredBPS(14400);
    bool offThread = false;
    bool shownDuringSend = false;
    QString remoteShown;
    std::vector<int> logs;
    std::optional<int> finished;
    send->OnFaxStatus = [&](TQpAbstractFax& fax, bool, bool last) {
        offThread = offThread || QThread::currentThread() != QCoreApplication::instance()->thread();
        if (!last && fax.FaxStatus() == qpfax::fsSendingPage && status->Display()->isVisible()) {
            shownDuringSend = true;
            remoteShown = LabelText(status->Display(), "RemoteID");
            if (std::getenv("QP_FAX_STATUS_SHOT") != nullptr) {
                status->Display()->grab().save(std::getenv("QP_FAX_STATUS_SHOT"));
            }
        }
    };
    send->OnFaxLog = [&](TQpAbstractFax&, int code) { logs.push_back(code); };
    send->OnFaxFinish = [&](TQpAbstractFax&, int code) { finished = code; };
    send->StartTransmit();
    QVERIFY(WaitUntil([&] { return finished.has_value(); }, 30000));
    QCOMPARE(*finished, 0);
    QVERIFY(!offThread);
    QVERIFY(shownDuringSend);
    QCOMPARE(remoteShown, QString("FAR END"));
    QVERIFY(!status->Display()->isVisible());
    QCOMPARE(logs, (std::vector<int>{1, 2}));
    QVERIFY(!send->InProgress());
    const std::string history = ReadFile(DataFolder() + "QPFAX.HIS");
    QVERIFY2(history.find("Transmit " + apf + " to 5550199 started at ") == 0, history.c_str());
    QVERIFY(history.find("\r\nTransmit to FAR END finished OK at ") != std::string::npos);
    QVERIFY(history.size() > 4 && history.substr(history.size() - 4) == "\r\n\r\n");
    QCOMPARE(LabelText(status->Display(), "TotalPages"), QString("2"));
    QCOMPARE(LabelText(status->Display(), "ConnectBPS"), QString("14400"));
    QCOMPARE(LabelText(status->Display(), "Resolution"), QString("standard"));
}

void FaxComponentTest::busyCountdownAndCancelFromTheWindow() {
    // Busy: the window counts the redial wait down after the status text; Escape in the
    // window cancels: status 42, -6005, the history logs the failure.
    Emulator modem;
    QVERIFY(modem.Start({"--fault", "busy"}));
    SetPortDevice(4, modem.Device());
    const std::string apf = DataFolder() + "BUSY.APF";
    enginetest::WriteApf(apf, {testpages::Pattern(1728, 50, 1)}, false);
    QObject owner;
    auto* port = new TQpComPort(&owner);
    port->SetComNumber(4);
    auto* status = new TQpFaxStatus(&owner);
    auto* send = new TQpSendFax(&owner);
    send->SetFaxClass(qpfax::fcClass2_0);
    send->SetPhoneNumber("5550100");
    send->SetFaxFile(apf);
    send->SetDialRetryWait(60);
    std::optional<int> finished;
    std::vector<int> errors;
    send->OnFaxError = [&](TQpAbstractFax&, int code) { errors.push_back(code); };
    send->OnFaxFinish = [&](TQpAbstractFax&, int code) { finished = code; };
    send->StartTransmit();
    QVERIFY(WaitUntil([&] { return send->FaxStatus() == qpfax::fsBusyWait; }, 10000));
    QVERIFY(WaitUntil(
        [&] { return LabelText(status->Display(), "Status").startsWith("Busy, waiting"); }, 3000));
    const QString text = LabelText(status->Display(), "Status");
    QVERIFY2(text == "Busy, waiting until redial...  1:00" ||
                 text == "Busy, waiting until redial...  0:59",
             qPrintable(text));
    QCOMPARE(LabelText(status->Display(), "DialAttempt"), QString("2"));
    QCOMPARE(LabelText(status->Display(), "CurrentPage"), QString("1"));
    QTest::keyClick(status->Display(), Qt::Key_Escape);
    QVERIFY(WaitUntil([&] { return finished.has_value(); }, 15000));
    QCOMPARE(*finished, -6005);
    QCOMPARE(errors, std::vector<int>{-6005});
    QCOMPARE(send->LastError(), -6005);
}

void FaxComponentTest::receiveWithUnsetAcceptAndAutomaticNames() {
    // A handler that leaves Accept alone takes the call; two documents become FAX0001.APF
    // and FAX0002.APF in DestinationDir; FaxFile is cleared after each finished document.
    const std::string dir = DataFolder() + "receive";
    std::filesystem::create_directories(dir);
    std::filesystem::remove(DataFolder() + "QPFAX.HIS");
    Emulator modem;
    const std::string d1 = modem.File("d1.tif");
    const std::string d2 = modem.File("d2.tif");
    QVERIFY(testpages::WriteTiff(d1, {testpages::Pattern(1728, 40, 3)}, false));
    QVERIFY(testpages::WriteTiff(d2, {testpages::Pattern(1728, 30, 4)}, false));
    QVERIFY(modem.Start({"--tx-tiff", d1 + "," + d2, "--time-factor", "20"}));
    SetPortDevice(5, modem.Device());
    QObject owner;
    auto* port = new TQpComPort(&owner);
    port->SetComNumber(5);
    auto* receive = new TQpReceiveFax(&owner);
    auto* log = new TQpFaxLog(&owner); // added after the fax component: linked all the same
    QCOMPARE(log->Fax(), receive);
    QCOMPARE(receive->FaxLog(), log);
    receive->SetFaxClass(qpfax::fcClass2);
    receive->SetDestinationDir(dir);
    receive->SetOneFax(true);
    int asked = 0;
    receive->OnFaxAccept = [&](TQpReceiveFax&, bool&) { ++asked; };
    std::vector<std::string> filesAtLog;
    std::vector<std::string> filesAfterLog;
    receive->OnFaxLog = [&](TQpAbstractFax& fax, int) { filesAtLog.push_back(fax.FaxFile()); };
    std::optional<int> finished;
    receive->OnFaxFinish = [&](TQpAbstractFax&, int code) { finished = code; };
    receive->OnFaxStatus = [&](TQpAbstractFax& fax, bool, bool) {
        if (fax.FaxStatus() == qpfax::fsWaitingForCall) {
            modem.Send("ring");
        }
    };
    receive->StartReceive();
    QVERIFY(WaitUntil([&] { return finished.has_value(); }, 30000));
    QCOMPARE(*finished, 0);
    QCOMPARE(asked, 1);
    QCOMPARE(filesAtLog, (std::vector<std::string>{dir + "/FAX0001.APF", dir + "/FAX0001.APF",
                                                   dir + "/FAX0002.APF", dir + "/FAX0002.APF"}));
    QVERIFY(receive->FaxFile().empty());
    QVERIFY(std::filesystem::exists(dir + "/FAX0001.APF"));
    QVERIFY(std::filesystem::exists(dir + "/FAX0002.APF"));
    const std::string history = ReadFile(DataFolder() + "QPFAX.HIS");
    QVERIFY2(history.find("Receive " + dir + "/FAX0001.APF from +1 555 0199 started at ") == 0,
             history.c_str());
}

QTEST_MAIN(FaxComponentTest)
#include "FaxComponentTest.moc"
