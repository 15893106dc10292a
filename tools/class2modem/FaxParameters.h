#pragma once

#include <array>
#include <optional>
#include <string>

// The T.30 session parameters a Class 2 / 2.0 modem exchanges with its computer as a
// comma list "vr,br,wd,ln,df,ec,bf,st" (Class 2.0 adds "jp"): resolution, bit rate code,
// page width, page length, data format, error correction, file transfer, scan time.
// Class 2 writes the numbers in decimal, Class 2.0 in hexadecimal; all values used here
// are below 10, so both read the same, but Class 2.0 takes hexadecimal digits.
struct FaxParameters {
    static constexpr int Count = 9;
    enum Index { Vr, Br, Wd, Ln, Df, Ec, Bf, St, Jp };

    std::array<int, Count> values{1, 5, 0, 2, 0, 0, 0, 0, 0};

    int vr() const { return values[Vr]; }
    int br() const { return values[Br]; }
    int wd() const { return values[Wd]; }
    int st() const { return values[St]; }

    // Applies a list such as "1,5,0,2,0,0,0,0" or "1,,0" (empty fields keep their value).
    // Fails (false, nothing changed) on a value out of range, too many fields or a field
    // that is not a number in the class's base.
    // Class 2 lists have eight fields, Class 2.0 lists nine.
    bool Apply(const std::string& list, bool class20);
    // "vr,br,wd,ln,df,ec,bf,st" for Class 2, with ",jp" for Class 2.0.
    std::string Format(bool class20) const;
    // The ranges a "=?" query answers with.
    static std::string Ranges(bool class20);

    // What a sender uses with a receiver: the lower of each capability.
    static FaxParameters Negotiate(const FaxParameters& wanted, const FaxParameters& offered);

    // 2400 .. 14400 for the codes 0 .. 5; 9600 for anything else.
    static int BitsPerSecond(int rateCode);
    // The code of a bit rate, or nothing when it is not one of the six.
    static std::optional<int> RateCode(int bitsPerSecond);
    // Pixels per line for the width code (0: 1728, 1: 2048, 2: 2432).
    static int PixelsPerLine(int widthCode);
    // Least time per coded line for the scan-time code at the resolution, in milliseconds.
    static int MinimumScanMilliseconds(int scanCode, bool fine);
};
