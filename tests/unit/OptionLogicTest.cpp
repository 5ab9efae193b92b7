#include "OptionLogic.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

using S = TSettings;

// Every box ticked and every field valid: the apply's checks all pass.
OptionControls AllValid()
{
    OptionControls c = OptionControlsFromSettings(TSettings{}, "Entry");
    c.Values.Redial = c.Values.Keep = true;
    c.Values.AutoStart = c.Values.AutoEnd = true;
    c.Text(&S::AutoStartHour) = "23";
    c.Text(&S::AutoStartMinute) = "0";
    c.Text(&S::AutoEndHour) = "7";
    c.Text(&S::AutoEndMinute) = "59";
    c.Values.KMSLogin = c.Values.KMSComputer = c.Values.KMSPasswordFlag = c.Values.KMSPort = true;
    c.Text(&S::KMSPassword) = "pw";
    c.Text(&S::KMSPortNo) = "51000";
    return c;
}

std::optional<OptionCheckFailure> Check(const OptionControls& c, bool layered = true)
{
    return CheckOptions(c, OptionEnablingFor(c, layered));
}

TEST(OptionChecks, FirstFailingCheckInOrder)
{
    struct Case {
        const char* what;
        void (*change)(OptionControls&);
        int expected;  // 0: all pass
    };
    const Case cases[] = {
        {"all valid", [](OptionControls&) {}, 0},
        {"count 0", [](OptionControls& c) { c.Text(&S::RedialCount) = "0"; }, 1},
        {"count empty", [](OptionControls& c) { c.Text(&S::RedialCount) = ""; }, 1},
        {"count text", [](OptionControls& c) { c.Text(&S::RedialCount) = "a1"; }, 1},
        {"count negative", [](OptionControls& c) { c.Text(&S::RedialCount) = "-1"; }, 1},
        {"count 999", [](OptionControls& c) { c.Text(&S::RedialCount) = "999"; }, 0},
        {"count 0, redial off: not checked", [](OptionControls& c) { c.Text(&S::RedialCount) = "0"; c.Values.Redial = false; }, 0},
        {"count and port bad: count first", [](OptionControls& c) { c.Text(&S::RedialCount) = "0"; c.Text(&S::KMSPortNo) = "1"; }, 1},
        {"interval 0", [](OptionControls& c) { c.Text(&S::RedialInterval) = "0"; }, 2},
        {"interval 0, only keep", [](OptionControls& c) { c.Text(&S::RedialInterval) = "0"; c.Values.Redial = false; }, 2},
        {"interval 0, neither", [](OptionControls& c) { c.Text(&S::RedialInterval) = "0"; c.Values.Redial = c.Values.Keep = false; }, 0},
        {"start hour 24", [](OptionControls& c) { c.Text(&S::AutoStartHour) = "24"; }, 3},
        {"start hour -1", [](OptionControls& c) { c.Text(&S::AutoStartHour) = "-1"; }, 3},
        {"start hour empty", [](OptionControls& c) { c.Text(&S::AutoStartHour) = ""; }, 3},
        {"start minute 60", [](OptionControls& c) { c.Text(&S::AutoStartMinute) = "60"; }, 4},
        {"start unticked", [](OptionControls& c) { c.Values.AutoStart = false; c.Text(&S::AutoStartHour) = "x"; }, 0},
        {"end hour x", [](OptionControls& c) { c.Text(&S::AutoEndHour) = "x"; }, 5},
        {"end minute 60", [](OptionControls& c) { c.Text(&S::AutoEndMinute) = "60"; }, 6},
        {"end minute and start hour bad", [](OptionControls& c) { c.Text(&S::AutoEndMinute) = "60"; c.Text(&S::AutoStartHour) = "99"; }, 3},
        {"same times", [](OptionControls& c) { c.Text(&S::AutoEndHour) = "23"; c.Text(&S::AutoEndMinute) = "00"; }, 7},
        {"same times, end unticked", [](OptionControls& c) { c.Text(&S::AutoEndHour) = "23"; c.Text(&S::AutoEndMinute) = "0"; c.Values.AutoEnd = false; }, 0},
        {"same times, start unticked", [](OptionControls& c) { c.Text(&S::AutoStartHour) = "7"; c.Text(&S::AutoStartMinute) = "59"; c.Values.AutoStart = false; }, 0},
        {"password empty", [](OptionControls& c) { c.Text(&S::KMSPassword) = ""; }, 8},
        {"password empty, box clear", [](OptionControls& c) { c.Text(&S::KMSPassword) = ""; c.Values.KMSPasswordFlag = false; }, 0},
        {"password empty, logged out", [](OptionControls& c) { c.Text(&S::KMSPassword) = ""; c.Values.KMSLogin = false; }, 0},
        {"port 1023", [](OptionControls& c) { c.Text(&S::KMSPortNo) = "1023"; }, 9},
        {"port 65536", [](OptionControls& c) { c.Text(&S::KMSPortNo) = "65536"; }, 9},
        {"port 1024", [](OptionControls& c) { c.Text(&S::KMSPortNo) = "1024"; }, 0},
        {"port 65535", [](OptionControls& c) { c.Text(&S::KMSPortNo) = "65535"; }, 0},
        {"port bad, box clear", [](OptionControls& c) { c.Text(&S::KMSPortNo) = "x"; c.Values.KMSPort = false; }, 0},
        {"port bad, logged out", [](OptionControls& c) { c.Text(&S::KMSPortNo) = "x"; c.Values.KMSLogin = false; }, 0},
        {"password and port bad", [](OptionControls& c) { c.Text(&S::KMSPortNo) = "x"; c.Text(&S::KMSPassword) = ""; }, 8},
    };
    for (const auto& tc : cases) {
        OptionControls c = AllValid();
        tc.change(c);
        const auto failure = Check(c);
        EXPECT_EQ(failure ? failure->Number : 0, tc.expected) << tc.what;
    }
}

