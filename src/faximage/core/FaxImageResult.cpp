#include "faximage/core/FaxImageResult.h"

#include <cerrno>

namespace faxresult {

int FromErrno(int error) {
    switch (error) {
    case ENOENT:
        return FileNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
        return PathNotFound;
    case EMFILE:
    case ENFILE:
        return TooManyOpenFiles;
    case ENOMEM:
        return OutOfMemory;
    case ENOSPC:
    case EFBIG:
    case EDQUOT:
        return DiskFull;
    default:
        return AccessDenied;
    }
}

} // namespace faxresult
