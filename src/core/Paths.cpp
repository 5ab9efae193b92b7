#include "Paths.h"

namespace kiv {

std::string DirectoryWithDelimiter(const std::string& filePath)
{
    const auto last = filePath.find_last_of("\\/:");
    std::string dir = last == std::string::npos ? std::string() : filePath.substr(0, last + 1);
    if (dir.empty() || (dir.back() != '\\' && dir.back() != '/'))
        dir += '\\';
    return dir;
}

}  // namespace kiv
