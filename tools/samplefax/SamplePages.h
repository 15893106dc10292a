#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One page of the sample fax: 1728 pixels wide at normal resolution (204 x 98 dpi),
// 8 pixels per byte, most significant bit leftmost, 1 = black.
struct SamplePage {
    static constexpr int Width = 1728;
    static constexpr int BytesPerRow = Width / 8;
    int rows = 0;
    std::vector<std::uint8_t> bits;

    explicit SamplePage(int rowCount);
    void Set(int x, int y);
    bool At(int x, int y) const;
    void FillRect(int x, int y, int width, int height);
    // An ellipse that looks round on paper (rows are twice as tall as columns are wide).
    void FillCircle(int centreX, int centreY, int radius, bool ring = false);
    void Line(int x0, int y0, int x1, int y1, int thickness);
    // Text in the fax font, each pixel drawn as `scale` x `scale`; returns the text's width.
    int Text(int x, int y, const std::string& text, int scale = 1);
};

// The text page and the picture page.
std::vector<SamplePage> MakeSamplePages();
