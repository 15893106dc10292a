#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <tiffio.h>

// A TIFF file that libtiff writes into memory and that is saved in one piece: libtiff
// writes each tag, strip and directory with its own seek and write, which for a fax of
// thousands of pages costs more than the coding itself.
class TiffMemoryFile {
public:
    TiffMemoryFile() = default;
    TiffMemoryFile(const TiffMemoryFile&) = delete;
    TiffMemoryFile& operator=(const TiffMemoryFile&) = delete;

    // A TIFF handle for writing into this object (null when libtiff refuses); close it
    // with TIFFClose before saving.
    TIFF* OpenForWriting(const std::string& name);
    const std::vector<std::uint8_t>& Bytes() const { return bytes_; }
    // Writes the bytes to `file`; false when writing fails.
    bool SaveTo(std::FILE* file) const;

private:
    static tmsize_t Read(thandle_t self, void* buffer, tmsize_t size);
    static tmsize_t Write(thandle_t self, void* buffer, tmsize_t size);
    static toff_t Seek(thandle_t self, toff_t offset, int whence);
    static int Close(thandle_t self);
    static toff_t Size(thandle_t self);
    static int Map(thandle_t self, void** base, toff_t* size);
    static void Unmap(thandle_t self, void* base, toff_t size);

    std::vector<std::uint8_t> bytes_;
    std::uint64_t position_ = 0;
};
