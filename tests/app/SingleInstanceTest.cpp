#include "TestPaths.h"

#include <QHostInfo>
#include <QLocalSocket>
#include <QProcess>
#include <QtTest>

#include <QCryptographicHash>

// Runs real quillpost processes on one data folder to check the single-instance guard.
class SingleInstanceTest : public QObject {
    Q_OBJECT

private:
    QString dataFolder_;

    QString Program() const {
        return QString::fromStdString((qptest::BinaryDir() / "bin" / "quillpost").string());
    }

    void Start(QProcess& process, const QStringList& args = {}) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUILLPOST_DATA", dataFolder_);
        env.insert("QT_QPA_PLATFORM", "offscreen");
        process.setProcessEnvironment(env);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(Program(), args);
        QVERIFY(process.waitForStarted(5000));
    }

    QString ServerName() const {
        QString folder = dataFolder_;
        if (!folder.endsWith('/')) {
            folder += '/';
        }
        const QByteArray hash =
            QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha1).toHex();
        return "quillpost-" + QString::fromLatin1(hash.left(12));
    }

    // The first copy listens once its window exists.
    bool WaitUntilListening() {
        for (int i = 0; i < 100; ++i) {
            QLocalSocket probe;
            probe.connectToServer(ServerName());
            if (probe.waitForConnected(100)) {
                probe.disconnectFromServer();
                return true;
            }
            QTest::qWait(100);
        }
        return false;
    }

    static void Stop(QProcess& process) {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }

    // A second copy must end by itself, before showing a window, and the first copy
    // must come forward.
    void CheckSecondCopyRaisesFirst(QProcess& first) {
        QProcess second;
        Start(second);
        QVERIFY2(second.waitForFinished(10000), "the second copy did not end");
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        QByteArray output;
        QTRY_VERIFY_WITH_TIMEOUT((output += first.readAll()).contains("brought to the front"),
                                 5000);
        QCOMPARE(first.state(), QProcess::Running);
    }

private slots:
    void init() {
        const auto dir = qptest::DataDir() / ("instance-" + std::to_string(rand()));
        std::filesystem::create_directories(dir);
        dataFolder_ = QString::fromStdString(dir.string() + "/");
    }

    void secondCopyExitsAndRaisesTheFirst() {
        QProcess first;
        Start(first, {"--minimized"});
        QVERIFY(WaitUntilListening());
        CheckSecondCopyRaisesFirst(first);
        Stop(first);
    }

    // A lock left by a copy that crashed (its process is gone) must not stop the next
    // start.
    void staleLockFromCrashedCopyIsTakenOver() {
        // The shell prints its own process id and ends: that id now names no process.
        QProcess gone;
        gone.start("sh", {"-c", "echo $$"});
        QVERIFY(gone.waitForFinished(5000));
        const QByteArray deadPid = gone.readAllStandardOutput().trimmed();
        QVERIFY(!deadPid.isEmpty());
        QFile lock(dataFolder_ + "quillpost.lock");
        QVERIFY(lock.open(QIODevice::WriteOnly));
        lock.write(deadPid + "\nquillpost\n" + QHostInfo::localHostName().toUtf8() + "\n");
        lock.close();

        QProcess first;
        Start(first);
        QVERIFY2(WaitUntilListening(), "the program did not start over a stale lock");
        QCOMPARE(first.state(), QProcess::Running);
        CheckSecondCopyRaisesFirst(first);
        Stop(first);
    }
};

QTEST_MAIN(SingleInstanceTest)
#include "SingleInstanceTest.moc"
