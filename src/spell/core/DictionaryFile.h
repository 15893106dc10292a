#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// An open dictionary file, shared by the sections that lie in it. Main lists are opened
// read-only, user lists for reading and writing; neither locks the file, so several
// engines (and programs) can use the same lists at once.
//
// A read-only file is read into memory once when opened (main lists are a few hundred
// kilobytes), so the block cache above it fills without a system call per block.
class DictionaryFile final {
public:
    // Null when the file cannot be opened (or created).
    static std::shared_ptr<DictionaryFile> OpenReadOnly(const std::string& path);
    static std::shared_ptr<DictionaryFile> OpenReadWrite(const std::string& path);
    static std::shared_ptr<DictionaryFile> Create(const std::string& path);

    ~DictionaryFile();
    DictionaryFile(const DictionaryFile&) = delete;
    DictionaryFile& operator=(const DictionaryFile&) = delete;

    // Reads up to `size` bytes at `offset`; returns how many were read (fewer at the end
    // of the file, 0 on errors).
    std::size_t ReadAt(std::int64_t offset, void* data, std::size_t size) const;
    // True when all `size` bytes were read.
    bool ReadExactly(std::int64_t offset, void* data, std::size_t size) const;
    // True when all `size` bytes were written.
    bool WriteAt(std::int64_t offset, const void* data, std::size_t size);
    // Current length of the file in bytes (-1 on errors).
    std::int64_t Size() const;

    // The whole file when it was read into memory (read-only files), else null.
    const char* Image() const { return imageLoaded_ ? image_.data() : nullptr; }
    std::int64_t ImageSize() const { return static_cast<std::int64_t>(image_.size()); }

    const std::string& Path() const { return path_; }
    bool IsWritable() const { return writable_; }

private:
    DictionaryFile(int fd, std::string path, bool writable);

    static constexpr std::int64_t MaxImageBytes = 64 * 1024 * 1024;
    void LoadImage();

    int fd_;
    std::string path_;
    bool writable_;
    bool imageLoaded_ = false;
    std::vector<char> image_;
};
