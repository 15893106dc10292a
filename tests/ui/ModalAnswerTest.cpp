// The answering of modal windows that every window test relies on: it must find a dialog
// however late it appears, and a dialog nobody answers must fail the test within seconds,
// naming the dialog, instead of hanging it.
#include "ModalAnswer.h"
#include "TestPaths.h"

#include <QDialog>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using qptest::ModalAnswer;
using qptest::OnNextModal;

namespace {

// A dialog class of its own, so it can be awaited by class name.
class TSampleDialog final : public QDialog {
    Q_OBJECT

public:
    TSampleDialog() {
        setObjectName("SampleDialog");
        setWindowTitle("Sample");
    }
};

// Collects the failures the answers report instead of failing the running test.
class FailureLog {
public:
    FailureLog() {
        previous_ = ModalAnswer::SetFailureHandler(
            [this](const QString& message, const char*, int) { messages_ << message; });
    }
    ~FailureLog() { ModalAnswer::SetFailureHandler(previous_); }
    FailureLog(const FailureLog&) = delete;
    FailureLog& operator=(const FailureLog&) = delete;

    const QStringList& Messages() const { return messages_; }

private:
    ModalAnswer::FailureHandler previous_;
    QStringList messages_;
};

// Runs `dialog` modally after `delayMs`, from the event loop, as a program's command would.
int ExecLater(QDialog& dialog, int delayMs) {
    int result = -1;
    bool ran = false;
    QTimer::singleShot(delayMs, &dialog, [&] {
        result = dialog.exec();
        ran = true;
    });
    [&] { QTRY_VERIFY_WITH_TIMEOUT(ran, 20000); }();
    return result;
}

} // namespace

class ModalAnswerTest : public QObject {
    Q_OBJECT

private slots:
    void cleanup() { ModalAnswer::SetGuardTimeoutMs(ModalAnswer::DefaultTimeoutMs); }

    // A dialog that appears late is still answered, inside its own exec(), by class name
    // and by object name.
    void answersLateDialogs() {
        TSampleDialog dialog;
        {
            auto answer = OnNextModal<TSampleDialog>([](TSampleDialog* shown) {
                QVERIFY(shown->isVisible());
                QVERIFY(shown->isModal());
                shown->accept();
            });
            QCOMPARE(ExecLater(dialog, 300), int(QDialog::Accepted));
            QVERIFY(answer.Shown());
            QVERIFY(answer.Done());
            QVERIFY(!answer.TimedOut());
        }
        auto byName = OnNextModal("SampleDialog",
                                  [](QWidget* shown) { static_cast<QDialog*>(shown)->reject(); });
        QCOMPARE(ExecLater(dialog, 50), int(QDialog::Rejected));
        QVERIFY(byName.Wait());
    }

    // A dialog of another class is not taken by the answer; an answer awaited while its
    // dialog is already open takes that dialog; answers nest.
    void matchesOnlyTheAwaitedDialogAndNests() {
        TSampleDialog outer;
        QMessageBox inner(QMessageBox::Question, "Inner", "Go on?",
                          QMessageBox::Yes | QMessageBox::No);
        QString innerCaption;
        auto outerAnswer = OnNextModal<TSampleDialog>([&](TSampleDialog* shown) {
            {
                auto innerAnswer = OnNextModal<QMessageBox>([&](QMessageBox* box) {
                    innerCaption = box->windowTitle();
                    box->button(QMessageBox::Yes)->click();
                });
                QCOMPARE(inner.exec(), int(QMessageBox::Yes));
            }
            shown->accept();
        });
        QCOMPARE(ExecLater(outer, 20), int(QDialog::Accepted));
        QCOMPARE(innerCaption, QString("Inner"));

        // Already open when awaited: the answer is created from within the dialog's loop.
        TSampleDialog open;
        std::unique_ptr<ModalAnswer> late;
        QTimer::singleShot(100, &open, [&] {
            late = std::make_unique<ModalAnswer>(
                "TSampleDialog", [](QWidget* shown) { static_cast<QDialog*>(shown)->done(7); },
                ModalAnswer::DefaultTimeoutMs, qptest::SourcePlace::Current());
        });
        QCOMPARE(open.exec(), 7);
        QVERIFY(late->Done());
    }

