#pragma once

#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

// Walks a shown window and lists what keeps it from being used with the keyboard alone
// or with a screen reader. Every window test runs it:
//
//     QP_VERIFY_KEYBOARD(dialog); // inside the answer to a modal dialog, or on a shown window
//
// It works from what the user meets, not from how the window was built: the tab chain is
// walked with real Tab (and Shift+Tab) presses, names and descriptions are read through
// the accessibility interfaces a screen reader uses, and the expected order is worked
// out from the controls' places on screen:
// - the fields of each panel top to bottom, left to right (a row is the controls beside
//   the first one), panels as blocks in the same order, the panel's buttons after its
//   fields, and a bar of buttons above every field last (a field inside the bar keeps
//   its place among the fields);
// - the controls of an exclusive radio group are one Tab stop;
// - a text editor that takes Tab as text is left with Ctrl+Tab (Ctrl+Shift+Tab back);
// - the focus starts on the first input field in that order, else on the first list or
//   grid, else on the first control.
namespace qptest {

class KeyboardCheck final {
public:
    // Every problem found, one line each; empty when the window passes.
    static QStringList Problems(QWidget* window);

    // Focusable controls (enabled or not) whose accessible name is empty, with a hint but
    // no accessible description, and grids that do not expose their column titles.
    static QStringList NamingProblems(QWidget* window);
    // Two controls of the window (or two items of one menu) with the same Alt letter;
    // labels with a letter but no buddy.
    static QStringList MnemonicProblems(QWidget* window);
    // Single-line fields that are no label's buddy.
    static QStringList LabelProblems(QWidget* window);
    // The tab chain against the visual order, both directions; grids that keep Tab to
    // move between their cells.
    static QStringList TabOrderProblems(QWidget* window);
    // Where the focus is against where it should start.
    static QStringList FocusProblems(QWidget* window);

    // The controls Tab reaches, from the focused one round to it again. The focus ends
    // where it was, and the edit fields keep their cursor and selection.
    static QList<QWidget*> TabChain(QWidget* window, bool backwards = false);
    // The Tab stops in the order the window shows them.
    static QList<QWidget*> ExpectedOrder(QWidget* window);
    // The control the focus should start on (null when the window has none).
    static QWidget* ExpectedFirst(QWidget* window);

    static QString Describe(const QWidget* widget);
};

} // namespace qptest

#define QP_VERIFY_KEYBOARD(window)                                                                 \
    do {                                                                                           \
        const QStringList qpKeyboardProblems = qptest::KeyboardCheck::Problems(window);            \
        QVERIFY2(qpKeyboardProblems.isEmpty(), qPrintable(qpKeyboardProblems.join("\n")));         \
    } while (false)
