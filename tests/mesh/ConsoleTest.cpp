#include "Console.h"

#include <gtest/gtest.h>

namespace kmconsole {
namespace {

TEST(Console, ShiftJisAndUtf8RoundTrip)
{
    // This file's literals are Shift-JIS bytes; the UTF-8 forms are spelled out.
    const std::string sjis = "■ はい～";
    const std::string utf8 = "\xE2\x96\xA0 \xE3\x81\xAF\xE3\x81\x84\xEF\xBD\x9E";
    EXPECT_EQ(SjisToUtf8(sjis), utf8);
    EXPECT_EQ(Utf8ToSjis(utf8), sjis);
    EXPECT_EQ(SjisToUtf8("ab\x81"), "ab?");  // a lead byte without its trail byte
}

TEST(Console, EscapeKeepsOneLinePerEvent)
{
    EXPECT_EQ(Escape("a\tb\r\nc\\d"), "a\\tb\\r\\nc\\\\d");
}

TEST(Console, SelectItemsAndAnswers)
{
    EXPECT_EQ(SplitItems("a&:b&:&:d"), (std::vector<std::string>{"a", "b", "", "d"}));
    EXPECT_TRUE(SplitItems("").empty());
    const std::vector<std::string> returns{"Connect", "Deconnect"};
    struct Case {
        const char* typed;
        bool bare;
        const char* sent;
    } cases[] = {
        {"#2", false, "Deconnect"}, {"2", true, "Deconnect"}, {"2", false, "2"},   {"#3", false, "#3"},
        {"#0", false, "#0"},        {"Connect", false, "Connect"}, {"1x", true, "1x"}, {"#-1", false, "#-1"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SelectAnswer(c.typed, returns, c.bare), c.sent) << c.typed;
}

}  // namespace
}  // namespace kmconsole
