#include "SamplePages.h"

#include "faximage/core/FaxFont.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int PageRows = 1100; // about 11 inches at 98 rows per inch
constexpr int Margin = 120;

const FaxFont& Font() {
    static FaxFont font = [] {
        FaxFont loaded;
        if (loaded.Load(FaxFont::ffStandard, false) != 0) {
            std::abort(); // the compiled-in font is part of the program
        }
        return loaded;
    }();
    return font;
}

SamplePage TextPage() {
    SamplePage page(PageRows);
    int y = 60;
    page.Text(Margin, y, "QUILLPOST TEST FAX", 3);
    y += 3 * Font().Rows() + 12;
    page.FillRect(Margin, y, SamplePage::Width - 2 * Margin, 4);
    y += 30;
    const char* const lines[] = {
        "This fax comes from the test fax machine at the far end of",
        "Quillpost's built-in test line. No modem and no telephone line",
        "were used: a simulated Class 1 fax modem carried the call.",
        "",
        "If you can read this page and see the picture on the next one,",
        "receiving works. The fax was stored in the list of received",
        "faxes, where you can view, print or delete it.",
        "",
        "Numbers you can dial on the test line:",
        "  ending in 1 to 7   the machine answers after that many rings",
        "  ending in 0        the line is busy",
        "  ending in 9        nobody answers",
        "  ending in 8        there is no dial tone",
        "",
        "Every fax you send to the test line is kept in the folder",
        "\"testline\" of the data folder, one TIFF file per call.",
        "",
        "Page 1 of 2",
    };
    for (const char* line : lines) {
        page.Text(Margin, y, line, 1);
        y += Font().Rows() + 14;
    }
    return page;
}

SamplePage PicturePage() {
    SamplePage page(PageRows);
    const int left = Margin;
    const int right = SamplePage::Width - Margin;
    const int top = 60;
    const int bottom = PageRows - 80;
    // Frame.
    page.FillRect(left, top, right - left, 6);
    page.FillRect(left, bottom - 6, right - left, 6);
    page.FillRect(left, top, 12, bottom - top);
    page.FillRect(right - 12, top, 12, bottom - top);
    // Sun with rays.
    const int sunX = right - 330;
    const int sunY = top + 170;
    page.FillCircle(sunX, sunY, 110);
    for (int ray = 0; ray < 12; ++ray) {
        const double angle = ray * 3.14159265358979 / 6;
        const int x0 = sunX + static_cast<int>(150 * std::cos(angle));
        const int y0 = sunY + static_cast<int>(75 * std::sin(angle));
        const int x1 = sunX + static_cast<int>(230 * std::cos(angle));
        const int y1 = sunY + static_cast<int>(115 * std::sin(angle));
        page.Line(x0, y0, x1, y1, 8);
    }
    // House: walls, roof, door and window.
    const int groundY = bottom - 260;
    const int houseLeft = left + 200;
    const int houseWidth = 560;
    const int wallHeight = 300;
    const int wallTop = groundY - wallHeight;
    page.FillRect(houseLeft, wallTop, houseWidth, 8);
    page.FillRect(houseLeft, wallTop, 16, wallHeight);
    page.FillRect(houseLeft + houseWidth - 16, wallTop, 16, wallHeight);
    page.Line(houseLeft - 40, wallTop, houseLeft + houseWidth / 2, wallTop - 220, 12);
    page.Line(houseLeft + houseWidth / 2, wallTop - 220, houseLeft + houseWidth + 40, wallTop, 12);
    page.FillRect(houseLeft - 40, wallTop - 4, houseWidth + 80, 8);
    page.FillRect(houseLeft + 240, groundY - 170, 100, 170);
    page.FillCircle(houseLeft + 320, groundY - 85, 8, false);
    for (int pane = 0; pane < 2; ++pane) {
        const int x = houseLeft + 60 + pane * 360;
        page.FillRect(x, wallTop + 60, 120, 6);
        page.FillRect(x, wallTop + 140, 120, 6);
        page.FillRect(x, wallTop + 60, 10, 86);
        page.FillRect(x + 110, wallTop + 60, 10, 86);
        page.FillRect(x + 55, wallTop + 60, 10, 86);
    }
    // Ground: a band of stripes.
    page.FillRect(left, groundY, right - left, 10);
    for (int stripe = 0; stripe < 6; ++stripe) {
        page.FillRect(left + 40, groundY + 40 + stripe * 24, right - left - 80, 4 + stripe * 2);
    }
    // A chequered flag on a pole.
    const int poleX = houseLeft + houseWidth + 140;
    page.FillRect(poleX, groundY - 420, 10, 420);
    for (int row = 0; row < 4; ++row) {
        for (int column = 0; column < 6; ++column) {
            if ((row + column) % 2 == 0) {
                page.FillRect(poleX + 10 + column * 36, groundY - 420 + row * 18, 36, 18);
            }
        }
    }
    page.FillRect(poleX + 10, groundY - 420, 216, 2);
    page.FillRect(poleX + 10, groundY - 350, 216, 2);
    page.FillRect(poleX + 226, groundY - 420, 2, 72);
    page.FillCircle(left + 330, top + 150, 60, true);
    page.Text(left + 40, bottom + 20, "Page 2 of 2: a picture page", 1);
    return page;
}

} // namespace

