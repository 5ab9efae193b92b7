#include "IniText.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

TEST(IniText, ReadsWithoutRegardToCaseAndTrimsBlanks)
{
    const IniText ini("; kept\r\n[other]\r\nTarget=wrong\r\n[ option ]\r\n  target \t=  プロバイダ A \r\nEmpty=\r\n");
    EXPECT_EQ(ini.Value("Option", "Target"), "プロバイダ A");
    EXPECT_EQ(ini.Value("OPTION", "empty"), "");
    EXPECT_EQ(ini.Value("Option", "Missing"), std::nullopt);
    EXPECT_EQ(ini.Value("Missing", "Target"), std::nullopt);
    EXPECT_EQ(IniText("").Value("Option", "Target"), std::nullopt);
}

TEST(IniText, ReadsLoneLineFeedsAndALastLineWithoutEnd)
{
    const IniText ini("[Option]\nA=1\nB=2");
    EXPECT_EQ(ini.Value("Option", "A"), "1");
    EXPECT_EQ(ini.Value("Option", "B"), "2");
}

TEST(IniText, WritesOnlyTheLineItConcerns)
{
    struct Case {
        const char* name;
        std::string before;
        std::string key, value;
        std::string after;
    };
    const Case cases[] = {
        {"new file", "", "Target", "A", "[Option]\r\nTarget=A\r\n"},
        {"existing key keeps its spelling and neighbours",
         "; note\r\n[Option]\r\nredial = 0\r\nKeep=1\r\n[Other]\r\nX=1\r\n", "Redial", "1",
         "; note\r\n[Option]\r\nredial=1\r\nKeep=1\r\n[Other]\r\nX=1\r\n"},
        {"new key at the end of its section, before blank lines",
         "[Option]\r\nA=1\r\n\r\n[Other]\r\nX=1\r\n", "B", "2",
         "[Option]\r\nA=1\r\nB=2\r\n\r\n[Other]\r\nX=1\r\n"},
        {"new section behind a last line without its end", "[Other]\r\nX=1", "A", "1",
         "[Other]\r\nX=1\r\n[Option]\r\nA=1\r\n"},
        {"section header is the last line", "[Option]", "A", "1", "[Option]\r\nA=1\r\n"},
    };
    for (const Case& c : cases) {
        IniText ini(c.before);
        EXPECT_TRUE(ini.SetValue("Option", c.key, c.value)) << c.name;
        EXPECT_EQ(ini.Bytes(), c.after) << c.name;
    }
}

TEST(IniText, PassesOverAUtf8ByteOrderMark)
{
    const std::string bom = "\xEF\xBB\xBF";
    IniText ini(bom + "[Option]\r\nA=1\r\n");
    EXPECT_EQ(ini.Value("Option", "A"), "1");
    EXPECT_TRUE(ini.SetValue("Option", "B", "2"));
    EXPECT_TRUE(ini.SetValue("Option", "A", "3"));
    EXPECT_EQ(ini.Bytes(), bom + "[Option]\r\nA=3\r\nB=2\r\n");  // one section, the mark kept

    IniText onlyMark(bom);
    EXPECT_TRUE(onlyMark.SetValue("Option", "A", "1"));
    EXPECT_EQ(onlyMark.Bytes(), bom + "[Option]\r\nA=1\r\n");
}

TEST(IniText, ValuesInQuotesLoseThemAsFromTheProfileFunctions)
{
    const std::pair<std::string, std::string> cases[] = {
        {"\"a b\"", "a b"},
        {"'x'", "x"},
        {"  \" padded \"  ", " padded "},
        {"\"\"", ""},
        {"\"a\"b\"", "a\"b"},   // only the outer pair goes
        {"\"x'", "\"x'"},         // quotes that do not match stay
        {"\"", "\""},             // a lone quote stays
        {"a\"", "a\""},
    };
    for (const auto& [stored, read] : cases)
        EXPECT_EQ(IniText("[Option]\r\nK=" + stored + "\r\n").Value("Option", "K"), read) << stored;
}

TEST(IniText, EveryWrittenValueReadsBackAsItWas)
{
    const std::string values[] = {"plain", " lead", "trail ", "\"q\"", "'s'", "\"", "a \"b\"", "", "接続 先 "};
    for (const std::string& value : values) {
        IniText ini("[Option]\r\nK=old\r\n");
        ASSERT_TRUE(ini.SetValue("Option", "K", value)) << value;
        ASSERT_TRUE(ini.SetValue("Option", "New", value)) << value;
        EXPECT_EQ(ini.Value("Option", "K"), value) << value;
        EXPECT_EQ(ini.Value("Option", "New"), value) << value;
    }
    IniText plain;
    plain.SetValue("Option", "K", "plain");
    EXPECT_EQ(plain.Bytes(), "[Option]\r\nK=plain\r\n");  // no quotes where none are needed
}

TEST(IniText, RefusesWritesThatWouldBreakLines)
{
    IniText ini("[Option]\r\nA=1\r\n");
    EXPECT_FALSE(ini.SetValue("Option", "A", "1\r\nInjected=1"));
    EXPECT_FALSE(ini.SetValue("Option", "B=C", "1"));
    EXPECT_FALSE(ini.SetValue("Option", "", "1"));
    EXPECT_FALSE(ini.SetValue("Opt]ion", "A", "1"));
    EXPECT_EQ(ini.Bytes(), "[Option]\r\nA=1\r\n");
}

}  // namespace
}  // namespace kiv
