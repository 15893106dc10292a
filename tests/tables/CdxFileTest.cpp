// The compound index file on its own: what the writer lays out and how the reader
// refuses damaged files.

#include <functional>
#include <gtest/gtest.h>
#include <random>

#include "TestPaths.h"
#include "tables/ByteOrder.h"
#include "tables/CdxReader.h"
#include "tables/CdxWriter.h"
#include "tables/TableFault.h"

using namespace qp::tables;

namespace {

CdxWriter::Tag MakeTag(const std::string& name, const KeyList& keys, char pad = ' ') {
    CdxWriter::Tag tag;
    tag.header.name = name;
    tag.header.keyLength = keys.KeyLength();
    tag.header.keyExpr = "NAME";
    tag.header.forExpr = ".not. deleted()";
    tag.keys = &keys;
    tag.pad = pad;
    return tag;
}

// Many keys sharing prefixes, with trailing blanks and duplicates.
KeyList ManyKeys(int count) {
    KeyList keys(12);
    std::mt19937 random(7);
    for (int i = 0; i < count; ++i) {
        std::string key = "K" + std::to_string(random() % 5000);
        key.resize(12, ' ');
        keys.Insert(key, uint32_t(i + 1));
    }
    return keys;
}

const unsigned char* At(const std::string& file, uint32_t offset) {
    return reinterpret_cast<const unsigned char*>(file.data()) + offset;
}

TEST(CdxFileTest, WrittenTreesReadBackInKeyOrder) {
    // Enough keys for several levels, the directory holding three tags.
    KeyList big = ManyKeys(40000), small(5), empty(8);
    small.Insert("Audio", 3);
    small.Insert("Audio", 1);
    small.Insert("Zebra", 2);
    std::string file = CdxWriter::Build(
        {MakeTag("NAME", big), MakeTag("DESCRIPT", small), MakeTag("DATE", empty, '\0')});
    CdxReader reader("test.cdx", file);
    ASSERT_EQ(reader.Tags().size(), 3u);
    EXPECT_EQ(reader.Tags()[0].name, "NAME"); // creation order, not name order
    EXPECT_EQ(reader.Tags()[2].name, "DATE");
    EXPECT_EQ(reader.Tags()[0].forExpr, ".not. deleted()");

    KeyList back(12);
    reader.ReadKeys(reader.Tags()[0], ' ', back);
    ASSERT_EQ(back.Size(), big.Size());
    for (long i = 0; i < big.Size(); i += 97) {
        EXPECT_EQ(back.KeyAt(i), big.KeyAt(i));
        EXPECT_EQ(back.RecnoAt(i), big.RecnoAt(i));
    }
    uint32_t root = bytes::GetLE32(At(file, reader.Tags()[0].headerOffset));
    EXPECT_EQ(bytes::GetLE16(At(file, root)), 1u); // an interior root
    KeyList none(8);
    reader.ReadKeys(reader.Tags()[2], '\0', none);
    EXPECT_EQ(none.Size(), 0);

    // Tag header fields other readers rely on.
    const unsigned char* h = At(file, reader.Tags()[1].headerOffset);
    EXPECT_EQ(h[14], 0x68); // compact, compound, with FOR
    EXPECT_EQ(bytes::GetLE16(h + 504), 5u);
    EXPECT_EQ(bytes::GetLE16(h + 506), 16u);
    EXPECT_EQ(bytes::GetLE16(h + 510), 5u);
    EXPECT_EQ(At(file, 0)[14], 0xE0);
}

TEST(CdxFileTest, LeafCompressionFollowsTheDuplicateAndTrailingRules) {
    // Two identical keys "Audio     ": the second is stored with 5 duplicate and 5
    // trailing bytes, not 10 duplicates; the free space counts every entry.
    KeyList keys(10);
    keys.Insert("Audio     ", 1);
    keys.Insert("Audio     ", 2);
    keys.Insert("Audiobook ", 3);
    std::string file = CdxWriter::Build({MakeTag("T", keys)});
    CdxReader reader("t.cdx", file);
    const unsigned char* leaf = At(file, bytes::GetLE32(At(file, reader.Tags()[0].headerOffset)));
    ASSERT_EQ(bytes::GetLE16(leaf), 3u);
    int entryBytes = leaf[23], recBits = leaf[20], dupBits = leaf[21];
    auto entry = [&](int i) {
        uint64_t e = 0;
        for (int b = 0; b < entryBytes; ++b)
            e |= uint64_t(leaf[24 + i * entryBytes + b]) << (8 * b);
        return e;
    };
    auto dup = [&](int i) { return int((entry(i) >> recBits) & leaf[18]); };
    auto trail = [&](int i) { return int((entry(i) >> (recBits + dupBits)) & leaf[19]); };
    EXPECT_EQ(dup(0), 0);
    EXPECT_EQ(trail(0), 5);
    EXPECT_EQ(dup(1), 5);
    EXPECT_EQ(trail(1), 5);
    EXPECT_EQ(dup(2), 5);
    EXPECT_EQ(trail(2), 1);
    int fragments = 5 + 0 + 4;
    EXPECT_EQ(int(bytes::GetLE16(leaf + 12)), 488 - 3 * entryBytes - fragments);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(leaf) + 512 - 5, 5), "Audio");
}

