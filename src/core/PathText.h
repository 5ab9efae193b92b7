// File paths as the program holds them: UTF-8 text, converted from and to the system's UTF-16
// at the platform's file calls, so a folder name survives whatever the system's code page is.
// Unpaired surrogates, which Windows allows in names, travel as their three-byte forms
// (WTF-8), so every UTF-16 path comes back exactly.
#pragma once

#include <string>

namespace kiv {

std::string PathFromUtf16(const std::u16string& path);
std::u16string PathToUtf16(const std::string& path);

}  // namespace kiv
