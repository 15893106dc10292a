#include "common/CodePage1252.h"

#include <gtest/gtest.h>

namespace {

// Names in tables and the text of RTF documents pass through this one table: a wrong
// entry would store or show the wrong character everywhere.
TEST(CodePage1252, MapsTheHighControlRangeBothWays) {
    EXPECT_EQ(DecodeCp1252(0x80), U'\u20AC');
    EXPECT_EQ(DecodeCp1252(0x9F), U'\u0178');
    EXPECT_EQ(DecodeCp1252(0xE9), U'\u00E9');
    EXPECT_EQ(DecodeCp1252(0x81), U'\u0081'); // undefined: stands for itself
    EXPECT_EQ(EncodeCp1252(U'\u20AC'), 0x80);
    EXPECT_EQ(EncodeCp1252(U'\u0178'), 0x9F);
    EXPECT_EQ(EncodeCp1252(U'\u00E9'), 0xE9);
    EXPECT_EQ(EncodeCp1252(U'\u0080'), -1); // € owns byte 0x80
    EXPECT_EQ(EncodeCp1252(U'\u4E2D'), -1);
    for (int byte = 0; byte < 256; ++byte) {
        EXPECT_EQ(EncodeCp1252(DecodeCp1252(static_cast<unsigned char>(byte))), byte) << byte;
    }
}

TEST(CodePage1252, Utf8ConversionsReplaceMalformedInput) {
    EXPECT_EQ(ToUtf8(U"Gr\u00FC\u00DFe \u20AC"), "Gr\xC3\xBC\xC3\x9F"
                                                 "e \xE2\x82\xAC");
    EXPECT_EQ(FromUtf8("Gr\xC3\xBC\xC3\x9F"
                       "e \xE2\x82\xAC"),
              U"Gr\u00FC\u00DFe \u20AC");
    EXPECT_EQ(FromUtf8("a\xC3"), U"a\uFFFD");              // cut sequence
    EXPECT_EQ(FromUtf8("\xE2\x28\xA1"), U"\uFFFD(\uFFFD"); // bad continuation
}

} // namespace
