// Send from the main window through spandsp's Class 1 modem to spandsp's answering fax
// terminal (and through the Class 2.0 modem emulator): the far end gets the pages the program
// built, and the record keeps the outcome; a busy line is stored as the last attempt without
// touching an earlier send.
#include "ModalAnswer.h"
#include "SendingFixtures.h"
#include "StoreFixtures.h"
#include "TestPages.h"

#include "Emulator.h"
#include "EngineHarness.h"
#include "app/TFaxFileBuilder.h"
#include "app/TMainScreen.h"
#include "common/DataFolder.h"
#include "common/IniFile.h"
#include "common/Settings.h"
#include "dialogs/TSendFaxForm.h"
#include "store/TFaxStore.h"
#include "store/TTableAdapter.h"
#include "ui/MessageBoxScript.h"

#include <QDate>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QtTest>

using namespace sending;

namespace {

constexpr int CallLimitMs = 90000;
// Rows at the top of a sent page that the header line may cover.
constexpr int HeaderRows = 100;

QString Data(const QString& name) {
    return QString::fromStdString(DataFolder()) + name;
}

QString Trimmed(const std::string& text) {
    return QString::fromStdString(text).trimmed();
}

// Class 1 on the first port at 9600 bit/s, one dial attempt.
void WriteSendSettings() {
    IniFile ini(SettingsFileName());
    ini.WriteInteger("Modem", "ComPort", 0);
    ini.WriteInteger("Modem", "FaxClass", 1);
    ini.WriteInteger("Modem", "MaximumBPS", 9600);
    ini.WriteInteger("Dialing", "DialAttempts", 1);
    ini.WriteInteger("Dialing", "RetryWait", 1);
    ini.WriteString("User", "Name", "Quill Test");
    ini.WriteString("User", "Fax", "QP SENDER");
    ini.Save();
}

// Answers the send window: keeps a copy of the file it got, sends, waits for the end of
// the transmission and closes the window. The copy is `copy` (when not empty).
qptest::ModalAnswer SendAndClose(const QString& copy, QString& result) {
    return qptest::OnNextModal<TSendFaxForm>(
        [copy, &result](TSendFaxForm* form) {
            if (!copy.isEmpty()) {
                QFile::copy(Data("QPX_1.APF"), copy);
            }
            form->findChild<QPushButton*>("SendFaxButton")->click();
            WaitUntil(
                [form] {
                    return !form->Busy() && form->ResultText() != QStringLiteral("Cancelled");
                },
                CallLimitMs);
            result = form->ResultText();
            form->findChild<QPushButton*>("CloseButton")->click();
        },
        CallLimitMs + 10000);
}

// Every page arrived whole: the few rows of the header line the window adds at its top,
// then the built page pixel for pixel.
void ComparePages(const std::vector<FaxRaster>& farPages,
                  const std::vector<FaxRaster>& builtPages) {
    QCOMPARE(farPages.size(), builtPages.size());
    for (std::size_t page = 0; page < farPages.size(); ++page) {
        QCOMPARE(builtPages[page].Height(), TFaxFileBuilder::PageHeight);
        QCOMPARE(farPages[page].Width(), builtPages[page].Width());
        const int added = farPages[page].Height() - builtPages[page].Height();
        QVERIFY2(added > 0 && added < HeaderRows, qPrintable(QString::number(added)));
        const std::string difference = enginetest::Difference(
            BottomRows(farPages[page], builtPages[page].Height()), builtPages[page]);
        QVERIFY2(difference.empty(), qPrintable(QStringLiteral("page %1: %2")
                                                    .arg(page + 1)
                                                    .arg(QString::fromStdString(difference))));
    }
}

} // namespace

class SendTest final : public QObject {
    Q_OBJECT

private slots:
    void init() {
        MessageBoxScript::Reset();
        fixtures::ClearDataFolder();
    }
    void cleanup() { MessageBoxScript::Reset(); }

