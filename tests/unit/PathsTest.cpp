#include "Paths.h"

#include <gtest/gtest.h>

#include "PathText.h"

namespace kiv {
namespace {

// Paths are UTF-8 text; the literals below spell their non-ASCII bytes out, since the sources'
// literals are compiled to Shift-JIS.
TEST(DirectoryWithDelimiter, Cases)
{
    const std::pair<std::string, std::string> cases[] = {
        {"C:\\Program Files\\Kiv\\kiv.exe", "C:\\Program Files\\Kiv\\"},
        {"C:\\kiv.exe", "C:\\"},
        {"kiv.exe", "\\"},
        {"/opt/kiv/kiv.exe", "/opt/kiv/"},
        // "Café": its "é" (0xC3 0xA9) is one character, and the "\" behind it still cuts.
        {"C:\\Caf\xC3\xA9\\kiv.exe", "C:\\Caf\xC3\xA9\\"},
        {"C:\\Caf\xC3\xA9\\Sub\\kiv.exe", "C:\\Caf\xC3\xA9\\Sub\\"},
        // "表" (its Shift-JIS form ends in 0x5C) is 0xE8 0xA1 0xA8 in UTF-8.
        {"C:\\\xE8\xA1\xA8\\kiv.exe", "C:\\\xE8\xA1\xA8\\"},
        {"C:\\\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88\xE8\xA1\xA8kiv.exe", "C:\\"},
    };
    for (const auto& [path, dir] : cases)
        EXPECT_EQ(DirectoryWithDelimiter(path), dir) << path;
}

TEST(PathText, Utf16RoundTrip)
{
    const std::pair<std::u16string, std::string> cases[] = {
        {u"C:\\Kiv\\kiv.exe", "C:\\Kiv\\kiv.exe"},
        {u"C:\\Caf\u00E9\\kiv.exe", "C:\\Caf\xC3\xA9\\kiv.exe"},
        {u"C:\\\u8868\\kiv.exe", "C:\\\xE8\xA1\xA8\\kiv.exe"},
        {u"C:\\\U0001F600", "C:\\\xF0\x9F\x98\x80"},  // a surrogate pair
        // Windows allows unpaired surrogates in names; they must come back the same.
        {std::u16string(u"a") + char16_t(0xD800) + u"b", "a\xED\xA0\x80" "b"},
        {std::u16string(u"a") + char16_t(0xDC01), "a\xED\xB0\x81"},
    };
    for (const auto& [wide, utf8] : cases) {
        EXPECT_EQ(PathFromUtf16(wide), utf8) << utf8;
        EXPECT_EQ(PathToUtf16(utf8), wide) << utf8;
    }
}

}  // namespace
}  // namespace kiv
