// The built-in test line from the main window: Help > Send Me a Test Fax makes the test
// machine call while receive mode is on (the sample fax becomes a row and a file), says
// what to do when receive mode is off, and closing the window while the machine calls
// ends the helper and leaves no link behind.
#include "SendingFixtures.h"
#include "StoreFixtures.h"
#include "TestPages.h"

#include "EngineHarness.h"
#include "TestPaths.h"
#include "app/TFaxFileBuilder.h"
#include "app/TMainScreen.h"
#include "common/DataFolder.h"
#include "common/IniFile.h"
#include "common/Settings.h"
#include "faxcomm/TQpReceiveFax.h"
#include "faxcomm/core/TestLine.h"
#include "store/TFaxStore.h"
#include "store/TTableAdapter.h"
#include "ui/MessageBoxScript.h"
#include "ModalAnswer.h"
#include "dialogs/TSendFaxForm.h"

#include <QAction>
#include <QDir>
#include <QPushButton>
#include <QTabBar>
#include <QtTest>

#include <unistd.h>

#include <filesystem>
#include <fstream>

using namespace sending;

namespace {

constexpr int CallLimitMs = 90000;

QString Data(const QString& name) {
    return QString::fromStdString(DataFolder()) + name;
}

// The test line as port, Class 1, one dial attempt.
void WriteTestLineSettings() {
    IniFile ini(SettingsFileName());
    ini.WriteInteger("Modem", "ComPort", TestLinePortIndex);
    ini.WriteInteger("Modem", "FaxClass", 1);
    ini.WriteInteger("Modem", "MaximumBPS", 9600);
    ini.WriteInteger("Dialing", "DialAttempts", 1);
    ini.WriteString("User", "Name", "Quill Test");
    ini.WriteString("User", "Fax", "QP TESTER");
    ini.Save();
}

// Answers the send window: keeps a copy of the fax file, sends, waits for the end and
// closes the window.
qptest::ModalAnswer SendAndClose(const QString& copy, QString& result) {
    return qptest::OnNextModal<TSendFaxForm>(
        [copy, &result](TSendFaxForm* form) {
            QFile::copy(Data("QPX_1.APF"), copy);
            form->findChild<QPushButton*>("SendFaxButton")->click();
            WaitUntil(
                [form] {
                    return !form->Busy() && form->ResultText() != QStringLiteral("Cancelled");
                },
                CallLimitMs);
            result = form->ResultText();
            form->findChild<QPushButton*>("CloseButton")->click();
            if (form->isVisible()) {
                static_cast<QDialog*>(form)->reject();
            }
        },
        CallLimitMs + 10000);
}

QPushButton* ReceiveButton(TMainScreen& window) {
    return window.findChild<QPushButton*>("ReceiveButton");
}

QAction* SendMeATestFax(TMainScreen& window) {
    return window.findChild<QAction*>("SendMeATestFax1");
}

// The faxsim helper this process started, or -1.
pid_t Helper() {
    std::string output;
    if (qptest::RunCommand("pgrep -P " + std::to_string(::getpid()) + " -x faxsim", &output) != 0) {
        return -1;
    }
    return static_cast<pid_t>(std::atoi(output.c_str()));
}

// Gone, or a zombie (it has ended all the same).
bool ProcessEnded(pid_t pid) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) {
        return true;
    }
    const auto close = text.rfind(')');
    return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z';
}

// Links the test lines of this process left in the temporary folder.
QStringList LeftoverLinks() {
    return QDir(QDir::tempPath())
        .entryList({QStringLiteral("quillpost-testline-%1-*").arg(::getpid())},
                   QDir::System | QDir::Files | QDir::NoDotAndDotDot);
}

} // namespace

class TestLineWindowTest final : public QObject {
    Q_OBJECT

private slots:
    void init() {
        MessageBoxScript::Reset();
        fixtures::ClearDataFolder();
        WriteTestLineSettings();
    }
    void cleanup() { MessageBoxScript::Reset(); }

    // With receive mode off the command starts nothing and says what to do.
    void receiveModeOffSaysWhatToDo() {
        auto window = StartWindow();
        Settings().comPort = TestLinePortIndex; // the start set the first port
        MessageBoxScript::AnswerAll(true);
        SendMeATestFax(*window)->trigger();
        QCOMPARE(MessageBoxScript::Shown().size(), 1);
        QVERIFY(MessageBoxScript::Shown()[0].text.startsWith("Receive mode is off."));
        QVERIFY(MessageBoxScript::Shown()[0].text.contains("Test line (no modem)"));
        QVERIFY(!qpcomm::TestLine::AnyRunning());
    }

