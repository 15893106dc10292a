#pragma once

#include <cstdio>
#include <string>

#include "faximage/core/FaxFont.h"
#include "faximage/core/FaxFrontEnd.h"

// Plain text rendered with the fax font: one raster row per call, lines of at most 144
// characters, tabs expanded, form feeds and LinesPerPage ending pages.
class TextFrontEnd final : public FaxFrontEnd {
public:
    TextFrontEnd() = default;
    ~TextFrontEnd() override;

    void SetTabStop(unsigned columns) { tabStop_ = columns; }
    void SetLinesPerPage(int lines) { linesPerPage_ = lines; }
    // The font to render with (loaded by the caller for the engine's resolution).
    void SetFont(const FaxFont& font) { font_ = font; }

    std::string DefaultExtension() const override { return "TXT"; }
    int Open(FaxConverterEngine& engine, const std::string& fileName) override;
    int ReadLine(FaxConverterEngine& engine, std::uint8_t* raster, int& length, bool& morePages,
                 bool& endOfPage) override;
    void Close(FaxConverterEngine& engine) override;

private:
    static constexpr std::size_t MaxLineLength = 144;

    bool ReadTextLine(std::string& line, std::size_t& consumed);
    bool FileHasMore();
    std::string ExpandTabs(const std::string& line) const;
    int RenderRow(std::uint8_t* raster, int& length);

    std::FILE* file_ = nullptr;
    char buffer_[8192];
    FaxFont font_;
    unsigned tabStop_ = 4;
    int linesPerPage_ = 60;
    int linesOnPage_ = 0;
    int glyphRow_ = 0;
    bool rendering_ = false;
    bool pendingValid_ = false;
    std::string pending_;
    std::string current_;
};
