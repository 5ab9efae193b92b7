// Byte-string helpers shared by the peer protocol and the settings store.
// Every search and replacement works on bytes; Shift-JIS text passes through unchanged.
#pragma once

#include <string>
#include <string_view>

namespace kiv {

// Replaces every occurrence of oldText in text by newText.
void ReplaceText(const std::string& oldText, const std::string& newText, std::string& text);

// Keyless hexadecimal scrambling: two digits of a random offset (50..199), then two digits
// per input byte. The offset comes from one generator seeded once per process.
std::string ScrambleText(const std::string& text);
// The same with a given offset (0..255), for callers that need a repeatable result.
std::string ScrambleText(const std::string& text, int offset);

// Inverse of ScrambleText; empty for input of two bytes or fewer and for input that is not
// hexadecimal text.
std::string UnscrambleText(std::string_view text);

}  // namespace kiv
