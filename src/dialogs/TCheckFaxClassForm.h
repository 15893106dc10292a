#pragma once

#include <QDialog>

class QLabel;
class QPushButton;
class TQpComPort;
class TQpSendFax;

// Asks the modem on a given port which fax classes it supports and recommends the
// highest. The check starts when the dialog is shown; "Ok" appears when it has ended.
// The lent port is closed again afterwards.
class TCheckFaxClassForm final : public QDialog {
    Q_OBJECT

public:
    // Ticks (55 ms) the modem gets to answer the reset before the query.
    static constexpr long ResetTicks = 36;

    // `fax` is a send component bound to `port`; `portNumber` is 1..6.
    TCheckFaxClassForm(TQpComPort* port, TQpSendFax* fax, int portNumber,
                       QWidget* parent = nullptr);

    // -1 none, 0 Class 1, 1 Class 2, 2 Class 2.0.
    int RecommendedClass() const { return recommendedClass_; }
    // "Class 1", "Class 2", "Class 2.0", or empty.
    QString RecommendedName() const { return recommendedName_; }
    bool Finished() const { return finished_; }

protected:
    void showEvent(QShowEvent* event) override;
    void reject() override;

private:
    void Check();
    // "OK" when the modem named at least one class; the failure text otherwise.
    QString QueryClasses();
    void ShowUnknown();
    void ShowSupport();
    void Finish();
    void ClosePort();

    TQpComPort* port_;
    TQpSendFax* fax_;
    int portNumber_;
    QLabel* class1_ = nullptr;
    QLabel* class2_ = nullptr;
    QLabel* class20_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* ok_ = nullptr;
    bool supports1_ = false;
    bool supports2_ = false;
    bool supports20_ = false;
    int recommendedClass_ = -1;
    QString recommendedName_;
    bool started_ = false;
    bool finished_ = false;
};