TEST(OptionChecks, PageFocusAndMessageOfEachCheck)
{
    struct Case {
        void (*change)(OptionControls&);
        OptionPage page;
        SettingMember focus;
        std::string message;
    };
    const Case cases[] = {
        {[](OptionControls& c) { c.Text(&S::RedialCount) = "0"; }, OptionPage::Dialup, &S::RedialCount,
         "リダイヤル回数の設定は「1～999」の範囲で入力してください。"},
        {[](OptionControls& c) { c.Text(&S::RedialInterval) = "0"; }, OptionPage::Dialup, &S::RedialInterval,
         "リダイヤル間隔の設定は「1～999」の範囲で入力してください。"},
        {[](OptionControls& c) { c.Text(&S::AutoStartHour) = "24"; }, OptionPage::Schedule, &S::AutoStartHour,
         "時の設定は「0～23」の範囲で入力してください。"},
        {[](OptionControls& c) { c.Text(&S::AutoStartMinute) = "60"; }, OptionPage::Schedule,
         &S::AutoStartMinute, "分の設定は「0～59」の範囲で入力してください。"},
        {[](OptionControls& c) { c.Text(&S::AutoEndHour) = "24"; }, OptionPage::Schedule,
         &S::AutoEndHour, "時の設定は「0～23」の範囲で入力してください。"},
        {[](OptionControls& c) { c.Text(&S::AutoEndMinute) = "60"; }, OptionPage::Schedule,
         &S::AutoEndMinute, "分の設定は「0～59」の範囲で入力してください。"},
        {[](OptionControls& c) { c.Text(&S::AutoEndHour) = "23"; c.Text(&S::AutoEndMinute) = "0"; },
         OptionPage::Schedule, &S::AutoStartHour,
         "開始時間と終了時間を同じ時刻に設定することはできません。"},
        {[](OptionControls& c) { c.Text(&S::KMSPassword).clear(); }, OptionPage::KMS, &S::KMSPassword,
         "パスワードを設定してください。"},
        {[](OptionControls& c) { c.Text(&S::KMSPortNo) = "0"; }, OptionPage::KMS, &S::KMSPortNo,
         "ポート番号は「1024～65535」の範囲で設定してください。"},
    };
    for (const auto& tc : cases) {
        OptionControls c = AllValid();
        tc.change(c);
        const auto failure = Check(c);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->Page, tc.page) << failure->Number;
        EXPECT_TRUE(failure->Focus == tc.focus) << failure->Number;
        EXPECT_EQ(failure->Message, tc.message) << failure->Number;
    }
}

