#include "app/TFaxFileView.h"

#include "common/ErrorText.h"
#include "dialogs/TFaxViewer.h"
#include "faximage/TiffFaxImport.h"
#include "faximage/core/ApfFileHeader.h"
#include "faximage/core/ApfReader.h"
#include "faximage/viewer/TQpFaxViewer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <iostream>

namespace {

constexpr int SnapshotLimitMs = 30000;
constexpr int SnapshotPollMs = 50;

QString ResultText(int code) {
    const auto text = qp::ErrorText(code);
    return text ? QString::fromStdString(*text) : QStringLiteral("Error %1").arg(code);
}

} // namespace

TFaxFileView::TFaxFileView(const QString& fileName)
    : fileName_(fileName), snapshotFile_(qEnvironmentVariable("QUILLPOST_VIEW_SNAPSHOT")) {}

int TFaxFileView::Run() {
    if (!QFileInfo(fileName_).isFile()) {
        Report(QStringLiteral("The fax file %1 does not exist.").arg(fileName_));
        return 1;
    }
    QTemporaryDir workFolder;
    QString apfFile;
    if (!PrepareApf(workFolder.path(), apfFile)) {
        return 1;
    }
    return ShowWindow(apfFile);
}

bool TFaxFileView::IsTiff(const QString& fileName) {
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray start = file.read(4);
    return start == QByteArray("II*\0", 4) || start == QByteArray("MM\0*", 4);
}

// The APF file to show: the file itself, or a TIFF fax converted into the work folder.
// Either way its header is checked before the window opens.
bool TFaxFileView::PrepareApf(const QString& workFolder, QString& apfFile) {
    apfFile = fileName_;
    if (IsTiff(fileName_)) {
        apfFile = QDir(workFolder).filePath(QStringLiteral("view.apf"));
        const QString problem = TiffFaxImport::ConvertToApf(fileName_, apfFile);
        if (!problem.isEmpty()) {
            Report(QStringLiteral("Error opening fax file %1:\n%2").arg(fileName_, problem));
            return false;
        }
    }
    ApfFileHeader header;
    const int result = ApfReader::ReadFileHeader(apfFile.toStdString(), header);
    if (result != 0 || header.pageCount == 0) {
        Report(QStringLiteral("Error opening fax file %1:\n%2")
                   .arg(fileName_,
                        result != 0 ? ResultText(result) : QStringLiteral("The fax has no pages")));
        return false;
    }
    return true;
}

int TFaxFileView::ShowWindow(const QString& apfFile) {
    TFaxViewer window;
    window.SetFileName(apfFile);
    window.setWindowTitle(window.windowTitle() + QStringLiteral("- ") +
                          QFileInfo(fileName_).fileName());
    if (snapshotFile_.isEmpty()) {
        window.exec();
        return 0;
    }
    // Unattended: once the first page is on screen, keep a picture of it and close.
    int status = 1;
    QElapsedTimer clock;
    clock.start();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &window, [&] {
        TQpFaxViewer* viewer = window.FaxViewer();
        if (viewer->PageCount() > 0 && viewer->PageWidth() > 0) {
            status = viewer->grab().save(snapshotFile_, "PNG") ? 0 : 1;
            if (status != 0) {
                Report(QStringLiteral("Cannot write %1").arg(snapshotFile_));
            }
            window.reject();
        } else if (clock.elapsed() > SnapshotLimitMs) {
            Report(QStringLiteral("The fax file %1 was not shown in time").arg(fileName_));
            window.reject();
        }
    });
    poll.start(SnapshotPollMs);
    window.exec();
    return status;
}

void TFaxFileView::Report(const QString& problem) const {
    std::cerr << "quillpost: " << problem.toStdString() << "\n";
    if (snapshotFile_.isEmpty()) {
        QMessageBox::critical(nullptr, QStringLiteral("Quillpost"), problem);
    }
}
