#include "TextHelpers.h"

#include <cstdint>
#include <ctime>
#include <random>

namespace kiv {

namespace {

int DigitValue(char c, int base)
{
    int v = -1;
    if (c >= '0' && c <= '9')
        v = c - '0';
    else if (c >= 'A' && c <= 'F')
        v = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
        v = c - 'a' + 10;
    return v < base ? v : -1;
}

}  // namespace

bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

std::string FoldComputerName(const std::string& name)
{
    std::string folded = name;
    for (std::size_t i = 0; i < folded.size(); ++i) {
        const auto c = static_cast<unsigned char>(folded[i]);
        if (IsLeadByte(c))
            ++i;  // the trail byte belongs to the character
        else if (c >= 'a' && c <= 'z')
            folded[i] = static_cast<char>(c - 'a' + 'A');
    }
    return folded;
}

int TextToIntDef(const std::string& text, int defaultValue)
{
    std::size_t pos = 0;
    while (pos < text.size() && text[pos] == ' ')
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-'))
        negative = text[pos++] == '-';
    int base = 10;
    if (pos < text.size() && text[pos] == '$') {
        base = 16;
        ++pos;
    } else if (pos + 1 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
        base = 16;
        pos += 2;
    }
    if (pos >= text.size())
        return defaultValue;
    std::uint64_t value = 0;
    const std::uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    for (; pos < text.size(); ++pos) {
        const int digit = DigitValue(text[pos], base);
        if (digit < 0)
            return defaultValue;
        value = value * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (value > limit)
            return defaultValue;
    }
    // Hexadecimal text covers all 32 bits, as a two's complement pattern.
    const auto bits = static_cast<std::uint32_t>(negative ? (0 - value) : value);
    return static_cast<int>(static_cast<std::int32_t>(bits));
}

void ReplaceText(const std::string& oldText, const std::string& newText, std::string& text)
{
    const std::size_t n = oldText.size();
    if (n == 0 || text.find(oldText) == std::string::npos)
        return;
    // The result is that of replacing the first occurrence and searching again from the
    // start, over and over, built in one pass: bytes go onto `out` one by one, and when its
    // end forms an occurrence, that occurrence is replaced and the new text is fed in next,
    // ahead of the rest, so occurrences that a replacement brings together are found as
    // before. `out` never holds a whole occurrence, so nothing in it needs a second look:
    // each byte fed costs one comparison of the old text's length, and a deletion feeds
    // nothing back.
    // When the new text contains the old one, searching from the start would never end: the
    // search goes on behind the inserted text instead, which `frozen` marks.
    const bool resumeBehind = newText.find(oldText) != std::string::npos;
    std::string out;
    out.reserve(text.size());
    std::string pending;  // new text still to feed, last byte first
    std::size_t frozen = 0;
    std::size_t next = 0;
    for (;;) {
        if (!pending.empty()) {
            out += pending.back();
            pending.pop_back();
        } else if (next < text.size()) {
            out += text[next++];
        } else {
            break;
        }
        if (out.size() < frozen + n || out.compare(out.size() - n, n, oldText) != 0)
            continue;
        out.resize(out.size() - n);
        if (resumeBehind) {
            out += newText;
            frozen = out.size();
        } else {
            pending.append(newText.rbegin(), newText.rend());
        }
    }
    text = std::move(out);
}

namespace {

std::minstd_rand& OffsetGenerator()
{
    static std::minstd_rand generator(
        static_cast<std::minstd_rand::result_type>(std::random_device{}() ^ static_cast<unsigned>(std::time(nullptr))));
    return generator;
}

const char kHexDigits[] = "0123456789ABCDEF";

void AppendHex(std::string& out, unsigned value)
{
    out += kHexDigits[(value >> 4) & 0x0F];
    out += kHexDigits[value & 0x0F];
}

// The value of each byte as a hexadecimal digit, -1 for the others: a table, as every byte of
// a received scrambled message goes through it.
struct HexTable {
    signed char value[256];
    constexpr HexTable() : value()
    {
        for (int c = 0; c < 256; ++c)
            value[c] = static_cast<signed char>(c >= '0' && c <= '9'   ? c - '0'
                                                : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                                       : -1);
    }
};
constexpr HexTable kHexTable;

int HexDigitValue(char c)
{
    return kHexTable.value[static_cast<unsigned char>(c)];
}

// Reads one or two hexadecimal digits; -1 when any is not a digit.
int HexValue(std::string_view text, std::size_t pos, std::size_t count)
{
    int value = 0;
    for (std::size_t i = 0; i < count; ++i) {
        const int digit = HexDigitValue(text[pos + i]);
        if (digit < 0)
            return -1;
        value = value * 16 + digit;
    }
    return value;
}

}  // namespace

std::string ScrambleText(const std::string& text)
{
    std::uniform_int_distribution<int> draw(0, 149);
    return ScrambleText(text, 50 + draw(OffsetGenerator()));
}

std::string ScrambleText(const std::string& text, int offset)
{
    std::string out;
    out.reserve(2 + 2 * text.size());
    AppendHex(out, static_cast<unsigned>(offset) & 0xFF);
    for (unsigned char b : text)
        AppendHex(out, (b + static_cast<unsigned>(offset)) & 0xFF);
    return out;
}

std::string UnscrambleText(std::string_view text)
{
    if (text.size() <= 2)
        return {};
    const int offset = HexValue(text, 0, 2);
    if (offset < 0)
        return {};
    std::string out((text.size() - 1) / 2, '\0');
    const std::size_t pairs = (text.size() - 2) / 2;
    const char* in = text.data() + 2;
    char* const decoded = out.data();  // a pointer of its own: stores cannot change it
    for (std::size_t k = 0; k < pairs; ++k) {
        const int high = HexDigitValue(in[2 * k]), low = HexDigitValue(in[2 * k + 1]);
        if ((high | low) < 0)
            return {};
        decoded[k] = static_cast<char>((high * 16 + low - offset + 256) & 0xFF);
    }
    if (pairs < out.size()) {  // a last digit without its pair
        const int h = HexValue(text, text.size() - 1, 1);
        if (h < 0)
            return {};
        out[pairs] = static_cast<char>((h - offset + 256) & 0xFF);
    }
    return out;
}

}  // namespace kiv
