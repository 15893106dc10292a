#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

// A read-only binary file for the image front ends. Reads that come up short fail with
// -100 ("Attempt to read beyond end of file"); other failures give the negated
// file-system error.
class BinaryInput {
public:
    BinaryInput() = default;
    ~BinaryInput() { Close(); }
    BinaryInput(const BinaryInput&) = delete;
    BinaryInput& operator=(const BinaryInput&) = delete;

    int Open(const std::string& fileName);
    void Close();
    std::uint64_t Size() const { return size_; }
    std::uint64_t Position() const;
    int Seek(std::uint64_t position);
    int ReadExact(void* buffer, std::size_t size);
    // Up to `size` bytes; `got` says how many arrived.
    int ReadSome(void* buffer, std::size_t size, std::size_t& got);
    // One byte; -100 at end of file.
    int ReadByte(std::uint8_t& value);

private:
    std::FILE* file_ = nullptr;
    std::uint64_t size_ = 0;
};
