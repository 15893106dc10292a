// Receive mode of the main window on spandsp's Class 1 modem: a fax from spandsp's calling
// terminal becomes a row and a file, a call that breaks off leaves neither, and a port
// that cannot be opened leaves receive mode off.
#include "SendingFixtures.h"
#include "StoreFixtures.h"
#include "TestPages.h"

#include "EngineHarness.h"
#include "app/TMainScreen.h"
#include "common/DataFolder.h"
#include "common/IniFile.h"
#include "common/Settings.h"
#include "faxcomm/TQpComPort.h"
#include "faxcomm/TQpReceiveFax.h"
#include "store/TFaxStore.h"
#include "store/TTableModel.h"
#include "store/TTableAdapter.h"
#include "ui/MessageBoxScript.h"

#include <QAction>
#include <QDate>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QSoundEffect>
#include <QTabBar>
#include <QTime>
#include <QtTest>

using namespace sending;

namespace {

constexpr int CallLimitMs = 60000;
constexpr int BrokenCallLimitMs = 20000;

QString Data(const QString& name) {
    return QString::fromStdString(DataFolder()) + name;
}

// Class 1 on the first port, with a sound to play after each fax.
void WriteReceiveSettings(const QString& wav) {
    IniFile ini(SettingsFileName());
    ini.WriteInteger("Modem", "ComPort", 0);
    ini.WriteInteger("Modem", "FaxClass", 1);
    ini.WriteString("User", "Fax", "QP RECEIVER");
    ini.WriteString("Receive", "Wav", wav.toStdString());
    ini.Save();
}

// A short, valid WAV file (8 kHz, 8 bit, mono, a tenth of a second of silence).
QString WriteWav(const QString& name) {
    QByteArray samples(800, char(0x80));
    QByteArray wav;
    auto put32 = [&wav](quint32 v) {
        for (int i = 0; i < 4; ++i) {
            wav.append(char((v >> (8 * i)) & 0xFF));
        }
    };
    auto put16 = [&wav](quint16 v) {
        wav.append(char(v & 0xFF));
        wav.append(char(v >> 8));
    };
    wav.append("RIFF");
    put32(36 + samples.size());
    wav.append("WAVEfmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(8000);
    put32(8000);
    put16(1);
    put16(8);
    wav.append("data");
    put32(samples.size());
    wav.append(samples);
    QFile file(Data(name));
    if (!file.open(QIODevice::WriteOnly)) {
        return {};
    }
    file.write(wav);
    return file.fileName();
}

QPushButton* ReceiveButton(TMainScreen& window) {
    return window.findChild<QPushButton*>("ReceiveButton");
}

QString Trimmed(const std::string& text) {
    return QString::fromStdString(text).trimmed();
}

} // namespace

class ReceiveModeTest final : public QObject {
    Q_OBJECT

private slots:
    void init() {
        MessageBoxScript::Reset();
        fixtures::ClearDataFolder();
    }
    void cleanup() { MessageBoxScript::Reset(); }

