// The converter and unpacker components: properties, exceptions, the dithering of colour
// BMP files, and pictures handed over as QImage.
#include <gtest/gtest.h>

#include <filesystem>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include "FaxTestSupport.h"
#include "TestPaths.h"
#include "faximage/FaxImageExceptions.h"
#include "faximage/TQpFaxConverter.h"
#include "faximage/TQpFaxUnpacker.h"
#include "faximage/core/ThresholdDither.h"

using namespace faxtest;

namespace {

int BlackPixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += qGray(image.pixel(x, y)) < 128 ? 1 : 0;
        }
    }
    return count;
}

template <typename Exception>
int CodeOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Exception& error) {
        return error.ErrorCode();
    }
    return 0;
}

} // namespace

TEST(TQpFaxConverter, PropertiesAndArguments) {
    TQpFaxConverter converter;
    EXPECT_EQ(converter.Options(), 13u);
    EXPECT_EQ(converter.LeftMargin(), 50u);
    EXPECT_EQ(converter.LinesPerPage(), 60);
    EXPECT_EQ(converter.FontFile(), "QPFAX.FNT");
    converter.SetOptions(TQpFaxConverter::coYieldOften);
    EXPECT_EQ(converter.Options(),
              unsigned(TQpFaxConverter::coYield | TQpFaxConverter::coYieldOften));
    converter.SetDocumentFile("/tmp/letter.txt");
    EXPECT_EQ(converter.OutFileName(), "/tmp/letter.APF");

    EXPECT_EQ(CodeOf<qpfax::EBadArgument>([&] { converter.ConvertDocument(); }), -1002);
    converter.SetInputDocumentType(TQpFaxConverter::idBitmap);
    EXPECT_EQ(CodeOf<qpfax::EBadArgument>([&] { converter.ConvertDocument(); }), -1002);
    EXPECT_EQ(
        CodeOf<qpfax::EBadArgument>([&] { converter.ConvertBitmapToFile("/tmp/x.apf", QImage()); }),
        -1002);
    converter.SetInputDocumentType(TQpFaxConverter::idTiff);
    converter.SetDocumentFile("/no/such/file.tif");
    EXPECT_EQ(CodeOf<qpfax::EInOutError>([&] { converter.ConvertDocument(); }), -2);
}

TEST(TQpFaxConverter, StatusEventAndAbort) {
    // OnStatus reports start, lines and end; setting Abort raises EConvertAbort and leaves
    // no output file behind.
    qptest::ScratchDir dir;
    std::string text;
    for (int line = 0; line < 100; ++line) {
        text += "Line " + std::to_string(line) + "\n";
    }
    WriteText(dir.file("doc.txt"), text);
    TQpFaxConverter converter;
    converter.SetInputDocumentType(TQpFaxConverter::idText);
    converter.SetDocumentFile(QString::fromStdString(dir.file("doc.txt")));
    int starts = 0, ends = 0, maxPage = 0;
    std::uint32_t lastBytes = 0, total = 0;
    converter.OnStatus = [&](TQpFaxConverter*, bool starting, bool ending, int pages, int,
                             std::uint32_t bytes, std::uint32_t toConvert, bool&) {
        starts += starting;
        ends += ending;
        maxPage = std::max(maxPage, pages);
        lastBytes = bytes;
        total = toConvert;
    };
    converter.ConvertDocument();
    EXPECT_EQ(starts, 1);
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(maxPage, 2);
    EXPECT_EQ(total, text.size());
    EXPECT_EQ(lastBytes, text.size());
    ASSERT_TRUE(std::filesystem::exists(dir.file("doc.APF")));

    converter.OnStatus = [](TQpFaxConverter*, bool, bool, int pages, int, std::uint32_t,
                            std::uint32_t, bool& abort) { abort = pages == 2; };
    EXPECT_EQ(CodeOf<qpfax::EConvertAbort>([&] { converter.ConvertDocument(); }), -8003);
    EXPECT_FALSE(std::filesystem::exists(dir.file("doc.APF")));
}

TEST(TQpFaxConverter, ColourBmpIsDitheredThroughATemporaryFile) {
    // A 24-bit BMP: left half black, right half dark grey. It is dithered into a "~DIT"
    // file in the temporary folder, converted, and the file is removed again.
    qptest::ScratchDir dir;
    qptest::ScratchDir temp("tmp");
    qputenv("TMPDIR", QByteArray::fromStdString(temp.path().string()));
    QImage colour(256, 64, QImage::Format_RGB888);
    colour.fill(QColor(64, 64, 64));
    QPainter(&colour).fillRect(0, 0, 128, 64, Qt::black);
    ASSERT_TRUE(colour.save(QString::fromStdString(dir.file("grey.bmp")), "BMP"));

    TQpFaxConverter converter;
    converter.SetInputDocumentType(TQpFaxConverter::idBmp);
    converter.SetOptions(TQpFaxConverter::coYield);
    converter.SetResolution(TQpFaxConverter::frHigh);
    converter.SetLeftMargin(0);
    converter.SetDocumentFile(QString::fromStdString(dir.file("grey.bmp")));
    converter.ConvertDocument();
    qunsetenv("TMPDIR");
    EXPECT_TRUE(std::filesystem::is_empty(temp.path()));

    TQpFaxUnpacker unpacker;
    unpacker.SetInFileName(QString::fromStdString(dir.file("grey.APF")));
    const QImage page = unpacker.DecodePageToBitmap(1);
    ASSERT_EQ(page.height(), 64);
    ASSERT_GE(page.width(), 256);
    EXPECT_EQ(BlackPixels(page.copy(0, 0, 128, 64)), 128 * 64);
    const int grey = BlackPixels(page.copy(128, 0, 128, 64));
    EXPECT_GT(grey, 128 * 64 * 2 / 10);
    EXPECT_LT(grey, 128 * 64 * 6 / 10);

    // The threshold matrix itself: its first row as the dithering rule defines it.
    const int expected[8] = {0, 96, 48, 112, 24, 120, 56, 120};
    for (int j = 0; j < 8; ++j) {
        EXPECT_EQ(ThresholdDither::Threshold(0, j), expected[j]) << j;
    }
}

