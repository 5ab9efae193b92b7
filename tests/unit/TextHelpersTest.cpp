#include "TextHelpers.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

TEST(ScrambleText, WorkedExampleAndItsInverse)
{
    EXPECT_EQ(ScrambleText("abc", 100), "64C5C6C7");
    EXPECT_EQ(UnscrambleText("64C5C6C7"), "abc");
    EXPECT_EQ(UnscrambleText("64c5c6c7"), "abc");
}

TEST(ScrambleText, WrapsBytesAboveTheOffsetAndKeepsShiftJis)
{
    using namespace std::string_literals;
    const std::string text = "\x00\xFF\x82\xA0 ■～"s;
    const std::string scrambled = ScrambleText(text, 199);
    EXPECT_EQ(scrambled.substr(0, 6), "C7C7C6");  // 0x00+199, 0xFF+199-256
    EXPECT_EQ(UnscrambleText(scrambled), text);
}

TEST(ScrambleText, RandomOffsetStaysInItsRangeAndRoundTrips)
{
    for (int i = 0; i < 500; ++i) {
        const std::string s = ScrambleText("Kiv");
        ASSERT_EQ(s.size(), 8u);
        const int offset = std::stoi(s.substr(0, 2), nullptr, 16);
        ASSERT_GE(offset, 50);
        ASSERT_LE(offset, 199);
        ASSERT_EQ(UnscrambleText(s), "Kiv");
    }
}

TEST(ScrambleText, EmptyTextGivesTwoDigitsAndTwiceGivesSix)
{
    EXPECT_EQ(ScrambleText("").size(), 2u);
    EXPECT_EQ(ScrambleText(ScrambleText("")).size(), 6u);
    EXPECT_EQ(UnscrambleText(UnscrambleText(ScrambleText(ScrambleText("")))), "");
}

TEST(UnscrambleText, InvalidOrShortInputGivesEmpty)
{
    for (const char* input : {"", "6", "64", "64ZZ", "ZZ41", "64C5C6G7", "64 C5"})
        EXPECT_EQ(UnscrambleText(input), "") << input;
}

TEST(UnscrambleText, OddLengthTakesTheLastSingleDigitAndAnyOffset)
{
    // Offset 0x64; last lone digit "C" is 12, 12 - 100 + 256 = 168.
    EXPECT_EQ(UnscrambleText("64C5C"), std::string("a\xA8"));
    // Offsets outside 50..199 are read as they are.
    EXPECT_EQ(UnscrambleText("0041"), "A");
    EXPECT_EQ(UnscrambleText("FF40"), "A");
}

TEST(ReplaceText, Cases)
{
    struct Case {
        std::string oldText, newText, text, expected;
    };
    const Case cases[] = {
        {"\r\n", "\\|", "a\r\nb\r\n", "a\\|b\\|"},
        {"\\|", "\r\n", "a\\|b\\|", "a\r\nb\r\n"},
        // Deleting a separator also deletes the occurrences the deletion brings together.
        {"&|", "", "&&||", ""},
        {"ab", "a", "abb", "a"},
        // The new text contains the old: every original occurrence replaced once, and it ends.
        {"a", "aa", "aba", "aabaa"},
        {"%D", "x%Dy", "<%D%D>", "<x%Dyx%Dy>"},
        {"x", "y", "", ""},
        {"", "y", "abc", "abc"},
    };
    for (const Case& c : cases) {
        std::string text = c.text;
        ReplaceText(c.oldText, c.newText, text);
        EXPECT_EQ(text, c.expected) << "old=" << c.oldText << " new=" << c.newText << " text=" << c.text;
    }
}

TEST(ReplaceText, LineBreaksRoundTripThroughTheWireForm)
{
    const std::string original = "一行目\r\n二行目\r\n\r\nend";
    std::string text = original;
    ReplaceText("\r\n", "\\|", text);
    EXPECT_EQ(text.find("\r\n"), std::string::npos);
    ReplaceText("\\|", "\r\n", text);
    EXPECT_EQ(text, original);
}

// Replacing the slow way: the first occurrence, again and again from the start
// (behind the inserted text when the new text contains the old, or it would never end).
std::string ReplaceTextFromTheStart(const std::string& oldText, const std::string& newText, std::string text)
{
    if (oldText.empty())
        return text;
    const bool behind = newText.find(oldText) != std::string::npos;
    std::size_t from = 0;
    for (;;) {
        const auto pos = text.find(oldText, behind ? from : 0);
        if (pos == std::string::npos)
            return text;
        text.replace(pos, oldText.size(), newText);
        from = pos + newText.size();
    }
}

// The one-pass replacement gives exactly the slow way's result, also where replacements bring
// new occurrences together.
TEST(ReplaceText, SameResultAsReplacingFromTheStartEachTime)
{
    const std::pair<std::string, std::string> pairs[] = {
        {"\r\n", ""}, {"\r\n", "\\|"}, {"\\|", "\r\n"}, {"&|", ""}, {"ab", "a"}, {"ab", "b"},
        {"ba", "ab"}, {"aa", "a"},    {"aba", "b"},     {"a", "aa"}, {"ab", "xaby"}, {"abab", "ab"},
    };
    const char alphabet[] = {'a', 'b', '\r', '\n', '\\', '|', '&'};
    std::uint32_t seed = 12345;
    const auto draw = [&seed](std::uint32_t bound) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % bound;
    };
    for (const auto& [oldText, newText] : pairs) {
        for (int round = 0; round < 400; ++round) {
            std::string text;
            const std::uint32_t length = draw(24);
            for (std::uint32_t i = 0; i < length; ++i)
                text += alphabet[draw(round % 2 ? 2 : sizeof alphabet)];
            std::string ours = text;
            ReplaceText(oldText, newText, ours);
            ASSERT_EQ(ours, ReplaceTextFromTheStart(oldText, newText, text))
                << "old=" << oldText << " new=" << newText << " text=" << text;
        }
    }
}

TEST(FoldComputerName, FoldsAsciiLettersOnlyAndSkipsTrailBytes)
{
    const struct {
        std::string name, folded;
    } cases[] = {
        {"pc-01.local", "PC-01.LOCAL"},
        {"\x83\x61", "\x83\x61"},      // a katakana whose trail byte is "a"
        {"\x83\x61x", "\x83\x61X"},    // the byte after the character is one again
        {"\x82\xA0z\x81", "\x82\xA0Z\x81"},  // a lead byte at the end stays as it is
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FoldComputerName(c.name), c.folded) << c.name;
}

TEST(TextToIntDef, Cases)
{
    const struct {
        const char* text;
        int value;
    } cases[] = {
        {"12", 12}, {" +7", 7}, {"-5", -5}, {"$10", 16}, {"0x1F", 31}, {"0xFFFFFFFF", -1},
        {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"2147483648", 99},
        {"", 99}, {"12 ", 99}, {"abc", 99}, {"0x", 99}, {"-", 99},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TextToIntDef(c.text, 99), c.value) << c.text;
}

}  // namespace
}  // namespace kiv
