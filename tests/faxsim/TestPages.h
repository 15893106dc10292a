#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Small fax pages for the tests: TIFF files written with libtiff and their one-dimensional
// T.4 coding made by spandsp's encoder, as a Class 1 program would send them.
struct TestPage {
    int rows = 40;
    bool fine = false;
    bool minIsBlack = false;
    int seed = 0; // varies the pattern
};

// Writes one page per entry; false when the file cannot be written.
bool WriteTestTiff(const std::string& path, const std::vector<TestPage>& pages);
// The T.4 coded rows of page `page` (1-based) of a TIFF, LSB first, ending with RTC.
std::vector<std::uint8_t> EncodePage(const std::string& tiff, int page);
// The rows of page `page` (1-based) of a TIFF, each 216 bytes, 1 = black, MSB leftmost.
std::vector<std::vector<std::uint8_t>> ReadRows(const std::string& tiff, int page);
// Decodes one page of T.4 data (LSB first) with spandsp's decoder into a TIFF file.
bool DecodePage(const std::vector<std::uint8_t>& data, bool fine, const std::string& tiff);
