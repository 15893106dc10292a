#include "FaxTestFiles.h"

#include "faximage/core/FaxConverterEngine.h"
#include "faximage/core/FaxFrontEnd.h"
#include "faximage/core/FaxRaster.h"

#include <cstdint>
#include <cstring>
#include <algorithm>
#include <memory>
#include <vector>

#include <QFile>

namespace faxtest {

namespace {

bool Black(const uchar* row, int x) {
    return row[x >> 3] & (0x80 >> (x & 7));
}

FaxRaster RasterOf(const QImage& page) {
    FaxRaster raster(page.width(), page.height());
    for (int y = 0; y < page.height(); ++y) {
        std::memcpy(raster.Row(y), page.constScanLine(y),
                    static_cast<std::size_t>(raster.BytesPerRow()));
    }
    return raster;
}

// Hands the converter a list of pictures, one page each.
class PagesFrontEnd final : public FaxFrontEnd {
public:
    explicit PagesFrontEnd(std::vector<FaxRaster> pages) : pages_(std::move(pages)) {}

    std::string DefaultExtension() const override { return ""; }
    int Open(FaxConverterEngine& engine, const std::string&) override {
        engine.ApplyImageOptions(pages_.empty() ? 1728 : pages_.front().Width());
        return pages_.empty() ? -1002 : 0;
    }
    int ReadLine(FaxConverterEngine&, std::uint8_t* raster, int& length, bool& morePages,
                 bool& endOfPage) override {
        const FaxRaster& page = pages_[page_];
        if (row_ >= page.Height()) {
            ++page_;
            row_ = 0;
            endOfPage = true;
            morePages = page_ < pages_.size();
            return 0;
        }
        length = page.BytesPerRow();
        std::memcpy(raster, page.Row(row_), static_cast<std::size_t>(length));
        ++row_;
        morePages = true;
        return 0;
    }
    void Close(FaxConverterEngine&) override {}

private:
    std::vector<FaxRaster> pages_;
    std::size_t page_ = 0;
    int row_ = 0;
};

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
    std::vector<FaxRaster> rasters;
    for (const QImage& page : pages) {
        rasters.push_back(RasterOf(page));
    }
    const int width = pages.isEmpty() ? 1728 : pages.front().width();
    std::unique_ptr<FaxConverterEngine> engine;
    if (FaxConverterEngine::CreateEngine(std::make_unique<PagesFrontEnd>(std::move(rasters)),
                                         engine) != 0) {
        return false;
    }
    engine->SetOptions(0, FaxConverterEngine::coCenterImage | FaxConverterEngine::coDoubleWidth |
                              FaxConverterEngine::coYield);
    engine->SetLeftMargin(0);
    engine->SetTopMargin(0);
    engine->SetHighResolution(fine);
    engine->SetWidth(width);
    engine->SetStationId("TEST");
    return engine->ConvertFile("pages", QFile::encodeName(fileName).toStdString()) == 0;
}

QImage TextLikePage(int seed, int height) {
    QImage page = FramedPage(1, height);
    unsigned state = static_cast<unsigned>(seed) * 2654435761u + 1;
    auto next = [&state](unsigned range) {
        state = state * 1103515245u + 12345u;
        return (state >> 16) % range;
    };
    for (int top = 120; top + 24 < height - 100; top += 36) {
        for (int x = 100; x < 1600;) {
            const int word = 20 + static_cast<int>(next(90));
            for (int letter = x; letter < std::min(x + word, 1620); letter += 12) {
                FillBlack(page, QRect(letter, top + static_cast<int>(next(6)), 2 + next(7),
                                      16 + static_cast<int>(next(8))));
            }
            x += word + 12;
        }
    }
    return page;
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
