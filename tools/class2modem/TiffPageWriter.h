#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Writes received fax pages as a multi-page TIFF file: one-dimensional T.4 (Group 3)
// compression, fill order least significant bit first, white = 0, 204 dpi across and
// 98 or 196 dpi down. The file is written beside its final name and renamed over it, so
// a reader never sees half a file.
class TiffPageWriter {
public:
    struct Page {
        int width = 1728;
        bool fine = false;
        std::vector<std::uint8_t> image; // rows of width / 8 bytes, MSB leftmost, 1 = black
    };

    // False with `error` set when the file cannot be written.
    static bool Write(const std::string& path, const std::vector<Page>& pages, std::string& error);
};
