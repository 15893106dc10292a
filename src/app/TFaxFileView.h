#pragma once

#include <QString>

// "quillpost --view FILE": shows one fax file in the view window, without the main window
// (a file manager opens APF files and TIFF faxes this way). A TIFF fax is converted into
// a temporary APF file first. A file that is missing or not a fax gets a clear message
// and the exit status 1.
//
// With QUILLPOST_VIEW_SNAPSHOT set to a PNG file name the view runs unattended: it writes
// the first page as shown into that file and ends (status 0), and reports problems on
// standard error instead of in a message box. Scripts and package checks use it.
class TFaxFileView {
public:
    explicit TFaxFileView(const QString& fileName);

    // Runs the view window until it closes; returns the process exit status.
    int Run();

private:
    static bool IsTiff(const QString& fileName);
    bool PrepareApf(const QString& workFolder, QString& apfFile);
    int ShowWindow(const QString& apfFile);
    void Report(const QString& problem) const;

    QString fileName_;
    QString snapshotFile_;
};
