// The serial port component on pseudo-terminals: defaults, opening by port number with
// the user's wording of failures, waiting for modem answers, events on the main thread,
// reopening on a new number, trace commands.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

#include "ModemSimulator.h"
#include "PtyPair.h"
#include "common/DataFolder.h"
#include "common/IniFile.h"
#include "common/Settings.h"
#include "faxcomm/ComPortExceptions.h"
#include "faxcomm/ComPortHelpers.h"
#include "faxcomm/TQpComPort.h"
#include "faxcomm/core/ComDispatcher.h"
#include "faxcomm/core/PortConstants.h"

namespace {

void SetPortDevice(int number, const std::string& device) {
    IniFile ini(SettingsFileName());
    ini.WriteString("Ports", "Com" + std::to_string(number), device);
    ini.Save();
}

// Lets the port's dispatcher thread post a delivery to this thread, which then does not
// take it (it is busy, as the main thread is inside a long command).
void BusyFor(std::chrono::milliseconds duration) {
    std::this_thread::sleep_for(duration);
}

// Streams bytes into a pty master from a thread of its own until stopped.
class DataStream {
public:
    explicit DataStream(int master)
        : thread_([this, master] {
              const std::string chunk(32, 'd');
              while (!stop_) {
                  if (::write(master, chunk.data(), chunk.size()) <= 0) {
                      std::this_thread::sleep_for(std::chrono::milliseconds(1));
                  }
              }
          }) {}
    ~DataStream() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Runs this thread's events for `duration`, taking each delivery as soon as it comes.
void PumpEventsFor(std::chrono::milliseconds duration) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < duration.count()) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

} // namespace

class ComPortTest final : public QObject {
    Q_OBJECT

private slots:
    void constructorDefaults();
    void openByNumberAndFailureWording();
    void waitForStringWithEchoAndLowerCaseAnswers();
    void waitForStringRestartsOnMismatch();
    void resetModem();
    void answersThroughNoiseAndDelays();
    void eventsRunOnTheMainThreadInOrder();
    void statusAndTimerEvents();
    void closeFromInsideAnEvent();
    void comNumberChangeWhileOpen();
    void tracingAndLoggingCommands();
    void failuresRaiseTheirExceptions();
    void closeKeepsOnlyItsOwnTriggersDisarmed();
    void waitForStringWhileADeliveryWaits();
    void closeAndReopenWhileADeliveryWaits();
    void farEndGoneEndsWaitsAtOnce();
    void destroyedWhileTriggersFire();
    void deniedDeviceAdvisesTheDialoutGroup();
};

void ComPortTest::constructorDefaults() {
    TQpComPort port;
    QCOMPARE(port.DeviceLayer(), dlWin32);
    QCOMPARE(port.ComNumber(), 0);
    QCOMPARE(port.Baud(), 19200);
    QCOMPARE(port.Parity(), pNone);
    QCOMPARE(port.DataBits(), 8);
    QCOMPARE(port.StopBits(), 1);
    QCOMPARE(port.InSize(), 4096);
    QCOMPARE(port.OutSize(), 4096);
    QVERIFY(port.AutoOpen());
    QCOMPARE(port.DispatcherMode(), dWin32);
    QVERIFY(!port.Open());
    QVERIFY(port.DTR());
    QVERIFY(port.RTS());
    QCOMPARE(port.HWFlowOptions(), 0u);
    QCOMPARE(port.SWFlowOptions(), swfNone);
    QCOMPARE(port.XOnChar(), char(17));
    QCOMPARE(port.XOffChar(), char(19));
    QCOMPARE(port.BufferFull(), 0);
    QCOMPARE(port.BufferResume(), 0);
    QCOMPARE(port.Tracing(), tlOff);
    QCOMPARE(port.Logging(), tlOff);
    QCOMPARE(port.TraceSize(), 10000);
    QCOMPARE(port.LogSize(), 10000);
    QCOMPARE(port.TraceName(), std::string("ZADE.TRC"));
    QCOMPARE(port.LogName(), std::string("ZADE.LOG"));
    QVERIFY(port.TraceHex());
    QVERIFY(port.LogHex());
    QVERIFY(port.UseMSRShadow());
    QVERIFY(port.UseEventWord());
    QCOMPARE(port.TriggerLength(), 1);
    QCOMPARE(port.CommNotificationLevel(), 10);
    QCOMPARE(port.TapiMode(), tmAuto);
    QVERIFY(port.ComponentIndex() >= 1);
    port.SetTraceSize(40000);
    QCOMPARE(port.TraceSize(), 32760);
    port.SetLogSize(65535);
    QCOMPARE(port.LogSize(), 65520);
    QCOMPARE(port.objectName(), QString());
    QVERIFY(port.findChild<QObject*>("qpComWindow") != nullptr);
}

