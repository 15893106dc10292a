#pragma once

#include "ui/WindowUtils.h"

#include <QDialog>

#include <memory>

class QLabel;
class QLineEdit;

// The notes of a received fax: the sender's line and an edit of at most 60 characters
// (the width of the NOTES field). Accept ends with Accepted, Cancel with Rejected.
class TEditReceiveNotes final : public QDialog {
    Q_OBJECT

public:
    static constexpr int MaxNotesLength = 60;

    explicit TEditReceiveNotes(QWidget* parent = nullptr);
    ~TEditReceiveNotes() override;

    QLineEdit* Notes() const { return notes_; }
    QLabel* Descript() const { return descript_; }

private:
    QLabel* descript_;
    QLineEdit* notes_;
    QLabel* status_;
    std::unique_ptr<HintTargetGuard> hintGuard_;
};
