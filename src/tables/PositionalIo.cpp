#include "tables/PositionalIo.h"

#include <cerrno>
#include <unistd.h>

namespace qp::tables {

PositionalIo::Result PositionalIo::ReadAll(int fd, int64_t offset, void* data, size_t length) {
    auto* out = static_cast<unsigned char*>(data);
    while (length > 0) {
        ssize_t n = ::pread(fd, out, length, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return ioError;
        if (n == 0)
            return ioEndOfFile;
        out += n;
        offset += n;
        length -= size_t(n);
    }
    return ioOk;
}

PositionalIo::Result PositionalIo::WriteAll(int fd, int64_t offset, const void* data,
                                            size_t length) {
    const auto* in = static_cast<const unsigned char*>(data);
    while (length > 0) {
        ssize_t n = ::pwrite(fd, in, length, offset);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return ioError;
        in += n;
        offset += n;
        length -= size_t(n);
    }
    return ioOk;
}

} // namespace qp::tables
