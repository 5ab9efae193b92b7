#include "Paths.h"

namespace kiv {

namespace {

bool IsLeadByte(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

}  // namespace

std::string DirectoryWithDelimiter(const std::string& filePath)
{
    // The folder part ends at the last delimiter ("\", "/" or the ":" of a drive).
    std::size_t cut = 0;
    for (std::size_t i = 0; i < filePath.size(); ++i) {
        const auto c = static_cast<unsigned char>(filePath[i]);
        if (IsLeadByte(c)) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/' || c == ':')
            cut = i + 1;
    }
    std::string dir = filePath.substr(0, cut);
    if (dir.empty() || (dir.back() != '\\' && dir.back() != '/'))
        dir += '\\';
    return dir;
}

}  // namespace kiv
