#include "ModalAnswer.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QDialog>
#include <QEvent>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace qptest {

struct ModalAnswer::State {
    QString awaited;
    std::function<void(QWidget*)> action;
    int timeoutMs = DefaultTimeoutMs;
    qptest::SourcePlace where;
    QPointer<QWidget> dialog;
    QPointer<QTimer> watchdog;
    bool shown = false;
    bool answered = false;
    bool done = false;
    bool timedOut = false;

    bool Finished() const { return done || timedOut; }
};

namespace {

using State = ModalAnswer::State;

constexpr const char* ClaimedProperty = "qptest_modal_claimed";
constexpr const char* ShowCountProperty = "qptest_modal_shows";
constexpr int MaxWindowsToClose = 20;
int guardTimeoutMs = ModalAnswer::DefaultTimeoutMs;

ModalAnswer::FailureHandler& Handler() {
    static ModalAnswer::FailureHandler handler;
    return handler;
}

bool InQtTest() {
    return QTest::currentTestFunction() != nullptr;
}

void Fail(const QString& message, const char* file, int line) {
    if (Handler()) {
        Handler()(message, file, line);
    } else if (InQtTest()) {
        QTest::qFail(qPrintable(message), file, line);
    } else {
        std::fprintf(stderr, "FAIL! %s:%d: %s\n", file, line, qPrintable(message));
        std::abort();
    }
}

bool TestHasFailed() {
    return InQtTest() && QTest::currentTestFailed();
}

QString Describe(const QWidget* window) {
    QString text = QString::fromLatin1(window->metaObject()->className());
    if (!window->objectName().isEmpty()) {
        text += " " + window->objectName();
    }
    text += " \"" + window->windowTitle() + "\"";
    const QVariant message = window->property("text");
    if (message.isValid() && !message.toString().isEmpty()) {
        text += ": " + message.toString().left(120);
    }
    return text;
}

QString OpenModalWindows() {
    QStringList open;
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->isModal()) {
            open << Describe(window);
        }
    }
    return open.isEmpty() ? QStringLiteral("none") : open.join("; ");
}

// Ends a modal window's exec() as a user's Cancel would; hides it when that is not enough.
void CloseWindow(QWidget* window) {
    if (auto* dialog = qobject_cast<QDialog*>(window)) {
        dialog->reject();
    } else {
        window->close();
    }
    if (window->isVisible()) {
        window->hide();
    }
}

bool Matches(const QWidget* window, const QString& awaited) {
    return window->inherits(awaited.toLatin1().constData()) || window->objectName() == awaited;
}

// Watches every window that is shown, hands modal ones to the answer awaiting them and
// reports those that nobody answers.
class ModalRegistry final : public QObject {
public:
    static ModalRegistry& Instance() {
        static QPointer<ModalRegistry> registry;
        if (!registry) {
            registry = new ModalRegistry(QCoreApplication::instance());
            QCoreApplication::instance()->installEventFilter(registry);
        }
        return *registry;
    }

    void Await(const std::shared_ptr<State>& state) {
        pending_.push_back(state);
        StartWatchdog(state, state->timeoutMs);
        // The dialog may already be open (awaited from inside another dialog's answer).
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (QWidget* modal = QApplication::activeModalWidget();
                    modal && modal->isVisible() && !modal->property(ClaimedProperty).toBool()) {
                    Claim(modal);
                }
            },
            Qt::QueuedConnection);
    }

    void Forget(const std::shared_ptr<State>& state) {
        std::erase(pending_, state);
        std::erase(claimed_, state);
        if (state->watchdog) {
            state->watchdog->stop();
            state->watchdog->deleteLater();
        }
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Show && event->type() != QEvent::Hide) {
            return false;
        }
        if (!watched->isWidgetType()) {
            return false;
        }
        auto* window = static_cast<QWidget*>(watched);
        if (!window->isWindow()) {
            return false;
        }
        if (event->type() == QEvent::Show) {
            window->setProperty(ClaimedProperty, false);
            window->setProperty(ShowCountProperty, window->property(ShowCountProperty).toInt() + 1);
            if (window->isModal() && !Claim(window)) {
                GuardUnawaited(window);
            }
        } else {
            Closed(window);
        }
        return false;
    }