void ComPortTest::openByNumberAndFailureWording() {
    ModemSimulator modem;
    QVERIFY(modem.Start());
    SetPortDevice(1, modem.DevicePath());
    SetPortDevice(2, "/dev/quillpost-missing-port");

    TQpComPort port;
    QString message;
    QVERIFY(!OpenComPort(port, message)); // ComNumber 0
    QCOMPARE(message, QString("Unable to open the specified communications port ( Com0 )\r"
                              "Error message: The ComNumber property of the TQpComPort has "
                              "not been set"));

    port.SetComNumber(1);
    port.SetBaud(9600);
    port.SetParity(pEven);
    QVERIFY(OpenComPort(port, message));
    QVERIFY(message.isEmpty());
    QVERIFY(port.Open());
    QCOMPARE(port.DeviceName(), modem.DevicePath());
    QCOMPARE(port.Baud(), 9600);
    QCOMPARE(port.Parity(), pNone); // what the pty really took

    // The same device from a second component: in use.
    TQpComPort other;
    other.SetComNumber(1);
    QVERIFY(!OpenComPort(other, message));
    QCOMPARE(message, QString("The communications port is in use ( Com 1 )\r\rPlease make sure "
                              "that all communication programs (internet, AOL, etc) are closed, "
                              "and then try again."));
    QVERIFY(!other.Open());

    other.SetComNumber(2);
    QVERIFY(!OpenComPort(other, message));
    QCOMPARE(message, QString("Unable to open the specified communications port ( Com2 )"));

    // Another port library error keeps its text: flow limits the dispatcher refuses.
    port.SetOpen(false);
    port.SetHWFlowOptions(hwfUseRTS | hwfRequireCTS);
    port.SetBufferFull(100); // resume becomes 10 % of 4096, above the full mark
    QVERIFY(!OpenComPort(port, message));
    QCOMPARE(message, QString("Unable to open the specified communications port ( Com1 )\r"
                              "Error message: Bad argument passed to function"));
    QVERIFY(!port.Open());

    // The program's own configuration: 8192 bytes, RTS/CTS, thresholds derived.
    port.SetInSize(8192);
    port.SetOutSize(8192);
    port.SetBufferFull(0);
    port.SetBufferResume(0);
    QVERIFY(OpenComPort(port, message));
    QCOMPARE(port.BufferFull(), 7372);
    QCOMPARE(port.BufferResume(), 819);
}

void ComPortTest::waitForStringWithEchoAndLowerCaseAnswers() {
    ModemSimOptions options;
    options.echo = true;
    options.lowerCase = true;
    ModemSimulator modem(options);
    QVERIFY(modem.Start());
    SetPortDevice(1, modem.DevicePath());
    TQpComPort port;
    port.SetComNumber(1);
    std::string seen;
    port.OnWaitChar = [&](TQpComPort&, char c) { seen += c; };
    port.OutputString("AT\r");
    QVERIFY(port.WaitForString("OK", 36, true, false));
    QCOMPARE(seen, std::string("AT\r\r\nok"));

    // Compared with case the lower-case answer never matches: the time limit ends it.
    port.OutputString("AT\r");
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!port.WaitForString("OK", 9, false, true));
    QVERIFY(timer.elapsed() >= 9 * 55 - 5);
    QVERIFY(timer.elapsed() < 9 * 55 + 3000);
    QVERIFY(port.WaitForString("", 0, false, false));
}

