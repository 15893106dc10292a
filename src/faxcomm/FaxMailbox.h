#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>

#include <QObject>
#include <QThread>

// The fax components' hidden "qpFaxHandler" window: the fax engine, on the port's
// dispatcher thread, hands calls to the component's own thread through it. Send waits for
// the call at most its limit (1000 ms) and gives up on a component thread that does not
// get to it; Post does not wait. A call made on the component's own thread runs at once.
class FaxMailbox final : public QObject {
    Q_OBJECT

public:
    explicit FaxMailbox(QObject* parent = nullptr) : QObject(parent) {
        setObjectName("qpFaxHandler");
    }

    template <typename Result>
    std::optional<Result> Send(std::function<Result()> call,
                               std::chrono::milliseconds limit = std::chrono::milliseconds(1000)) {
        if (QThread::currentThread() == thread()) {
            return call();
        }
        struct Shared {
            std::mutex mutex;
            std::condition_variable done;
            std::optional<Result> result;
        };
        auto shared = std::make_shared<Shared>();
        QMetaObject::invokeMethod(
            this,
            [shared, call = std::move(call)] {
                Result value = call();
                std::lock_guard<std::mutex> lock(shared->mutex);
                shared->result = std::move(value);
                shared->done.notify_all();
            },
            Qt::QueuedConnection);
        std::unique_lock<std::mutex> lock(shared->mutex);
        shared->done.wait_for(lock, limit, [&] { return shared->result.has_value(); });
        return shared->result;
    }

    void Post(std::function<void()> call) {
        QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
    }
};
