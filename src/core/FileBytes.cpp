#include "FileBytes.h"

namespace kiv {

namespace {

Utf8Path Temporary(const std::string& path) { return Utf8Path(path + ".new"); }
// Not ".bak": a user may keep a backup of their own under that name.
Utf8Path Copy(const std::string& path) { return Utf8Path(path + ".undo"); }

// The in-place road: another program holds the file open without allowing its deletion.
FileError WriteInPlace(const std::string& path, const std::string& bytes, FileSystemPort& files)
{
    const Utf8Path file(path), temporary = Temporary(path), copy = Copy(path);
    FileError error;
    const auto old = files.Read(file, error);
    if (!old)
        return error;
    // The copy is complete before the file is touched: written whole, then named.
    if ((error = files.WriteThrough(temporary, *old)) || (error = files.Replace(temporary, copy))) {
        files.Remove(temporary);
        return error;
    }
    if ((error = files.Overwrite(file, bytes))) {
        // Part of the new bytes may be in the file: it goes back to what it held. The copy
        // stays only while the file may not hold that.
        FileError readError;
        if (files.Read(file, readError) == old || !files.Overwrite(file, *old))
            files.Remove(copy);
        return error;
    }
    files.Remove(copy);
    return {};
}

}  // namespace

std::optional<std::string> ReadFileBytes(const std::string& path, FileError* error, FileSystemPort& files)
{
    FileError why;
    auto bytes = files.Read(Utf8Path(path), why);
    if (error)
        *error = bytes ? FileError{} : why;
    return bytes;
}

FileError WriteFileBytes(const std::string& path, const std::string& bytes, FileSystemPort& files)
{
    const Utf8Path file(path), temporary = Temporary(path);
    // The user's way to protect the file: honoured, although the system might replace it.
    if (files.ReadOnly(file))
        return {FileFailure::ReadOnly, 0};
    if (const FileError error = files.WriteThrough(temporary, bytes)) {
        files.Remove(temporary);
        return error;
    }
    if (!files.Replace(temporary, file))
        return {};
    // Readers that open the file without delete sharing (any C runtime reader does) make the
    // replace fail; its content can still be written in place.
    files.Remove(temporary);
    return WriteInPlace(path, bytes, files);
}

FileRecovery RecoverFileBytes(const std::string& path, FileSystemPort& files)
{
    files.Remove(Temporary(path));
    FileError error;
    const auto copy = files.Read(Copy(path), error);
    if (!copy)
        return FileRecovery::None;
    if (files.Overwrite(Utf8Path(path), *copy))
        return FileRecovery::CopyKept;
    files.Remove(Copy(path));
    return FileRecovery::Restored;
}

}  // namespace kiv
