// Loading rich text into the editor and laying it out into fax pages (1664 x 2156
// monochrome bitmaps at about 200 dots per inch), as the fax build does. Targets: under
// 50 ms per fax page; loading grows linearly with the size of the RTF, so that any
// 10 MB file loads in a few seconds (many format runs in one paragraph, words thousands
// of characters long, random bytes and plain letters alike).
#include "richtext/TQpRichText.h"
#include "richtext/cli/QpxRtf.h"
#include "richtext/core/TRtfReader.h"

#include <QApplication>

#include <benchmark/benchmark.h>

#include <random>

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

// One paragraph of `runs` alternating bold and plain runs; `spaced` puts a blank after
// every run, otherwise the whole paragraph is one word.
QByteArray ManyRunsRtf(int runs, bool spaced) {
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}\\pard ";
    const QByteArray gap = spaced ? " " : "";
    for (int i = 0; i < runs; i += 2) {
        rtf += "\\b bold" + gap + "\\b0 plain" + gap;
    }
    return rtf + "\\par}";
}

// `bytes` random bytes: what a damaged or mistaken file gives the reader.
QByteArray RandomBytes(int bytes) {
    std::mt19937 random(25);
    QByteArray data(bytes, '\0');
    for (char& byte : data) {
        byte = static_cast<char>(random() & 0xFF);
    }
    return data;
}

// About `bytes` of ordinary letters: short paragraphs with some bold words and font changes.
QByteArray LetterText(int bytes) {
    static const char* const words[] = {"fax",   "modem", "the",  "quick",     "brown",
                                        "fox",   "jumps", "over", "lazy",      "dog",
                                        "cover", "sheet", "page", "Quillpost", "send"};
    std::mt19937 random(25);
    QByteArray rtf = "{\\rtf1\\ansi\\deff0{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\froman Times New "
                     "Roman;}}\\pard ";
    while (rtf.size() < bytes) {
        const int count = 5 + static_cast<int>(random() % 60);
        for (int i = 0; i < count; ++i) {
            const QByteArray word = words[random() % std::size(words)];
            const unsigned style = random() % 10;
            rtf += style == 0   ? "{\\b " + word + "}"
                   : style == 1 ? "\\f1\\fs28 " + word + "\\f0\\fs20 "
                                : word;
            rtf += ' ';
        }
        rtf += "\\par\n";
    }
    return rtf + "}";
}

QByteArray LongWordRtf(int length) {
    return "{\\rtf1\\ansi " + QByteArray(length, 'x') + "\\par}";
}

void LoadIntoEditor(benchmark::State& state, const QByteArray& rtf) {
    for (auto _ : state) {
        TQpRichText editor;
        editor.SetRtf(rtf);
        benchmark::DoNotOptimize(editor.CharCount());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * rtf.size());
    state.counters["MB"] = rtf.size() / 1e6;
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

// Format runs in one paragraph: the load time per run must not grow with their number.
void BM_LoadRunsInOneParagraph(benchmark::State& state) {
    LoadIntoEditor(state, ManyRunsRtf(static_cast<int>(state.range(0)), state.range(1) != 0));
    state.counters["runs"] = static_cast<double>(state.range(0));
}
BENCHMARK(BM_LoadRunsInOneParagraph)
    ->ArgsProduct({{10000, 40000, 160000}, {0, 1}})
    ->ArgNames({"runs", "spaced"})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_LoadLongWord(benchmark::State& state) {
    LoadIntoEditor(state, LongWordRtf(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_LoadLongWord)
    ->Arg(200000)
    ->Arg(1000000)
    ->Arg(2000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_LoadRandomBytes(benchmark::State& state) {
    LoadIntoEditor(state, RandomBytes(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_LoadRandomBytes)
    ->Arg(1000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

void BM_LoadLetterText(benchmark::State& state) {
    LoadIntoEditor(state, LetterText(static_cast<int>(state.range(0))));
}
BENCHMARK(BM_LoadLetterText)
    ->Arg(1000000)
    ->Arg(10000000)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// The reader alone (no Qt) on the same inputs.
void BM_ReadOnly(benchmark::State& state) {
    const QByteArray rtf = state.range(0) == 0 ? RandomBytes(10000000) : LetterText(10000000);
    for (auto _ : state) {
        benchmark::DoNotOptimize(
            TRtfReader::Read(std::string_view(rtf.constData(), rtf.size())).paragraphs.size());
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * rtf.size());
}
BENCHMARK(BM_ReadOnly)->Arg(0)->Arg(1)->ArgNames({"letters"})->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