void ComPortTest::waitForStringRestartsOnMismatch() {
    PtyPair pty;
    SetPortDevice(3, pty.SlaveName());
    TQpComPort port;
    port.SetComNumber(3);
    port.SetOpen(true);
    pty.Write("AAOK");
    QVERIFY(port.WaitForString("AOK", 18, false, false));
    pty.Write("xxOx");
    QVERIFY(!port.WaitForString("OK", 4, false, false));
}

void ComPortTest::resetModem() {
    ModemSimulator modem;
    QVERIFY(modem.Start());
    SetPortDevice(1, modem.DevicePath());
    TQpComPort port;
    port.SetComNumber(1);
    port.SetOpen(true);
    QVERIFY(::ResetModem(port));
    QVERIFY(QTest::qWaitFor([&] { return !modem.Commands().empty(); }));
    QCOMPARE(modem.Commands().back(), std::string("AT&F"));
    port.SetOpen(false);

    // A modem whose answers are lost: false after about two seconds.
    ModemSimOptions options;
    options.dropEvery = 1;
    ModemSimulator silent(options);
    QVERIFY(silent.Start());
    SetPortDevice(2, silent.DevicePath());
    port.SetComNumber(2);
    port.SetOpen(true);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!::ResetModem(port));
    QVERIFY(timer.elapsed() >= 36 * 55 - 5);
    port.SetOpen(false);
    QVERIFY(!::ResetModem(port) || port.Open()); // AutoOpen reopens; no exception escapes
}

// Line noise before the answer and a slow modem still give "OK" within the limit; a
// modem that drops every other answer makes the first wait fail and the retry succeed.
void ComPortTest::answersThroughNoiseAndDelays() {
    ModemSimOptions options;
    options.noiseBytes = 40;
    options.delayMs = 600;
    options.seed = 7;
    ModemSimulator noisy(options);
    QVERIFY(noisy.Start());
    SetPortDevice(1, noisy.DevicePath());
    TQpComPort port;
    port.SetComNumber(1);
    port.SetOpen(true);
    QVERIFY(::ResetModem(port));
    port.OutputString("ATE0\r");
    QVERIFY(port.WaitForString("OK", 36, true, false));
    port.SetOpen(false);

    ModemSimOptions dropping;
    dropping.dropEvery = 2;
    ModemSimulator lossy(dropping);
    QVERIFY(lossy.Start());
    SetPortDevice(2, lossy.DevicePath());
    port.SetComNumber(2);
    port.SetOpen(true);
    port.OutputString("AT\r");
    QVERIFY(port.WaitForString("OK", 18, true, false));
    port.OutputString("AT\r");
    QVERIFY(!port.WaitForString("OK", 9, true, false));
    port.OutputString("AT\r");
    QVERIFY(port.WaitForString("OK", 18, true, false));
}

void ComPortTest::eventsRunOnTheMainThreadInOrder() {
    PtyPair pty;
    SetPortDevice(3, pty.SlaveName());
    TQpComPort port;
    port.SetComNumber(3);
    port.SetOpen(true);
    const int ok = port.AddDataTrigger("OK");
    QStringList events;
    bool allOnMainThread = true;
    auto onMain = [&] {
        allOnMainThread &= QThread::currentThread() == QCoreApplication::instance()->thread();
    };
    port.OnTrigger = [&](TQpComPort&, std::uint16_t msg, std::uint16_t handle, std::uint16_t) {
        onMain();
        events << QString("trigger %1 %2").arg(msg, 0, 16).arg(handle);
    };
    port.OnTriggerAvail = [&](TQpComPort&, std::uint16_t count) {
        onMain();
        events << QString("avail %1").arg(count);
    };
    port.OnTriggerData = [&](TQpComPort&, std::uint16_t handle) {
        onMain();
        events << QString("data %1").arg(handle);
    };
    pty.Write("xxOK");
    QTRY_COMPARE(events.size(), 6);
    QCOMPARE(events, QStringList({"trigger 7e01 2", "avail 2", QString("trigger 7e02 %1").arg(ok),
                                  QString("data %1").arg(ok), "trigger 7e01 4", "avail 4"}));
    QVERIFY(allOnMainThread);

    // While waiting for a string the port's triggers are held back.
    port.FlushInBuffer();
    events.clear();
    std::thread writer([&pty] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        pty.Write("OK");
    });
    const bool found = port.WaitForString("OK", 36, false, true);
    writer.join();
    QVERIFY(found);
    QTest::qWait(100);
    QVERIFY2(events.isEmpty(), qPrintable(events.join(",")));
}

