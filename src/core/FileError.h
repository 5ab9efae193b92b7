// Why a file call failed, in terms a user can act on, with the system's own error code.
#pragma once

#include <string>

namespace kiv {

enum class FileFailure {
    None,
    AccessDenied,  // the folder or the file may not be written (a normal user in Program Files)
    ReadOnly,      // the file is marked read-only
    InUse,         // another program holds the file without sharing it
    DiskFull,
    NotFound,  // the file or its folder is not there
    BadValue,  // a value that the file cannot hold (a line break in a name)
    Other,
};

struct FileError {
    FileFailure Kind = FileFailure::None;
    unsigned long SystemCode = 0;  // GetLastError() on Windows, errno elsewhere; 0 for none

    // True for a failure.
    explicit operator bool() const { return Kind != FileFailure::None; }
    bool operator==(const FileError&) const = default;
};

// The reason in Japanese (Shift-JIS), with the system's code when there is one: "ディスクの空き
// 容量が足りません (エラー 112)".
std::string FileErrorText(const FileError& error);

}  // namespace kiv
