#pragma once

#include <array>
#include <cstdint>
#include <string>

// The layout of a dictionary file (main and user lists alike), little-endian:
// a free text banner ended by byte 26, then one or more sections, each a 17-byte header
// followed by its array of 3-byte trie nodes (node i, counted from 1, at 3 * (i - 1)
// behind the header).
namespace DictionaryFormat {

inline constexpr unsigned char BannerEnd = 26;
inline constexpr int HeaderSize = 17;
inline constexpr int NodeSize = 3;
// A further section is looked for only while at least this many bytes remain.
inline constexpr int MinimumSectionBytes = 20;
// A child index of 0 or of this value means "no child list".
inline constexpr std::uint16_t NoChild = 65000;
// Highest number of nodes a section may use (child indexes stay below NoChild).
inline constexpr int MaxNodes = 63999;
// Longest word a list takes.
inline constexpr int MaxWordLength = 25;
// A new user list: its capacity and the flags of its first node ("A", last sibling, end
// of word), which empty slots repeat.
inline constexpr int UserListCapacity = 500;
inline constexpr std::uint8_t LastSiblingBit = 0x40;
inline constexpr std::uint8_t WordEndBit = 0x80;
inline constexpr std::uint8_t LetterMask = 0x3F;

} // namespace DictionaryFormat

// One trie node: the index of its first child node and its flags (letter code in bits
// 0-5, bit 6 last node of its sibling list, bit 7 a word ends here).
struct DictionaryNode {
    std::uint16_t child = 0;
    std::uint8_t flags = 0;

    int LetterCode() const { return flags & DictionaryFormat::LetterMask; }
    bool IsLastSibling() const { return (flags & DictionaryFormat::LastSiblingBit) != 0; }
    bool EndsWord() const { return (flags & DictionaryFormat::WordEndBit) != 0; }
    bool HasChildList() const { return child != 0 && child != DictionaryFormat::NoChild; }

    std::array<unsigned char, 3> Encode() const {
        return {static_cast<unsigned char>(child & 0xFF), static_cast<unsigned char>(child >> 8),
                flags};
    }
    static DictionaryNode Decode(const unsigned char* bytes) {
        return {static_cast<std::uint16_t>(bytes[0] | (bytes[1] << 8)), bytes[2]};
    }
};

// The 17-byte header in front of each section's node array.
struct SectionHeader {
    std::int32_t nodesInUse = 0;   // highest node index that holds data
    std::int32_t capacity = 0;     // nodes reserved behind the header
    std::int32_t wordCounter = 0;  // 1 in a new user list, +1 per word added
    std::uint8_t kind = 0;         // non-zero: main (read-only) list; 0: user list
    std::int32_t headerOffset = 0; // file offset of the header itself

    bool IsMainList() const { return kind != 0; }

    std::array<unsigned char, DictionaryFormat::HeaderSize> Encode() const;
    static SectionHeader Decode(const unsigned char* bytes);
};
