#pragma once

#include <QMainWindow>

class QLabel;
class TJustOne;

// The main window: button bar, the Sent and Received lists, tab strip and status line.
class TMainScreen : public QMainWindow {
    Q_OBJECT

public:
    // `startMinimized` is the start-up show state (the --minimized option).
    explicit TMainScreen(bool startMinimized = false, QWidget* parent = nullptr);
    ~TMainScreen() override;

    QLabel* StatusLine() const { return status_; }
    TJustOne* JustOne() const { return justOne_; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormActivate();

    TJustOne* justOne_ = nullptr;
    QLabel* status_ = nullptr;
    bool startMinimized_ = false;
    bool firstActivation_ = true;
};
