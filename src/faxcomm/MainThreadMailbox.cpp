#include "faxcomm/MainThreadMailbox.h"

#include <cstdint>
#include <sys/eventfd.h>
#include <unistd.h>

#include <QMetaObject>
#include <QSocketNotifier>

MainThreadMailbox::MainThreadMailbox(QObject* parent)
    : QObject(parent), wakeFd_(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (wakeFd_ >= 0) {
        notifier_ = new QSocketNotifier(wakeFd_, QSocketNotifier::Read, this);
        connect(notifier_, &QSocketNotifier::activated, this, &MainThreadMailbox::RunPending);
    }
}

MainThreadMailbox::~MainThreadMailbox() {
    *alive_ = false;
    delete notifier_;
    if (wakeFd_ >= 0) {
        ::close(wakeFd_);
    }
}

void MainThreadMailbox::Post(std::function<void()> call) {
    {
        std::lock_guard guard(mutex_);
        calls_.push_back(std::move(call));
    }
    Wake();
}

void MainThreadMailbox::Wake() {
    if (wakeFd_ >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
    } else {
        // Without an eventfd (descriptors exhausted) the event loop is woken by Qt itself.
        QMetaObject::invokeMethod(this, &MainThreadMailbox::RunPending, Qt::QueuedConnection);
    }
}

// A call may destroy the mailbox (an event handler freeing its port component); the
// remaining calls are then dropped.
void MainThreadMailbox::RunPending() {
    if (wakeFd_ >= 0) {
        std::uint64_t count = 0;
        [[maybe_unused]] const ssize_t read = ::read(wakeFd_, &count, sizeof count);
    }
    const std::shared_ptr<bool> alive = alive_;
    while (*alive) {
        std::function<void()> call;
        {
            std::lock_guard guard(mutex_);
            if (calls_.empty()) {
                return;
            }
            call = std::move(calls_.front());
            calls_.pop_front();
        }
        call();
    }
}
