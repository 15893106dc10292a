#pragma once

#include <QList>
#include <QString>

#include <optional>

// Lets tests answer the program's message boxes (InfoBox, AskYesNo, AskYesNoDefaultNo)
// without showing them. While answers are queued, each box takes the next answer instead
// of opening and is recorded with its caption and text.
class MessageBoxScript {
public:
    struct ShownBox {
        QString caption;
        QString text;
    };

    // Queues the answer for the next box (true = Yes/OK, false = No).
    static void PushAnswer(bool yes);
    // Answers every following box with `yes` until Reset.
    static void AnswerAll(bool yes);
    static void Reset();
    static QList<ShownBox> Shown();

    // Used by the message boxes: the scripted answer, or nothing to show the real box.
    static std::optional<bool> Take(const QString& caption, const QString& text);
};
