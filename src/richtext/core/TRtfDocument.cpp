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
