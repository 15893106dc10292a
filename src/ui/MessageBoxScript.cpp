#include "ui/MessageBoxScript.h"

#include <QQueue>

namespace {

QQueue<bool> answers;
std::optional<bool> answerAll;
QList<MessageBoxScript::ShownBox> shown;

} // namespace

void MessageBoxScript::PushAnswer(bool yes) {
    answers.enqueue(yes);
}

void MessageBoxScript::AnswerAll(bool yes) {
    answerAll = yes;
}

void MessageBoxScript::Reset() {
    answers.clear();
    answerAll.reset();
    shown.clear();
}

QList<MessageBoxScript::ShownBox> MessageBoxScript::Shown() {
    return shown;
}

std::optional<bool> MessageBoxScript::Take(const QString& caption, const QString& text) {
    if (!answers.isEmpty()) {
        shown.append({caption, text});
        return answers.dequeue();
    }
    if (answerAll) {
        shown.append({caption, text});
        return answerAll;
    }
    return std::nullopt;
}
