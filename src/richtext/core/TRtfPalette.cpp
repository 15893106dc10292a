#include "richtext/core/TRtfPalette.h"

const std::array<TRtfColor, TRtfPalette::kSize>& TRtfPalette::Colors() {
    static const std::array<TRtfColor, kSize> colors = {{
        {0, 0, 0},       // black
        {255, 255, 255}, // white
        {255, 0, 0},     // red (insert points)
        {0, 255, 0},     // lime
        {0, 0, 255},     // blue
        {255, 255, 0},   // yellow
        {255, 0, 255},   // fuchsia
        {0, 255, 255},   // aqua
        {128, 0, 0},     // maroon
        {0, 128, 0},     // green
        {0, 0, 128},     // navy
        {128, 128, 0},   // olive
        {128, 0, 128},   // purple
        {0, 128, 128},   // teal
        {128, 128, 128}, // gray
    }};
    return colors;
}

int TRtfPalette::NearestIndex(const TRtfColor& color) {
    int best = 0;
    long bestDistance = -1;
    for (int i = 0; i < kSize; ++i) {
        const TRtfColor& entry = Colors()[i];
        const long dr = entry.red - color.red;
        const long dg = entry.green - color.green;
        const long db = entry.blue - color.blue;
        const long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = i;
            bestDistance = distance;
        }
    }
    return best;
}
