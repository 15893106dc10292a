#include "FaxTestFiles.h"

#include "faximage/core/ApfFileHeader.h"
#include "faximage/core/ApfPageHeader.h"
#include "faximage/core/T4Codes.h"

#include <cstdint>
#include <fstream>
#include <vector>

namespace faxtest {

namespace {

// Appends code words to a bit stream packed least significant bit first.
class BitWriter {
public:
    void Put(t4::Code code) {
        for (int bit = code.bits - 1; bit >= 0; --bit) {
            PutBit((code.value >> bit) & 1);
        }
    }
    void PutBit(bool one) {
        if (bitCount_ % 8 == 0) {
            bytes_.push_back(0);
        }
        if (one) {
            bytes_.back() |= static_cast<std::uint8_t>(1 << (bitCount_ % 8));
        }
        ++bitCount_;
    }
    void PutRun(int colour, int run) {
        while (run >= 2560 + 64) {
            Put(t4::MakeUp(colour, 2560 / 64 - 1));
            Put(t4::Terminating(colour, 0));
            run -= 2560;
        }
        if (run >= 64) {
            Put(t4::MakeUp(colour, run / 64 - 1));
        }
        Put(t4::Terminating(colour, run % 64));
    }
    // The line record: the coded bits, then zero bytes up to bits / 8 + 2 bytes.
    std::vector<std::uint8_t> Record() const {
        std::vector<std::uint8_t> record = bytes_;
        record.resize(static_cast<std::size_t>(bitCount_ / 8 + 2), 0);
        return record;
    }

private:
    std::vector<std::uint8_t> bytes_;
    int bitCount_ = 0;
};

bool Black(const uchar* row, int x) {
    return row[x >> 3] & (0x80 >> (x & 7));
}

std::vector<std::uint8_t> CodeLine(const uchar* row, int width) {
    BitWriter writer;
    writer.Put(t4::LineStart);
    int colour = 0;
    int x = 0;
    while (x < width) {
        int run = 0;
        while (x < width && Black(row, x) == (colour == 1)) {
            ++run;
            ++x;
        }
        writer.PutRun(colour, run);
        colour ^= 1;
    }
    return writer.Record();
}

void AppendRecord(std::vector<std::uint8_t>& data, const std::vector<std::uint8_t>& record) {
    data.push_back(static_cast<std::uint8_t>(record.size() & 0xFF));
    data.push_back(static_cast<std::uint8_t>(record.size() >> 8));
    data.insert(data.end(), record.begin(), record.end());
}

std::vector<std::uint8_t> CodePage(const QImage& page) {
    std::vector<std::uint8_t> data;
    for (int y = 0; y < page.height(); ++y) {
        AppendRecord(data, CodeLine(page.constScanLine(y), page.width()));
    }
    AppendRecord(data, {0x00, 0x80, 0x00, 0x08, 0x80, 0x00, 0x08, 0x80, 0x00, 0x08, 0x80, 0x00});
    return data;
}

} // namespace

void FillBlack(QImage& picture, const QRect& rect) {
    const QRect clipped = rect.intersected(picture.rect());
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        uchar* row = picture.scanLine(y);
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            row[x >> 3] |= static_cast<uchar>(0x80 >> (x & 7));
        }
    }
}

QImage FramedPage(int number, int height, bool wide) {
    const int width = wide ? 2048 : 1728;
    QImage page(width, height, QImage::Format_Mono);
    page.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    page.fill(0);
    FillBlack(page, QRect(0, 0, width, 2));
    FillBlack(page, QRect(0, height - 2, width, 2));
    FillBlack(page, QRect(0, 0, 2, height));
    FillBlack(page, QRect(width - 2, 0, 2, height));
    for (int square = 0; square < number; ++square) {
        FillBlack(page, QRect(20 + square * 60, 20, 40, 40));
    }
    return page;
}

bool WriteApf(const QString& fileName, const QList<QImage>& pages, bool fine) {
    std::ofstream out(fileName.toStdString(), std::ios::binary | std::ios::trunc);
    if (!out) {
        return false;
    }
    ApfFileHeader header;
    header.pageCount = static_cast<std::uint16_t>(pages.size());
    header.stationId = "TEST";
    const auto headerBytes = header.Serialize();
    out.write(reinterpret_cast<const char*>(headerBytes.data()), headerBytes.size());
    for (const QImage& page : pages) {
        const std::vector<std::uint8_t> data = CodePage(page);
        ApfPageHeader pageHeader;
        pageHeader.imageLength = static_cast<std::uint32_t>(data.size());
        pageHeader.flags = ApfPageHeader::FlagLineRecords | (fine ? ApfPageHeader::FlagFine : 0) |
                           (page.width() == 2048 ? ApfPageHeader::FlagWide : 0);
        const auto pageBytes = pageHeader.Serialize();
        out.write(reinterpret_cast<const char*>(pageBytes.data()), pageBytes.size());
        out.write(reinterpret_cast<const char*>(data.data()),
                  static_cast<std::streamsize>(data.size()));
    }
    return static_cast<bool>(out);
}

bool WriteFramedFax(const QString& fileName, int count, int height, bool fine) {
    QList<QImage> pages;
    for (int number = 1; number <= count; ++number) {
        pages.append(FramedPage(number, height));
    }
    return WriteApf(fileName, pages, fine);
}

int CountBlack(const QImage& picture, bool inverted) {
    int black = 0;
    for (int y = 0; y < picture.height(); ++y) {
        const uchar* row = picture.constScanLine(y);
        for (int x = 0; x < picture.width(); ++x) {
            black += Black(row, x) != inverted ? 1 : 0;
        }
    }
    return black;
}

} // namespace faxtest