TEST(OptionEnablingRules, FollowTheTicks)
{
    OptionControls c;
    c.Values.StatusLocate = 4;
    auto enabling = [&](bool layered = true) { return OptionEnablingFor(c, layered); };

    // Redial: count with cbRedial, interval with either box.
    c.Values.Redial = false, c.Values.Keep = true;
    EXPECT_FALSE(enabling().RedialCount);
    EXPECT_TRUE(enabling().RedialInterval);
    c.Values.Keep = false;
    EXPECT_FALSE(enabling().RedialInterval);
    c.Values.Redial = true;
    EXPECT_TRUE(enabling().RedialCount && enabling().RedialInterval);

    // The start-up window needs all three boxes.
    for (int bits = 0; bits < 8; ++bits) {
        c.Values.AutoConnectRun = bits & 1, c.Values.AutoStart = bits & 2, c.Values.AutoEnd = bits & 4;
        EXPECT_EQ(enabling().AutoConnectRunTime, bits == 7) << bits;
        EXPECT_EQ(enabling().StartTime, c.Values.AutoStart);
        EXPECT_EQ(enabling().EndTime, c.Values.AutoEnd);
    }

    // Status window: nothing below the position when it is not shown; alpha needs layered windows.
    struct StatusCase {
        int locate;
        bool layered, alphaTick;
        bool closeBar, alpha, trackBar;
    };
    const StatusCase statusCases[] = {
        {0, true, true, false, false, false},  {1, true, true, true, true, true},
        {4, true, false, true, true, false},   {4, false, true, true, false, false},
        {2, false, false, true, false, false},
    };
    for (const auto& sc : statusCases) {
        c.Values.StatusLocate = sc.locate, c.Values.StatusAlpha = sc.alphaTick;
        const auto e = enabling(sc.layered);
        EXPECT_EQ(e.StatusCloseBar, sc.closeBar) << sc.locate;
        EXPECT_EQ(e.StatusAlpha, sc.alpha) << sc.locate;
        EXPECT_EQ(e.StatusAlphaCount, sc.trackBar) << sc.locate;
    }

    // KestrelMesh: off disables the whole section whatever the ticks.
    c.Values.KMSComputer = c.Values.KMSPasswordFlag = c.Values.KMSPort = true;
    c.Values.KMSLogin = false;
    auto e = enabling();
    EXPECT_FALSE(e.KMSSection || e.KMSComputer || e.KMSPassword || e.KMSPort);
    c.Values.KMSLogin = true;
    c.Values.KMSPasswordFlag = false;
    e = enabling();
    EXPECT_TRUE(e.KMSSection && e.KMSComputer && e.KMSPort);
    EXPECT_FALSE(e.KMSPassword);
}

TEST(OptionTransparency, OneDecimalAndPercent)
{
    EXPECT_EQ(TransparencyText(200), "21.6%");
    EXPECT_EQ(TransparencyText(255), "0.0%");
    EXPECT_EQ(TransparencyText(1), "99.6%");
    EXPECT_EQ(TransparencyText(128), "49.8%");
}

TEST(OptionPortNotice, TickChangeOrNumberChange)
{
    struct Case {
        bool settingTick;
        int settingNo;
        bool tick;
        const char* text;
        bool notice;
    };
    const Case cases[] = {
        {false, 51000, false, "51000", false}, {false, 51000, false, "52000", true},
        {false, 51000, true, "51000", true},   {true, 51000, false, "51000", true},
        {true, 51000, true, "051000", false},  {true, 51000, true, "", false},
        {true, 51000, true, "1", true},
    };
    for (const auto& tc : cases) {
        TSettings s;
        s.KMSPort = tc.settingTick, s.KMSPortNo = tc.settingNo;
        OptionControls c = OptionControlsFromSettings(s, "");
        c.Values.KMSPort = tc.tick, c.Text(&S::KMSPortNo) = tc.text;
        EXPECT_EQ(PortNoticeNeeded(c, s), tc.notice) << tc.tick << " " << tc.text;
    }
}

TEST(OptionCopy, FillingAndCopyingBackKeepsEverySetting)
{
    TSettings s;
    s.Target = "Entry";
    s.Redial = s.AutoStart = s.StatusAlpha = s.KMSPasswordFlag = true;
    s.RedialCount = 12, s.RedialInterval = 30, s.AutoStartHour = 5, s.AutoEndMinute = 1;
    s.StatusLocate = 2, s.StatusAlphaCount = 77, s.KMSPassword = "秘密", s.KMSPortNo = 60000;
    TSettings copy = s;
    copy.Target = "other";
    CopyOptionsToSettings(OptionControlsFromSettings(s, "Entry"), copy);
    EXPECT_EQ(copy, s);
}

