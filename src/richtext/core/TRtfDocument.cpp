#include "richtext/core/TRtfDocument.h"

std::u32string TRtfDocument::PlainText() const {
    std::u32string text;
    for (size_t i = 0; i < paragraphs.size(); ++i) {
        if (i > 0) {
            text += U'\n';
        }
        for (const TRtfRun& run : paragraphs[i].runs) {
            text += run.text;
        }
    }
    return text;
}

bool TRtfParagraph::IsEmpty() const {
    for (const TRtfRun& run : runs) {
        if (!run.text.empty() || run.picture || run.insertPointId > 0) {
            return false;
        }
    }
    return true;
}

namespace {

// The shown length of a picture side in twips.
int ShownLength(const TRtfPicture& picture, int goal, int natural, int scale) {
    int twips = goal;
    if (twips <= 0) {
        const bool metafile = picture.format == TRtfPictureFormat::pfWmf ||
                              picture.format == TRtfPictureFormat::pfEmf;
        // Metafiles give their size in 0.01 mm, bitmaps in pixels of a 96 dpi screen.
        twips = metafile ? static_cast<int>(natural * 1440LL / 2540) : natural * 15;
    }
    return static_cast<int>(static_cast<long long>(twips) * (scale > 0 ? scale : 100) / 100);
}

} // namespace

int TRtfPicture::ShownWidth() const {
    return ShownLength(*this, goalWidth, width, scaleX);
}

int TRtfPicture::ShownHeight() const {
    return ShownLength(*this, goalHeight, height, scaleY);
}
