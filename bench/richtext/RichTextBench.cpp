// Loading a 20-page document from RTF and laying it out into fax pages (1664 x 2156
// monochrome bitmaps at about 200 dots per inch), as the fax build does. Target: under
// 50 ms per page.
#include "richtext/TQpRichText.h"
#include "richtext/cli/QpxRtf.h"

#include <QApplication>

#include <benchmark/benchmark.h>

namespace {

// A plain letter-style document of twenty fax pages.
QByteArray TwentyPageRtf() {
    TQpRichText editor;
    QStringList paragraphs;
    for (int i = 1; i <= 600; ++i) {
        paragraphs << QString("Paragraph %1. The quick brown fox jumps over the lazy dog while the "
                              "fax modem waits for the carrier; every line of this paragraph has "
                              "to reach the remote machine exactly once.")
                          .arg(i);
    }
    editor.setPlainText(paragraphs.join('\n'));
    return editor.Rtf();
}

void BM_LoadAndLayOutFaxPages(benchmark::State& state) {
    const QByteArray rtf = TwentyPageRtf();
    qsizetype pages = 0;
    for (auto _ : state) {
        TQpRichText editor;
        editor.SetRtf(rtf);
        const QList<QImage> images = RenderFaxPages(editor);
        pages = images.size();
        benchmark::DoNotOptimize(images.front().constBits());
    }
    state.counters["pages"] = static_cast<double>(pages);
    state.counters["ms_per_page"] =
        benchmark::Counter(static_cast<double>(pages) * state.iterations() / 1000.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LoadAndLayOutFaxPages)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ReadAndWriteRtf(benchmark::State& state) {
    const QByteArray rtf = TwentyPageRtf();
    for (auto _ : state) {
        TQpRichText editor;
        editor.SetRtf(rtf);
        benchmark::DoNotOptimize(editor.Rtf());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * rtf.size());
}
BENCHMARK(BM_ReadAndWriteRtf)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
