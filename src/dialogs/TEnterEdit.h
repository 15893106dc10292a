#pragma once

#include <QLineEdit>
#include <QString>

// A single-line edit in which Enter moves the focus to the next control of the window, as
// Tab does, and is then discarded: it never reaches a default button.
//
// Its limit applies to what the user types or pastes: a text the program sets is kept
// whole (a cloned subject may be longer than the column; the table cuts it when it is
// stored), and typing never makes the text longer than the limit, or than the text the
// program set when that was longer.
class TEnterEdit final : public QLineEdit {
    Q_OBJECT

public:
    explicit TEnterEdit(QWidget* parent = nullptr);

    void SetLimit(int characters);
    int Limit() const { return limit_; }

    // Sets the text as the program's (not cut to the limit).
    void setText(const QString& text);

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void KeepToLimit();

    int limit_ = 32767;
    qsizetype ceiling_ = 32767; // the longest text typing may leave
};
