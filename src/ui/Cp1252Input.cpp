#include "ui/Cp1252Input.h"

#include "ui/WindowUtils.h"
#include "common/CodePage1252.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

namespace {

// Letters that Unicode does not decompose into a base letter and an accent, with the
// letter a reader expects in their place.
struct CloseLetter {
    char32_t letter;
    char32_t equivalent;
};
constexpr CloseLetter CloseLetters[] = {
    {U'ł', U'l'}, {U'Ł', U'L'}, {U'đ', U'd'}, {U'Đ', U'D'}, {U'ħ', U'h'}, {U'Ħ', U'H'},
    {U'ı', U'i'}, {U'ŀ', U'l'}, {U'Ŀ', U'L'}, {U'ŧ', U't'}, {U'Ŧ', U'T'}, {U'ƀ', U'b'},
};

bool Encodable(char32_t ch) {
    return EncodeCp1252(ch) >= 0;
}

bool IsCombiningMark(char32_t ch) {
    return QChar::category(ch) == QChar::Mark_NonSpacing ||
           QChar::category(ch) == QChar::Mark_SpacingCombining ||
           QChar::category(ch) == QChar::Mark_Enclosing;
}

// The close equivalent of `ch` in the code page, or an empty string when it has none.
QString Equivalent(char32_t ch) {
    for (const CloseLetter& close : CloseLetters) {
        if (close.letter == ch) {
            return QString::fromUcs4(&close.equivalent, 1);
        }
    }
    // A letter with accents: the code page may hold the letter with some of them
    // (ǻ keeps å) or only the base letter (ř becomes r).
    const QString decomposed = QString::fromUcs4(&ch, 1).normalized(QString::NormalizationForm_D);
    const QList<uint> parts = decomposed.toUcs4();
    if (parts.size() < 2 || IsCombiningMark(parts.first())) {
        return {};
    }
    for (qsizetype keep = parts.size() - 1; keep >= 1; --keep) {
        const QString candidate =
            QString::fromUcs4(reinterpret_cast<const char32_t*>(parts.constData()), keep)
                .normalized(QString::NormalizationForm_C);
        const QList<uint> composed = candidate.toUcs4();
        if (std::all_of(composed.begin(), composed.end(),
                        [](uint c) { return Encodable(static_cast<char32_t>(c)); })) {
            return candidate;
        }
    }
    return {};
}

QString Quoted(const QString& text) {
    return QStringLiteral("\"%1\"").arg(text);
}

} // namespace

Cp1252Input::Fitted Cp1252Input::Fit(const QString& text) {
    Fitted fitted;
    // Composed first, so that a letter typed with a combining accent counts as one.
    for (const uint code : text.normalized(QString::NormalizationForm_C).toUcs4()) {
        const auto ch = static_cast<char32_t>(code);
        const QString original = QString::fromUcs4(&ch, 1);
        if (Encodable(ch)) {
            fitted.text += original;
        } else if (const QString close = Equivalent(ch); !close.isEmpty()) {
            fitted.text += close;
            fitted.replaced << Quoted(original) + QStringLiteral(" as ") + Quoted(close);
        } else if (!fitted.refused.contains(original)) {
            fitted.refused << original;
        }
    }
    fitted.replaced.removeDuplicates();
    return fitted;
}

QString Cp1252Input::Message(const Fitted& fitted) {
    QStringList parts;
    if (!fitted.replaced.isEmpty()) {
        parts << QStringLiteral("Written %1").arg(fitted.replaced.join(QStringLiteral(", ")));
    }
    if (!fitted.refused.isEmpty()) {
        QStringList quoted;
        for (const QString& ch : fitted.refused) {
            quoted << Quoted(ch);
        }
        parts << QStringLiteral("%1 cannot be stored in this field and %2 left out")
                     .arg(quoted.join(QStringLiteral(", ")), fitted.refused.size() == 1
                                                                 ? QStringLiteral("was")
                                                                 : QStringLiteral("were"));
    }
    return parts.join(QStringLiteral("; "));
}

void Cp1252Input::Restrict(QLineEdit* edit) {
    QObject::connect(edit, &QLineEdit::textEdited, edit, [edit] { Apply(edit); });
}

void Cp1252Input::Apply(QLineEdit* edit) {
    const QString text = edit->text();
    const int cursor = edit->cursorPosition();
    const Fitted before = Fit(text.left(cursor));
    const Fitted after = Fit(text.mid(cursor));
    const QString fittedText = before.text + after.text;
    if (fittedText == text) {
        return;
    }
    edit->setText(fittedText);
    edit->setCursorPosition(static_cast<int>(before.text.size()));

    Fitted all{fittedText, before.replaced + after.replaced, before.refused};
    for (const QString& ch : after.refused) {
        if (!all.refused.contains(ch)) {
            all.refused << ch;
        }
    }
    all.replaced.removeDuplicates();
    if (!all.refused.isEmpty()) {
        QApplication::beep();
    }
    // The status line of the field's own window; the hint target where it has none.
    QLabel* status = edit->window()->findChild<QLabel*>(QStringLiteral("status"));
    if (!status) {
        status = HintTarget();
    }
    if (status) {
        status->setText(Message(all));
    }
}