TEST(OptionCopy, ValuesThatKeepTheOldSetting)
{
    TSettings old;
    old.RedialCount = 7, old.RedialInterval = 9, old.KMSPortNo = 50000, old.KMSLogin = true;
    old.AutoStartHour = 30, old.AutoEndMinute = -4;  // hand-edited, out of range
    struct Case {
        void (*change)(OptionControls&);
        void (*expect)(TSettings&);
    };
    const Case cases[] = {
        {[](OptionControls& c) { c.Text(&S::RedialCount) = "0"; }, [](TSettings& s) { s.RedialCount = 0; }},
        {[](OptionControls& c) { c.Text(&S::RedialCount) = ""; }, [](TSettings&) {}},
        {[](OptionControls& c) { c.Text(&S::RedialInterval) = "0"; }, [](TSettings&) {}},
        {[](OptionControls& c) { c.Text(&S::RedialInterval) = "x"; }, [](TSettings&) {}},
        {[](OptionControls& c) { c.Text(&S::RedialInterval) = "3"; }, [](TSettings& s) { s.RedialInterval = 3; }},
        {[](OptionControls& c) { c.Text(&S::KMSPortNo) = "80"; }, [](TSettings& s) { s.KMSPortNo = 80; }},
        {[](OptionControls& c) { c.Text(&S::KMSPortNo) = ""; }, [](TSettings&) {}},
        {[](OptionControls& c) { c.Values.Target.clear(); }, [](TSettings& s) { s.Target.clear(); }},
        // The login choice is copied too; the apply compares it with the old one beforehand.
        {[](OptionControls& c) { c.Values.KMSLogin = false; }, [](TSettings& s) { s.KMSLogin = false; }},
        // Times whose box is clear are kept in range: a value typed out of range, or an old
        // out-of-range value kept because the field holds no number.
        {[](OptionControls& c) { c.Text(&S::AutoStartHour) = "99"; c.Text(&S::AutoStartMinute) = "-3"; },
         [](TSettings& s) { s.AutoStartHour = 23; s.AutoStartMinute = 0; }},
        {[](OptionControls& c) { c.Text(&S::AutoStartHour) = "x"; c.Text(&S::AutoEndMinute) = ""; },
         [](TSettings& s) { s.AutoStartHour = 23; s.AutoEndMinute = 0; }},
        {[](OptionControls& c) { c.Text(&S::AutoEndHour) = "24"; c.Text(&S::AutoEndMinute) = "75"; },
         [](TSettings& s) { s.AutoEndHour = 23; s.AutoEndMinute = 59; }},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        OptionControls c = OptionControlsFromSettings(old, "");
        c.Text(&S::AutoStartHour) = "23", c.Text(&S::AutoEndMinute) = "0";
        cases[i].change(c);
        TSettings expected = old;
        expected.Target.clear();
        expected.AutoStartHour = 23, expected.AutoEndMinute = 0;
        cases[i].expect(expected);
        TSettings s = old;
        CopyOptionsToSettings(c, s);
        EXPECT_EQ(s, expected) << "case " << i;
    }
}

TEST(OptionFilling, OutOfRangePositionAndAlphaShowTheNearestValue)
{
    TSettings s;
    s.StatusLocate = 9, s.StatusAlphaCount = 0;
    const auto c = OptionControlsFromSettings(s, "");
    EXPECT_EQ(c.Values.StatusLocate, 4);
    EXPECT_EQ(c.Values.StatusAlphaCount, 1);
}

TEST(OptionUser, TakeBackDropsLaterSpellingsOfAName)
{
    const StringList rows{"pc1", "PC1", "（新規コンピュータ名）", "Server", "", "sErVeR", "", "pc2"};
    EXPECT_EQ(TakeBackComputerNames(rows), (StringList{"pc1", "（新規コンピュータ名）", "Server", "", "pc2"}));
    // Only the letters a..z fold: the second byte of a double-byte character is not a letter.
    const StringList kana{"\x83\x41", "\x83\x61", "\x83\x61"};
    EXPECT_EQ(TakeBackComputerNames(kana), (StringList{"\x83\x41", "\x83\x61"}));
    EXPECT_TRUE(TakeBackComputerNames({}).empty());
}

TEST(OptionUser, ButtonsBySelectionCountAndCentring)
{
    EXPECT_EQ(OptionUserButtonsFor(0), (OptionUserButtons{false, false}));
    EXPECT_EQ(OptionUserButtonsFor(1), (OptionUserButtons{true, true}));
    EXPECT_EQ(OptionUserButtonsFor(3), (OptionUserButtons{false, true}));
    EXPECT_EQ(CentredOver(100, 426, 300), 163);
    EXPECT_EQ(CentredOver(10, 100, 103), 9);  // -3 / 2 rounds towards zero
}

}  // namespace
}  // namespace kiv
