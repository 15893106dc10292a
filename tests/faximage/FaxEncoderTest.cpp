// The page encoder's APF files: layout, page records, options, names, failure clean-up,
// and round trips through the unpacker.
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "FaxTestSupport.h"
#include "TestPaths.h"
#include "faximage/core/ApfReader.h"
#include "faximage/core/BitmapFrontEnd.h"
#include "faximage/core/FaxImageResult.h"
#include "faximage/core/LittleEndian.h"
#include "faximage/core/UserFrontEnd.h"

using namespace faxtest;

namespace {

FaxRaster RandomText(int width, int height, unsigned seed) {
    FaxRaster raster(width, height);
    std::mt19937 random(seed);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            // Blocks of ink like letters, with blank rows between text lines.
            if ((y / 20) % 2 == 0 && random() % 3 == 0) {
                raster.SetPixel(x, y, true);
            }
        }
    }
    return raster;
}

struct Record {
    std::size_t offset;
    Bytes data;
};

// The records of a page of line records.
std::vector<Record> PageRecords(const Bytes& file, std::size_t pageHeader) {
    std::vector<Record> records;
    const std::uint32_t length = le::Get32(file.data() + pageHeader);
    std::size_t at = pageHeader + 16;
    const std::size_t end = at + length;
    while (at < end) {
        const std::uint16_t n = le::Get16(file.data() + at);
        records.push_back({at, Bytes(file.begin() + static_cast<long>(at + 2),
                                     file.begin() + static_cast<long>(at + 2 + n))});
        at += 2 + n;
    }
    EXPECT_EQ(at, end);
    return records;
}

const Bytes kEndOfPage = {0x00, 0x80, 0x00, 0x08, 0x80, 0x00, 0x08, 0x80, 0x00, 0x08, 0x80, 0x00};
const Bytes kMarginLine = {0x00, 0x28, 0x9B, 0x15};

} // namespace

TEST(FaxEncoder, FileLayoutAndPageRecords) {
    // A two-page conversion with a top margin: header fields, one record per line, three
    // margin records heading each page, the end-of-page record, and image lengths that add up.
    qptest::ScratchDir dir;
    const std::string apf = dir.file("two.apf");
    int calls = 0;
    FaxConverterEngine engine(std::make_unique<UserFrontEnd>("RAW"));
    auto* user = static_cast<UserFrontEnd*>(&engine.FrontEnd());
    user->SetHandlers(
        nullptr,
        [&calls](std::uint8_t* data, int& length, bool& endOfPage, bool& more) {
            ++calls;
            data[0] = 0xF0;
            length = 1;
            endOfPage = calls == 5 || calls == 10;
            more = calls < 10;
        },
        nullptr);
    engine.SetTopMargin(3);
    engine.SetHighResolution(true);
    engine.SetWidth(2048);
    engine.SetStationId("STATION ID THAT IS TOO LONG");
    ASSERT_EQ(engine.ConvertFile("input", apf), 0);
    EXPECT_EQ(engine.OutputFileName(), apf);

    const Bytes file = ReadFile(apf);
    ASSERT_GE(file.size(), 64u);
    EXPECT_EQ(std::string(file.begin(), file.begin() + 6), std::string("APF10\x1A", 6));
    EXPECT_EQ(file[10], 20);
    EXPECT_EQ(std::string(file.begin() + 11, file.begin() + 31), "STATION ID THAT IS T");
    EXPECT_EQ(le::Get16(file.data() + 32), 2);
    EXPECT_EQ(le::Get32(file.data() + 34), 64u);
    EXPECT_NE(le::Get32(file.data() + 6), 0u);

    std::size_t pageHeader = 64;
    for (int page = 0; page < 2; ++page) {
        EXPECT_EQ(le::Get16(file.data() + pageHeader + 4), 7) << "flags: records, fine, wide";
        const auto records = PageRecords(file, pageHeader);
        ASSERT_EQ(records.size(), 3u + 4u + 1u) << "page " << page + 1;
        for (int margin = 0; margin < 3; ++margin) {
            EXPECT_EQ(records[static_cast<std::size_t>(margin)].data,
                      (Bytes{0x00, 0x08, 0xC8, 0xAC, 0x00}));
        }
        EXPECT_EQ(records.back().data, kEndOfPage);
        pageHeader += 16 + le::Get32(file.data() + pageHeader);
    }
    EXPECT_EQ(pageHeader, file.size());
}