    // A two-page fax becomes FAX0001.APF and a row with the caller's station ID, date,
    // time and page count; the sound is played; a second call becomes FAX0002.APF.
    void receiveTwoPages() {
        SimulatedLine line;
        const std::vector<FaxRaster> sent = {testpages::Pattern(1728, 120, 11),
                                             testpages::Pattern(1728, 90, 12)};
        QVERIFY(testpages::WriteTiff(line.File("two.tif"), sent, true));
        QVERIFY(line.Start({"--tx-tiff", line.File("two.tif"), "--remote-id", "CALLER 42"}));
        const QString wav = WriteWav("ring.wav");
        WriteReceiveSettings(wav);
        auto window = StartWindow();
        QCOMPARE(window->FirstActivation(), false);

        ReceiveButton(*window)->click();
        QVERIFY(window->Receiving());
        QCOMPARE(ReceiveButton(*window)->text(), QStringLiteral("STOP"));
        QCOMPARE(ReceiveButton(*window)->statusTip(), QStringLiteral("Stop receiving faxes"));
        QVERIFY(!window->findChild<QPushButton*>("SendButton")->isEnabled());
        QVERIFY(!window->findChild<QAction*>("Preferences1")->isEnabled());
        QVERIFY(window->QpComPort1()->Open());
        QCOMPARE(window->QpReceiveFax1()->FaxClass(), qpfax::fcClass1);
        QCOMPARE(window->QpReceiveFax1()->StationID(), std::string("QP RECEIVER"));
        QVERIFY2(WaitUntil(
                     [&] {
                         line.Drain();
                         return window->QpReceiveFax1()->FaxStatus() == qpfax::fsWaitingForCall;
                     },
                     20000),
                 line.Transcript().c_str());

        QVERIFY(line.Command("call"));
        TTableAdapter& rec = window->Store().RecAdapter();
        QStringList statusTexts;
        QVERIFY2(WaitUntil(
                     [&] {
                         line.Drain();
                         const QString text = window->StatusLine()->text();
                         if (statusTexts.isEmpty() || statusTexts.back() != text) {
                             statusTexts << text;
                         }
                         return rec.QueryRecCount() == 1;
                     },
                     CallLimitMs),
                 line.Transcript().c_str());
        QCOMPARE(MessageBoxScript::Shown().size(), 0);
        QVERIFY(GoToRecord(rec, "FAXFILE", "FAX0001.APF"));
        QCOMPARE(Trimmed(rec.FieldString("FROM")), QStringLiteral("CALLER 42"));
        QCOMPARE(Trimmed(rec.FieldDate("DATEREC")),
                 QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
        QVERIFY(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d$"))
                    .match(Trimmed(rec.FieldString("TIMEREC")))
                    .hasMatch());
        QCOMPARE(Trimmed(rec.FieldString("PAGES")), QStringLiteral("2"));
        QCOMPARE(window->RecModel()->rowCount(), 1);
        const QString file = Data("receive/FAX0001.APF");
        const auto pages = ApfPages(file);
        QCOMPARE(pages.size(), sent.size());
        for (std::size_t page = 0; page < pages.size(); ++page) {
            QCOMPARE(enginetest::Difference(pages[page], sent[page]), std::string());
        }
        QVERIFY2(statusTexts.filter(QStringLiteral("[ from CALLER 42 page ")).size() > 0,
                 qPrintable(statusTexts.join('|')));
        QTRY_COMPARE(window->ReceiveSound()->source(), QUrl::fromLocalFile(wav));
        QVERIFY(!window->FaxInProgress());
        // The Received page in receive mode: the new row; notes cannot be edited now.
        window->findChild<QTabBar*>("TabSet1")->setCurrentIndex(TMainScreen::ReceivedPage);
        QVERIFY(!window->findChild<QPushButton*>("EditButton")->isEnabled());
        QVERIFY(window->findChild<QPushButton*>("ViewFaxButton")->isEnabled());
        if (const QString shot = qEnvironmentVariable("QUILLPOST_SHOT"); !shot.isEmpty()) {
            QTest::qWait(300);
            QVERIFY(window->grab().save(shot));
        }

        // A second call gets its own file and page count.
        const std::vector<FaxRaster> one = {testpages::Pattern(1728, 60, 14)};
        QVERIFY(testpages::WriteTiff(line.File("one.tif"), one, true));
        QVERIFY(WaitUntil(
            [&] {
                line.Drain();
                return window->QpReceiveFax1()->FaxStatus() == qpfax::fsWaitingForCall;
            },
            20000));
        QVERIFY(line.Command("call " + line.File("one.tif")));
        QVERIFY2(WaitUntil(
                     [&] {
                         line.Drain();
                         return rec.QueryRecCount() == 2;
                     },
                     CallLimitMs),
                 line.Transcript().c_str());
        QVERIFY(GoToRecord(rec, "FAXFILE", "FAX0002.APF"));
        QCOMPARE(Trimmed(rec.FieldString("PAGES")), QStringLiteral("1"));
        const auto second = ApfPages(Data("receive/FAX0002.APF"));
        QCOMPARE(second.size(), one.size());
        QCOMPARE(enginetest::Difference(second[0], one[0]), std::string());

        // Off again: the port is free for others.
        ReceiveButton(*window)->click();
        QVERIFY(!window->Receiving());
        QCOMPARE(ReceiveButton(*window)->text(), QStringLiteral("&Receive"));
        QCOMPARE(ReceiveButton(*window)->statusTip(), QStringLiteral("Start receiving faxes"));
        QVERIFY(!window->QpComPort1()->Open());
        TQpComPort other;
        other.SetComNumber(1);
        other.SetOpen(true);
        QVERIFY(other.Open());
    }

    // A call that drops while its page is on its way: the message with the reason, no
    // file, no row, and receive mode goes on waiting.
    void brokenCallIsReported() {
        SimulatedLine line;
        // A long page, so that the line can drop while it is on its way.
        QVERIFY(testpages::WriteTiff(line.File("long.tif"), {testpages::Pattern(1728, 3000, 13)},
                                     true));
        QVERIFY(line.Start({"--tx-tiff", line.File("long.tif"), "--remote-id", "CALLER 43"}));
        WriteReceiveSettings(QString());
        auto window = StartWindow();
        ReceiveButton(*window)->click();
        QVERIFY(window->Receiving());
        TTableAdapter& rec = window->Store().RecAdapter();
        QVERIFY(WaitUntil(
            [&] {
                line.Drain();
                return window->QpReceiveFax1()->FaxStatus() == qpfax::fsWaitingForCall;
            },
            20000));
        MessageBoxScript::AnswerAll(true);
        QVERIFY(line.Command("call"));
        QVERIFY2(WaitUntil(
                     [&] {
                         line.Drain();
                         return window->QpReceiveFax1()->FaxStatus() == qpfax::fsGettingPage;
                     },
                     CallLimitMs),
                 line.Transcript().c_str());
        QVERIFY(window->FaxInProgress());
        QTest::qWait(700);
        QVERIFY(QFile::exists(Data("receive/FAX0001.APF")));
        QVERIFY(line.Command("hangup"));
        const bool reported = WaitUntil(
            [&] {
                line.Drain();
                return !MessageBoxScript::Shown().isEmpty();
            },
            BrokenCallLimitMs);
        QVERIFY2(reported, line.Transcript().c_str());
        const QString message = MessageBoxScript::Shown().front().text;
        QVERIFY2(message.startsWith(QStringLiteral("Failed to receive incoming fax:\r\r")),
                 qPrintable(message));
        QVERIFY(message.size() > QStringLiteral("Failed to receive incoming fax:\r\r").size());
        QVERIFY(!QFile::exists(Data("receive/FAX0001.APF")));
        QCOMPARE(rec.QueryRecCount(), 0L);
        QCOMPARE(window->LastFaxError(), 0);
        QVERIFY(!window->FaxInProgress());
    }

    // A port held by another program, and a port without a device: the message, and
    // receive mode stays off.
    void portFailuresLeaveReceiveOff() {
        SimulatedLine line;
        QVERIFY(line.Start({}));
        WriteReceiveSettings(QString());
        {
            IniFile ini(SettingsFileName());
            ini.WriteString("Ports", "Com2", Data("no-such-device").toStdString());
            ini.Save();
        }
        auto window = StartWindow();
        TQpComPort holder;
        holder.SetComNumber(1);
        holder.SetOpen(true);
        QVERIFY(holder.Open());

        MessageBoxScript::AnswerAll(true);
        ReceiveButton(*window)->click();
        QCOMPARE(MessageBoxScript::Shown().size(), 1);
        QCOMPARE(MessageBoxScript::Shown()[0].text,
                 QStringLiteral("The communications port is in use ( Com 1 )\r\rPlease make sure "
                                "that all communication programs (internet, AOL, etc) are "
                                "closed, and then try again."));
        QVERIFY(!window->Receiving());
        QCOMPARE(ReceiveButton(*window)->text(), QStringLiteral("&Receive"));
        QCOMPARE(ReceiveButton(*window)->statusTip(), QStringLiteral("Start receiving faxes"));
        QVERIFY(window->findChild<QPushButton*>("Newbutton")->isEnabled());
        QVERIFY(!window->QpComPort1()->Open());

        Settings().comPort = 1;
        ReceiveButton(*window)->click();
        QCOMPARE(MessageBoxScript::Shown().size(), 2);
        QVERIFY2(MessageBoxScript::Shown()[1].text.startsWith(
                     QStringLiteral("Unable to open the specified communications port ( Com2 )")),
                 qPrintable(MessageBoxScript::Shown()[1].text));
        QVERIFY(!window->Receiving());
        QCOMPARE(ReceiveButton(*window)->text(), QStringLiteral("&Receive"));

        // Once the port is free, receive mode starts.
        holder.SetOpen(false);
        Settings().comPort = 0;
        ReceiveButton(*window)->click();
        QVERIFY(window->Receiving());
        QCOMPARE(MessageBoxScript::Shown().size(), 2);
        window->close();
        QVERIFY(!window->Receiving());
        QVERIFY(!window->QpComPort1()->Open());
    }
};

QTEST_MAIN(ReceiveModeTest)
#include "ReceiveModeTest.moc"
