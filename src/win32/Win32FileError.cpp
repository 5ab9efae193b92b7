#include "Win32FileError.h"

#include "PathText.h"

namespace kiv {

FileError Win32FileError(DWORD code, const std::string& path)
{
    FileFailure kind = FileFailure::Other;
    switch (code) {
    case ERROR_ACCESS_DENIED: {
        const std::u16string wide = PathToUtf16(path);
        const DWORD attributes = GetFileAttributesW(std::wstring(wide.begin(), wide.end()).c_str());
        kind = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) ? FileFailure::ReadOnly
                                                                                               : FileFailure::AccessDenied;
        break;
    }
    case ERROR_WRITE_PROTECT:  // a write-protected disk: writing is not permitted, whatever the file's flag
        kind = FileFailure::AccessDenied;
        break;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        kind = FileFailure::InUse;
        break;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        kind = FileFailure::DiskFull;
        break;
    case ERROR_PATH_NOT_FOUND:
    case ERROR_FILE_NOT_FOUND:
        kind = FileFailure::NotFound;
        break;
    default:
        break;
    }
    return {kind, code};
}

}  // namespace kiv
