// Paths as the program holds them: Shift-JIS bytes with "\" between folders.
#pragma once

#include <string>

namespace kiv {

// The folder of a file path, always ending in a path delimiter: "C:\Kiv\kiv.exe" gives
// "C:\Kiv\", "C:\kiv.exe" gives "C:\". A 0x5C byte that is the second half of a
// double-byte character is not a delimiter.
std::string DirectoryWithDelimiter(const std::string& filePath);

}  // namespace kiv
