#pragma once

#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>

class QLabel;
class QPushButton;
class TQpAbstractFax;
class TQpMeter;

// The "Fax Status" window: the call's numbers in six panels, the page progress meter and
// a "Cancel" button that cancels the fax (Escape does the same).
class TStandardFaxDisplay final : public QDialog {
    Q_OBJECT

public:
    explicit TStandardFaxDisplay(QWidget* parent = nullptr);

    void SetFax(TQpAbstractFax* fax) { fax_ = fax; }
    TQpAbstractFax* Fax() const { return fax_; }
    // Refreshes every value from the fax component.
    void UpdateValues();
    void CancelClick();
    TQpMeter* Meter() const { return meter_; }

    // "m:ss" right-aligned in 6 characters.
    static QString MinutesSeconds(qint64 seconds);
    // A file name without its folder, cut to 20 characters and "..." when longer.
    static QString ShortName(const std::string& path);

protected:
    void reject() override;

private:
    QLabel* AddRow(class QGridLayout* grid, int row, const QString& caption, const QString& name,
                   const QString& value);

    QPointer<TQpAbstractFax> fax_;
    QLabel* phone_;
    QLabel* faxFile_;
    QLabel* coverFile_;
    QLabel* totalPages_;
    QLabel* dialAttempt_;
    QLabel* remoteId_;
    QLabel* bps_;
    QLabel* resolution_;
    QLabel* width_;
    QLabel* errorControl_;
    QLabel* currentPage_;
    QLabel* pageLength_;
    QLabel* bytes_;
    QLabel* elapsed_;
    QLabel* status_;
    QLabel* progressCaption_;
    TQpMeter* meter_;
    QPushButton* cancel_;
    QTimer ticker_;
    QElapsedTimer callTimer_;
    bool callTimerRunning_ = false;
    QElapsedTimer redialTimer_;
    bool redialRunning_ = false;
    qint64 redialSeconds_ = 0;
};
