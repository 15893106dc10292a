#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGHUP and SIGINT (the session ending, a closed terminal, Ctrl+C) into the
// Requested signal on the main thread, so the program can end the way the Exit command
// does: its tables closed and its settings saved. One object per process.
class TTerminationSignals : public QObject {
    Q_OBJECT

public:
    explicit TTerminationSignals(QObject* parent = nullptr);
    ~TTerminationSignals() override;

    TTerminationSignals(const TTerminationSignals&) = delete;
    TTerminationSignals& operator=(const TTerminationSignals&) = delete;

    // Signals are caught from construction on but reported only from here on, once the
    // receiver is connected (a signal caught before waits until then).
    void Start();

signals:
    void Requested(int signalNumber);

private:
    static void Handler(int signalNumber);
    void ReadPending();

    QSocketNotifier* notifier_ = nullptr;
};