    // The awaited dialog never comes while another modal dialog blocks the program: the
    // failure names the awaited dialog and the one in the way, and the blocking dialog is
    // closed so the program goes on.
    void missingDialogFailsAndUnblocks() {
        FailureLog failures;
        QMessageBox blocking(QMessageBox::Warning, "Surprise", "Unexpected question",
                             QMessageBox::Ok);
        QElapsedTimer clock;
        clock.start();
        {
            auto answer = OnNextModal(
                "TPreferences", [](QWidget*) {}, 500);
            blocking.exec(); // returns only because the time-out closes it
            QVERIFY(answer.TimedOut());
            QVERIFY(!answer.Shown());
        }
        QVERIFY(clock.elapsed() < 5000);
        QCOMPARE(failures.Messages().size(), 1);
        const QString message = failures.Messages().constFirst();
        QVERIFY2(message.contains("\"TPreferences\" did not appear within 500 ms"),
                 qPrintable(message));
        QVERIFY2(message.contains("Surprise"), qPrintable(message));
        QVERIFY(!blocking.isVisible());
    }

    // An answer that leaves its dialog open fails and the dialog is closed; a dialog that
    // never appears and nothing blocks fails when the answer goes out of scope.
    void unclosedAndNeverShownDialogsFail() {
        FailureLog failures;
        TSampleDialog dialog;
        {
            auto answer = OnNextModal<TSampleDialog>([](TSampleDialog*) {}, 400);
            QCOMPARE(ExecLater(dialog, 10), int(QDialog::Rejected));
            QVERIFY(answer.TimedOut());
        }
        QCOMPARE(failures.Messages().size(), 1);
        QVERIFY2(failures.Messages()[0].contains("its answer did not close it"),
                 qPrintable(failures.Messages()[0]));

        {
            auto answer = OnNextModal(
                "TNeverShown", [](QWidget*) {}, 300);
        }
        QCOMPARE(failures.Messages().size(), 2);
        QVERIFY(failures.Messages()[1].contains("\"TNeverShown\" did not appear"));
    }

    // A modal dialog that no answer awaits is closed by the guard with a failure naming it.
    void guardClosesUnawaitedDialogs() {
        FailureLog failures;
        ModalAnswer::SetGuardTimeoutMs(300);
        TSampleDialog dialog;
        QCOMPARE(ExecLater(dialog, 10), int(QDialog::Rejected));
        QCOMPARE(failures.Messages().size(), 1);
        QVERIFY2(failures.Messages()[0].contains("TSampleDialog SampleDialog \"Sample\""),
                 qPrintable(failures.Messages()[0]));
    }

    // Through Qt Test itself: a test that leaves its awaited dialog unanswered fails in
    // seconds with the dialog's name, and the program ends instead of hanging.
    void realTestFailsInSeconds() {
        QProcess child;
        child.setProcessChannelMode(QProcess::MergedChannels);
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("QP_MODAL_DEMO", "1");
        child.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        child.start(QCoreApplication::applicationFilePath(), {"unansweredDialogDemo"});
        QVERIFY(child.waitForFinished(60000));
        const QString output = QString::fromLocal8Bit(child.readAll());
        QVERIFY2(child.exitCode() != 0, qPrintable(output));
        QVERIFY2(output.contains("FAIL!") && output.contains("\"TSampleDialog\""),
                 qPrintable(output));
        QVERIFY2(output.contains("ModalAnswerTest.cpp"), qPrintable(output));
        QVERIFY(clock.elapsed() < ModalAnswer::DefaultTimeoutMs + 20000);
    }

    // Run only by realTestFailsInSeconds: awaits a dialog while another one is shown.
    void unansweredDialogDemo() {
        if (qEnvironmentVariableIsEmpty("QP_MODAL_DEMO")) {
            QSKIP("run by realTestFailsInSeconds in a child process");
        }
        ModalAnswer::SetGuardTimeoutMs(60000); // the answer's own time-out is the one shown
        auto answer = OnNextModal<TSampleDialog>([](TSampleDialog* dialog) { dialog->accept(); });
        QDialog other;
        other.setWindowTitle("Not the awaited one");
        other.exec();
    }
};

QTEST_MAIN(ModalAnswerTest)
#include "ModalAnswerTest.moc"
