#include "faximage/cli/TiffMemoryFile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

TiffMemoryFile& Self(thandle_t handle) {
    return *static_cast<TiffMemoryFile*>(handle);
}

} // namespace

TIFF* TiffMemoryFile::OpenForWriting(const std::string& name) {
    bytes_.clear();
    position_ = 0;
    return TIFFClientOpen(name.c_str(), "w", this, Read, Write, Seek, Close, Size, Map, Unmap);
}

bool TiffMemoryFile::SaveTo(std::FILE* file) const {
    return std::fwrite(bytes_.data(), 1, bytes_.size(), file) == bytes_.size();
}

tmsize_t TiffMemoryFile::Read(thandle_t handle, void* buffer, tmsize_t size) {
    TiffMemoryFile& self = Self(handle);
    if (size <= 0 || self.position_ >= self.bytes_.size()) {
        return 0;
    }
    const std::size_t count =
        std::min<std::size_t>(static_cast<std::size_t>(size), self.bytes_.size() - self.position_);
    std::memcpy(buffer, self.bytes_.data() + self.position_, count);
    self.position_ += count;
    return static_cast<tmsize_t>(count);
}

tmsize_t TiffMemoryFile::Write(thandle_t handle, void* buffer, tmsize_t size) {
    TiffMemoryFile& self = Self(handle);
    if (size <= 0) {
        return 0;
    }
    const auto count = static_cast<std::size_t>(size);
    try {
        if (self.position_ + count > self.bytes_.size()) {
            self.bytes_.resize(self.position_ + count);
        }
    } catch (const std::bad_alloc&) {
        return -1;
    }
    std::memcpy(self.bytes_.data() + self.position_, buffer, count);
    self.position_ += count;
    return size;
}

toff_t TiffMemoryFile::Seek(thandle_t handle, toff_t offset, int whence) {
    TiffMemoryFile& self = Self(handle);
    const std::uint64_t base = whence == SEEK_CUR   ? self.position_
                               : whence == SEEK_END ? self.bytes_.size()
                                                    : 0;
    self.position_ = base + offset;
    return self.position_;
}

int TiffMemoryFile::Close(thandle_t) {
    return 0;
}

toff_t TiffMemoryFile::Size(thandle_t handle) {
    return Self(handle).bytes_.size();
}

int TiffMemoryFile::Map(thandle_t, void**, toff_t*) {
    return 0; // no mapping: libtiff reads through Read
}

void TiffMemoryFile::Unmap(thandle_t, void*, toff_t) {}
