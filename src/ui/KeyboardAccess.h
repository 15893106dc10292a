#pragma once

#include <QList>
#include <QString>

class QWidget;

// Makes a window usable from the keyboard alone and by a screen reader. Every window calls
// Prepare at the end of its constructor, once all its controls exist:
//
//     KeyboardAccess::Prepare(this, {name_, number_});
//
// - Tab follows `order` (the input fields top to bottom and left to right, then the
//   window's other buttons), and after them the buttons of its command bars (TButtonBar,
//   or a panel marked with MarkCommandBar) left to right: a bar at the top comes last.
// - The focus starts on the first input field of `order` that can take it (an editable
//   field, a choice), else on its first list, grid or other control, else on a button.
// - Every control gets an accessible name from its label (the label whose buddy it is)
//   or its caption, and its hint as accessible description, unless it has them already.
//   Controls without label or caption (grids, lists, picture buttons without a hint) are
//   named with SetName.
// - Tab enters an exclusive radio group on its checked button.
// - An edit field entered from the keyboard has its text selected with the cursor at its
//   start, so that a long text shows its beginning and typing replaces it.
// - Enter on a focused push button presses it. Enter in a field presses only a button
//   the window made its default on purpose (setDefault); bar buttons are never default.
// Escape is the dialog's own: QDialog rejects, as its Cancel or Close button does.
class KeyboardAccess final {
public:
    static void Prepare(QWidget* window, const QList<QWidget*>& order);

    // The tab chain: `order`, then the command bar buttons.
    static void SetTabOrder(QWidget* window, const QList<QWidget*>& order);
    // Puts the focus on the first input field of `candidates` (else the first list, else
    // the first button) that is enabled and not hidden, now and whenever the window is
    // shown without a usable focus widget.
    static void FocusFirst(QWidget* window, const QList<QWidget*>& candidates);
    // Accessible names from labels and captions, descriptions from hints (see above).
    static void NameControls(QWidget* window);
    // Names a control that has no label or caption of its own.
    static void SetName(QWidget* control, const QString& name);
    // Marks a panel whose buttons are the window's command bar (TButtonBar does this itself).
    static void MarkCommandBar(QWidget* bar);
    static bool IsCommandBar(const QWidget* widget);

    // A caption as a screen reader should say it: without the mnemonic marker ("&&"
    // stays one "&"), without a trailing colon, line breaks as blanks.
    static QString SpokenText(const QString& caption);
    // The mnemonic letter of a caption in upper case, or a null QChar when it has none.
    static QChar Mnemonic(const QString& caption);

    static constexpr const char* CommandBarProperty = "qpCommandBar";
};
