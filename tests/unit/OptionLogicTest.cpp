#include "OptionLogic.h"

#include <gtest/gtest.h>

namespace kiv {
namespace {

// Every box ticked and every field valid: the apply's checks all pass.
OptionControls AllValid()
{
    OptionControls c = OptionControlsFromSettings(TSettings{}, "Entry");
    c.Redial = c.Keep = true;
    c.AutoConnectTime = c.AutoDisconnectTime = true;
    c.AutoConnectTimeHour = "23";
    c.AutoConnectTimeMinute = "0";
    c.AutoDisconnectTimeHour = "7";
    c.AutoDisconnectTimeMinute = "59";
    c.KMSLogin = c.KMSComputer = c.KMSPassword = c.KMSPort = true;
    c.KMSPasswordText = "pw";
    c.KMSPortNo = "51000";
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
        {"count 0", [](OptionControls& c) { c.RedialCount = "0"; }, 1},
        {"count empty", [](OptionControls& c) { c.RedialCount = ""; }, 1},
        {"count text", [](OptionControls& c) { c.RedialCount = "a1"; }, 1},
        {"count negative", [](OptionControls& c) { c.RedialCount = "-1"; }, 1},
        {"count 999", [](OptionControls& c) { c.RedialCount = "999"; }, 0},
        {"count 0, redial off: not checked", [](OptionControls& c) { c.RedialCount = "0"; c.Redial = false; }, 0},
        {"count and port bad: count first", [](OptionControls& c) { c.RedialCount = "0"; c.KMSPortNo = "1"; }, 1},
        {"interval 0", [](OptionControls& c) { c.RedialInterval = "0"; }, 2},
        {"interval 0, only keep", [](OptionControls& c) { c.RedialInterval = "0"; c.Redial = false; }, 2},
        {"interval 0, neither", [](OptionControls& c) { c.RedialInterval = "0"; c.Redial = c.Keep = false; }, 0},
        {"start hour 24", [](OptionControls& c) { c.AutoConnectTimeHour = "24"; }, 3},
        {"start hour -1", [](OptionControls& c) { c.AutoConnectTimeHour = "-1"; }, 3},
        {"start hour empty", [](OptionControls& c) { c.AutoConnectTimeHour = ""; }, 3},
        {"start minute 60", [](OptionControls& c) { c.AutoConnectTimeMinute = "60"; }, 4},
        {"start unticked", [](OptionControls& c) { c.AutoConnectTime = false; c.AutoConnectTimeHour = "x"; }, 0},
        {"end hour x", [](OptionControls& c) { c.AutoDisconnectTimeHour = "x"; }, 5},
        {"end minute 60", [](OptionControls& c) { c.AutoDisconnectTimeMinute = "60"; }, 6},
        {"end minute and start hour bad", [](OptionControls& c) { c.AutoDisconnectTimeMinute = "60"; c.AutoConnectTimeHour = "99"; }, 3},
        {"same times", [](OptionControls& c) { c.AutoDisconnectTimeHour = "23"; c.AutoDisconnectTimeMinute = "00"; }, 7},
        {"same times, end unticked", [](OptionControls& c) { c.AutoDisconnectTimeHour = "23"; c.AutoDisconnectTimeMinute = "0"; c.AutoDisconnectTime = false; }, 0},
        {"same times, start unticked", [](OptionControls& c) { c.AutoConnectTimeHour = "7"; c.AutoConnectTimeMinute = "59"; c.AutoConnectTime = false; }, 0},
        {"password empty", [](OptionControls& c) { c.KMSPasswordText = ""; }, 8},
        {"password empty, box clear", [](OptionControls& c) { c.KMSPasswordText = ""; c.KMSPassword = false; }, 0},
        {"password empty, logged out", [](OptionControls& c) { c.KMSPasswordText = ""; c.KMSLogin = false; }, 0},
        {"port 1023", [](OptionControls& c) { c.KMSPortNo = "1023"; }, 9},
        {"port 65536", [](OptionControls& c) { c.KMSPortNo = "65536"; }, 9},
        {"port 1024", [](OptionControls& c) { c.KMSPortNo = "1024"; }, 0},
        {"port 65535", [](OptionControls& c) { c.KMSPortNo = "65535"; }, 0},
        {"port bad, box clear", [](OptionControls& c) { c.KMSPortNo = "x"; c.KMSPort = false; }, 0},
        {"port bad, logged out", [](OptionControls& c) { c.KMSPortNo = "x"; c.KMSLogin = false; }, 0},
        {"password and port bad", [](OptionControls& c) { c.KMSPortNo = "x"; c.KMSPasswordText = ""; }, 8},
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
        OptionField focus;
        std::string message;
    };
    const Case cases[] = {
        {[](OptionControls& c) { c.RedialCount = "0"; }, OptionPage::Dialup, OptionField::RedialCount,
         "リダイヤル回数の設定は「1～999」の範囲で入力してください。"},
        {[](OptionControls& c) { c.RedialInterval = "0"; }, OptionPage::Dialup, OptionField::RedialInterval,
         "リダイヤル間隔の設定は「1～999」の範囲で入力してください。"},
        {[](OptionControls& c) { c.AutoConnectTimeHour = "24"; }, OptionPage::Schedule, OptionField::AutoConnectTimeHour,
         "時の設定は「0～23」の範囲で入力してください。"},
        {[](OptionControls& c) { c.AutoConnectTimeMinute = "60"; }, OptionPage::Schedule,
         OptionField::AutoConnectTimeMinute, "分の設定は「0～59」の範囲で入力してください。"},
        {[](OptionControls& c) { c.AutoDisconnectTimeHour = "24"; }, OptionPage::Schedule,
         OptionField::AutoDisconnectTimeHour, "時の設定は「0～23」の範囲で入力してください。"},
        {[](OptionControls& c) { c.AutoDisconnectTimeMinute = "60"; }, OptionPage::Schedule,
         OptionField::AutoDisconnectTimeMinute, "分の設定は「0～59」の範囲で入力してください。"},
        {[](OptionControls& c) { c.AutoDisconnectTimeHour = "23"; c.AutoDisconnectTimeMinute = "0"; },
         OptionPage::Schedule, OptionField::AutoConnectTimeHour,
         "開始時間と終了時間を同じ時刻に設定することはできません。"},
        {[](OptionControls& c) { c.KMSPasswordText.clear(); }, OptionPage::KMS, OptionField::KMSPasswordText,
         "パスワードを設定してください。"},
        {[](OptionControls& c) { c.KMSPortNo = "0"; }, OptionPage::KMS, OptionField::KMSPort,
         "ポート番号は「1024～65535」の範囲で設定してください。"},
    };
    for (const auto& tc : cases) {
        OptionControls c = AllValid();
        tc.change(c);
        const auto failure = Check(c);
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->Page, tc.page) << failure->Number;
        EXPECT_EQ(failure->Focus, tc.focus) << failure->Number;
        EXPECT_EQ(failure->Message, tc.message) << failure->Number;
    }
}