TEST(FaxEncoder, StationIdShorterThanTheFieldIsPaddedWithSpaces) {
    qptest::ScratchDir dir;
    FaxConverterEngine engine(std::make_unique<UserFrontEnd>("RAW"));
    engine.SetStationId("ID");
    ASSERT_EQ(engine.ConvertFile("x", dir.file("id.apf")), 0);
    const Bytes file = ReadFile(dir.file("id.apf"));
    EXPECT_EQ(file[10], 2);
    EXPECT_EQ(std::string(file.begin() + 11, file.begin() + 31), "ID" + std::string(18, ' '));
}

TEST(FaxEncoder, PageEndingBeforeAnyLineStaysValid) {
    // A front end that ends its only page at once: the page still gets its header and is
    // counted, so readers find a consistent file with one empty page.
    qptest::ScratchDir dir;
    FaxConverterEngine engine(std::make_unique<UserFrontEnd>("RAW"));
    ASSERT_EQ(engine.ConvertFile("x", dir.file("empty.apf")), 0);
    const Bytes file = ReadFile(dir.file("empty.apf"));
    ASSERT_EQ(file.size(), 64u + 16u + 14u);
    EXPECT_EQ(le::Get16(file.data() + 32), 1);
    EXPECT_EQ(le::Get32(file.data() + 64), 14u);
    const auto decoded = DecodeLines(dir.file("empty.apf"), 1);
    EXPECT_EQ(decoded.result, 0);
    EXPECT_TRUE(decoded.lines.empty());
}

TEST(FaxEncoder, HalfHeightKeepsOddLines) {
    // With half height, input lines 1, 3, 5, 7, 9 of a ten-line page are coded.
    qptest::ScratchDir dir;
    FaxRaster picture(64, 10);
    for (int y = 0; y < 10; ++y) {
        for (int x = 0; x <= y; ++x) {
            picture.SetPixel(x, y, true);
        }
    }
    ASSERT_EQ(
        ConvertRaster(picture, dir.file("half.apf"), FaxConverterEngine::coHalfHeight, 0, false),
        0);
    const auto decoded = DecodeLines(dir.file("half.apf"), 1, FaxUnpackerEngine::FlagDoubleHeight);
    ASSERT_EQ(decoded.lines.size(), 10u) << "five lines, each doubled";
    for (int line = 0; line < 5; ++line) {
        EXPECT_EQ(decoded.lines[static_cast<std::size_t>(2 * line)],
                  ShiftedRow(picture, 2 * line, 0, 216));
    }
}

TEST(FaxEncoder, RoundTripKeepsEveryPixel) {
    // Rasters of several widths come back pixel for pixel, shifted by the left margin,
    // at both page widths.
    qptest::ScratchDir dir;
    struct Case {
        int width, margin, pageWidth;
    };
    for (const Case& c :
         {Case{1728, 0, 1728}, Case{1000, 50, 1728}, Case{2048, 0, 2048}, Case{333, 77, 2048}}) {
        const FaxRaster picture = RandomText(c.width, 120, static_cast<unsigned>(c.width));
        const std::string apf = dir.file("rt.apf");
        ASSERT_EQ(ConvertRaster(picture, apf, 0, c.margin, true, c.pageWidth), 0);
        const auto decoded = DecodeLines(apf, 1);
        ASSERT_EQ(decoded.result, 0);
        EXPECT_EQ(decoded.invalidCodes, 0u);
        ASSERT_EQ(decoded.lines.size(), 120u) << c.width;
        for (int y = 0; y < 120; ++y) {
            // Pixels from W - M on are not coded.
            FaxRaster visible(std::min(c.width, c.pageWidth - c.margin), 1);
            for (int x = 0; x < visible.Width(); ++x) {
                visible.SetPixel(x, 0, picture.Pixel(x, y));
            }
            ASSERT_EQ(decoded.lines[static_cast<std::size_t>(y)],
                      ShiftedRow(visible, 0, c.margin, c.pageWidth / 8))
                << "width " << c.width << " row " << y;
        }
    }
}

