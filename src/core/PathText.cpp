#include "PathText.h"

namespace kiv {

namespace {

void AppendCodePoint(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

bool IsHigh(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

}  // namespace

std::string PathFromUtf16(const std::u16string& path)
{
    std::string out;
    out.reserve(path.size());
    for (std::size_t i = 0; i < path.size(); ++i) {
        const char16_t c = path[i];
        if (IsHigh(c) && i + 1 < path.size() && IsLow(path[i + 1])) {
            AppendCodePoint(out, 0x10000 + ((char32_t(c) - 0xD800) << 10) + (char32_t(path[i + 1]) - 0xDC00));
            ++i;
        } else {
            AppendCodePoint(out, c);
        }
    }
    return out;
}

std::u16string PathToUtf16(const std::string& path)
{
    std::u16string out;
    out.reserve(path.size());
    std::size_t i = 0;
    while (i < path.size()) {
        const auto b = static_cast<unsigned char>(path[i]);
        const int length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
        bool valid = length > 0 && i + length <= path.size();
        char32_t c = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
        for (int k = 1; valid && k < length; ++k) {
            const auto t = static_cast<unsigned char>(path[i + k]);
            valid = (t & 0xC0) == 0x80;
            c = (c << 6) | (t & 0x3F);
        }
        if (!valid) {
            // Not UTF-8: the byte stands for itself, as in the Latin-1 range.
            out += static_cast<char16_t>(b);
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            c -= 0x10000;
            out += static_cast<char16_t>(0xD800 + (c >> 10));
            out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
        } else {
            out += static_cast<char16_t>(c);
        }
        i += static_cast<std::size_t>(length);
    }
    return out;
}

}  // namespace kiv