TEST(CdxFileTest, DamagedFilesAreRefusedWithTheFileName) {
    KeyList keys = ManyKeys(3000);
    const std::string good = CdxWriter::Build({MakeTag("NAME", keys)});
    const uint32_t tagHeader = CdxReader("x", good).Tags()[0].headerOffset;
    const uint32_t root = bytes::GetLE32(At(good, tagHeader));
    uint32_t firstChild = root; // the first leaf: follow the first child down
    while ((bytes::GetLE16(At(good, firstChild)) & 2) == 0)
        firstChild = bytes::GetBE32(At(good, firstChild) + 12 + 12 + 4);

    struct Damage {
        const char* what;
        std::function<void(std::string&)> apply;
    };
    auto put32 = [](std::string& f, uint32_t at, uint32_t v) {
        bytes::PutLE32(reinterpret_cast<unsigned char*>(f.data()) + at, v);
    };
    auto putBE32 = [](std::string& f, uint32_t at, uint32_t v) {
        bytes::PutBE32(reinterpret_cast<unsigned char*>(f.data()) + at, v);
    };
    std::vector<Damage> damages = {
        {"truncated", [](std::string& f) { f.resize(700); }},
        {"root past the end", [&](std::string& f) { put32(f, tagHeader, 0x7FFFFE00); }},
        {"root not on a page", [&](std::string& f) { put32(f, tagHeader, root + 3); }},
        {"child pointing at its parent",
         [&](std::string& f) { putBE32(f, root + 12 + 12 + 4, root); }},
        {"directory root past the end", [&](std::string& f) { put32(f, 0, 0x10000000); }},
        {"huge key count", [&](std::string& f) { f[firstChild + 2] = char(0xFF); }},
        {"key length zero",
         [&](std::string& f) {
             f[tagHeader + 12] = 0;
             f[tagHeader + 13] = 0;
         }},
        {"expression without end",
         [&](std::string& f) {
             std::fill(f.begin() + tagHeader + 512, f.begin() + tagHeader + 1024, 'x');
         }},
        {"keys out of order",
         [&](std::string& f) {
             f[firstChild + 511] = 'A';
             f[firstChild + 510] = 'A';
         }},
        {"impossible bit widths", [&](std::string& f) { f[firstChild + 23] = 0; }},
    };
    for (const auto& damage : damages) {
        std::string file = good;
        damage.apply(file);
        try {
            CdxReader reader("BROKEN.CDX", file);
            for (const auto& tag : reader.Tags()) {
                KeyList back(tag.keyLength > 0 ? tag.keyLength : 1);
                reader.ReadKeys(tag, ' ', back);
            }
            ADD_FAILURE() << damage.what << ": accepted";
        } catch (const TableFault& fault) {
            EXPECT_EQ(fault.Code(), tbeCorrupt) << damage.what;
            EXPECT_NE(std::string(fault.what()).find("BROKEN.CDX"), std::string::npos)
                << damage.what;
        }
    }
}

} // namespace
