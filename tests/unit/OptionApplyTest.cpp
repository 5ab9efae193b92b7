#include <gtest/gtest.h>

#include "Fakes.h"
#include "FileBytes.h"
#include "IniText.h"
#include "OptionLogic.h"
#include "StatusTexts.h"
#include "TextHelpers.h"

namespace kiv {
namespace {

using S = TSettings;

class OptionApply : public ::testing::Test, protected test::MainFormFixture {
protected:
    OptionApply()
    {
        ras.entries = {"Entry0", "Entry1"};
        form.FormCreate();
        form.StatusQueue.clear();
        controls = OptionControlsFromSettings(form.Settings, "Entry0");
    }
    void Apply(const StringList& working = {}) { form.ApplyOptions(controls, working); }
    std::string LastStatus() const { return form.StatusQueue.empty() ? "<none>" : form.StatusQueue.back().Text; }

    OptionControls controls;
};

TEST_F(OptionApply, SavesEveryKeyAndResetsTheScheduleTick)
{
    controls.Values.Target = "Entry1";
    controls.Values.Redial = true;
    controls.Text(&S::RedialCount) = "9";
    controls.Values.StatusLocate = 1;
    controls.Values.KMSPasswordFlag = true;
    controls.Text(&S::KMSPassword) = "ひみつ";
    // The apply counts as a start: the next morning's end time, passed a second before, is not
    // caught up.
    controls.Values.AutoEnd = true;
    ras.states["Entry1"] = 2;
    clock.SetLocal(test::At(7, 59, 1, 1));
    Apply({"pc1", "ＰＣ２"});
    form.tmScheduleTimer();
    EXPECT_EQ(ras.StateOf("Entry1"), 2);
    EXPECT_EQ(std::count(ras.calls.begin(), ras.calls.end(), "HangUpConnection 0"), 0);
    EXPECT_TRUE(tmSchedule.Enabled());
    EXPECT_EQ(form.AllowedComputers, (StringList{"pc1", "ＰＣ２"}));
    TSettings reread;
    StringList rereadList;
    LoadSettings(vss, "", true, reread, rereadList);
    EXPECT_EQ(reread, form.Settings);
    EXPECT_EQ(rereadList, form.AllowedComputers);
    EXPECT_EQ(form.Settings.Target, "Entry1");
    EXPECT_EQ(form.Settings.RedialCount, 9);
    EXPECT_EQ(form.Settings.KMSPassword, "ひみつ");
    EXPECT_TRUE(kms.calls.empty());  // login choice unchanged
    EXPECT_TRUE(form.StatusQueue.empty());
}

TEST_F(OptionApply, SkipOfTheScheduledDisconnectWithdrawnOnlyByANewEndTime)
{
    struct Case {
        const char* hour;
        const char* minute;
        bool skipKept;
    };
    const Case cases[] = {{"7", "59", true}, {"07", "59", true}, {"8", "59", false},
                          {"7", "58", false}, {"x", "", true}};
    for (const auto& tc : cases) {
        form.Settings.AutoEndHour = 7, form.Settings.AutoEndMinute = 59;
        form.SkipAutoDisconnect = true;
        controls.Text(&S::AutoEndHour) = tc.hour, controls.Text(&S::AutoEndMinute) = tc.minute;
        Apply();
        EXPECT_EQ(form.SkipAutoDisconnect, tc.skipKept) << tc.hour << ":" << tc.minute;
    }
}

TEST_F(OptionApply, LoginDuringApplyWithTheScheduleStopped)
{
    bool scheduleRunningAtStart = true;
    kms.onStart = [&] { scheduleRunningAtStart = tmSchedule.Enabled(); };
    controls.Values.KMSLogin = true;
    Apply();
    EXPECT_FALSE(scheduleRunningAtStart);
    EXPECT_TRUE(tmSchedule.Enabled());
    EXPECT_EQ(kms.calls, (std::vector<std::string>{"Start", "Login"}));
    EXPECT_EQ(kms.handleName, "Kiv");
    EXPECT_EQ(LastStatus(), kStatusKMSLoggedIn);
    EXPECT_TRUE(form.Settings.KMSLogin);

    // Applying again with the same choice touches nothing.
    Apply();
    EXPECT_EQ(kms.calls.size(), 2u);

    controls.Values.KMSLogin = false;
    Apply();
    EXPECT_EQ(kms.calls, (std::vector<std::string>{"Start", "Login", "Logout", "Stop"}));
    EXPECT_EQ(LastStatus(), kStatusKMSLoggedOut);
    EXPECT_FALSE(form.Settings.KMSLogin);
}

TEST_F(OptionApply, FailedLoginIsReportedAndTheChoiceSavedAllTheSame)
{
    for (bool startFails : {true, false}) {
        form.Settings.KMSLogin = false;
        kms.calls.clear();
        kms.startSucceeds = !startFails;
        kms.loginSucceeds = false;
        controls.Values.KMSLogin = true;
        Apply();
        EXPECT_EQ(LastStatus(), kStatusKMSLoginFailed);
        const std::vector<std::string> expected =
            startFails ? std::vector<std::string>{"Start"} : std::vector<std::string>{"Start", "Login"};
        EXPECT_EQ(kms.calls, expected);
        EXPECT_TRUE(form.Settings.KMSLogin);
        EXPECT_EQ(TextToIntDef(vss.ReadIniString("Option", "KMSLogin", ""), -1), 1);
    }
}

}  // namespace
}  // namespace kiv
