// Finding the modem's port and fax class, from the send window and from Preferences:
// six ports with modems, silent devices, a port in use and missing devices; the class
// answers of different modems and the questions that follow.
#include <QApplication>
#include <QFont>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QtTest>

#include <memory>

#include "Emulator.h"
#include "KeyboardCheck.h"
#include "ModalAnswer.h"
#include "SendFormFixtures.h"
#include "common/Settings.h"
#include "dialogs/TCheckFaxClassForm.h"
#include "dialogs/TFindModemForm.h"
#include "dialogs/TPreferences.h"
#include "dialogs/TSendFaxForm.h"
#include "faxcomm/TQpComPort.h"
#include "faxcomm/TQpSendFax.h"
#include "ui/MessageBoxScript.h"

using namespace sendformtest;

namespace {

QPushButton* Button(const QWidget* window, const char* name) {
    return window->findChild<QPushButton*>(name);
}

bool Checked(const QWidget* window, const QString& name) {
    const auto* radio = window->findChild<QRadioButton*>(name);
    return radio != nullptr && radio->isChecked();
}

QStringList ShownTexts() {
    QStringList texts;
    for (const MessageBoxScript::ShownBox& box : MessageBoxScript::Shown()) {
        texts << box.caption + ": " + box.text;
    }
    return texts;
}

// Runs `then` once `dialog` has finished its work. The work runs from the dialog's own
// event loop and lets events through, so the answer must not wait inside it.
template <class Dialog>
void WhenFinished(Dialog* dialog, std::function<void()> then) {
    auto* poll = new QTimer(dialog);
    QObject::connect(poll, &QTimer::timeout, dialog, [dialog, poll, then = std::move(then)] {
        if (dialog->Finished()) {
            poll->stop();
            then();
        }
    });
    poll->start(20);
}

struct FindOutcome {
    QStringList lines;
    QString message;
    QString device;
    QString caption;
    bool okShown = false;
    QStringList keyboardProblems;
};

// Runs `open` (which opens the find dialog modally), takes the dialog's texts once it
// has finished and presses "Ok".
FindOutcome RunFindModem(const std::function<void()>& open, const QString& shot = {}) {
    FindOutcome outcome;
    auto answer = qptest::OnNextModal<TFindModemForm>(
        [&](TFindModemForm* dialog) {
            WhenFinished(dialog, [&outcome, dialog, shot] {
                for (int i = 1; i <= 6; ++i) {
                    outcome.lines << LabelText(dialog, qPrintable(QString("PortLine%1").arg(i)));
                }
                outcome.message = LabelText(dialog, "MessageLabel");
                const auto* device = dialog->findChild<QLabel*>("DeviceLabel");
                outcome.device = device->isVisible() ? device->text() : QString();
                outcome.caption = dialog->windowTitle();
                outcome.okShown = Button(dialog, "OkButton")->isVisible();
                if (!shot.isEmpty()) {
                    SaveShot(dialog, shot);
                }
                outcome.keyboardProblems = qptest::KeyboardCheck::Problems(dialog);
                QTest::keyClick(Button(dialog, "OkButton"), Qt::Key_Space);
            });
        },
        40000);
    open();
    answer.Wait();
    return outcome;
}

struct ClassOutcome {
    QString class1, class2, class20, status, caption;
    bool class20Bold = false;
};

ClassOutcome RunCheckClass(const std::function<void()>& open, const QString& shot = {}) {
    ClassOutcome outcome;
    auto answer = qptest::OnNextModal<TCheckFaxClassForm>(
        [&](TCheckFaxClassForm* dialog) {
            WhenFinished(dialog, [&outcome, dialog, shot] {
                outcome.class1 = LabelText(dialog, "Class1Line");
                outcome.class2 = LabelText(dialog, "Class2Line");
                outcome.class20 = LabelText(dialog, "Class20Line");
                outcome.status = LabelText(dialog, "StatusLabel");
                outcome.caption = dialog->windowTitle();
                outcome.class20Bold = dialog->findChild<QLabel*>("Class20Line")->font().bold();
                if (!shot.isEmpty()) {
                    SaveShot(dialog, shot);
                }
                // Escape closes it once the check is over, as "Ok" does.
                QTest::keyClick(dialog, Qt::Key_Escape);
            });
        },
        40000);
    open();
    answer.Wait();
    return outcome;
}

} // namespace

