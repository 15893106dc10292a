#include "SendFormFixtures.h"

#include "EngineHarness.h"
#include "common/IniFile.h"
#include "common/Settings.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QThread>
#include <QWidget>

#include <tiffio.h>

namespace sendformtest {

void SetPortDevice(int number, const std::string& device) {
    IniFile ini(SettingsFileName());
    ini.WriteString("Ports", "Com" + std::to_string(number), device);
    ini.Save();
}

void MapPortsToNothing() {
    for (int number = 1; number <= 6; ++number) {
        SetPortDevice(number, "/nonexistent/quillpost-test-port" + std::to_string(number));
    }
}

void WriteTestFax(const std::string& path, int pages) {
    std::vector<FaxRaster> rasters;
    for (int p = 0; p < pages; ++p) {
        FaxRaster page(1728, 60);
        // A diagonal band per page, so that pages differ.
        for (int y = 0; y < page.Height(); ++y) {
            for (int x = 0; x < 40; ++x) {
                page.SetPixel((y * 7 + p * 200 + x) % page.Width(), y, true);
            }
        }
        rasters.push_back(page);
    }
    enginetest::WriteApf(path, rasters, false);
}

int TiffPageCount(const std::string& path) {
    TIFFSetWarningHandler(nullptr);
    TIFF* tiff = TIFFOpen(path.c_str(), "r");
    if (tiff == nullptr) {
        return 0;
    }
    const int count = TIFFNumberOfDirectories(tiff);
    TIFFClose(tiff);
    return count;
}

bool WaitUntil(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return done();
}

QString LabelText(const QWidget* window, const char* name) {
    const auto* label = window->findChild<QLabel*>(name);
    return label ? label->text() : QString("<missing %1>").arg(name);
}

void SaveShot(QWidget* window, const QString& name) {
    const QString dir = qEnvironmentVariable("QP_SHOT_DIR");
    if (dir.isEmpty() || window == nullptr) {
        return;
    }
    QDir().mkpath(dir);
    window->grab().save(dir + "/" + name + ".png");
}

} // namespace sendformtest
