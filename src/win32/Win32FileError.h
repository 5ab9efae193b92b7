// A Windows error code of a file call as a FileError a user can act on.
#pragma once

#include <windows.h>

#include <string>

#include "FileError.h"

namespace kiv {

// code is GetLastError() after a call on path; a refused access to a read-only file reads as
// ReadOnly.
FileError Win32FileError(DWORD code, const std::string& path);

}  // namespace kiv
