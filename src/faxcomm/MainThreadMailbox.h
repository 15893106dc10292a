#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>

#include <QObject>

class QSocketNotifier;

// Runs calls posted from any thread on the thread that owns the mailbox (the
// user-interface thread), one after another in the order they were posted.
//
// Posting does not call into Qt: the call is queued under a mutex and the owner's event
// loop is woken through an eventfd that a socket notifier watches. The port's threads
// thus never touch a QObject that the owner may be destroying, and the hand-over is
// visible to ThreadSanitizer. Whoever posts must stop doing so before the mailbox is
// destroyed; calls still queued then are dropped without running.
class MainThreadMailbox final : public QObject {
    Q_OBJECT

public:
    explicit MainThreadMailbox(QObject* parent = nullptr);
    ~MainThreadMailbox() override;
    Q_DISABLE_COPY_MOVE(MainThreadMailbox)

    // May be called from any thread.
    void Post(std::function<void()> call);
    // Runs the calls queued so far; on the owner's thread.
    void RunPending();

private:
    void Wake();

    int wakeFd_ = -1;
    QSocketNotifier* notifier_ = nullptr;
    std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);
    std::mutex mutex_;
    std::deque<std::function<void()>> calls_;
};
