#pragma once

#include <QObject>

#include <functional>

class QLocalServer;
class QWidget;

// The single-instance guard. In a second copy of the program it asks the first copy to
// restore (when minimised) and raise its main window, then ends the process before any
// window is shown. In the first copy it listens for such requests.
class TJustOne final : public QObject {
    Q_OBJECT

public:
    // The message a second copy sends to the first.
    static constexpr const char* RaiseRequest = "raise";

    // `mainWindow` is the window to bring forward when another copy starts.
    explicit TJustOne(QWidget* mainWindow);
    ~TJustOne() override;

    // True when this process is the second copy and is ending.
    bool IsSecondCopy() const { return secondCopy_; }

    // What "end the process" does; tests replace it. Default: exit(0) at once.
    static void SetTerminate(std::function<void()> terminate);

signals:
    // Emitted in the first copy after it brought its window forward for another copy.
    void BroughtToFront();

private:
    void Listen();
    void NotifyFirstCopy();
    void BringToFront();

    QWidget* mainWindow_;
    QLocalServer* server_ = nullptr;
    bool secondCopy_ = false;
};