class ModemDetectionTest final : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void findsTheFirstOfTwoModemsAmongSixPorts();
    void findsNothingAndSaysWhy();
    void checksFaxClassesAndRecommends();
    void classCheckFailures();
    void preferencesRunsBothTests();

private:
    TQpComPort holder_; // keeps a port busy as another program would
};

void ModemDetectionTest::init() {
    MessageBoxScript::Reset();
    MapPortsToNothing();
}

void ModemDetectionTest::cleanup() {
    MessageBoxScript::Reset();
    holder_.SetOpen(false);
}

void ModemDetectionTest::findsTheFirstOfTwoModemsAmongSixPorts() {
    // Com1 missing, Com2 a modem, Com3 a device that never answers, Com4 a modem answering
    // in lower case, Com5 held by another program, Com6 missing.
    Emulator com2("com2");
    Emulator com3("com3");
    Emulator com4("com4");
    Emulator com5("com5");
    QVERIFY(com2.Start({}));
    QVERIFY(com3.Start({"--fault", "silent"}));
    QVERIFY(com4.Start({"--fault", "lower"}));
    QVERIFY(com5.Start({}));
    SetPortDevice(2, com2.Device());
    SetPortDevice(3, com3.Device());
    SetPortDevice(4, com4.Device());
    SetPortDevice(5, com5.Device());
    holder_.SetAutoOpen(false);
    holder_.SetComNumber(5);
    holder_.SetOpen(true);

    TSendFaxForm form;
    SendFaxSettings settings;
    settings.comPort = 0;
    form.SetSettings(settings);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    MessageBoxScript::PushAnswer(true); // "Set Com Port to Com 2": Yes
    const FindOutcome found =
        RunFindModem([&] { Button(&form, "FindModemButton")->click(); }, "find-modem");
    QCOMPARE(found.lines,
             (QStringList{"Com 1: Port does not exist", "Com 2: MODEM", "Com 3: Unknown",
                          "Com 4: MODEM", "Com 5: Port is already open (could be modem)",
                          "Com 6: Port does not exist"}));
    QCOMPARE(found.message, QString("A modem was found on Com Port 2. We suggest setting the "
                                    "Port as Com 2."));
    QCOMPARE(found.caption, QString("Find Modem"));
    QVERIFY(found.okShown);
    QVERIFY2(found.keyboardProblems.isEmpty(), qPrintable(found.keyboardProblems.join("\n")));
    QCOMPARE(ShownTexts(), QStringList{"Com Port: Set Com Port to Com 2"});
    QVERIFY(Checked(&form, "ComPort1"));
    // The window's port keeps the number chosen before the scan until the next send.
    QCOMPARE(form.ComPort()->ComNumber(), 1);
    QVERIFY(!form.ComPort()->Open());
    QCOMPARE(form.Settings().comPort, 1);
    // The modems were asked "AT" and nothing else.
    QVERIFY(com2.Event("cmd AT").has_value());

    // Again with Com2 chosen: the same port is found, nothing is asked.
    MessageBoxScript::Reset();
    MessageBoxScript::AnswerAll(false);
    const FindOutcome again = RunFindModem([&] { Button(&form, "FindModemButton")->click(); });
    QCOMPARE(again.lines.value(1), QString("Com 2: MODEM"));
    QVERIFY(MessageBoxScript::Shown().isEmpty());

    // A "No" keeps the port.
    form.findChild<QRadioButton*>("ComPort2")->setChecked(true);
    const FindOutcome declined = RunFindModem([&] { Button(&form, "FindModemButton")->click(); });
    QCOMPARE(ShownTexts(), QStringList{"Com Port: Set Com Port to Com 2"});
    QVERIFY(Checked(&form, "ComPort2"));
    QCOMPARE(form.ComPort()->ComNumber(), 3);
}

