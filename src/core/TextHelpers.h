// Byte-string helpers shared by the peer protocol, the settings store and the dialogs.
// Every search and replacement works on bytes; Shift-JIS text passes through unchanged.
#pragma once

#include <string>
#include <string_view>

namespace kiv {

// A Shift-JIS lead byte: the next byte belongs to the same character.
bool IsLeadByte(unsigned char c);

// A name as names are compared (computer names, for access and in the dialog's list): a to z
// become A to Z. The second byte of a double-byte character is left alone, so no Japanese
// name turns into another one.
std::string FoldComputerName(const std::string& name);

// Decimal text to a 32-bit integer the way the settings have always been read: optional sign,
// decimal digits, or hexadecimal after "$" or "0x". Anything else, or a value outside the
// 32-bit range, gives defaultValue.
int TextToIntDef(const std::string& text, int defaultValue);

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
