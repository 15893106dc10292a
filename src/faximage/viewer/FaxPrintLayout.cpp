#include "faximage/viewer/FaxPrintLayout.h"

#include <algorithm>
#include <cstdint>

namespace FaxPrintLayout {

namespace {

int MulDiv(int value, int multiplier, int divisor) {
    return static_cast<int>(static_cast<std::int64_t>(value) * multiplier / divisor);
}

} // namespace

int PagesPerSheet(bool portrait) {
    return portrait ? 4 : 2;
}

bool StartsNewSheet(int page, int first, bool multiPage, bool portrait) {
    if (page == first) {
        return false;
    }
    if (!multiPage) {
        return true;
    }
    return (page - first) % PagesPerSheet(portrait) == 0;
}

FaxPrintArea PageArea(int sheetWidth, int sheetHeight, bool multiPage, bool portrait, int page,
                      int first) {
    FaxPrintArea area{0, 0, sheetWidth, sheetHeight};
    if (!multiPage) {
        return area;
    }
    const int halfWidth = sheetWidth / 2;
    const int halfHeight = sheetHeight / 2;
    area.right = halfWidth;
    if (portrait) {
        area.bottom = halfHeight;
    }
    const int slot = (page - first) % 4;
    if (slot == 1 || slot == 3) {
        area.left = halfWidth;
        area.right = sheetWidth;
    }
    if (portrait && slot >= 2) {
        area.top = halfHeight;
        area.bottom = sheetHeight;
    }
    area.left += 2;
    area.top += 2;
    area.right -= 2;
    area.bottom -= 2;
    return area;
}

QSize DestinationSize(QSize picture, const FaxPrintArea& area, TFaxPrintScale scale) {
    if (picture.width() <= 0 || picture.height() <= 0) {
        return {};
    }
    if (scale == psNone) {
        return {picture.width(), std::min(picture.height(), area.Height())};
    }
    const int width = MulDiv(picture.width(), area.Height(), picture.height());
    if (width < area.Width()) {
        return {width, area.Height()};
    }
    return {area.Width(), MulDiv(picture.height(), area.Width(), picture.width())};
}

} // namespace FaxPrintLayout
