// The start-up show state under a real X server with a real window manager (Xvfb and
// openbox), where a window manager decides what "minimised" means: the program started
// with --minimized must come up iconic, and without it in the normal state.
#include "TestPaths.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QtTest>

namespace {

QString Program() {
    return QString::fromStdString((qptest::BinaryDir() / "bin" / "quillpost").string());
}

void Stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning) {
        return;
    }
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

class StartStateTest : public QObject {
    Q_OBJECT

private:
    QProcess xvfb_;
    QProcess windowManager_;
    QString display_;
    std::unique_ptr<qptest::ScratchDir> data_;

    QProcessEnvironment X11Environment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("DISPLAY", display_);
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.remove("XAUTHORITY");
        return env;
    }

    // Runs an X client tool on the test's display and returns its output.
    QString RunTool(const QString& tool, const QStringList& args) const {
        QProcess process;
        process.setProcessEnvironment(X11Environment());
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start(tool, args);
        if (!process.waitForFinished(10000)) {
            process.kill();
            process.waitForFinished();
        }
        return QString::fromLocal8Bit(process.readAll());
    }

    bool WindowManagerRunning() const {
        return RunTool("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).contains("window id");
    }

    // The program's top-level window, found by its caption "Quillpost ".
    QString MainWindowId() const {
        const QStringList ids =
            RunTool("xdotool", {"search", "--onlyvisible", "--name", "^Quillpost $"})
                .split('\n', Qt::SkipEmptyParts);
        if (ids.isEmpty()) {
            // A minimised window is not "visible" to xdotool: look it up by name alone.
            const QStringList all = RunTool("xdotool", {"search", "--name", "^Quillpost $"})
                                        .split('\n', Qt::SkipEmptyParts);
            for (const QString& id : all) {
                if (RunTool("xprop", {"-id", id.trimmed(), "WM_STATE"}).contains("window state")) {
                    return id.trimmed();
                }
            }
            return {};
        }
        return ids.constFirst().trimmed();
    }

    // Starts the program and returns the window manager's state of its main window
    // ("Iconic" or "Normal") once the window is managed. Every wait is measured on the
    // clock, so slow tool runs on a loaded machine cannot stretch it.
    QString StartAndReadState(QProcess& program, const QStringList& args) {
        QProcessEnvironment env = X11Environment();
        env.insert("QUILLPOST_DATA", QString::fromStdString(data_->path().string()) + "/");
        program.setProcessEnvironment(env);
        program.setProcessChannelMode(QProcess::MergedChannels);
        program.start(Program(), args);
        if (!program.waitForStarted(10000)) {
            return "not started";
        }
        static const QRegularExpression state("window state: (\\w+)");
        QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired() && program.state() == QProcess::Running) {
            QTest::qWait(100);
            const QString id = MainWindowId();
            if (id.isEmpty()) {
                continue;
            }
            const auto match = state.match(RunTool("xprop", {"-id", id, "WM_STATE"}));
            if (match.hasMatch()) {
                // Let the first activation run; the state must hold after it too.
                QTest::qWait(1500);
                const auto settled = state.match(RunTool("xprop", {"-id", id, "WM_STATE"}));
                return settled.hasMatch() ? settled.captured(1) : QStringLiteral("unmapped");
            }
        }
        return program.state() == QProcess::Running ? "no managed window in 30 s" : "program ended";
    }

    // Starts openbox and waits until it has taken the screen. Returns an empty string
    // when it runs, otherwise what went wrong, with the window manager's own output.
    QString StartWindowManager() {
        windowManager_.setProcessEnvironment(X11Environment());
        windowManager_.setProcessChannelMode(QProcess::MergedChannels);
        windowManager_.start("openbox", {});
        if (!windowManager_.waitForStarted(10000)) {
            return "openbox did not start: " + windowManager_.errorString();
        }
        QDeadlineTimer deadline(30000);
        while (!deadline.hasExpired() && windowManager_.state() == QProcess::Running) {
            if (WindowManagerRunning()) {
                return {};
            }
            QTest::qWait(200);
        }
        const QString reason = windowManager_.state() == QProcess::Running
                                   ? "openbox did not take the screen within 30 s"
                                   : "openbox ended";
        const QString output = QString::fromLocal8Bit(windowManager_.readAll());
        Stop(windowManager_);
        return reason + "; its output: " + output.trimmed() +
               "; xprop: " + RunTool("xprop", {"-root", "_NET_SUPPORTING_WM_CHECK"}).trimmed();
    }

private slots:
    void initTestCase() {
        for (const char* tool : {"Xvfb", "openbox", "xprop", "xdotool"}) {
            if (QStandardPaths::findExecutable(tool).isEmpty()) {
                QSKIP(qPrintable(QStringLiteral("needs %1 (Xvfb, openbox, x11-utils and xdotool, "
                                                "installed by scripts/install-deps)")
                                     .arg(tool)));
            }
        }
        QVERIFY2(QFile::exists(Program()), qPrintable(Program()));
        // Xvfb picks a free display itself and writes its number on the given descriptor.
        xvfb_.setProcessChannelMode(QProcess::SeparateChannels);
        xvfb_.start("Xvfb", {"-displayfd", "1", "-screen", "0", "1024x768x24", "-nolisten", "tcp"});
        QVERIFY(xvfb_.waitForStarted(10000));
        for (int i = 0; i < 100 && display_.isEmpty(); ++i) {
            xvfb_.waitForReadyRead(100);
            const QString out = QString::fromLatin1(xvfb_.readAllStandardOutput()).trimmed();
            if (!out.isEmpty()) {
                display_ = ":" + out;
            }
        }
        QVERIFY2(!display_.isEmpty(), "Xvfb reported no display");

        // The window manager is the test's surroundings, not the program under test: a
        // second try covers one that fell over while the machine was busy, and a machine
        // where it cannot run at all skips with the reason rather than failing.
        QString trouble = StartWindowManager();
        if (!trouble.isEmpty()) {
            qWarning("first window manager start failed: %s", qPrintable(trouble));
            trouble = StartWindowManager();
        }
        if (!trouble.isEmpty()) {
            QSKIP(qPrintable("no window manager on the test display: " + trouble));
        }
    }

    void cleanupTestCase() {
        Stop(windowManager_);
        Stop(xvfb_);
    }

    void init() {
        data_ = std::make_unique<qptest::ScratchDir>("start-state");
        // Configured: no preferences dialog at the first start.
        QFile ini(QString::fromStdString(data_->file("QPX.INI")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Modem]\nComPort=0\n");
    }

    void cleanup() { data_.reset(); }

    // --minimized: the window manager shows the window as an icon, and it stays one.
    void minimizedStartIsIconic() {
        QProcess program;
        const QString state = StartAndReadState(program, {"--minimized"});
        const QString output = QString::fromLocal8Bit(program.readAll());
        Stop(program);
        QVERIFY2(state == "Iconic", qPrintable(state + "\n" + output));
    }

    // Without the option the window is shown normally (the check above can tell them
    // apart).
    void normalStartIsNormal() {
        QProcess program;
        const QString state = StartAndReadState(program, {});
        Stop(program);
        QCOMPARE(state, QStringLiteral("Normal"));
    }
};

QTEST_GUILESS_MAIN(StartStateTest)
#include "StartStateTest.moc"
