// The program's texts are Shift-JIS bytes; the screen gets them as UTF-16 through code page
// 932, whatever the system's own code page is.
#pragma once

#include <windows.h>

#include <string>

namespace kiv {

inline std::wstring Wide(const std::string& sjis)
{
    if (sjis.empty())
        return {};
    const int n = MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(932, 0, sjis.data(), static_cast<int>(sjis.size()), out.data(), n);
    return out;
}

}  // namespace kiv
