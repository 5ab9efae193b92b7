#include <gtest/gtest.h>

#include "Scenario.h"

namespace rassim {
namespace {

TEST(RasSimScenario, DemoPhonebookHasThreeEntriesWithJapaneseNames)
{
    std::string error;
    const auto s = ParseScenario(kDemoScenario, error);
    ASSERT_TRUE(s) << error;
    ASSERT_EQ(s->entries.size(), 3u);
    EXPECT_EQ(s->entries[0].name, "東京アクセスポイント");
    EXPECT_EQ(s->entries[0].name.size(), 20u);  // ten double-byte characters in Shift-JIS
    EXPECT_EQ(s->entries[1].dial, Entry::Dial::Fail);
}

TEST(RasSimScenario, EveryKey)
{
    std::string error;
    const auto s = ParseScenario(
        "# comment\r\n"
        "[A B]\r\n"
        "  phone = 0120 11\r\n"
        "user=u\n"
        "password = p w\n"
        "dial = fail 678 2500\n"
        "hangup = never\n"
        "cancel = notify\n"
        "; another comment\n"
        "[ソフト]\n"
        "dial = refuse 623 handle\n"
        "params = fail 1234\n"
        "hangup = 0\n"
        "[C]\n"
        "[D]\n"
        "dial = connect held\n",
        error);
    ASSERT_TRUE(s) << error;
    ASSERT_EQ(s->entries.size(), 4u);
    const Entry& a = s->entries[0];
    EXPECT_EQ(a.name, "A B");
    EXPECT_EQ(a.phone, "0120 11");
    EXPECT_EQ(a.user, "u");
    EXPECT_EQ(a.password, "p w");
    EXPECT_EQ(a.dial, Entry::Dial::Fail);
    EXPECT_EQ(a.dialError, 678u);
    EXPECT_EQ(a.dialMs, 2500u);
    EXPECT_FALSE(a.hangUpMs);
    EXPECT_TRUE(a.notifyOnCancel);
    const Entry& b = *s->Find("ソフト");
    EXPECT_EQ(b.dial, Entry::Dial::Refuse);
    EXPECT_TRUE(b.refuseWithHandle);
    EXPECT_EQ(b.paramsError, 1234u);
    EXPECT_EQ(b.hangUpMs, 0u);
    const Entry& c = s->entries[2];
    EXPECT_EQ(c.dial, Entry::Dial::Connect);
    EXPECT_EQ(c.dialMs, 2000u);
    EXPECT_EQ(c.hangUpMs, 200u);
    EXPECT_FALSE(c.notifyOnCancel);  // the documented service says nothing after a hang-up
    EXPECT_FALSE(c.dialHeld);
    const Entry& d = s->entries[3];
    EXPECT_EQ(d.dial, Entry::Dial::Connect);
    EXPECT_TRUE(d.dialHeld);
}

TEST(RasSimScenario, BrokenFileNamesTheLine)
{
    const struct {
        const char* text;
        const char* error;
    } cases[] = {
        {"dial = connect 1\n", "line 1: key before the first [entry]"},
        {"[A]\n\nfoo = 1\n", "line 3: unknown key 'foo'"},
        {"[A]\ndial = connect\n", "line 2: expected: dial = connect <ms> | held"},
        {"[A]\ndial = connect -5\n", "line 2: expected: dial = connect <ms> | held"},
        {"[A]\ndial = connect held 5\n", "line 2: expected: dial = connect <ms> | held"},
        {"[A]\ndial = fail 0 100\n", "line 2: expected: dial = fail <error code> <ms>"},
        {"[A]\ndial = ring 5\n", "line 2: unknown dial outcome 'ring' (connect, fail or refuse)"},
        {"[A]\nhangup = soon\n", "line 2: expected: hangup = <ms> or hangup = never"},
        {"[A]\n[A]\n", "line 2: entry [A] given twice"},
        {"[]\n", "line 1: an entry header is [name] with a name of 1 to 256 bytes"},
        {"[A\n", "line 1: an entry header is [name] with a name of 1 to 256 bytes"},
        {"[A]\njust words\n", "line 2: expected [name] or key = value"},
        {"[A]\nparams = 5\n", "line 2: expected: params = fail <error code>"},
        {"[A]\ncancel = maybe\n", "line 2: expected: cancel = notify or cancel = silent"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseScenario(c.text, error)) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
    std::string error;
    EXPECT_FALSE(ParseScenario("[" + std::string(257, 'x') + "]", error));
    EXPECT_EQ(error, "line 1: entry name longer than 256 bytes");
}

}  // namespace
}  // namespace rassim
