#pragma once

#include <QFont>

class QWidget;

// The default font of new faxes and cover sheets as a font (name, size and styles).
QFont DefaultFontFromSettings();

// Reloads the settings, asks for a font in the font dialog preset with the default font
// and, when confirmed, stores it as the default font and saves the settings at once. The
// stored font name is kept unless the user chose another family than the one the dialog
// opened on (a font that is not installed opens on its stand-in). Returns true when a
// font was chosen.
bool ChooseDefaultFont(QWidget* parent);
