#pragma once

#include <cstddef>
#include <cstdint>

namespace qp::tables {

// Reads and writes a whole block at a file offset, retrying short transfers and
// interrupted calls. Shared by the table and memo files.
class PositionalIo {
public:
    enum Result { ioOk, ioEndOfFile, ioError }; // ioError leaves errno set

    static Result ReadAll(int fd, int64_t offset, void* data, size_t length);
    static Result WriteAll(int fd, int64_t offset, const void* data, size_t length);
};

} // namespace qp::tables