void ModemDetectionTest::findsNothingAndSaysWhy() {
    // Nothing at all: every line "Port does not exist", the short text, no question.
    MessageBoxScript::AnswerAll(true);
    TQpComPort port;
    port.SetAutoOpen(false);
    {
        TFindModemForm dialog(&port);
        const FindOutcome none = RunFindModem([&] { dialog.exec(); });
        for (int i = 0; i < 6; ++i) {
            QCOMPARE(none.lines.value(i), QString("Com %1: Port does not exist").arg(i + 1));
        }
        QCOMPARE(none.message, QString("No modem found. If you know which Com port your modem "
                                       "uses, you can also just set the Port to that setting"));
        QCOMPARE(dialog.FoundPort(), -1);
        QVERIFY(none.device.isEmpty());
    }

    // A port in use and no modem: the long text with the advice to close other programs.
    Emulator held;
    QVERIFY(held.Start({}));
    SetPortDevice(3, held.Device());
    holder_.SetAutoOpen(false);
    holder_.SetComNumber(3);
    holder_.SetOpen(true);
    TSendFaxForm form;
    SendFaxSettings settings;
    settings.comPort = 2;
    form.SetSettings(settings);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const FindOutcome inUse = RunFindModem([&] { Button(&form, "FindModemButton")->click(); });
    QCOMPARE(inUse.lines.value(2), QString("Com 3: Port is already open (could be modem)"));
    QCOMPARE(inUse.message,
             QString("No modem found. Please make sure that all communication programs "
                     "(internet, AOL, etc) are closed, and then try again. If you know which "
                     "Com port your modem uses, you can also just set the Port to that setting"));
    QVERIFY(MessageBoxScript::Shown().isEmpty());
    QVERIFY(Checked(&form, "ComPort2"));
    QVERIFY(!form.ComPort()->Open());
}

void ModemDetectionTest::checksFaxClassesAndRecommends() {
    Emulator all;
    QVERIFY(all.Start({"--classes", "0,1,2,2.0"}));
    SetPortDevice(2, all.Device());
    TSendFaxForm form;
    SendFaxSettings settings;
    settings.comPort = 1;
    settings.faxClass = 0;
    form.SetSettings(settings);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    MessageBoxScript::PushAnswer(true);
    const ClassOutcome best =
        RunCheckClass([&] { Button(&form, "CheckFaxClassButton")->click(); }, "check-fax-class");
    QCOMPARE(best.class1, QString("Class 1   : Supported"));
    QCOMPARE(best.class2, QString("Class 2   : Supported"));
    QCOMPARE(best.class20, QString("Class 2.0 : Supported"));
    QVERIFY(best.class20Bold);
    QCOMPARE(best.status,
             QString("Try using the recommended Fax Class (Class 2.0) or auto detect. If you "
                     "experience problems, try Class 1.\n\n(note: US Robotics users should read "
                     "the help section on troubleshooting)"));
    QCOMPARE(best.caption, QString("Check Fax Class"));
    QCOMPARE(ShownTexts(), QStringList{"Fax Class: Set fax class as Class 2.0 ?"});
    QVERIFY(Checked(&form, "sfFaxClass3"));
    QVERIFY(!form.ComPort()->Open());
    // The modem was reset before it was asked.
    QVERIFY(all.Event("cmd AT&F").has_value());
    QVERIFY(all.Event("cmd AT+FCLASS=?").has_value());

    // Class 2.0 already chosen: nothing is asked.
    MessageBoxScript::Reset();
    MessageBoxScript::AnswerAll(true);
    RunCheckClass([&] { Button(&form, "CheckFaxClassButton")->click(); });
    QVERIFY(MessageBoxScript::Shown().isEmpty());

    // Only Class 1; and 2.0 alone (no "2," in the answer, so not Class 2).
    Emulator one("one");
    QVERIFY(one.Start({"--classes", "0,1"}));
    SetPortDevice(4, one.Device());
    Emulator twoOh("twoOh");
    QVERIFY(twoOh.Start({"--classes", "2.0"}));
    SetPortDevice(5, twoOh.Device());
    TQpComPort port;
    port.SetAutoOpen(false);
    TQpSendFax fax;
    fax.SetComPort(&port);
    {
        TCheckFaxClassForm dialog(&port, &fax, 4);
        const ClassOutcome c1 = RunCheckClass([&] { dialog.exec(); });
        QCOMPARE(c1.class1, QString("Class 1   : Supported (recommended)"));
        QCOMPARE(c1.class2, QString("Class 2   : Not Supported"));
        QCOMPARE(c1.class20, QString("Class 2.0 : Not Supported"));
        QVERIFY(!c1.class20Bold);
        QCOMPARE(dialog.RecommendedClass(), 0);
        QCOMPARE(dialog.RecommendedName(), QString("Class 1"));
    }
    {
        TCheckFaxClassForm dialog(&port, &fax, 5);
        const ClassOutcome c20 = RunCheckClass([&] { dialog.exec(); });
        QCOMPARE(c20.class1, QString("Class 1   : Not Supported"));
        QCOMPARE(c20.class2, QString("Class 2   : Not Supported"));
        QCOMPARE(c20.class20, QString("Class 2.0 : Supported"));
        QCOMPARE(dialog.RecommendedClass(), 2);
    }
    QVERIFY(!port.Open());
}

