// The program told to stop (the session ends, "kill", Ctrl+C) ends like its Exit command:
// status 0, its tables closed and sound, its window placement saved and its single-instance
// lock given back, also while a dialog is open.
#include "TestPaths.h"

#include <QCryptographicHash>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QtTest>

#include <csignal>

class TerminationTest : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<qptest::ScratchDir> data_;

    QString Folder() const { return QString::fromStdString(data_->path().string() + "/"); }

    static QString Tool(const char* name) {
        return QString::fromStdString((qptest::BinaryDir() / "bin" / name).string());
    }

    void Start(QProcess& process) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUILLPOST_DATA", Folder());
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(Tool("quillpost"), {});
        QVERIFY(process.waitForStarted(5000));
    }

    // The program listens for a second copy once its main window exists.
    bool WaitUntilListening() const {
        const QByteArray hash =
            QCryptographicHash::hash(Folder().toUtf8(), QCryptographicHash::Sha1).toHex();
        const QString server = "quillpost-" + QString::fromLatin1(hash.left(12));
        for (int i = 0; i < 200; ++i) {
            QLocalSocket probe;
            probe.connectToServer(server);
            if (probe.waitForConnected(100)) {
                probe.disconnectFromServer();
                return true;
            }
            QTest::qWait(100);
        }
        return false;
    }

    // Sends `signalNumber` to a running program and checks that it ended cleanly.
    void StopWith(QProcess& process, int signalNumber) {
        QCOMPARE(process.state(), QProcess::Running);
        QCOMPARE(::kill(static_cast<pid_t>(process.processId()), signalNumber), 0);
        if (!process.waitForFinished(15000)) {
            process.kill();
            process.waitForFinished(5000);
            QFAIL("the program did not end after the signal");
        }
        const QByteArray output = process.readAll();
        QVERIFY2(process.exitStatus() == QProcess::NormalExit, output.constData());
        QVERIFY2(process.exitCode() == 0, output.constData());
        QVERIFY2(!QFile::exists(Folder() + "quillpost.lock"), "the lock was left behind");
    }

    void CheckTableSound(const char* table) {
        QProcess check;
        check.setProcessChannelMode(QProcess::MergedChannels);
        check.start(Tool("qpx"), {"table", "check", Folder() + table});
        QVERIFY(check.waitForFinished(20000));
        QVERIFY2(check.exitCode() == 0, check.readAll().constData());
    }

    QByteArray Settings() const {
        QFile ini(Folder() + "QPX.INI");
        return ini.open(QIODevice::ReadOnly) ? ini.readAll() : QByteArray();
    }

private slots:
    void init() { data_ = std::make_unique<qptest::ScratchDir>("termination"); }
    void cleanup() { data_.reset(); }

    // At the first start the preferences are open (modal) over the main window.
    void sigtermWhileTheFirstStartPreferencesAreOpen() {
        QProcess program;
        Start(program);
        QVERIFY(WaitUntilListening());
        QTest::qWait(1500); // the preferences open right after the window shows
        StopWith(program, SIGTERM);
        CheckTableSound("QPX.DBF");
        CheckTableSound("QPXREC.DBF");
        // The cancelled preferences stored nothing: the next start asks again.
        QVERIFY2(!Settings().contains("ComPort="), Settings().constData());
    }

    void sighupAndSigintEndAnIdleProgram_data() {
        QTest::addColumn<int>("signalNumber");
        QTest::newRow("SIGHUP") << int(SIGHUP);
        QTest::newRow("SIGINT") << int(SIGINT);
    }

    void sighupAndSigintEndAnIdleProgram() {
        QFETCH(int, signalNumber);
        {
            QFile ini(Folder() + "QPX.INI");
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[Modem]\nComPort=0\n");
        }
        QProcess program;
        Start(program);
        QVERIFY(WaitUntilListening());
        QTest::qWait(500);
        StopWith(program, signalNumber);
        CheckTableSound("QPX.DBF");
        QVERIFY2(Settings().contains("TMainScreen_Placement"), Settings().constData());
        QVERIFY(Settings().contains("ComPort=0"));

        // A program ended this way starts again on the same data.
        QProcess again;
        Start(again);
        QVERIFY(WaitUntilListening());
        StopWith(again, SIGTERM);
    }
};

QTEST_MAIN(TerminationTest)
#include "TerminationTest.moc"