void ComPortTest::statusAndTimerEvents() {
    PtyPair pty;
    SetPortDevice(3, pty.SlaveName());
    TQpComPort port;
    port.SetComNumber(3);
    int timers = 0;
    int used = 0;
    int status = 0;
    port.OnTriggerTimer = [&](TQpComPort&, std::uint16_t) { ++timers; };
    port.OnTriggerOutbuffUsed = [&](TQpComPort&) { ++used; };
    port.OnTriggerStatus = [&](TQpComPort&, std::uint16_t) { ++status; };
    const int timer = port.AddTimerTrigger(); // AutoOpen opens the port
    QVERIFY(port.Open());
    port.SetTimerTrigger(timer, 2, true);
    QTRY_COMPARE(timers, 1);
    const int empty = port.AddStatusTrigger(4);
    port.OutputString("hello");
    port.SetStatusTrigger(empty, 0, true);
    QTRY_COMPARE(used, 1);
    QCOMPARE(status, 1);
    QCOMPARE(port.OutBuffUsed(), 0);
    QCOMPARE(pty.Read(5, std::chrono::milliseconds(1000)), std::string("hello"));
    QTest::qWait(100);
    QCOMPARE(timers, 1);
    QCOMPARE(used, 1);
}

void ComPortTest::closeFromInsideAnEvent() {
    PtyPair pty;
    SetPortDevice(3, pty.SlaveName());
    TQpComPort port;
    port.SetComNumber(3);
    port.SetOpen(true);
    int calls = 0;
    port.OnTriggerAvail = [&](TQpComPort& self, std::uint16_t) {
        ++calls;
        self.SetOpen(false);
    };
    pty.Write("data");
    QTRY_COMPARE(calls, 1);
    QVERIFY(!port.Open());
    pty.Write("more");
    QTest::qWait(100);
    QCOMPARE(calls, 1);
    // The device is released by the time the close returns: it can be opened again.
    port.SetOpen(true);
    QVERIFY(port.Open());
}

void ComPortTest::comNumberChangeWhileOpen() {
    PtyPair first;
    PtyPair second;
    SetPortDevice(3, first.SlaveName());
    SetPortDevice(4, second.SlaveName());
    const std::string traceFile = DataFolder() + "QPX2.TRC";
    TQpComPort port;
    port.SetComNumber(3);
    port.SetTraceName(traceFile);
    port.SetTracing(tlOn);
    port.SetLogging(tlOn); // dumped to "ZADE.LOG" in the data folder
    port.SetTriggerLength(3);
    port.SetOpen(true);
    const int timer = port.AddTimerTrigger();
    const int match = port.AddDataTrigger("RING");
    port.OutputString("ATA\r");
    QCOMPARE(first.Read(4, std::chrono::milliseconds(1000)), std::string("ATA\r"));

    port.SetComNumber(4);
    QVERIFY(port.Open());
    QCOMPARE(port.DeviceName(), second.SlaveName());
    QCOMPARE(port.Tracing(), tlOn);
    QCOMPARE(port.Logging(), tlOn);
    QCOMPARE(ReadFile(traceFile), std::string("\nTransmit: ATA[0D]\n")); // dumped at close

    // The triggers came along: same handles, same threshold.
    int timers = 0;
    QList<int> data;
    QList<int> avail;
    port.OnTriggerTimer = [&](TQpComPort&, std::uint16_t handle) { timers += handle == timer; };
    port.OnTriggerData = [&](TQpComPort&, std::uint16_t handle) { data << handle; };
    port.OnTriggerAvail = [&](TQpComPort&, std::uint16_t count) { avail << count; };
    port.SetTimerTrigger(timer, 1, true);
    QTRY_COMPARE(timers, 1);
    second.Write("RING");
    QTRY_COMPARE(data, QList<int>{match});
    QTRY_COMPARE(avail, QList<int>{4});
    port.SetOpen(false);
    QVERIFY(ReadFile(DataFolder() + "ZADE.LOG").rfind("Time      Type", 0) == 0);
}

