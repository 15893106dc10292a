#pragma once

#include <QString>

#include <functional>
#include <string>

class QWidget;

// What the send window and modem detection tests share: ports mapped to devices in the
// settings file, test fax files, the far end's TIFF, waiting with the event loop running.
namespace sendformtest {

// Maps port number `number` to `device` in [Ports] of the settings file.
void SetPortDevice(int number, const std::string& device);
// Maps Com1..Com6 to paths that do not exist, so that no real serial port of the machine
// takes part.
void MapPortsToNothing();

// Writes an APF fax of `pages` short test pages to `path`.
void WriteTestFax(const std::string& path, int pages);
// The number of pages in a TIFF file (0 when it cannot be read).
int TiffPageCount(const std::string& path);

// Runs the event loop until `done` or `ms` have passed; returns done().
bool WaitUntil(const std::function<bool()>& done, int ms);

// The text of the child label `name` of `window`.
QString LabelText(const QWidget* window, const char* name);

// Saves a picture of `window` as `name`.png in $QP_SHOT_DIR when that is set.
void SaveShot(QWidget* window, const QString& name);

} // namespace sendformtest
