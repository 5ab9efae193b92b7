// Paths as the program holds them: UTF-8 text (PathText.h) with "\" between folders.
#pragma once

#include <string>

namespace kiv {

// The folder of a file path, always ending in a path delimiter: "C:\Kiv\kiv.exe" gives
// "C:\Kiv\", "C:\kiv.exe" gives "C:\". In UTF-8 no byte of a multibyte character is a
// delimiter, so the folder ends at the last "\", "/" or drive ":" byte.
std::string DirectoryWithDelimiter(const std::string& filePath);

}  // namespace kiv