SamplePage::SamplePage(int rowCount)
    : rows(rowCount), bits(static_cast<std::size_t>(rowCount) * BytesPerRow, 0) {}

void SamplePage::Set(int x, int y) {
    if (x < 0 || y < 0 || x >= Width || y >= rows) {
        return;
    }
    bits[static_cast<std::size_t>(y) * BytesPerRow + static_cast<std::size_t>(x / 8)] |=
        static_cast<std::uint8_t>(0x80 >> (x % 8));
}

bool SamplePage::At(int x, int y) const {
    if (x < 0 || y < 0 || x >= Width || y >= rows) {
        return false;
    }
    return bits[static_cast<std::size_t>(y) * BytesPerRow + static_cast<std::size_t>(x / 8)] &
           (0x80 >> (x % 8));
}

void SamplePage::FillRect(int x, int y, int width, int height) {
    for (int row = y; row < y + height; ++row) {
        for (int column = x; column < x + width; ++column) {
            Set(column, row);
        }
    }
}

void SamplePage::FillCircle(int centreX, int centreY, int radius, bool ring) {
    const int halfHeight = radius / 2 + 1;
    for (int dy = -halfHeight; dy <= halfHeight; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            const double distance = std::hypot(dx, dy * 2.0);
            if (distance <= radius && (!ring || distance >= radius - 10)) {
                Set(centreX + dx, centreY + dy);
            }
        }
    }
}

void SamplePage::Line(int x0, int y0, int x1, int y1, int thickness) {
    const int steps = std::max(std::abs(x1 - x0), std::abs(y1 - y0) * 2) + 1;
    for (int step = 0; step <= steps; ++step) {
        const int x = x0 + (x1 - x0) * step / steps;
        const int y = y0 + (y1 - y0) * step / steps;
        FillRect(x - thickness / 2, y - thickness / 4, thickness, std::max(1, thickness / 2));
    }
}

int SamplePage::Text(int x, int y, const std::string& text, int scale) {
    const FaxFont& font = Font();
    int penX = x;
    for (unsigned char character : text) {
        for (int row = 0; row < font.Rows(); ++row) {
            const std::uint8_t* glyphRow = font.GlyphRow(character, row);
            for (int column = 0; column < font.CellWidth(); ++column) {
                if (glyphRow[column / 8] & (0x80 >> (column % 8))) {
                    FillRect(penX + column * scale, y + row * scale, scale, scale);
                }
            }
        }
        penX += font.CellWidth() * scale;
    }
    return penX - x;
}

std::vector<SamplePage> MakeSamplePages() {
    return {TextPage(), PicturePage()};
}