void ModemDetectionTest::classCheckFailures() {
    MessageBoxScript::AnswerAll(true);
    TQpComPort port;
    port.SetAutoOpen(false);
    TQpSendFax fax;
    fax.SetComPort(&port);

    // A modem that says nothing to the class query.
    Emulator mute;
    QVERIFY(mute.Start({"--fault", "silent:FCLASS"}));
    SetPortDevice(3, mute.Device());
    {
        TCheckFaxClassForm dialog(&port, &fax, 3);
        const ClassOutcome silent = RunCheckClass([&] { dialog.exec(); });
        QCOMPARE(silent.status,
                 QString("Unable to determine Fax Class support from modem on Com 3"));
        QCOMPARE(silent.class1, QString("Class 1   : unknown"));
        QCOMPARE(silent.class2, QString("Class 2   : unknown"));
        QCOMPARE(silent.class20, QString("Class 2.0 : unknown"));
        QCOMPARE(dialog.RecommendedClass(), -1);
        QCOMPARE(dialog.RecommendedName(), QString());
    }

    // The port held by another program: the open failure's wording.
    holder_.SetAutoOpen(false);
    holder_.SetComNumber(3);
    holder_.SetOpen(true);
    {
        TCheckFaxClassForm dialog(&port, &fax, 3);
        const ClassOutcome held = RunCheckClass([&] { dialog.exec(); });
        QCOMPARE(held.status, QString("The communications port is in use ( Com 3 )\r\rPlease "
                                      "make sure that all communication programs (internet, "
                                      "AOL, etc) are closed, and then try again."));
        QCOMPARE(held.class2, QString("Class 2   : unknown"));
        QCOMPARE(dialog.RecommendedClass(), -1);
    }
    // A missing device, from the send window: nothing is asked afterwards.
    TSendFaxForm form;
    SendFaxSettings settings;
    settings.comPort = 5;
    form.SetSettings(settings);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const ClassOutcome missing =
        RunCheckClass([&] { Button(&form, "CheckFaxClassButton")->click(); });
    QCOMPARE(missing.status, QString("Unable to open the specified communications port ( Com6 )"));
    QVERIFY(MessageBoxScript::Shown().isEmpty());
    QVERIFY(Checked(&form, "sfFaxClass0"));
}

void ModemDetectionTest::preferencesRunsBothTests() {
    Emulator modem;
    QVERIFY(modem.Start({"--classes", "0,1,2"}));
    SetPortDevice(4, modem.Device());
    TPreferences dialog(false);
    QpSettings settings;
    settings.comPort = 0;
    settings.faxClass = 1;
    dialog.LoadFrom(settings);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    MessageBoxScript::AnswerAll(true);
    const FindOutcome found = RunFindModem([&] { Button(&dialog, "FindModemButton")->click(); });
    QCOMPARE(found.lines.value(3), QString("Com 4: MODEM"));
    QVERIFY(Checked(&dialog, "ComPort3"));
    const ClassOutcome classes =
        RunCheckClass([&] { Button(&dialog, "CheckFaxClassButton")->click(); });
    QCOMPARE(classes.class2, QString("Class 2   : Supported (recommended)"));
    QCOMPARE(classes.class20, QString("Class 2.0 : Not Supported"));
    QCOMPARE(ShownTexts(), (QStringList{"Com Port: Set Com Port to Com 4",
                                        "Fax Class: Set fax class as Class 2 ?"}));
    QVERIFY(Checked(&dialog, "FaxClass2"));
    QpSettings stored;
    dialog.StoreTo(stored);
    QCOMPARE(stored.comPort, 3);
    QCOMPARE(stored.faxClass, 2);
}

QTEST_MAIN(ModemDetectionTest)
#include "ModemDetectionTest.moc"
