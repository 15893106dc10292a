#pragma once

#include "richtext/core/TRtfDocument.h"

#include <array>

// The fixed colour table of the stored form: 15 entries, black first. Colours of runs
// are written as the index of the nearest entry.
class TRtfPalette final {
public:
    static constexpr int kSize = 15;
    static constexpr int kBlack = 0;
    static constexpr int kRed = 2;

    static const std::array<TRtfColor, kSize>& Colors();
    // Index of the entry closest to `color` (exact entries map to themselves).
    static int NearestIndex(const TRtfColor& color);
};
