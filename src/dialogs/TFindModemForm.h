#pragma once

#include <QDialog>

class QButtonGroup;

#include <array>

class QLabel;
class QPushButton;
class TQpComPort;

// Probes the ports Com1 to Com6 with the lent serial port for a modem that answers "OK"
// to "AT", and reports the first port that does. The scan starts when the dialog is
// shown; "Ok" appears when it has ended. The port is closed again afterwards.
class TFindModemForm final : public QDialog {
    Q_OBJECT

public:
    static constexpr int PortCount = 6;
    // Ticks (55 ms) a port gets to answer "AT".
    static constexpr long AnswerTicks = 18;

    explicit TFindModemForm(TQpComPort* port, QWidget* parent = nullptr);

    // Runs the search on `port` and, when a modem answers on another port than the one
    // checked in `comPort`, asks whether to check that one. The port keeps the number of
    // the checked choice.
    static void SearchAndOffer(TQpComPort* port, QButtonGroup* comPort, QWidget* parent);

    // The first port number (1..6) with a modem, or -1 when none answered.
    int FoundPort() const { return foundPort_; }
    bool Finished() const { return finished_; }

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void Scan();
    // Tries one port and returns the line's outcome ("MODEM", "Unknown", the failure).
    QString ProbePort(int number);
    void ShowOutcome(bool portInUse);
    void ClosePort();

    TQpComPort* port_;
    std::array<QLabel*, PortCount> lines_{};
    QLabel* message_ = nullptr;
    QLabel* device_ = nullptr;
    QPushButton* ok_ = nullptr;
    int foundPort_ = -1;
    bool started_ = false;
    bool finished_ = false;
    bool portInUse_ = false;
    bool accessDenied_ = false; // some device refused this user
};