    // A one-page cover sheet and a three-page document go out as four pages.
    void sendClass1() {
        SimulatedLine line;
        QVERIFY(line.Start({"--rx-tiff", line.File("rx.tif"), "--rate", "9600"}));
        WriteSendSettings();
        auto window = StartWindow();
        AddOutgoingFax(*window, PagesRtf("Cover", 1), PagesRtf("Document", 3));
        MessageBoxScript::AnswerAll(true);
        QString result;
        const QString built = Data("built.apf");
        {
            auto answer = SendAndClose(built, result);
            window->findChild<QPushButton*>("SendButton")->click();
            QVERIFY(answer.Wait());
        }
        QCOMPARE(result, QStringLiteral("Sent"));
        QVERIFY(!QFile::exists(Data("QPX_1.APF")));
        QCOMPARE(DataFiles("QPX_"), QStringList());

        TTableAdapter& fax = window->Store().FaxAdapter();
        QVERIFY(GoToRecord(fax, "SUBJECT", "Quarterly figures"));
        QVERIFY(fax.FieldLogical("SENT"));
        QCOMPARE(Trimmed(fax.FieldDate("DATESENT")),
                 QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d$"))
                    .match(Trimmed(fax.FieldString("TIMESENT")))
                    .hasMatch());
        QCOMPARE(Trimmed(fax.FieldString("PAGES")), QStringLiteral("4"));
        QCOMPARE(Trimmed(fax.FieldString("LASTRESULT")), QStringLiteral("Sent"));

        // The far end got the built pages, the header line the window adds at their top.
        const auto builtPages = ApfPages(built);
        QCOMPARE(builtPages.size(), std::size_t(4));
        QVERIFY2(WaitUntil([&] { return !line.Event("result ").empty(); }, 20000),
                 line.Transcript().c_str());
        const auto farPages = testpages::ReadTiff(line.File("rx.tif"));
        QCOMPARE(farPages.size(), builtPages.size());
        ComparePages(farPages, builtPages);
    }

    // The same fax through the Class 2.0 modem emulator.
    void sendClass20() {
        Emulator modem;
        QVERIFY(modem.Start({"--time-factor", "20", "--rx-tiff", modem.File("rx.tif")}));
        WriteSendSettings();
        {
            IniFile ini(SettingsFileName());
            ini.WriteInteger("Modem", "FaxClass", 3);
            ini.WriteString("Ports", "Com1", modem.Device());
            ini.Save();
        }
        auto window = StartWindow();
        AddOutgoingFax(*window, PagesRtf("Cover", 1), PagesRtf("Document", 3));
        MessageBoxScript::AnswerAll(true);
        QString result;
        const QString built = Data("built.apf");
        {
            auto answer = SendAndClose(built, result);
            window->findChild<QPushButton*>("SendButton")->click();
            QVERIFY(answer.Wait());
        }
        QCOMPARE(result, QStringLiteral("Sent"));
        QVERIFY(modem.Event("cmd AT+FCLASS=2.0").has_value());
        TTableAdapter& fax = window->Store().FaxAdapter();
        QVERIFY(GoToRecord(fax, "SUBJECT", "Quarterly figures"));
        QVERIFY(fax.FieldLogical("SENT"));
        QCOMPARE(Trimmed(fax.FieldString("PAGES")), QStringLiteral("4"));
        QCOMPARE(Trimmed(fax.FieldString("LASTRESULT")), QStringLiteral("Sent"));

        const auto builtPages = ApfPages(built);
        QCOMPARE(builtPages.size(), std::size_t(4));
        std::vector<FaxRaster> farPages;
        QVERIFY(WaitUntil(
            [&] {
                farPages = testpages::ReadTiff(modem.File("rx.tif"));
                return farPages.size() == builtPages.size();
            },
            20000));
        ComparePages(farPages, builtPages);
    }

