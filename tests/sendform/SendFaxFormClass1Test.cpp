// The send window sending with Class 1 through spandsp's Class 1 modem to its answering
// fax terminal, in real line time: one short call.
#include <QPushButton>
#include <QtTest>

#include "FaxsimProcess.h"
#include "SendFormFixtures.h"
#include "TestPaths.h"
#include "common/DataFolder.h"
#include "dialogs/TSendFaxForm.h"
#include "faxcomm/TQpSendFax.h"
#include "ui/MessageBoxScript.h"

using namespace sendformtest;

class SendFaxFormClass1Test final : public QObject {
    Q_OBJECT

private slots:
    void sendsWithClass1ToTheFarEndTerminal();
};

void SendFaxFormClass1Test::sendsWithClass1ToTheFarEndTerminal() {
    qptest::ScratchDir dir("class1");
    FaxsimProcess sim;
    std::string error;
    QVERIFY2(sim.Start({"--link", dir.file("modem"), "--rx-tiff", dir.file("rx.tif"), "--remote-id",
                        "FAR 555 0199", "--time-factor", "10"},
                       &error),
             error.c_str());
    MapPortsToNothing();
    SetPortDevice(2, dir.file("modem"));
    const std::string fax = DataFolder() + "QPX_1.APF";
    WriteTestFax(fax, 2);
    MessageBoxScript::AnswerAll(true);

    TSendFaxForm form;
    form.SetFaxFile(QString::fromStdString(fax));
    form.SetPhoneNumber("5550199");
    SendFaxSettings settings;
    settings.comPort = 1;
    settings.faxClass = 1; // class 1
    settings.userName = "Quill";
    settings.stationId = "QP TEST 1";
    settings.dialAttempts = "1";
    settings.retryWait = "5";
    settings.timeOut = "60";
    settings.rateIndex = 3;
    form.SetSettings(settings);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.findChild<QPushButton*>("SendFaxButton")->click();
    QVERIFY(form.Busy());
    QVERIFY2(WaitUntil([&] { return !form.Busy(); }, 90000), sim.Transcript().c_str());

    QCOMPARE(MessageBoxScript::Shown().size(), qsizetype(1));
    QCOMPARE(MessageBoxScript::Shown().constFirst().text, QString("Finished: OK"));
    QCOMPARE(form.ResultText(), QString("Sent"));
    QCOMPARE(form.SendFax()->FaxClass(), qpfax::fcClass1);
    const auto result = sim.Await("result ", std::chrono::seconds(20));
    QVERIFY2(result.has_value(), sim.Transcript().c_str());
    QVERIFY2(result->rfind("result ok", 0) == 0, result->c_str());
    QCOMPARE(TiffPageCount(dir.file("rx.tif")), 2);
    form.close();
    MessageBoxScript::Reset();
}

QTEST_MAIN(SendFaxFormClass1Test)
#include "SendFaxFormClass1Test.moc"
