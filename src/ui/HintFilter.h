#pragma once

#include <QObject>

class QWidget;

// The application-wide hint handler: copies the hint (status tip) of the widget or menu
// item under the mouse into the current HintTarget label while hints are on, and
// suppresses pop-up hints while they are off. Pop-up hints appear after 1200 ms. A
// control that gets the keyboard focus shows its hint the same way, so that the hints
// reach those who do not use the mouse.
class HintFilter final : public QObject {
    Q_OBJECT

public:
    static constexpr int HintPauseMs = 1200;

    // Installs the one filter on the application (idempotent) and returns it.
    static HintFilter* Install();
    static HintFilter* Instance();

    void SetHintsOn(bool on);
    // Shows the hint of the control that just got the focus, when the hint target is in
    // its window.
    void ShowFocusHint(const QWidget* focused) const;
    bool HintsOn() const { return hintsOn_; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    explicit HintFilter(QObject* parent);
    bool hintsOn_ = true;
};
