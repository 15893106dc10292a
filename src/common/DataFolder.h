#pragma once

#include <string>

// The folder where every file of the program lives (tables, settings, received faxes,
// dictionaries, temporary files, traces), always ending with "/":
// $QUILLPOST_DATA when set; otherwise the executable's folder when it is writable and not
// an installed program's folder (a portable install); otherwise the per-user folder
// ~/.local/share/Quillpost/ (created when missing).
std::string DataFolder();

// The folder of the running executable, ending with "/".
std::string ExecutableFolder();

// Forgets the folder computed earlier (tests that change QUILLPOST_DATA call it).
void ResetDataFolder();
