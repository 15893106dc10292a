#pragma once

#include <QString>
#include <QStringList>

class QLineEdit;

// Keeps an edit field to the characters a Windows-1252 table column can hold. Letters
// that have a close equivalent in the code page are replaced as they are typed or pasted
// (ł becomes l, ř becomes r); other characters (日) are refused. Either way the status
// line of the field's window (the label named "status", else the hint target) says which
// characters were changed or left out, and a refusal beeps, so that nothing is silently
// stored as "?".
class Cp1252Input final {
public:
    struct Fitted {
        QString text;
        QStringList replaced; // "ł → l" for each replaced character
        QStringList refused;  // each character left out
    };

    // Restricts `edit` from now on (the edit owns the restriction).
    static void Restrict(QLineEdit* edit);

    // `text` in the characters of the code page, with what was replaced or left out.
    static Fitted Fit(const QString& text);
    // The status line message for a fitted text; empty when nothing was changed.
    static QString Message(const Fitted& fitted);

private:
    static void Apply(QLineEdit* edit);
};