void ComPortTest::tracingAndLoggingCommands() {
    PtyPair pty;
    SetPortDevice(3, pty.SlaveName());
    const std::string traceFile = DataFolder() + "QPX.TRC";
    const std::string logFile = DataFolder() + "QPX.LOG";
    TQpComPort port;
    port.SetComNumber(3);
    port.SetTraceName(traceFile);
    port.SetLogName(logFile);
    port.SetTracing(tlDump); // closed: only On and Off are kept
    QCOMPARE(port.Tracing(), tlOff);
    port.SetTracing(tlOn);
    QCOMPARE(port.Tracing(), tlOn);
    port.SetOpen(true);
    port.SetLogging(tlOn);
    port.OutputString("AT\r");
    port.SetTracing(tlPause);
    port.OutputString("hidden");
    port.SetTracing(tlOn);
    port.OutputString("Z");
    port.SetTracing(tlDump);
    QCOMPARE(port.Tracing(), tlOff);
    QCOMPARE(ReadFile(traceFile), std::string("\nTransmit: AT[0D]Z\n"));
    QVERIFY_THROWS_EXCEPTION(ETracingNotEnabled, port.SetTracing(tlDump));

    port.SetTracing(tlOn);
    port.OutputString("A");
    port.SetTracing(tlClear);
    port.OutputString("B");
    port.SetTraceHex(false);
    port.SetTracing(tlAppend);
    QCOMPARE(ReadFile(traceFile), std::string("\nTransmit: AT[0D]Z\n\nTransmit: B\n"));

    QTRY_COMPARE(port.OutBuffUsed(), 0);
    QTest::qWait(20);
    port.SetLogging(tlDump);
    const std::string log = ReadFile(logFile);
    QVERIFY(log.rfind("Time      Type      SubType       Data  OtherData\n", 0) == 0);
    QVERIFY(log.find("Write") != std::string::npos);
}

void ComPortTest::failuresRaiseTheirExceptions() {
    PtyPair pty;
    SetPortDevice(3, pty.SlaveName());
    TQpComPort port;
    port.SetComNumber(3);
    port.SetAutoOpen(false);
    try {
        port.GetChar();
        QFAIL("no exception");
    } catch (const ECommNotOpen& error) {
        QCOMPARE(error.ErrorCode(), -2007);
        QCOMPARE(std::string(error.what()), std::string("ie_NOpen - device not open"));
    }
    port.SetOpen(true);
    try {
        port.GetChar();
        QFAIL("no exception");
    } catch (const EBufferIsEmpty& error) {
        QCOMPARE(error.ErrorCode(), -3007);
        QCOMPARE(std::string(error.what()), std::string("Buffer is empty"));
    }
    QVERIFY_THROWS_EXCEPTION(EOutputBufferTooSmall, port.OutputString(std::string(5000, 'x')));
    QVERIFY_THROWS_EXCEPTION(EBadTriggerHandle, port.RemoveTrigger(41));
    QVERIFY_THROWS_EXCEPTION(EBadArgument, port.AddStatusTrigger(6));
    QVERIFY_THROWS_EXCEPTION(ENotSupported, port.SetBaud(12345));

    // An exception from an event handler is reported, and dispatching goes on.
    std::string reported;
    TQpComPort::SetHandlerErrorReporter([&](const std::exception& e) { reported = e.what(); });
    int calls = 0;
    port.OnTriggerAvail = [&](TQpComPort& self, std::uint16_t) {
        ++calls;
        self.GetChar();
        self.GetChar(); // the second byte is not there yet
    };
    pty.Write("x");
    QTRY_COMPARE(reported, std::string("Buffer is empty"));
    pty.Write("yz");
    QTRY_COMPARE(calls, 2);
    TQpComPort::SetHandlerErrorReporter(nullptr);
}

