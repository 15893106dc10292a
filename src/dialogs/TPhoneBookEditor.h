#pragma once

#include <QDialog>

#include <memory>

class HintTargetGuard;
class QLabel;
class QLineEdit;
class QPushButton;

// "Phone Book Editor": edits one phone book entry, a name (at most 35 characters) and a
// fax number (at most 25). The browser fills the two edits before showing it and reads
// them after Accept. No validation: empty texts are accepted.
class TPhoneBookEditor final : public QDialog {
    Q_OBJECT

public:
    static constexpr int MaxNameLength = 35;
    static constexpr int MaxNumberLength = 25;

    explicit TPhoneBookEditor(QWidget* parent = nullptr);
    ~TPhoneBookEditor() override;

    QLineEdit* Name() const { return name_; }
    QLineEdit* Number() const { return number_; }
    QLabel* StatusLine() const { return status_; }

private:
    QLineEdit* name_ = nullptr;
    QLineEdit* number_ = nullptr;
    QLabel* status_ = nullptr;
    std::unique_ptr<HintTargetGuard> hintGuard_;
};