TEST(TQpFaxUnpacker, PicturesFromQImageAndBack) {
    // A QImage handed to the converter comes back from DecodePageToBitmap with the same
    // pixels (Mono, index 1 black), and the page flags read back.
    qptest::ScratchDir dir;
    QImage drawing(400, 120, QImage::Format_RGB32);
    drawing.fill(Qt::white);
    {
        QPainter painter(&drawing);
        painter.fillRect(10, 10, 100, 20, Qt::black);
        painter.fillRect(300, 50, 90, 60, Qt::black);
    }
    TQpFaxConverter converter;
    converter.SetOptions(0);
    converter.SetLeftMargin(0);
    converter.SetResolution(TQpFaxConverter::frHigh);
    converter.SetWidth(TQpFaxConverter::fwWide);
    converter.SetStationID("QUILLPOST TEST");
    converter.ConvertBitmapToFile(QString::fromStdString(dir.file("pic")), drawing);

    TQpFaxUnpacker unpacker;
    unpacker.SetInFileName(QString::fromStdString(dir.file("pic.APF")));
    EXPECT_EQ(unpacker.OutFileName().toStdString(), dir.file("pic"));
    EXPECT_EQ(unpacker.PageCount(), 1);
    EXPECT_TRUE(unpacker.FirstPageIsFine());
    EXPECT_TRUE(unpacker.FirstPageIsWide());
    const QImage page = unpacker.DecodePageToBitmap(1);
    EXPECT_EQ(page.format(), QImage::Format_Mono);
    ASSERT_EQ(page.height(), 120);
    EXPECT_EQ(page.width(), 400);
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 400; ++x) {
            ASSERT_EQ(qGray(page.pixel(x, y)) < 128, qGray(drawing.pixel(x, y)) < 128)
                << x << "," << y;
        }
    }
    unpacker.SetScaling(true);
    unpacker.SetHorizDiv(2);
    unpacker.SetVertMult(0); // ignored
    const QImage half = unpacker.DecodePageToBitmap(1);
    EXPECT_EQ(half.width(), 200);
    EXPECT_EQ(half.height(), 120);

    EXPECT_EQ(CodeOf<qpfax::EFaxBadFormat>([&] { unpacker.DecodePageToBitmap(2); }), -8001);
    unpacker.SetWhitespaceCompression(true);
    unpacker.SetWhitespaceFrom(1);
    unpacker.SetWhitespaceTo(5);
    EXPECT_EQ(CodeOf<qpfax::EBadArgument>([&] { unpacker.DecodePageToBitmap(1); }), -1002);
    unpacker.SetWhitespaceCompression(false);
    unpacker.SetInFileName(QString::fromStdString(dir.file("absent.apf")));
    EXPECT_EQ(CodeOf<qpfax::EInOutError>([&] { unpacker.PageCount(); }), -2);
}

TEST(TQpFaxUnpacker, SettingsOfEachCallWhileTheFileStaysOpen) {
    // The unpacker keeps its file open from page to page (each page header read once),
    // but every call still takes the properties as they are then: scaling and blank-line
    // compression switched off again are off, and a file rewritten on disk is read anew.
    qptest::ScratchDir dir;
    auto page = [](int blankLines) {
        T4Stream stream;
        stream.Line({100, 10, 1618});
        for (int line = 0; line < blankLines; ++line) {
            stream.Line({1728});
        }
        return stream.Line({100, 10, 1618}).Eol().Eol().Eol().Data();
    };
    std::vector<ApfPage> pages;
    for (int number = 0; number < 6; ++number) {
        pages.push_back({1, page(20 + number)});
    }
    WriteFile(dir.file("six.apf"), MakeApf(pages));
    TQpFaxUnpacker unpacker;
    unpacker.SetInFileName(QString::fromStdString(dir.file("six.apf")));
    for (int number = 1; number <= 6; ++number) {
        EXPECT_EQ(unpacker.DecodePageToBitmap(number).height(), 2 + 20 + number - 1);
    }
    ASSERT_NE(unpacker.Engine(), nullptr);
    EXPECT_EQ(unpacker.Engine()->PageHeaderReads(), 6u);

    unpacker.SetScaling(true);
    unpacker.SetHorizDiv(2);
    unpacker.SetWhitespaceCompression(true);
    unpacker.SetWhitespaceFrom(10);
    unpacker.SetWhitespaceTo(1);
    const QImage squeezed = unpacker.DecodePageToBitmap(3);
    EXPECT_EQ(squeezed.width(), 112 / 2);
    EXPECT_EQ(squeezed.height(), 3);
    unpacker.SetScaling(false);
    unpacker.SetWhitespaceCompression(false);
    const QImage plain = unpacker.DecodePageToBitmap(3);
    EXPECT_EQ(plain.width(), 112);
    EXPECT_EQ(plain.height(), 24);
    EXPECT_EQ(unpacker.Engine()->PageHeaderReads(), 6u);

    pages.resize(2);
    WriteFile(dir.file("six.apf"), MakeApf(pages));
    EXPECT_EQ(unpacker.PageCount(), 2);
    EXPECT_EQ(CodeOf<qpfax::EFaxBadFormat>([&] { unpacker.DecodePageToBitmap(3); }), -8001);
    EXPECT_EQ(unpacker.DecodePageToBitmap(2).height(), 23);
}

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
