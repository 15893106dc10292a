// Opening a 20-page fine fax in the viewer and showing page 1, and paging on to the next
// page (decoding it, freeing the previous one, and painting the viewer), each well under
// 100 ms.
#include "FaxTestFiles.h"
#include "TestPaths.h"

#include "faximage/viewer/TQpFaxViewer.h"

#include <benchmark/benchmark.h>

#include <QApplication>

namespace {

const QString& TwentyPageFax() {
    static const QString file = [] {
        const QString name = QString::fromStdString((qptest::DataDir() / "BENCH20.APF").string());
        QList<QImage> pages;
        for (int page = 1; page <= 20; ++page) {
            pages.append(faxtest::TextLikePage(page));
        }
        faxtest::WriteApf(name, pages, true);
        return name;
    }();
    return file;
}

void Paint(TQpFaxViewer& viewer) {
    viewer.viewport()->repaint();
}

void BM_OpenAndShowFirstPage(benchmark::State& state) {
    TQpFaxViewer viewer;
    viewer.resize(800, 600);
    viewer.show();
    const QString& file = TwentyPageFax();
    for (auto _ : state) {
        viewer.SetFileName(file);
        Paint(viewer);
        benchmark::DoNotOptimize(viewer.PageWidth());
    }
}
BENCHMARK(BM_OpenAndShowFirstPage)->Unit(benchmark::kMillisecond);

void BM_NextPage(benchmark::State& state) {
    TQpFaxViewer viewer;
    viewer.resize(800, 600);
    viewer.show();
    viewer.SetFileName(TwentyPageFax());
    for (auto _ : state) {
        if (viewer.PageNumber() == viewer.PageCount()) {
            state.PauseTiming();
            viewer.FirstPage();
            state.ResumeTiming();
        }
        viewer.NextPage();
        Paint(viewer);
    }
}
BENCHMARK(BM_NextPage)->Unit(benchmark::kMillisecond);

void BM_NextPageAtHalfSize(benchmark::State& state) {
    TQpFaxViewer viewer;
    viewer.resize(800, 600);
    viewer.show();
    viewer.SetFileName(TwentyPageFax());
    viewer.SetScaling(true);
    viewer.SetHorizDiv(2);
    viewer.SetVertDiv(2);
    for (auto _ : state) {
        if (viewer.PageNumber() == viewer.PageCount()) {
            state.PauseTiming();
            viewer.FirstPage();
            state.ResumeTiming();
        }
        viewer.NextPage();
        Paint(viewer);
    }
}
BENCHMARK(BM_NextPageAtHalfSize)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