    // A two-page fax sent to the test line ends "Sent"; the test machine keeps it as one
    // TIFF whose pages are the pages the program built, below the header line.
    void twoPageFaxIsSentAndKept() {
        auto window = StartWindow();
        Settings().comPort = TestLinePortIndex; // the start set the first port
        AddOutgoingFax(*window, PagesRtf("Cover", 1), PagesRtf("Document", 1),
                       QStringLiteral("Test Machine"), QStringLiteral("Trying the test line"),
                       QStringLiteral("5551"));
        MessageBoxScript::AnswerAll(true);
        QString result;
        const QString built = Data("built.apf");
        {
            auto answer = SendAndClose(built, result);
            window->findChild<QPushButton*>("SendButton")->click();
            QVERIFY(answer.Wait());
        }
        QCOMPARE(result, QStringLiteral("Sent"));
        QVERIFY(!qpcomm::TestLine::AnyRunning());
        const QStringList kept = QDir(Data("testline")).entryList(QDir::Files);
        QCOMPARE(kept.size(), 1);
        QVERIFY(kept[0].startsWith("rx-") && kept[0].endsWith(".tif"));
        const auto builtPages = ApfPages(built);
        const auto farPages = testpages::ReadTiff(Data("testline/" + kept[0]).toStdString());
        QCOMPARE(builtPages.size(), std::size_t(2));
        QCOMPARE(farPages.size(), builtPages.size());
        QStringList differences;
        for (std::size_t page = 0; page < farPages.size(); ++page) {
            QCOMPARE(builtPages[page].Height(), TFaxFileBuilder::PageHeight);
            QVERIFY(farPages[page].Height() > builtPages[page].Height()); // the header line
            const std::string difference = enginetest::Difference(
                BottomRows(farPages[page], builtPages[page].Height()), builtPages[page]);
            if (!difference.empty()) {
                differences << QStringLiteral("page %1 (%2 of %3 rows): %4")
                                   .arg(page + 1)
                                   .arg(farPages[page].Height())
                                   .arg(builtPages[page].Height())
                                   .arg(QString::fromStdString(difference));
            }
        }
        QVERIFY2(differences.isEmpty(), qPrintable(differences.join("; ")));
        QVERIFY2(LeftoverLinks().isEmpty(), qPrintable(LeftoverLinks().join(' ')));
    }

    // Receive mode on the test line and the command: the sample fax arrives as a row
    // whose file holds the sample pages; receive mode off ends the helper.
    void sampleFaxArrivesInReceiveMode() {
        auto window = StartWindow();
        Settings().comPort = TestLinePortIndex; // the start set the first port
        ReceiveButton(*window)->click();
        QVERIFY(window->Receiving());
        QVERIFY(qpcomm::TestLine::AnyRunning());
        const pid_t helper = Helper();
        QVERIFY(helper > 0);
        QVERIFY(WaitUntil(
            [&] { return window->QpReceiveFax1()->FaxStatus() == qpfax::fsWaitingForCall; },
            20000));
        SendMeATestFax(*window)->trigger();
        QCOMPARE(MessageBoxScript::Shown().size(), 0);
        TTableAdapter& rec = window->Store().RecAdapter();
        QVERIFY(WaitUntil([&] { return rec.QueryRecCount() == 1; }, CallLimitMs));
        QVERIFY(GoToRecord(rec, "FAXFILE", "FAX0001.APF"));
        QCOMPARE(QString::fromStdString(rec.FieldString("FROM")).trimmed(),
                 QStringLiteral("QUILLPOST TEST"));
        const auto pages = ApfPages(Data("receive/FAX0001.APF"));
        const auto sample =
            testpages::ReadTiff((qptest::BinaryDir() / "bin" / "testfax.tif").string());
        QCOMPARE(pages.size(), std::size_t(2));
        QCOMPARE(sample.size(), std::size_t(2));
        for (std::size_t page = 0; page < pages.size(); ++page) {
            QCOMPARE(enginetest::Difference(pages[page], sample[page]), std::string());
        }
        if (const QString shot = qEnvironmentVariable("QUILLPOST_SHOT"); !shot.isEmpty()) {
            window->findChild<QTabBar*>("TabSet1")->setCurrentIndex(TMainScreen::ReceivedPage);
            QTest::qWait(300);
            QVERIFY(window->grab().save(shot));
        }

        ReceiveButton(*window)->click();
        QVERIFY(!window->Receiving());
        QVERIFY(WaitUntil([&] { return ProcessEnded(helper); }, 20000));
        QVERIFY(!qpcomm::TestLine::AnyRunning());
        QVERIFY2(LeftoverLinks().isEmpty(), qPrintable(LeftoverLinks().join(' ')));
    }

    // Closing the window while the machine calls: the close is confirmed, the call ends,
    // the helper ends and nothing is left behind.
    void closingWhileTheMachineCallsEndsEverything() {
        auto window = StartWindow();
        Settings().comPort = TestLinePortIndex; // the start set the first port
        ReceiveButton(*window)->click();
        QVERIFY(window->Receiving());
        const pid_t helper = Helper();
        QVERIFY(helper > 0);
        QVERIFY(WaitUntil(
            [&] { return window->QpReceiveFax1()->FaxStatus() == qpfax::fsWaitingForCall; },
            20000));
        SendMeATestFax(*window)->trigger();
        QVERIFY(WaitUntil([&] { return window->FaxInProgress(); }, CallLimitMs));
        MessageBoxScript::AnswerAll(true);
        QVERIFY(window->close());
        QVERIFY(WaitUntil([&] { return ProcessEnded(helper); }, 20000));
        QVERIFY(!qpcomm::TestLine::AnyRunning());
        QVERIFY2(LeftoverLinks().isEmpty(), qPrintable(LeftoverLinks().join(' ')));
        // The broken-off fax left no file.
        QVERIFY(!QFile::exists(Data("receive/FAX0001.APF")));
    }
};

QTEST_MAIN(TestLineWindowTest)
#include "TestLineWindowTest.moc"