TEST(FaxEncoder, OutputAndInputNames) {
    EXPECT_EQ(FaxConverterEngine::OutputNameFor("/a/doc.txt", ""), "/a/doc.APF");
    EXPECT_EQ(FaxConverterEngine::OutputNameFor("/a/doc.txt", "/b/out"), "/b/out.APF");
    EXPECT_EQ(FaxConverterEngine::OutputNameFor("/a/doc.txt", "/b/out.fax"), "/b/out.fax");
    EXPECT_EQ(FaxConverterEngine::OutputNameFor("/a.b/doc", ""), "/a.b/doc.APF");
    EXPECT_EQ(FaxConverterEngine::InputNameFor("/a.b/doc", "TXT"), "/a.b/doc.TXT");
    EXPECT_EQ(FaxConverterEngine::InputNameFor("/a/doc.x", "TXT"), "/a/doc.x");
}

TEST(FaxEncoder, FailuresDeleteThePartialFile) {
    // An abort from the status callback and a front-end error both leave no output file.
    qptest::ScratchDir dir;
    const std::string apf = dir.file("gone.apf");
    {
        FaxConverterEngine engine(std::make_unique<BitmapFrontEnd>(FaxRaster(100, 100)));
        int lines = 0;
        engine.SetStatusCallback(
            [&lines](FaxConverterEngine::StatusCode code, const FaxConverterEngine&) {
                return code == FaxConverterEngine::StatusCode::LineRead && ++lines == 50 ? 1 : 0;
            });
        EXPECT_EQ(engine.ConvertFile("", apf), faxresult::ConvertAborted);
        EXPECT_FALSE(std::filesystem::exists(apf));
    }
    {
        FaxConverterEngine engine(std::make_unique<BitmapFrontEnd>(FaxRaster()));
        EXPECT_EQ(engine.ConvertFile("", apf), faxresult::BadArgument);
        EXPECT_FALSE(std::filesystem::exists(apf));
    }
    {
        FaxConverterEngine engine(std::make_unique<BitmapFrontEnd>(FaxRaster(8, 8)));
        EXPECT_EQ(engine.ConvertFile("", dir.file("no/such/folder/x.apf")),
                  faxresult::FileNotFound);
    }
}

TEST(FaxEncoder, ImageOptions) {
    // Doubling, half height and centering follow the page width, margin and resolution.
    FaxConverterEngine engine(std::make_unique<UserFrontEnd>(""));
    engine.SetOptions(FaxConverterEngine::coCenterImage, 0xFFFF);
    engine.ApplyImageOptions(800);
    EXPECT_EQ(engine.CenteringOffset(), 58);
    EXPECT_FALSE(engine.DoubleWidth());

    engine.SetOptions(FaxConverterEngine::DefaultOptions | FaxConverterEngine::coHalfHeight,
                      0xFFFF);
    engine.ApplyImageOptions(800);
    EXPECT_TRUE(engine.DoubleWidth());
    EXPECT_FALSE(engine.HalfHeight());
    EXPECT_EQ(engine.CenteringOffset(), (1728 - 1600) / 32);
    engine.ApplyImageOptions(840);
    EXPECT_FALSE(engine.DoubleWidth()) << "1678 < 1680";
    EXPECT_TRUE(engine.HalfHeight());
    engine.SetHighResolution(true);
    engine.ApplyImageOptions(400);
    EXPECT_FALSE(engine.DoubleWidth());
    EXPECT_FALSE(engine.HalfHeight());
    engine.ApplyImageOptions(1720);
    EXPECT_EQ(engine.CenteringOffset(), 0) << "W - w not above 15";

    std::vector<std::uint8_t> raster(FaxConverterEngine::RasterBufferSize, 0);
    raster[0] = 0xAB;
    engine.SetCenteringOffset(58);
    int length = 100;
    engine.ShiftForCentering(raster.data(), length);
    EXPECT_EQ(length, 158);
    EXPECT_EQ(raster[0], 0);
    EXPECT_EQ(raster[58], 0xAB);
}
