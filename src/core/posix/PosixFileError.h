// An errno of a file call as a FileError a user can act on.
#pragma once

#include <cerrno>

#include "FileError.h"

namespace kiv {

inline FileError PosixFileError(int code)
{
    FileFailure kind = FileFailure::Other;
    switch (code) {
    case EACCES:
    case EPERM:
    case EROFS:  // a write-protected disk: writing is not permitted, whatever the file's flag
        kind = FileFailure::AccessDenied;
        break;
    case ENOSPC:
    case EDQUOT: kind = FileFailure::DiskFull; break;
    case ENOENT:
    case ENOTDIR: kind = FileFailure::NotFound; break;
    case EBUSY:
    case ETXTBSY: kind = FileFailure::InUse; break;
    default: break;
    }
    return {kind, static_cast<unsigned long>(code)};
}

}  // namespace kiv
