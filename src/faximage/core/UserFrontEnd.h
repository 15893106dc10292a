#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "faximage/core/FaxFrontEnd.h"

// Raster lines supplied by the caller's handlers. Without a read handler every read
// ends the page with no more pages.
class UserFrontEnd final : public FaxFrontEnd {
public:
    using OpenHandler = std::function<void(const std::string& fileName)>;
    using CloseHandler = std::function<void()>;
    // Fills data (MSB first, 1 = black) and sets length, endOfPage and morePages.
    using ReadHandler =
        std::function<void(std::uint8_t* data, int& length, bool& endOfPage, bool& morePages)>;

    explicit UserFrontEnd(std::string defaultExtension) : extension_(std::move(defaultExtension)) {}

    void SetHandlers(OpenHandler open, ReadHandler read, CloseHandler close) {
        open_ = std::move(open);
        read_ = std::move(read);
        close_ = std::move(close);
    }

    std::string DefaultExtension() const override { return extension_; }
    int Open(FaxConverterEngine&, const std::string& fileName) override {
        if (open_) {
            open_(fileName);
        }
        return 0;
    }
    int ReadLine(FaxConverterEngine&, std::uint8_t* raster, int& length, bool& morePages,
                 bool& endOfPage) override {
        if (!read_) {
            endOfPage = true;
            morePages = false;
            return 0;
        }
        read_(raster, length, endOfPage, morePages);
        return 0;
    }
    void Close(FaxConverterEngine&) override {
        if (close_) {
            close_();
        }
    }

private:
    std::string extension_;
    OpenHandler open_;
    ReadHandler read_;
    CloseHandler close_;
};
