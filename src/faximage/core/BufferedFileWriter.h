#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The output file of a conversion, written through a 4096-byte buffer. Any write or seek
// error closes and deletes the file and returns the negated file-system error code; so
// does Abandon. Close flushes; when that fails the file is deleted as well.
class BufferedFileWriter {
public:
    static constexpr std::size_t BufferSize = 4096;

    BufferedFileWriter() = default;
    ~BufferedFileWriter();
    BufferedFileWriter(const BufferedFileWriter&) = delete;
    BufferedFileWriter& operator=(const BufferedFileWriter&) = delete;

    int Create(const std::string& fileName); // creates or truncates
    int Write(const void* data, std::size_t size);
    int Seek(std::uint64_t position); // flushes first
    std::uint64_t Position() const { return filePosition_ + buffered_; }
    int Close();
    void Abandon(); // closes and deletes the file
    bool IsOpen() const { return fd_ >= 0; }

private:
    int Flush();
    int WriteDirect(const std::uint8_t* data, std::size_t size);
    int Fail(int error);

    int fd_ = -1;
    std::string fileName_;
    std::uint64_t filePosition_ = 0;
    std::size_t buffered_ = 0;
    std::uint8_t buffer_[BufferSize];
};
