#pragma once

#include <QFont>

class QWidget;

// The default font of new faxes and cover sheets as a font (name, size and styles).
QFont DefaultFontFromSettings();

// Reloads the settings, asks for a font in the font dialog preset with the default font
// and, when confirmed, stores it as the default font and saves the settings at once.
// Returns true when a font was chosen.
bool ChooseDefaultFont(QWidget* parent);
