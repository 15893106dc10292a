#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// A read-only binary file for the image front ends and the APF reader. ReadExact and
// ReadByte fail with -100 ("Attempt to read beyond end of file") when the file ends
// early; other failures give the negated file-system error.
class BinaryInput {
public:
    // What tells one state of a file on disk from another: the file itself, its size and
    // its last modification.
    struct Identity {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::uint64_t size = 0;
        std::int64_t modifiedSeconds = 0;
        std::int64_t modifiedNanoseconds = 0;
        bool operator==(const Identity&) const = default;
    };

    BinaryInput() = default;
    ~BinaryInput() { Close(); }
    BinaryInput(const BinaryInput&) = delete;
    BinaryInput& operator=(const BinaryInput&) = delete;

    // -2 for an empty name, else 0 or the negated file-system error.
    int Open(const std::string& fileName);
    void Close();
    bool IsOpen() const { return file_ != nullptr; }
    std::uint64_t Size() const { return identity_.size; }
    // The open file as it was when it was opened.
    const Identity& OpenedIdentity() const { return identity_; }
    // The file a name stands for now; false when it cannot be examined.
    static bool IdentityOf(const std::string& fileName, Identity& result);

    std::uint64_t Position() const;
    // -100 for a position beyond the end of the file.
    int Seek(std::uint64_t position);
    int ReadExact(void* buffer, std::size_t size);
    // Up to `size` bytes; `got` says how many arrived.
    int ReadSome(void* buffer, std::size_t size, std::size_t& got);
    // One byte; -100 at end of file.
    int ReadByte(std::uint8_t& value);

private:
    std::FILE* file_ = nullptr;
    Identity identity_;
};
