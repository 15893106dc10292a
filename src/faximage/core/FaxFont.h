#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The built-in fax font: a 16,384-byte resource holding two bitmap fonts of 256 glyphs
// (code page 1252): small (12 x 8 pixels, 16 bytes per glyph, at offset 0) and standard
// (20 x 16 pixels, 48 bytes per glyph, at offset 4096). Rows run top to bottom, bit 7 of
// a row's first byte is the leftmost pixel, 1 is black. At high resolution every row is
// doubled on loading.
class FaxFont {
public:
    enum Type { ffStandard, ffSmall };
    static constexpr std::size_t ResourceSize = 16384;

    // Loads from the compiled-in resource; -8052 when it is missing or damaged.
    int Load(Type type, bool highResolution);
    int Load(Type type, bool highResolution, const std::uint8_t* resource, std::size_t size);

    int CellWidth() const { return cellWidth_; }
    int Rows() const { return rows_; }
    int BytesPerRow() const { return bytesPerRow_; }
    const std::uint8_t* GlyphRow(unsigned char character, int row) const {
        return glyphs_.data() +
               (static_cast<std::size_t>(character) * rows_ + static_cast<std::size_t>(row)) *
                   bytesPerRow_;
    }

    // The compiled-in resource.
    static const std::uint8_t* Resource(std::size_t& size);

private:
    int cellWidth_ = 0;
    int rows_ = 0;
    int bytesPerRow_ = 0;
    std::vector<std::uint8_t> glyphs_;
};
