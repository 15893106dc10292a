#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "faximage/core/FaxFont.h"
#include "faximage/core/FaxLineCoder.h"

namespace qpfax {

// Renders lines of text with the fax font into coded fax lines (header lines, text
// covers): each glyph row becomes one coded line, the text starting LeftMargin pixels in.
class FaxTextRenderer {
public:
    static constexpr int LeftMargin = 50;
    using Emit = std::function<void(const std::uint8_t* data, std::size_t size)>;

    // Loads the font for the resolution; -8052 when the font resource is unusable.
    int Prepare(FaxFont::Type type, bool highResolution, int pageWidth);
    // Codes the glyph rows of one line of text (cut to what fits on the page).
    void RenderLine(const std::string& text, const Emit& emit);
    // The page rows of one line of text (MSB first, 1 = black), as they are coded.
    std::vector<std::vector<std::uint8_t>> RasterRows(const std::string& text) const;
    // The end-of-page sequence that closes a rendered page.
    void EndPage(const Emit& emit);
    int Rows() const { return font_.Rows(); }

private:
    FaxFont font_;
    FaxLineCoder coder_;
    int pageWidth_ = 1728;
};

// Values of the header line tokens.
struct HeaderValues {
    std::string date;
    std::string time;
    std::string stationId;
    int totalPages = 0;
    int page = 0;
    std::string recipient;
    std::string title;
    std::string sender;
};

// Replaces every word starting with "$", up to the next blank, by the value its letter
// names (D date, T time, I station ID, N total pages, P page, R recipient, S title,
// F sender; either case); any other letter gives an empty text.
std::string ExpandHeaderTokens(const std::string& text, const HeaderValues& values);
// Today's date and the time now in the short formats of the system.
std::string ShortDateNow();
std::string ShortTimeNow();

} // namespace qpfax
