#pragma once

#include <array>
#include <cstdint>
#include <ctime>
#include <string>

// The 64-byte header at the start of every APF fax file (little-endian fields).
struct ApfFileHeader {
    static constexpr int Size = 64;
    static constexpr int StationIdCapacity = 20;
    static constexpr std::uint32_t StandardFirstPageOffset = 64;

    std::uint32_t creationTime = 0; // MS-DOS packed: time in the low, date in the high 16 bits
    std::string stationId;          // the meaningful characters only
    std::uint16_t pageCount = 0;
    std::uint32_t firstPageOffset = StandardFirstPageOffset;

    // True when the first six bytes are "APF10" followed by 0x1A.
    static bool HasSignature(const std::uint8_t* bytes);
    // Reads the fields of a header whose signature has been checked.
    static ApfFileHeader Parse(const std::uint8_t* bytes);
    // The 64 bytes: zeros, signature, then the fields (station ID padded with spaces).
    std::array<std::uint8_t, Size> Serialize() const;

    // Packs a local date and time; 0 when the year lies outside 1980..2099.
    static std::uint32_t PackDosTime(const std::tm& local);
    static std::uint32_t PackDosTimeNow();
    // Unpacks into a broken-down time (tm_year from 1900, tm_mon from 0).
    static std::tm UnpackDosTime(std::uint32_t packed);
};
