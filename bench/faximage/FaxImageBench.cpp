// Encoding and decoding a dense page of text (fine resolution, 1728 x 2200), and libtiff's
// own T.4 decoder on the same coded data for comparison.
#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

#include <tiffio.h>

#include "faximage/core/BitmapFrontEnd.h"
#include "faximage/core/FaxConverterEngine.h"
#include "faximage/core/FaxFont.h"
#include "faximage/core/FaxLineCoder.h"
#include "faximage/core/FaxUnpackerEngine.h"
#include "faximage/core/T4Decoder.h"

namespace {

constexpr int kWidth = 1728;
constexpr int kHeight = 2200;

// 68 lines of 84 characters in the standard fax font, rows doubled for fine resolution.
FaxRaster DenseTextPage() {
    FaxFont font;
    font.Load(FaxFont::ffStandard, true);
    FaxRaster page(kWidth, kHeight);
    const std::string sample =
        "Quillpost fax benchmark: THE QUICK BROWN FOX JUMPS OVER THE LAZY DOG 0123456789 ";
    for (int line = 0; (line + 1) * font.Rows() <= kHeight; ++line) {
        for (int column = 0; column < 84; ++column) {
            const auto c = static_cast<unsigned char>(sample[(line * 7 + column) % sample.size()]);
            for (int row = 0; row < font.Rows(); ++row) {
                const std::uint8_t* bits = font.GlyphRow(c, row);
                for (int x = 0; x < font.CellWidth(); ++x) {
                    if ((bits[x / 8] >> (7 - x % 8)) & 1) {
                        page.SetPixel(column * font.CellWidth() + x, line * font.Rows() + row,
                                      true);
                    }
                }
            }
        }
    }
    return page;
}

const FaxRaster& Page() {
    static const FaxRaster page = DenseTextPage();
    return page;
}

std::string TempName(const char* suffix) {
    return "/tmp/qpbench-" + std::to_string(getpid()) + suffix;
}

// The page's coded lines, concatenated, as the encoder writes them.
const std::vector<std::uint8_t>& CodedPage() {
    static const std::vector<std::uint8_t> coded = [] {
        std::vector<std::uint8_t> data;
        FaxLineCoder coder;
        std::vector<std::uint8_t> raster(FaxConverterEngine::RasterBufferSize + 8, 0);
        for (int y = 0; y < kHeight; ++y) {
            std::memcpy(raster.data(), Page().Row(y),
                        static_cast<std::size_t>(Page().BytesPerRow()));
            const std::size_t length = coder.CodeLine(raster.data(), kWidth, 0, false);
            data.insert(data.end(), coder.Data(), coder.Data() + length);
        }
        const std::size_t length = coder.CodeEndOfPage();
        data.insert(data.end(), coder.Data(), coder.Data() + length);
        return data;
    }();
    return coded;
}

void BM_EncodeLines(benchmark::State& state) {
    FaxLineCoder coder;
    std::vector<std::uint8_t> raster(FaxConverterEngine::RasterBufferSize + 8, 0);
    std::size_t bytes = 0;
    for (auto _ : state) {
        for (int y = 0; y < kHeight; ++y) {
            std::memcpy(raster.data(), Page().Row(y),
                        static_cast<std::size_t>(Page().BytesPerRow()));
            bytes += coder.CodeLine(raster.data(), kWidth, 0, false);
        }
        benchmark::DoNotOptimize(bytes);
    }
    state.counters["pages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EncodeLines)->Unit(benchmark::kMillisecond);

// libtiff's own one-dimensional T.4 encoder on the same page, for reference.
void BM_EncodeLibtiff(benchmark::State& state) {
    const std::string name = TempName("-enc.tif");
    std::vector<std::uint8_t> page(static_cast<std::size_t>(216) * kHeight);
    for (int y = 0; y < kHeight; ++y) {
        std::memcpy(page.data() + static_cast<std::size_t>(y) * 216, Page().Row(y), 216);
    }
    for (auto _ : state) {
        TIFF* out = TIFFOpen(name.c_str(), "w");
        TIFFSetField(out, TIFFTAG_IMAGEWIDTH, kWidth);
        TIFFSetField(out, TIFFTAG_IMAGELENGTH, kHeight);
        TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
        TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
        TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, GROUP3OPT_FILLBITS);
        TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
        TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, kHeight);
        TIFFWriteEncodedStrip(out, 0, page.data(), static_cast<tmsize_t>(page.size()));
        TIFFClose(out);
    }
    unlink(name.c_str());
    state.counters["pages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EncodeLibtiff)->Unit(benchmark::kMillisecond);

void BM_ConvertPageToFile(benchmark::State& state) {
    const std::string output = TempName(".APF");
    for (auto _ : state) {
        FaxConverterEngine engine(std::make_unique<BitmapFrontEnd>(Page()));
        engine.SetOptions(0, 0xFFFF);
        engine.SetLeftMargin(0);
        engine.SetHighResolution(true);
        if (engine.ConvertFile("", output) != 0) {
            state.SkipWithError("conversion failed");
        }
    }
    unlink(output.c_str());
    state.counters["pages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ConvertPageToFile)->Unit(benchmark::kMillisecond);

void BM_DecodeOurs(benchmark::State& state) {
    const auto& coded = CodedPage();
    T4Decoder decoder;
    std::vector<std::uint8_t> page(static_cast<std::size_t>(216) * (kHeight + 8));
    std::size_t rows = 0;
    decoder.SetLineSink([&](const std::uint8_t* line, unsigned length) {
        std::memcpy(page.data() + rows * 216, line, length);
        ++rows;
        return 0;
    });
    for (auto _ : state) {
        rows = 0;
        decoder.Restart();
        decoder.Feed(coded.data(), coded.size());
        benchmark::DoNotOptimize(page.data());
    }
    if (rows != kHeight) {
        state.SkipWithError("wrong row count");
    }
    state.counters["pages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
    state.counters["coded KB"] = static_cast<double>(coded.size()) / 1024.0;
}
BENCHMARK(BM_DecodeOurs)->Unit(benchmark::kMillisecond);

void BM_DecodeLibtiff(benchmark::State& state) {
    const auto& coded = CodedPage();
    const std::string name = TempName(".tif");
    TIFF* out = TIFFOpen(name.c_str(), "w");
    TIFFSetField(out, TIFFTAG_IMAGEWIDTH, kWidth);
    TIFFSetField(out, TIFFTAG_IMAGELENGTH, kHeight);
    TIFFSetField(out, TIFFTAG_BITSPERSAMPLE, 1);
    TIFFSetField(out, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX3);
    TIFFSetField(out, TIFFTAG_GROUP3OPTIONS, 0);
    TIFFSetField(out, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
    TIFFSetField(out, TIFFTAG_FILLORDER, FILLORDER_LSB2MSB);
    TIFFSetField(out, TIFFTAG_ROWSPERSTRIP, kHeight);
    TIFFWriteRawStrip(out, 0, const_cast<std::uint8_t*>(coded.data()),
                      static_cast<tmsize_t>(coded.size()));
    TIFFClose(out);
    TIFF* in = TIFFOpen(name.c_str(), "r");
    std::vector<std::uint8_t> page(static_cast<std::size_t>(216) * kHeight);
    for (auto _ : state) {
        if (TIFFReadEncodedStrip(in, 0, page.data(), static_cast<tmsize_t>(page.size())) < 0) {
            state.SkipWithError("libtiff failed");
        }
        benchmark::DoNotOptimize(page.data());
    }
    TIFFClose(in);
    unlink(name.c_str());
    state.counters["pages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_DecodeLibtiff)->Unit(benchmark::kMillisecond);

void BM_UnpackPageFromFile(benchmark::State& state) {
    const std::string apf = TempName("-unpack.APF");
    FaxConverterEngine engine(std::make_unique<BitmapFrontEnd>(Page()));
    engine.SetOptions(0, 0xFFFF);
    engine.SetLeftMargin(0);
    engine.SetHighResolution(true);
    engine.ConvertFile("", apf);
    FaxUnpackerEngine unpacker;
    for (auto _ : state) {
        FaxRaster picture;
        if (unpacker.UnpackPageToRaster(apf, 1, false, picture) != 0 ||
            picture.Height() != kHeight) {
            state.SkipWithError("decoding failed");
        }
    }
    unlink(apf.c_str());
    state.counters["pages/s"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_UnpackPageFromFile)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