// Receive mode on and off again and again: only the component's own triggers come back at
// the next open, disarmed; triggers another user (the fax engine) added to the port, and
// timers armed at the close, do not.
void ComPortTest::closeKeepsOnlyItsOwnTriggersDisarmed() {
    PtyPair pty;
    SetPortDevice(3, pty.SlaveName());
    TQpComPort port;
    port.SetComNumber(3);
    QList<int> timers;
    QList<int> matches;
    port.OnTriggerTimer = [&](TQpComPort&, std::uint16_t handle) { timers << handle; };
    port.OnTriggerData = [&](TQpComPort&, std::uint16_t handle) { matches << handle; };
    port.SetOpen(true);
    const int own = port.AddTimerTrigger();
    const int ring = port.AddDataTrigger("RING");
    auto& dispatcher = qpcomm::ComDispatcher::Instance();
    for (int cycle = 0; cycle < 20; ++cycle) {
        port.SetOpen(true);
        const int foreign = dispatcher.AddTimerTrigger(port.PortHandle());
        QVERIFY2(foreign > 0, qPrintable(QString("cycle %1: %2").arg(cycle).arg(foreign)));
        QCOMPARE(dispatcher.SetTimerTrigger(port.PortHandle(), foreign, 2, true), 0);
        port.SetTimerTrigger(own, 2, true);
        port.SetOpen(false);
    }
    port.SetOpen(true);
    QTest::qWait(300);
    QCOMPARE(timers, QList<int>());

    port.SetTimerTrigger(own, 0, true); // its last count, 2 ticks
    QTRY_COMPARE(timers, QList<int>{own});
    pty.Write("RING");
    QTRY_COMPARE(matches, QList<int>{ring});
}

// "OK" arriving while a trigger delivery waits for this thread is seen by a wait for it:
// the dispatcher goes on reading, and the wait withdraws the delivery that waits.
void ComPortTest::waitForStringWhileADeliveryWaits() {
    PtyPair pty;
    SetPortDevice(3, pty.SlaveName());
    TQpComPort port;
    port.SetComNumber(3);
    port.SetOpen(true);
    int avail = 0;
    port.OnTriggerAvail = [&](TQpComPort&, std::uint16_t) { ++avail; };
    pty.Write("x");
    BusyFor(std::chrono::milliseconds(50));
    QElapsedTimer timer;
    timer.start();
    std::thread modem([&pty] {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        pty.Write("OK");
    });
    const bool found = port.WaitForString("OK", 9, false, false);
    modem.join();
    QVERIFY(found);
    QVERIFY2(timer.elapsed() < 400, qPrintable(QString::number(timer.elapsed())));
    QTest::qWait(100);
    QCOMPARE(avail, 0);
}

// Closing while a delivery waits for this thread frees the device at once, and the
// delivery does not reach the port opened next (same component, same slot).
void ComPortTest::closeAndReopenWhileADeliveryWaits() {
    PtyPair pty;
    SetPortDevice(3, pty.SlaveName());
    TQpComPort port;
    port.SetComNumber(3);
    QList<int> avail;
    port.OnTriggerAvail = [&](TQpComPort&, std::uint16_t count) { avail << count; };
    for (int round = 0; round < 5; ++round) {
        port.SetOpen(true);
        pty.Write("x");
        BusyFor(std::chrono::milliseconds(50));
        const int slot = port.PortHandle();
        port.SetOpen(false);
        try {
            port.SetOpen(true);
        } catch (const EQPException& error) {
            QFAIL(qPrintable(QString("round %1: %2").arg(round).arg(error.what())));
        }
        QCOMPARE(port.PortHandle(), slot);
        QTest::qWait(50);
        QCOMPARE(avail, QList<int>());
        port.SetOpen(false);
    }
}

