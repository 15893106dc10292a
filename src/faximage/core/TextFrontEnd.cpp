#include "faximage/core/TextFrontEnd.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "faximage/core/FaxConverterEngine.h"
#include "faximage/core/FaxImageResult.h"

TextFrontEnd::~TextFrontEnd() {
    if (file_) {
        std::fclose(file_);
    }
}

int TextFrontEnd::Open(FaxConverterEngine& engine, const std::string& fileName) {
    if (fileName.empty()) {
        return faxresult::FileNotFound;
    }
    if (font_.Rows() == 0) {
        return faxresult::FontNotFound;
    }
    file_ = std::fopen(fileName.c_str(), "rb");
    if (!file_) {
        return faxresult::FromErrno(errno);
    }
    std::setvbuf(file_, buffer_, _IOFBF, sizeof buffer_);
    std::fseek(file_, 0, SEEK_END);
    const long size = std::ftell(file_);
    std::fseek(file_, 0, SEEK_SET);
    engine.SetBytesTotal(size > 0 ? static_cast<std::uint32_t>(size) : 0);
    linesOnPage_ = 0;
    glyphRow_ = 0;
    rendering_ = false;
    pendingValid_ = false;
    pending_.clear();
    return 0;
}

void TextFrontEnd::Close(FaxConverterEngine&) {
    if (file_) {
        std::fclose(file_);
        file_ = nullptr;
    }
}

bool TextFrontEnd::FileHasMore() {
    const int next = std::fgetc(file_);
    if (next == EOF) {
        return false;
    }
    std::ungetc(next, file_);
    return true;
}

// Reads one line (without its line end); characters beyond the 144th are skipped.
bool TextFrontEnd::ReadTextLine(std::string& line, std::size_t& consumed) {
    line.clear();
    consumed = 0;
    int c = std::fgetc(file_);
    if (c == EOF) {
        return false;
    }
    while (c != EOF && c != '\n') {
        ++consumed;
        if (line.size() < MaxLineLength) {
            line.push_back(static_cast<char>(c));
        }
        c = std::fgetc(file_);
    }
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    return true;
}

std::string TextFrontEnd::ExpandTabs(const std::string& line) const {
    if (tabStop_ == 0) {
        return line; // a zero tab stop leaves tabs as they are
    }
    std::string expanded;
    for (char c : line) {
        if (c == '\t') {
            do {
                expanded.push_back(' ');
            } while (expanded.size() % tabStop_ != 0);
        } else {
            expanded.push_back(c);
        }
    }
    return expanded;
}

int TextFrontEnd::ReadLine(FaxConverterEngine& engine, std::uint8_t* raster, int& length,
                           bool& morePages, bool& endOfPage) {
    length = 0;
    endOfPage = false;
    if (rendering_) {
        return RenderRow(raster, length);
    }
    bool fromPending = false;
    std::string line;
    if (pendingValid_) {
        line = pending_;
        pendingValid_ = false;
        fromPending = true;
    } else {
        std::size_t consumed = 0;
        if (!ReadTextLine(line, consumed)) {
            morePages = false;
            if (linesOnPage_ == 0) {
                linesOnPage_ = 1; // an empty page still gets one blank line
                return 0;
            }
            endOfPage = true;
            return 0;
        }
        const std::uint32_t total = engine.BytesTotal();
        engine.SetBytesRead(
            std::min<std::uint64_t>(std::uint64_t{engine.BytesRead()} + consumed + 2, total));
    }
    const std::size_t formFeed = line.find('\f');
    if (formFeed != std::string::npos) {
        pending_ = line.substr(formFeed + 1);
        pendingValid_ = true;
        line.resize(formFeed);
    }
    line = ExpandTabs(line);
    const int W = engine.PageWidth();
    const int cell = font_.CellWidth();
    const int maxChars = std::max(0, W / cell - engine.LeftMargin() / cell);
    if (line.size() > static_cast<std::size_t>(maxChars)) {
        line.resize(static_cast<std::size_t>(maxChars));
    }
    current_ = line;
    ++linesOnPage_;
    if (fromPending || (linesPerPage_ != 0 && linesOnPage_ > linesPerPage_)) {
        endOfPage = true;
        morePages = FileHasMore() || pendingValid_ || !line.empty();
        const bool dropped = fromPending && line.empty();
        linesOnPage_ = dropped ? 0 : 1;
        rendering_ = !dropped;
        glyphRow_ = 0;
        return 0;
    }
    rendering_ = true;
    glyphRow_ = 0;
    return RenderRow(raster, length);
}

int TextFrontEnd::RenderRow(std::uint8_t* raster, int& length) {
    const int cell = font_.CellWidth();
    const int bytesPerRow = font_.BytesPerRow();
    int x = 0;
    for (unsigned char c : current_) {
        const std::uint8_t* glyph = font_.GlyphRow(c, glyphRow_);
        std::uint32_t bits = 0;
        for (int i = 0; i < bytesPerRow; ++i) {
            bits = (bits << 8) | glyph[i];
        }
        bits >>= bytesPerRow * 8 - cell; // the cell's pixels, leftmost in the top bit
        for (int i = cell - 1; i >= 0; --i, ++x) {
            if ((bits >> i) & 1) {
                raster[x >> 3] |= static_cast<std::uint8_t>(0x80 >> (x & 7));
            }
        }
    }
    length = (x + 7) / 8;
    if (++glyphRow_ >= font_.Rows()) {
        rendering_ = false;
    }
    return 0;
}
