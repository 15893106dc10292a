#pragma once

#include <string>

namespace qpfax {

// Session parameters from a Class 2/2.0 negotiated-parameters or remote-capabilities
// report, and the values derived from them.
struct FaxParameters {
    bool highResolution = false;
    int bitRate = 9600;
    bool wide = false;
    bool errorCorrection = false;
    int scanTimeCode = 0;

    // Parses the report text after its prefix: the text up to ':' or '=' is dropped, then
    // the characters at positions 1, 3, 5, 11 and 15 of the comma list are used.
    static FaxParameters Parse(const std::string& afterPrefix);
    // Minimum line time in ms from the scan-time table.
    int MinimumLineMs() const;
    // Minimum bytes per coded line at the bit rate.
    int MinimumBytesPerLine() const { return MinimumLineMs() * bitRate / 8000; }
};

// The parameter-string code of a bit rate: 2400 -> 0 ... 14400 -> 5, others 3.
char BitRateCode(int bitsPerSecond);

// A station ID from a report: leading blanks and a double quote dropped, then trailing
// characters that are neither letters nor digits, at most 20 characters.
std::string ParseStationId(const std::string& afterPrefix);

} // namespace qpfax
