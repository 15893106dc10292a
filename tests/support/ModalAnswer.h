#pragma once

#include <QString>

#include <functional>
#include <memory>
#include "SourcePlace.h"

class QWidget;

// Answers the modal windows that the code under test opens with exec(), without timers
// that guess when they appear.
//
//     auto answer = qptest::OnNextModal<TPreferences>([](TPreferences* dialog) {
//         dialog->findChild<QPushButton*>("OkButton")->click();
//     });
//     window.Preferences(); // runs the dialog; the action answers it
//
// The action runs inside the dialog's own event loop as soon as the dialog is shown
// (after what the dialog queued for itself while being shown), however late that is. The answer
// must close the dialog. If the awaited dialog does not appear, or is still open, `timeoutMs` after
// it was awaited (or shown), the test fails with a message naming the dialog and the modal windows
// that are in the way are closed, so a test never waits for ever. The ModalAnswer's destructor
// waits for the answer to complete (running the event loop) and reports a dialog that never came.
//
// Every Qt test program also gets a guard: a modal window that no answer awaits and that
// is still open after DefaultTimeoutMs fails the test and is closed.
namespace qptest {

class ModalAnswer {
public:
    static constexpr int DefaultTimeoutMs = 10000;

    // `awaited`: the class name of the dialog (or of one of its base classes), or its
    // object name.
    ModalAnswer(const QString& awaited, std::function<void(QWidget*)> action, int timeoutMs,
                qptest::SourcePlace where);
    ~ModalAnswer();
    ModalAnswer(ModalAnswer&&) noexcept;
    ModalAnswer& operator=(ModalAnswer&&) = delete;
    ModalAnswer(const ModalAnswer&) = delete;
    ModalAnswer& operator=(const ModalAnswer&) = delete;

    // Runs the event loop until the dialog has been answered and closed, or the time-out
    // has passed; true when answered and closed.
    bool Wait();
    bool Shown() const;
    // The dialog was answered and is closed.
    bool Done() const;
    // The time-out passed (the failure has been reported).
    bool TimedOut() const;

    // Where failures go: by default to the running Qt Test function (QTest::qFail), or,
    // outside Qt Test, to standard error followed by abort(). Returns the previous one.
    using FailureHandler = std::function<void(const QString& message, const char* file, int line)>;
    static FailureHandler SetFailureHandler(FailureHandler handler);

    // Installs the guard against unawaited modal windows (done for every Qt test program
    // when its application object is created). Its time-out is DefaultTimeoutMs unless set.
    static void InstallGuard();
    static void SetGuardTimeoutMs(int timeoutMs);

    struct State;

private:
    std::shared_ptr<State> state_;
};

[[nodiscard]] ModalAnswer OnNextModal(const QString& awaited, std::function<void(QWidget*)> action,
                                      int timeoutMs = ModalAnswer::DefaultTimeoutMs,
                                      qptest::SourcePlace where = qptest::SourcePlace::Current());

template <class Dialog>
[[nodiscard]] ModalAnswer OnNextModal(std::function<void(Dialog*)> action,
                                      int timeoutMs = ModalAnswer::DefaultTimeoutMs,
                                      qptest::SourcePlace where = qptest::SourcePlace::Current()) {
    return OnNextModal(
        QString::fromLatin1(Dialog::staticMetaObject.className()),
        [action = std::move(action)](QWidget* widget) { action(static_cast<Dialog*>(widget)); },
        timeoutMs, where);
}

} // namespace qptest