TEST(OptionEnablingRules, FollowTheTicks)
{
    OptionControls c;
    c.StatusLocate = 4;
    auto enabling = [&](bool layered = true) { return OptionEnablingFor(c, layered); };

    // Redial: count with cbRedial, interval with either box.
    c.Redial = false, c.Keep = true;
    EXPECT_FALSE(enabling().RedialCount);
    EXPECT_TRUE(enabling().RedialInterval);
    c.Keep = false;
    EXPECT_FALSE(enabling().RedialInterval);
    c.Redial = true;
    EXPECT_TRUE(enabling().RedialCount && enabling().RedialInterval);

    // The start-up window needs all three boxes.
    for (int bits = 0; bits < 8; ++bits) {
        c.AutoConnectRun = bits & 1, c.AutoConnectTime = bits & 2, c.AutoDisconnectTime = bits & 4;
        EXPECT_EQ(enabling().AutoConnectRunTime, bits == 7) << bits;
        EXPECT_EQ(enabling().StartTime, c.AutoConnectTime);
        EXPECT_EQ(enabling().EndTime, c.AutoDisconnectTime);
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
        c.StatusLocate = sc.locate, c.StatusAlpha = sc.alphaTick;
        const auto e = enabling(sc.layered);
        EXPECT_EQ(e.StatusCloseBar, sc.closeBar) << sc.locate;
        EXPECT_EQ(e.StatusAlpha, sc.alpha) << sc.locate;
        EXPECT_EQ(e.StatusAlphaCount, sc.trackBar) << sc.locate;
    }

    // KestrelMesh: off disables the whole section whatever the ticks.
    c.KMSComputer = c.KMSPassword = c.KMSPort = true;
    c.KMSLogin = false;
    auto e = enabling();
    EXPECT_FALSE(e.KMSSection || e.KMSComputer || e.KMSPassword || e.KMSPort);
    c.KMSLogin = true;
    c.KMSPassword = false;
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
        c.KMSPort = tc.tick, c.KMSPortNo = tc.text;
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
        {[](OptionControls& c) { c.RedialCount = "0"; }, [](TSettings& s) { s.RedialCount = 0; }},
        {[](OptionControls& c) { c.RedialCount = ""; }, [](TSettings&) {}},
        {[](OptionControls& c) { c.RedialInterval = "0"; }, [](TSettings&) {}},
        {[](OptionControls& c) { c.RedialInterval = "x"; }, [](TSettings&) {}},
        {[](OptionControls& c) { c.RedialInterval = "3"; }, [](TSettings& s) { s.RedialInterval = 3; }},
        {[](OptionControls& c) { c.KMSPortNo = "80"; }, [](TSettings& s) { s.KMSPortNo = 80; }},
        {[](OptionControls& c) { c.KMSPortNo = ""; }, [](TSettings&) {}},
        {[](OptionControls& c) { c.Dialup.clear(); }, [](TSettings& s) { s.Target.clear(); }},
        // KMSLogin is the KestrelMesh step's to set.
        {[](OptionControls& c) { c.KMSLogin = false; }, [](TSettings&) {}},
        // Times whose box is clear are kept in range: a value typed out of range, or an old
        // out-of-range value kept because the field holds no number.
        {[](OptionControls& c) { c.AutoConnectTimeHour = "99"; c.AutoConnectTimeMinute = "-3"; },
         [](TSettings& s) { s.AutoStartHour = 23; s.AutoStartMinute = 0; }},
        {[](OptionControls& c) { c.AutoConnectTimeHour = "x"; c.AutoDisconnectTimeMinute = ""; },
         [](TSettings& s) { s.AutoStartHour = 23; s.AutoEndMinute = 0; }},
        {[](OptionControls& c) { c.AutoDisconnectTimeHour = "24"; c.AutoDisconnectTimeMinute = "75"; },
         [](TSettings& s) { s.AutoEndHour = 23; s.AutoEndMinute = 59; }},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        OptionControls c = OptionControlsFromSettings(old, "");
        c.AutoConnectTimeHour = "23", c.AutoDisconnectTimeMinute = "0";
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
    EXPECT_EQ(c.StatusLocate, 4);
    EXPECT_EQ(c.StatusAlphaCount, 1);
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
