// faxfont: rasterises a monospaced outline font into the program's fax font resource.
//
//   faxfont FONT.ttf OUTPUT.bin
//
// The resource holds two bitmap fonts of 256 glyphs in code page 1252: small (12 x 8
// pixels, 2 bytes per row, at offset 0) and standard (20 x 16 pixels, 3 bytes per row, at
// offset 4096), 16,384 bytes in all. Fax pixels are about twice as tall as wide at
// standard resolution, so glyphs are scaled separately in each direction.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H

namespace {

// Unicode of the code page 1252 characters 0x80..0x9F (0 where undefined).
const std::uint16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::uint32_t UnicodeOf(int code) {
    if (code < 0x20 || code == 0x7F) {
        return 0;
    }
    if (code >= 0x80 && code < 0xA0) {
        return kHighControls[code - 0x80];
    }
    return static_cast<std::uint32_t>(code);
}

struct FontShape {
    int cellWidth;
    int rows;
    int bytesPerRow;
    int emWidth;  // pixels per em horizontally
    int emHeight; // pixels per em vertically
    int baseline; // row of the baseline (rows above it hold the ascent)
};

bool RenderFont(FT_Face face, const FontShape& shape, std::vector<std::uint8_t>& out) {
    if (FT_Set_Char_Size(face, shape.emWidth * 64, shape.emHeight * 64, 72, 72) != 0) {
        return false;
    }
    for (int code = 0; code < 256; ++code) {
        std::vector<std::uint8_t> glyph(static_cast<std::size_t>(shape.rows * shape.bytesPerRow));
        const std::uint32_t unicode = UnicodeOf(code);
        const FT_UInt index = unicode ? FT_Get_Char_Index(face, unicode) : 0;
        if (index != 0 && FT_Load_Glyph(face, index, FT_LOAD_RENDER | FT_LOAD_TARGET_MONO) == 0) {
            const FT_GlyphSlot slot = face->glyph;
            const FT_Bitmap& bitmap = slot->bitmap;
            const int advance = static_cast<int>(slot->advance.x >> 6);
            const int left = slot->bitmap_left + (shape.cellWidth - advance) / 2;
            // Glyphs reaching above the cell (accented capitals) move down just enough.
            const int top = std::max(0, shape.baseline - slot->bitmap_top);
            for (unsigned y = 0; y < bitmap.rows; ++y) {
                const int row = top + static_cast<int>(y);
                if (row < 0 || row >= shape.rows) {
                    continue;
                }
                for (unsigned x = 0; x < bitmap.width; ++x) {
                    const std::uint8_t* line = bitmap.buffer + y * bitmap.pitch;
                    if (!((line[x >> 3] >> (7 - (x & 7))) & 1)) {
                        continue;
                    }
                    const int column = left + static_cast<int>(x);
                    if (column < 0 || column >= shape.cellWidth) {
                        continue;
                    }
                    glyph[static_cast<std::size_t>(row * shape.bytesPerRow + column / 8)] |=
                        static_cast<std::uint8_t>(0x80 >> (column % 8));
                }
            }
        }
        out.insert(out.end(), glyph.begin(), glyph.end());
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: faxfont FONT.ttf OUTPUT.bin\n");
        return 2;
    }
    FT_Library library;
    FT_Face face;
    if (FT_Init_FreeType(&library) != 0 || FT_New_Face(library, argv[1], 0, &face) != 0) {
        std::fprintf(stderr, "faxfont: cannot load %s\n", argv[1]);
        return 1;
    }
    const FontShape small = {12, 8, 2, 19, 8, 6};
    const FontShape standard = {20, 16, 3, 32, 14, 12};
    std::vector<std::uint8_t> resource;
    if (!RenderFont(face, small, resource) || !RenderFont(face, standard, resource) ||
        resource.size() != 16384) {
        std::fprintf(stderr, "faxfont: rendering failed\n");
        return 1;
    }
    std::FILE* out = std::fopen(argv[2], "wb");
    if (!out || std::fwrite(resource.data(), 1, resource.size(), out) != resource.size() ||
        std::fclose(out) != 0) {
        std::fprintf(stderr, "faxfont: cannot write %s\n", argv[2]);
        return 1;
    }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return 0;
}
