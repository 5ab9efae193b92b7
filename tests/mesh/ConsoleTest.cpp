#include "Console.h"

#include <gtest/gtest.h>

#include "ConsoleOptions.h"

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

TEST(Console, ReceivedFileNamesStayInTheFolder)
{
    // Literals are Shift-JIS: "表" is 0x95 0x5C and "ポ" 0x83 0x7C, trail bytes that look
    // like "\" and "|".
    struct Case {
        std::string offered;
        std::optional<std::string> saved;
    } cases[] = {
        {"report.txt", "report.txt"},
        {"表.txt", "表.txt"},
        {"ポート.txt", "ポート.txt"},
        {"dir/sub\\name.bin", "name.bin"},
        {"/etc/passwd", "passwd"},
        {"..", std::nullopt},
        {".", std::nullopt},
        {"", std::nullopt},
        {"dir/", std::nullopt},
        {"../evil.txt", std::nullopt},
        {"a\\..\\..\\evil.txt", std::nullopt},
        {"C:evil.txt", std::nullopt},
        {"C:\\Windows\\evil.dll", std::nullopt},
        {"file.txt:stream", std::nullopt},
        {"CON", std::nullopt},
        {"nul.txt", std::nullopt},
        {"Com1.log", std::nullopt},
        {"lpt9", std::nullopt},
        {"CONOUT$", std::nullopt},
        {"COM10", "COM10"},
        {"console.txt", "console.txt"},
        {"name.", std::nullopt},
        {"name ", std::nullopt},
        {"a?b", std::nullopt},
        {"a|b", std::nullopt},
        {std::string("a\x01" "b"), std::nullopt},
        {"..hidden", "..hidden"},
        // A lead byte must be followed by a trail byte (0x40-0x7E, 0x80-0xFC): "/" or ":"
        // behind one would reach the file system as they are.
        {"a\x83/b.txt", std::nullopt},
        {"a\x83:b.txt", std::nullopt},
        {"x\x83\\..\\..\\evil", std::nullopt},
        {"a\x83", std::nullopt},
        {"a\x81\x7F.txt", std::nullopt},
        {"a\xE0\xFD.txt", std::nullopt},
        {"\x81\x40\xFC\xFC.txt", "\x81\x40\xFC\xFC.txt"},
        {"\x83\x80.txt", "\x83\x80.txt"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SafeReceiveName(c.offered), c.saved) << Escape(c.offered);
}

// Both consoles read the options that say how they join the mesh the same way: a port is
// 1 to 65535 in digits, a handle name is typed in UTF-8 and sent in Shift-JIS.
TEST(Console, MeshOptions)
{
    struct Case {
        const char* name;
        const char* value;
        std::optional<std::string> result;  // nothing: not a mesh option; empty: taken
    } cases[] = {
        {"--port", "51000", ""},
        {"--port", "65535", ""},
        {"--port", "0", "--port wants a number from 1 to 65535"},
        {"--port", "65536", "--port wants a number from 1 to 65535"},
        {"--port", "51000x", "--port wants a number from 1 to 65535"},
        {"--port", "-1", "--port wants a number from 1 to 65535"},
        {"--handle", "\xE5\xA4\xAA\xE9\x83\x8E", ""},
        {"--menu", "KIVPC", std::nullopt},
        {"--listen", "127.0.0.1:51080", std::nullopt},
    };
    for (const auto& c : cases) {
        MeshOptions o("kmconsole");
        EXPECT_EQ(ParseMeshOption(c.name, c.value, o), c.result) << c.name << " " << c.value;
    }
    MeshOptions o("web");
    EXPECT_EQ(o.handle, "web");
    ASSERT_EQ(ParseMeshOption("--handle", "\xE5\xA4\xAA\xE9\x83\x8E", o), "");
    EXPECT_EQ(o.handle, "太郎");  // this file's literals are Shift-JIS
    ASSERT_EQ(ParseMeshOption("--port", "51889", o), "");
    EXPECT_EQ(o.port, 51889);
    EXPECT_TRUE(ParseMeshFlag("--security", o));
    EXPECT_TRUE(o.security);
    EXPECT_FALSE(ParseMeshFlag("--script", o));
}

}  // namespace
}  // namespace kmconsole
