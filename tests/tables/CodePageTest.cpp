#include "tables/CodePage.h"

#include <gtest/gtest.h>

namespace {

using qp::tables::CodePage;

// Field values cross between the program (UTF-8) and the files (Windows-1252); other
// xBase tools read the bytes, so each character must land on its own byte.
TEST(TableCodePage, StoresCharactersAsTheirWindows1252Bytes) {
    EXPECT_EQ(CodePage::FromUtf8("M\xC3\xBCller \xE2\x82\xAC"), "M\xFCller \x80");
    EXPECT_EQ(CodePage::ToUtf8("M\xFCller \x80"), "M\xC3\xBCller \xE2\x82\xAC");
    // A character the code page lacks, and a C1 control, are stored as '?'.
    EXPECT_EQ(CodePage::FromUtf8("\xE4\xB8\xAD"), "?");
    EXPECT_EQ(CodePage::FromUtf8("\xC2\x81"), "?");
    // A stray byte that is not UTF-8 is taken as a Windows-1252 byte already.
    EXPECT_EQ(CodePage::FromUtf8("caf\xE9"), "caf\xE9");
    // Bytes the code page leaves undefined read as the replacement character.
    EXPECT_EQ(CodePage::ToUtf8("\x81"), "\xEF\xBF\xBD");
}

} // namespace
