#include "FileBytes.h"

namespace kiv {

std::optional<std::string> ReadFileBytes(const std::string& path, bool* missing, FileSystemPort& files)
{
    bool gone = false;
    auto bytes = files.Read(Utf8Path(path), gone);
    if (missing)
        *missing = !bytes && gone;
    return bytes;
}

bool WriteFileBytes(const std::string& path, const std::string& bytes, FileSystemPort& files)
{
    const Utf8Path file(path);
    const Utf8Path temporary(path + ".new");
    if (!files.WriteThrough(temporary, bytes)) {
        files.Remove(temporary);
        return false;
    }
    if (files.Replace(temporary, file))
        return true;
    // Readers that open the file without delete sharing (any C runtime reader does) make the
    // replace fail; its content can still be written in place.
    const bool written = files.Overwrite(file, bytes);
    files.Remove(temporary);
    return written;
}

}  // namespace kiv
