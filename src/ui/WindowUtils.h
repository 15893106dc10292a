#pragma once

#include <QPointer>
#include <QString>

class QLabel;
class QWidget;

// Window utilities used by every window of the program.

// The main window, used by CenterForm; the main window registers itself.
QWidget* MainForm();
void SetMainForm(QWidget* form);

// Modal message boxes. InfoBox: caption "Information", OK, information icon.
// AskYesNo / AskYesNoDefaultNo: Yes and No with the question icon; true only for Yes.
// Tests can answer them through MessageBoxScript instead of showing them.
void InfoBox(const QString& text);
bool AskYesNo(const QString& text, const QString& caption);
bool AskYesNoDefaultNo(const QString& text, const QString& caption);

// Places a dialog centred over the main window (when the main window is not maximised
// and the form is not the main window itself), otherwise centred on the screen. The
// result may lie partly off screen, as the main window may.
void CenterForm(QWidget* form);

// The settings section that keeps a window's placement: class name + "_Placement",
// followed by the screen's pixels per inch when above 96.
QString PlacementSection(const QWidget* form);

// Writes the window's normal rectangle (Left, Top, Right, Bottom) and Maximized to the
// settings file. Throws IniWriteError when the file cannot be written.
void SaveFormPlacement(QWidget* form);

// Restores the placement saved by SaveFormPlacement: a rectangle reaching past the
// screen's right or bottom edge is moved back by exactly the overhang; a Bottom of 0
// centres the window instead; Maximized maximises it. Saves the placement at once.
void RestoreFormPlacement(QWidget* form);

// The label that shows the hint of the widget under the mouse (may be null).
QLabel* HintTarget();
void SetHintTarget(QLabel* label);

// Keeps a dialog's own status label as the hint target while the dialog lives: saves the
// previous target, makes `label` the target when the dialog is shown or activated, and
// restores the saved target when the guard is destroyed.
class HintTargetGuard {
public:
    HintTargetGuard(QWidget* dialog, QLabel* label);
    ~HintTargetGuard();
    HintTargetGuard(const HintTargetGuard&) = delete;
    HintTargetGuard& operator=(const HintTargetGuard&) = delete;

private:
    QPointer<QLabel> previous_;
};