// A modem that goes away: waits end at once and puts fail, instead of running into their
// time limits.
void ComPortTest::farEndGoneEndsWaitsAtOnce() {
    PtyPair pty;
    SetPortDevice(3, pty.SlaveName());
    TQpComPort port;
    port.SetComNumber(3);
    int lineChanges = 0;
    port.OnTriggerModemStatus = [&](TQpComPort&) { ++lineChanges; };
    port.SetOpen(true);
    const int lines = port.AddStatusTrigger(qpcomm::skModem);
    port.SetStatusTrigger(lines, qpcomm::mslDSR | qpcomm::mslDCD, true);
    pty.CloseMaster();
    QTRY_COMPARE(lineChanges, 1);
    QVERIFY((port.ModemStatus() & qpcomm::mslDSR) == 0);
    QElapsedTimer timer;
    timer.start();
    QVERIFY(!port.WaitForString("OK", 36, false, false));
    QVERIFY2(timer.elapsed() < 500, qPrintable(QString::number(timer.elapsed())));
    QVERIFY_THROWS_EXCEPTION(ENotSupported, port.OutputString("AT\r"));
    QVERIFY_THROWS_EXCEPTION(EGetBlockFail, port.GetChar());
    QVERIFY(port.Open());
}

// A port component destroyed while data streams in and a 1-tick timer fires: whatever is
// being delivered at that moment, nothing reaches the destroyed component. (A send window
// closing during a call.) QP_PORT_STRESS_ROUNDS sets the number of rounds.
void ComPortTest::destroyedWhileTriggersFire() {
    const int rounds = qEnvironmentVariableIsSet("QP_PORT_STRESS_ROUNDS")
                           ? qEnvironmentVariableIntValue("QP_PORT_STRESS_ROUNDS")
                           : 40;
    int timerEvents = 0;
    int availEvents = 0;
    for (int round = 0; round < rounds; ++round) {
        PtyPair pty;
        SetPortDevice(3, pty.SlaveName());
        DataStream stream(pty.Master());
        auto port = std::make_unique<TQpComPort>();
        port->SetComNumber(3);
        port->OnTriggerAvail = [&](TQpComPort& self, std::uint16_t) {
            ++availEvents;
            self.FlushInBuffer();
        };
        port->OnTriggerTimer = [&](TQpComPort& self, std::uint16_t handle) {
            ++timerEvents;
            self.SetTimerTrigger(handle, 1, true);
        };
        try {
            port->SetOpen(true);
        } catch (const EQPException& error) {
            QFAIL(qPrintable(QString("round %1: %2").arg(round).arg(error.what())));
        }
        port->SetTimerTrigger(port->AddTimerTrigger(), 1, true);
        if (round % 10 == 0) {
            // Every tenth round lives until its timer has fired and re-armed itself and
            // data has arrived, so the triggers are known to be firing when it goes.
            const int timersBefore = timerEvents;
            const int availBefore = availEvents;
            // Generous: under ThreadSanitizer beside other tests a round can take seconds.
            QTRY_VERIFY_WITH_TIMEOUT(timerEvents > timersBefore && availEvents > availBefore,
                                     60000);
        } else {
            PumpEventsFor(std::chrono::milliseconds(2 + round % 7));
        }
        BusyFor(std::chrono::milliseconds(round % 3));
        port.reset();
    }
    PumpEventsFor(std::chrono::milliseconds(100)); // what is still posted would run now
    QVERIFY2(timerEvents > 0 && availEvents > 0,
             qPrintable(QString("%1 timer and %2 data events").arg(timerEvents).arg(availEvents)));
}

// A device the user may not open is worded as before, with the advice to join the
// "dialout" group; other failures get no such advice.
void ComPortTest::deniedDeviceAdvisesTheDialoutGroup() {
    const QString denied = OpenFailureMessage(qpcomm::prAccessDenied, 3);
    QVERIFY2(denied.startsWith("Unable to open the specified communications port ( Com3 )\r"
                               "Error message: File access denied\r\r"),
             qPrintable(denied));
    QVERIFY2(denied.contains("\"dialout\" group"), qPrintable(denied));
    QVERIFY(!OpenFailureMessage(qpcomm::prBadId, 3).contains("dialout"));
    QVERIFY(!OpenFailureMessage(qpcomm::prTooManyOpenFiles, 3).contains("dialout"));
}

QTEST_GUILESS_MAIN(ComPortTest)
#include "ComPortTest.moc"
