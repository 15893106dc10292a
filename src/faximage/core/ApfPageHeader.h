#pragma once

#include <array>
#include <cstdint>

// The 16-byte header in front of every page of an APF file.
struct ApfPageHeader {
    static constexpr int Size = 16;
    static constexpr std::uint16_t FlagFine = 1;        // high resolution
    static constexpr std::uint16_t FlagWide = 2;        // 2048 pixels per line, else 1728
    static constexpr std::uint16_t FlagLineRecords = 4; // data framed as line records

    std::uint32_t imageLength = 0; // data bytes after the header
    std::uint16_t flags = 0;
    std::uint64_t position = 0; // file offset of this header (set by readers)

    bool IsFine() const { return flags & FlagFine; }
    bool IsWide() const { return flags & FlagWide; }
    bool HasLineRecords() const { return flags & FlagLineRecords; }
    int LineWidth() const { return IsWide() ? 2048 : 1728; }
    std::uint64_t DataPosition() const { return position + Size; }

    static ApfPageHeader Parse(const std::uint8_t* bytes, std::uint64_t position);
    std::array<std::uint8_t, Size> Serialize() const;
};
