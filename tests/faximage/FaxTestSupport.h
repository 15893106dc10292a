#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "faximage/core/FaxConverterEngine.h"
#include "faximage/core/FaxRaster.h"
#include "faximage/core/FaxUnpackerEngine.h"
#include "faximage/core/T4Codes.h"

// Helpers shared by the fax image tests: files, hand-made T.4 streams and APF files,
// and quick conversion and decoding round trips.
namespace faxtest {

using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const std::string& path);
void WriteFile(const std::string& path, const Bytes& bytes);
void WriteText(const std::string& path, const std::string& text);

// A T.4 bit stream packed least significant bit first.
class T4Stream {
public:
    T4Stream& Bits(const std::string& printedBits); // e.g. "000000000001"
    T4Stream& Code(t4::Code code);
    T4Stream& Eol() { return Code(t4::Eol); }
    T4Stream& Run(int colour, int length);
    // EOL, then the runs alternating from white.
    T4Stream& Line(const std::vector<int>& runs);
    T4Stream& PadToByte();
    const Bytes& Data() const { return bytes_; }

private:
    void PutBit(bool one);
    Bytes bytes_;
    unsigned bit_ = 0;
};

struct ApfPage {
    std::uint16_t flags = 0;
    Bytes data; // as stored after the page header
};
// An APF file of the given pages (page count from the list unless given).
Bytes MakeApf(const std::vector<ApfPage>& pages, int pageCount = -1);
// Line records around each chunk of coded data.
Bytes Records(const std::vector<Bytes>& chunks);

// A raster from a PBM file (P1 or P4).
FaxRaster ReadPbm(const std::string& path);

// Converts a picture with the bitmap front end; returns the engine result.
int ConvertRaster(const FaxRaster& picture, const std::string& output, std::uint16_t options = 0,
                  int leftMargin = 0, bool fine = true, int width = 1728, int topMargin = 0);

// Every line a page delivers (start and end calls left out), without picture trimming.
struct DecodedPage {
    int result = 0;
    std::vector<Bytes> lines;
    unsigned invalidCodes = 0;
};
DecodedPage DecodeLines(const std::string& apf, unsigned page,
                        std::uint16_t flags = FaxUnpackerEngine::FlagDoubleHeight,
                        unsigned whitespaceFrom = 0, unsigned whitespaceTo = 0);

// The pixels of a raster placed at column `shift` of a page line of `lineBytes` bytes.
Bytes ShiftedRow(const FaxRaster& raster, int y, int shift, int lineBytes);

} // namespace faxtest
