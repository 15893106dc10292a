#include "faxcomm/core/FaxTextRenderer.h"

#include <cctype>
#include <ctime>

namespace qpfax {

int FaxTextRenderer::Prepare(FaxFont::Type type, bool highResolution, int pageWidth) {
    pageWidth_ = pageWidth;
    return font_.Load(type, highResolution);
}

std::vector<std::vector<std::uint8_t>> FaxTextRenderer::RasterRows(const std::string& text) const {
    const int cell = font_.CellWidth();
    const std::size_t maxChars =
        cell > 0 ? static_cast<std::size_t>((pageWidth_ - LeftMargin) / cell) : 0;
    const std::string shown = text.substr(0, std::min(text.size(), maxChars));
    const std::size_t rowBytes =
        static_cast<std::size_t>(pageWidth_) / 8 + FaxLineCoder::RasterSlack;
    std::vector<std::vector<std::uint8_t>> rows;
    for (int r = 0; r < font_.Rows(); ++r) {
        std::vector<std::uint8_t> raster(rowBytes, 0);
        int x = LeftMargin;
        for (unsigned char c : shown) {
            const std::uint8_t* glyph = font_.GlyphRow(c, r);
            std::uint32_t bits = 0;
            for (int i = 0; i < font_.BytesPerRow(); ++i) {
                bits = (bits << 8) | glyph[i];
            }
            bits >>= font_.BytesPerRow() * 8 - cell;
            for (int i = cell - 1; i >= 0; --i, ++x) {
                if ((bits >> i) & 1) {
                    raster[static_cast<std::size_t>(x >> 3)] |=
                        static_cast<std::uint8_t>(0x80 >> (x & 7));
                }
            }
        }
        rows.push_back(std::move(raster));
    }
    return rows;
}

void FaxTextRenderer::RenderLine(const std::string& text, const Emit& emit) {
    for (const auto& row : RasterRows(text)) {
        const std::size_t size = coder_.CodeLine(row.data(), pageWidth_, 0, false);
        emit(coder_.Data(), size);
    }
}

void FaxTextRenderer::EndPage(const Emit& emit) {
    const std::size_t size = coder_.CodeEndOfPage();
    emit(coder_.Data(), size);
}

std::string ExpandHeaderTokens(const std::string& text, const HeaderValues& values) {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const bool wordStart = i == 0 || text[i - 1] == ' ';
        if (text[i] != '$' || !wordStart) {
            out.push_back(text[i++]);
            continue;
        }
        const char letter =
            i + 1 < text.size()
                ? static_cast<char>(std::toupper(static_cast<unsigned char>(text[i + 1])))
                : '\0';
        switch (letter) {
        case 'D':
            out += values.date;
            break;
        case 'T':
            out += values.time;
            break;
        case 'I':
            out += values.stationId;
            break;
        case 'N':
            out += std::to_string(values.totalPages);
            break;
        case 'P':
            out += std::to_string(values.page);
            break;
        case 'R':
            out += values.recipient;
            break;
        case 'S':
            out += values.title;
            break;
        case 'F':
            out += values.sender;
            break;
        default:
            break;
        }
        while (i < text.size() && text[i] != ' ') {
            ++i;
        }
    }
    return out;
}

namespace {

std::string FormatNow(const char* format) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buffer[64];
    const std::size_t n = std::strftime(buffer, sizeof buffer, format, &local);
    return std::string(buffer, n);
}

} // namespace

std::string ShortDateNow() {
    return FormatNow("%x");
}

std::string ShortTimeNow() {
    return FormatNow("%H:%M");
}

} // namespace qpfax
