#include "faximage/core/FaxFont.h"

#include "faximage/core/FaxImageResult.h"

extern const unsigned char kFaxFontResource[];
extern const std::size_t kFaxFontResourceSize;

const std::uint8_t* FaxFont::Resource(std::size_t& size) {
    size = kFaxFontResourceSize;
    return kFaxFontResource;
}

int FaxFont::Load(Type type, bool highResolution) {
    std::size_t size = 0;
    const std::uint8_t* resource = Resource(size);
    return Load(type, highResolution, resource, size);
}

int FaxFont::Load(Type type, bool highResolution, const std::uint8_t* resource, std::size_t size) {
    if (!resource || size != ResourceSize) {
        return faxresult::FontNotFound;
    }
    const bool small = type == ffSmall;
    const std::size_t offset = small ? 0 : 4096;
    const int storedRows = small ? 8 : 16;
    cellWidth_ = small ? 12 : 20;
    bytesPerRow_ = small ? 2 : 3;
    const int repeat = highResolution ? 2 : 1;
    rows_ = storedRows * repeat;
    glyphs_.clear();
    glyphs_.reserve(256u * static_cast<std::size_t>(rows_ * bytesPerRow_));
    for (int glyph = 0; glyph < 256; ++glyph) {
        const std::uint8_t* stored =
            resource + offset + static_cast<std::size_t>(glyph * storedRows * bytesPerRow_);
        for (int row = 0; row < storedRows; ++row) {
            for (int copy = 0; copy < repeat; ++copy) {
                glyphs_.insert(glyphs_.end(), stored + row * bytesPerRow_,
                               stored + (row + 1) * bytesPerRow_);
            }
        }
    }
    return 0;
}