private:
    explicit ModalRegistry(QObject* parent) : QObject(parent) {}

    void StartWatchdog(const std::shared_ptr<State>& state, int timeoutMs) {
        if (!state->watchdog) {
            state->watchdog = new QTimer(this);
            state->watchdog->setSingleShot(true);
            std::weak_ptr<State> weak = state;
            connect(state->watchdog, &QTimer::timeout, this, [this, weak] {
                if (auto alive = weak.lock()) {
                    TimedOut(alive);
                }
            });
        }
        state->watchdog->start(timeoutMs);
    }

    bool Claim(QWidget* window) {
        auto found = std::find_if(pending_.begin(), pending_.end(), [window](const auto& state) {
            return Matches(window, state->awaited);
        });
        if (found == pending_.end()) {
            return false;
        }
        std::shared_ptr<State> state = *found;
        pending_.erase(found);
        claimed_.push_back(state);
        window->setProperty(ClaimedProperty, true);
        state->dialog = window;
        state->shown = true;
        StartWatchdog(state, state->timeoutMs);
        // Runs inside the dialog's own event loop, once exec() has started it and after
        // whatever the dialog queued for itself while it was being shown (this filter sees
        // the show before the dialog does).
        std::weak_ptr<State> weak = state;
        QPointer<QWidget> target = window;
        QMetaObject::invokeMethod(
            this,
            [this, weak, target] {
                if (!target) {
                    return;
                }
                QMetaObject::invokeMethod(
                    target,
                    [this, weak] {
                        if (auto alive = weak.lock()) {
                            Answer(alive);
                        }
                    },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
        return true;
    }

    void Answer(const std::shared_ptr<State>& state) {
        if (state->Finished()) {
            return;
        }
        if (!state->dialog || !state->dialog->isVisible()) {
            Finish(state); // closed by the program before it needed an answer
            return;
        }
        state->answered = true;
        state->action(state->dialog);
        if (!state->dialog || !state->dialog->isVisible()) {
            Finish(state);
        } else if (TestHasFailed()) {
            // A check inside the answer failed; do not leave the program waiting.
            CloseDown(state->dialog);
            Finish(state);
        }
    }

    void Closed(QWidget* window) {
        for (const auto& state : std::vector(claimed_)) {
            if (state->dialog == window && !state->Finished()) {
                Finish(state);
            }
        }
    }

    void Finish(const std::shared_ptr<State>& state) {
        state->done = true;
        if (state->watchdog) {
            state->watchdog->stop();
        }
        std::erase(claimed_, state);
    }

    void TimedOut(const std::shared_ptr<State>& state) {
        if (state->Finished()) {
            return;
        }
        if (state->shown && !state->dialog) {
            Finish(state); // destroyed without a hide event
            return;
        }
        state->timedOut = true;
        QString message;
        if (!state->shown) {
            message = QStringLiteral("modal dialog \"%1\" did not appear within %2 ms "
                                     "(open modal windows: %3)")
                          .arg(state->awaited)
                          .arg(state->timeoutMs)
                          .arg(OpenModalWindows());
        } else {
            message = QStringLiteral("modal dialog \"%1\" (%2) was still open %3 ms after it "
                                     "appeared%4")
                          .arg(state->awaited, Describe(state->dialog))
                          .arg(state->timeoutMs)
                          .arg(state->answered ? QStringLiteral("; its answer did not close it")
                                               : QStringLiteral("; it was never answered"));
        }
        std::erase(pending_, state);
        std::erase(claimed_, state);
        Fail(message, state->where.file, static_cast<int>(state->where.line));
        if (state->dialog) {
            CloseDown(state->dialog);
        } else {
            CloseUnclaimed();
        }
    }

    // Closes the modal windows from the top down to and including `bottom`.
    static void CloseDown(QWidget* bottom) {
        QPointer<QWidget> target = bottom;
        for (int i = 0; i < MaxWindowsToClose && target && target->isVisible(); ++i) {
            QWidget* top = QApplication::activeModalWidget();
            CloseWindow(top && top != target ? top : target.data());
        }
    }

    // Closes modal windows that no answer claimed: they are what keeps the program waiting.
    static void CloseUnclaimed() {
        for (int i = 0; i < MaxWindowsToClose; ++i) {
            QWidget* top = QApplication::activeModalWidget();
            if (!top || top->property(ClaimedProperty).toBool()) {
                return;
            }
            CloseWindow(top);
        }
    }

    static void GuardUnawaited(QWidget* window) {
        const int show = window->property(ShowCountProperty).toInt();
        QPointer<QWidget> guarded = window;
        const int timeoutMs = guardTimeoutMs;
        QTimer::singleShot(timeoutMs, window, [guarded, show, timeoutMs] {
            if (!guarded || !guarded->isVisible() || !guarded->isModal() ||
                guarded->property(ClaimedProperty).toBool() ||
                guarded->property(ShowCountProperty).toInt() != show) {
                return;
            }
            Fail(QStringLiteral("modal window %1 was left open for %2 ms without an answer")
                     .arg(Describe(guarded))
                     .arg(timeoutMs),
                 __FILE__, __LINE__);
            CloseDown(guarded);
        });
    }

    std::vector<std::shared_ptr<State>> pending_;
    std::vector<std::shared_ptr<State>> claimed_;
};

void InstallGuardAtStart() {
    ModalAnswer::InstallGuard();
}

} // namespace

ModalAnswer::ModalAnswer(const QString& awaited, std::function<void(QWidget*)> action,
                         int timeoutMs, qptest::SourcePlace where)
    : state_(std::make_shared<State>()) {
    state_->awaited = awaited;
    state_->action = std::move(action);
    state_->timeoutMs = timeoutMs;
    state_->where = where;
    ModalRegistry::Instance().Await(state_);
}

ModalAnswer::ModalAnswer(ModalAnswer&&) noexcept = default;

ModalAnswer::~ModalAnswer() {
    if (!state_) {
        return;
    }
    if (!state_->Finished() && !TestHasFailed()) {
        Wait();
    }
    ModalRegistry::Instance().Forget(state_);
}

bool ModalAnswer::Wait() {
    // The watchdog ends the wait; the deadline only guards against a stopped event loop.
    QDeadlineTimer deadline(2 * state_->timeoutMs + 1000);
    while (!state_->Finished() && !deadline.hasExpired()) {
        QTest::qWait(5);
    }
    if (!state_->Finished()) {
        state_->timedOut = true;
        Fail(QStringLiteral("modal dialog \"%1\" was not answered in time").arg(state_->awaited),
             state_->where.file, static_cast<int>(state_->where.line));
    }
    return state_->done;
}

bool ModalAnswer::Shown() const {
    return state_->shown;
}

bool ModalAnswer::Done() const {
    return state_->done;
}

bool ModalAnswer::TimedOut() const {
    return state_->timedOut;
}

ModalAnswer::FailureHandler ModalAnswer::SetFailureHandler(FailureHandler handler) {
    return std::exchange(Handler(), std::move(handler));
}

void ModalAnswer::InstallGuard() {
    ModalRegistry::Instance();
}

void ModalAnswer::SetGuardTimeoutMs(int timeoutMs) {
    guardTimeoutMs = timeoutMs;
}

ModalAnswer OnNextModal(const QString& awaited, std::function<void(QWidget*)> action, int timeoutMs,
                        qptest::SourcePlace where) {
    return ModalAnswer(awaited, std::move(action), timeoutMs, where);
}

Q_COREAPP_STARTUP_FUNCTION(InstallGuardAtStart)

} // namespace qptest