    // A busy line: the busy text is the last attempt, PAGES is set, and neither SENT nor
    // an earlier send's date and time change.
    void busyKeepsEarlierSend() {
        SimulatedLine line;
        QVERIFY(line.Start({"--busy", "2"}));
        WriteSendSettings();
        auto window = StartWindow();
        TTableAdapter& fax = window->Store().FaxAdapter();
        AddOutgoingFax(*window, PagesRtf("Cover", 1), PagesRtf("Document", 1),
                       QStringLiteral("Bob"), QStringLiteral("Sent before"));
        QVERIFY(GoToRecord(fax, "SUBJECT", "Sent before"));
        fax.Edit();
        fax.SetFieldLogical("SENT", true);
        fax.SetFieldDate("DATESENT", "20261201");
        fax.SetFieldString("TIMESENT", "09:15");
        fax.Post();
        AddOutgoingFax(*window, PagesRtf("Cover", 1), PagesRtf("Document", 1),
                       QStringLiteral("Carl"), QStringLiteral("Never sent"));
        MessageBoxScript::AnswerAll(true);

        for (const char* subject : {"Sent before", "Never sent"}) {
            QVERIFY(GoToRecord(fax, "SUBJECT", subject));
            QString result;
            {
                auto answer = SendAndClose(QString(), result);
                window->findChild<QPushButton*>("SendButton")->click();
                QVERIFY(answer.Wait());
            }
            QCOMPARE(result, QStringLiteral("Called fax number was busy"));
        }
        QVERIFY(GoToRecord(fax, "SUBJECT", "Sent before"));
        QVERIFY(fax.FieldLogical("SENT"));
        QCOMPARE(Trimmed(fax.FieldDate("DATESENT")), QStringLiteral("20261201"));
        QCOMPARE(Trimmed(fax.FieldString("TIMESENT")), QStringLiteral("09:15"));
        QCOMPARE(Trimmed(fax.FieldString("LASTRESULT")),
                 QStringLiteral("Called fax number was busy"));
        QCOMPARE(Trimmed(fax.FieldString("PAGES")), QStringLiteral("2"));
        QVERIFY(GoToRecord(fax, "SUBJECT", "Never sent"));
        QVERIFY(!fax.FieldLogical("SENT"));
        QCOMPARE(Trimmed(fax.FieldDate("DATESENT")), QString());
        QCOMPARE(Trimmed(fax.FieldString("LASTRESULT")),
                 QStringLiteral("Called fax number was busy"));
        QCOMPARE(Trimmed(fax.FieldString("PAGES")), QStringLiteral("2"));
        QCOMPARE(DataFiles("QPX_"), QStringList());
    }

    // Closing the send window without sending stores "Cancelled" and the page count, and
    // keeps the record unsent; the settings changed in the window are kept.
    void cancelledSend() {
        WriteSendSettings();
        auto window = StartWindow();
        AddOutgoingFax(*window, PagesRtf("Cover", 1), QByteArray());
        auto answer = qptest::OnNextModal<TSendFaxForm>([](TSendFaxForm* form) {
            QCOMPARE(form->windowTitle(),
                     QStringLiteral("Send Fax: [Ann Smith - Quarterly figures]"));
            SendFaxSettings settings = form->Settings();
            settings.dialAttempts = QStringLiteral("7");
            settings.retryWait = QStringLiteral("x1");
            form->SetSettings(settings);
            form->findChild<QPushButton*>("CloseButton")->click();
        });
        window->SendButtonClick();
        QVERIFY(answer.Wait());
        TTableAdapter& fax = window->Store().FaxAdapter();
        QVERIFY(GoToRecord(fax, "SUBJECT", "Quarterly figures"));
        QVERIFY(!fax.FieldLogical("SENT"));
        QCOMPARE(Trimmed(fax.FieldString("LASTRESULT")), QStringLiteral("Cancelled"));
        QCOMPARE(Trimmed(fax.FieldString("PAGES")), QStringLiteral("1"));
        QCOMPARE(Settings().dialAttempts, 7);
        QCOMPARE(Settings().retryWait, 1);
        QCOMPARE(DataFiles("QPX_"), QStringList());
        QCOMPARE(window->StatusLine()->text(), QString());
    }
};

QTEST_MAIN(SendTest)
#include "SendTest.moc"
