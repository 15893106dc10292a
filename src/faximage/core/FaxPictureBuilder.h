#pragma once

#include <cstdint>
#include <vector>

#include "faximage/core/FaxRaster.h"

// Collects the decoded lines of one page into a picture: rows of 216 (256 when wide)
// bytes growing in steps of 1024 rows, trimmed at the end to the used width rounded up
// to an even number of bytes, then scaled by plain pixel copy.
class FaxPictureBuilder {
public:
    static constexpr int RowStep = 1024;
    static constexpr int MaxRows = 65536; // a page this long is not a fax page

    void Start(bool wide, bool invert);
    // 0, or -8 when the picture would grow beyond MaxRows.
    int AddLine(const std::uint8_t* data, unsigned length);
    // Builds the result; an empty page gives an empty raster. -8005 when the scaled
    // picture cannot be made.
    int Finish(int horizMult, int horizDiv, int vertMult, int vertDiv, FaxRaster& result);

    int Rows() const { return rows_; }

private:
    int UsedBytes(const std::uint8_t* row) const;

    std::vector<std::uint8_t> memory_;
    int rowBytes_ = 216;
    int rows_ = 0;
    int usedBytes_ = 0;
    bool invert_ = false;
};
