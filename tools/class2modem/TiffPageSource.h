#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The pages the far end sends when it calls: TIFF files, one document each, coded by
// spandsp's T.4 encoder into one-dimensional data, least significant bit first, each
// row padded to the receiver's minimum scan time.
class TiffPageSource {
public:
    struct PageInfo {
        int width = 1728;
        bool fine = false;
        int rows = 0;
    };

    // Checks the files and reads their page geometry; false with `error` set when one
    // cannot be read or has no page of a fax width.
    bool Open(const std::vector<std::string>& files, std::string& error);

    int Documents() const { return static_cast<int>(documents_.size()); }
    int Pages(int document) const;
    int TotalPages() const;
    PageInfo Info(int document, int page) const;
    // The coded page (page numbers count from 0); empty with `error` set on failure.
    std::vector<std::uint8_t> Encode(int document, int page, int minBitsPerRow,
                                     std::string& error) const;

private:
    struct Document {
        std::string file;
        std::vector<PageInfo> pages;
    };
    std::vector<Document> documents_;
};
