#include <gtest/gtest.h>

#include "Fakes.h"
#include "RemoteTexts.h"
#include "StatusTexts.h"
#include "TextHelpers.h"

namespace kiv {
namespace {

// The control target "T" in a phonebook of two, with every status message recorded filled in.
class DialupControl : public ::testing::Test, protected test::MainFormFixture {
protected:
    DialupControl()
    {
        ras.entries = {"Other", "T"};
        form.Settings.Target = "T";
        form.Settings.StatusLocate = 4;
    }

    std::string Filled(const char* messageTemplate, int redialsLeft = 0) const
    {
        std::string s = messageTemplate;
        ReplaceText("%D", "T", s);
        ReplaceText("%S", std::to_string(form.Settings.RedialInterval), s);
        ReplaceText("%C", std::to_string(redialsLeft), s);
        // The message on screen has lost its action code.
        if (auto a = s.find("%A"); a != std::string::npos)
            s.erase(a, 3);
        return s;
    }
    // The messages queued since the last call.
    std::vector<std::string> Messages()
    {
        return test::TakeStatusTexts(form);
    }
    // The dial-up layer reports the end of the dial.
    void DialFails()
    {
        ras.states["T"] = 0;
        ras.OnConnectError("T", {});
    }
    void DialConnects()
    {
        ras.states["T"] = 2;
        ras.OnConnect("T");
    }
    int Dials() const { return static_cast<int>(std::count(ras.calls.begin(), ras.calls.end(), "Dial 1")); }
};

TEST_F(DialupControl, RedialChainCountsDownAndStops)
{
    form.Settings.Redial = true;
    form.Settings.RedialCount = 3;
    form.Settings.RedialInterval = 5;
    form.miTaskConnectClick();
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusDialStarted)});
    for (int left = 3; left >= 1; --left) {
        DialFails();
        EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusDialFailedRedial, left)});
        ASSERT_TRUE(tmConnect.Enabled());
        EXPECT_EQ(tmConnect.Interval(), 5000u);
        form.tmConnectTimer();
        EXPECT_FALSE(tmConnect.Enabled());  // fires once
        EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusRedialStarted)});
    }
    DialFails();
    const auto last = Messages();
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0], Filled(kStatusDialFailedRedialsUsedUp));
    EXPECT_NE(last[0].find("リダイヤル回数に達した為"), std::string::npos);
    EXPECT_FALSE(tmConnect.Enabled());
    EXPECT_EQ(Dials(), 4);
    EXPECT_FALSE(form.ConnectRequested);
}

// A hand-edited interval outside 1..999: the text names the wait the redial timer really has.
TEST_F(DialupControl, RedialTextNamesTheIntervalReallyUsed)
{
    const std::pair<int, int> cases[] = {{0, 1}, {-4, 1}, {5000, 999}, {12, 12}};
    for (const auto& [stored, used] : cases) {
        form.Settings.Redial = true;
        form.Settings.RedialCount = 3;
        form.Settings.RedialInterval = stored;
        form.RedialDone = 0;
        form.miTaskConnectClick();
        Messages();
        DialFails();
        const auto shown = Messages();
        ASSERT_EQ(shown.size(), 1u) << stored;
        EXPECT_NE(shown[0].find("\r" + std::to_string(used) + "秒後にリダイヤルします"), std::string::npos)
            << stored << ": " << shown[0];
        EXPECT_EQ(tmConnect.Interval(), static_cast<unsigned>(used) * 1000) << stored;
        form.miTaskDeconnectClick();  // cancel the pending redial
        Messages();
    }
}

TEST_F(DialupControl, FailureWithoutRedials)
{
    struct Case {
        bool redial;
        int count;
        const char* message;
    };
    for (const Case& c : {Case{true, 0, kStatusDialFailedRedialsUsedUp}, Case{false, 3, kStatusDialFailed}}) {
        form.Settings.Redial = c.redial;
        form.Settings.RedialCount = c.count;
        form.miTaskConnectClick();
        Messages();
        DialFails();
        EXPECT_EQ(Messages(), std::vector<std::string>{Filled(c.message)});
        EXPECT_FALSE(tmConnect.Enabled());
    }
}

TEST_F(DialupControl, RefusedDialKeepsTheRequestForTheKeepAlive)
{
    ras.dialSucceeds = false;
    form.Settings.Keep = true;
    form.miTaskConnectClick();
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusDialFailed)});
    EXPECT_TRUE(form.ConnectRequested);
    form.tmScheduleTimer();  // the idle line counts as dropped
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusLineDroppedRedial)});
    EXPECT_TRUE(tmConnect.Enabled());
}

TEST_F(DialupControl, CancelShowsOnlyTheCancelAndStartsNoRedial)
{
    form.Settings.Redial = true;
    form.miTaskConnectClick();
    form.RemoteMachineName = "PC01";
    form.RemoteDiscrimination = "KMConsole";
    Messages();
    form.miTaskDeconnectClick();
    // While the service releases the line the flags are set and nothing is shown yet.
    EXPECT_TRUE(form.CancelRequested);
    EXPECT_FALSE(form.ConnectRequested);
    EXPECT_TRUE(Messages().empty());
    ras.Release();
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusDialCancelled)});
    DialFails();
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(tmConnect.Enabled());
    EXPECT_FALSE(form.CancelRequested);
    EXPECT_EQ(kms.sent, std::vector<std::string>{"MESSAGE PC01 " + RemoteCancelledText("T")});
}

TEST_F(DialupControl, FailedCancelFallsBackToHangUp)
{
    form.miTaskConnectClick();
    Messages();
    ras.cancelSucceeds = false;
    // The refused cancel falls back to hanging up the dialling line.
    form.miTaskDeconnectClick();
    EXPECT_EQ(ras.calls.back(), "HangUpConnection 0");
    EXPECT_TRUE(Messages().empty());
    ras.Release();
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusDisconnected)});
    EXPECT_FALSE(form.CancelRequested);
    EXPECT_FALSE(form.ConnectRequested);
    EXPECT_EQ(ras.StateOf("T"), 0);

    // Neither works: the failure is reported and the line stays kept.
    form.miTaskConnectClick();
    Messages();
    ras.hangUpSucceeds = false;
    form.miTaskDeconnectClick();
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusDisconnectFailed)});
    EXPECT_TRUE(form.ConnectRequested);
}

TEST_F(DialupControl, DisconnectConnectedLineAndPendingRedial)
{
    ras.states["T"] = 2;
    form.ConnectRequested = true;
    ras.hangUpSucceeds = false;
    form.miTaskDeconnectClick();
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusDisconnectFailed)});
    EXPECT_TRUE(form.ConnectRequested);

    // A line the service does not release within the wait is reported as not disconnected.
    ras.hangUpSucceeds = true;
    form.miTaskDeconnectClick();
    ras.Release(false);
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusDisconnectFailed)});
    EXPECT_TRUE(form.ConnectRequested);

    form.miTaskDeconnectClick();
    EXPECT_TRUE(Messages().empty());  // until the line is released
    ras.Release();
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusDisconnected)});
    EXPECT_FALSE(form.ConnectRequested);

    tmConnect.SetEnabled(true);
    form.miTaskDeconnectClick();
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusRedialCancelled)});
    EXPECT_FALSE(tmConnect.Enabled());

    form.miTaskDeconnectClick();  // idle: nothing
    EXPECT_TRUE(Messages().empty());
}

TEST_F(DialupControl, KeepAliveRedialsOnlyLinesItKeeps)
{
    form.Settings.Keep = true;
    form.Settings.RedialInterval = 7;
    // Connected by another program: a drop starts nothing.
    ras.states["T"] = 2;
    form.tmScheduleTimer();
    ras.states["T"] = 0;
    form.tmScheduleTimer();
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(tmConnect.Enabled());

    // Connected by us: the drop schedules a fresh redial chain.
    form.miTaskConnectClick();
    DialConnects();
    EXPECT_EQ(Messages(), (std::vector<std::string>{Filled(kStatusDialStarted), Filled(kStatusConnected)}));
    form.RedialDone = 2;
    ras.states["T"] = 0;
    form.tmScheduleTimer();
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusLineDroppedRedial)});
    EXPECT_TRUE(tmConnect.Enabled());
    EXPECT_EQ(tmConnect.Interval(), 7000u);
    EXPECT_FALSE(form.ConnectRequested);
    EXPECT_EQ(form.RedialDone, 0);
    form.tmScheduleTimer();  // pending already: no second announcement
    EXPECT_TRUE(Messages().empty());
    form.tmConnectTimer();
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusRedialStarted)});
    EXPECT_EQ(form.RedialDone, 1);
}

TEST_F(DialupControl, RedialTimerWhenTheTargetIsBusy)
{
    ras.states["T"] = 2;
    tmConnect.SetEnabled(true);
    form.tmConnectTimer();
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusRedialFailed)});
    EXPECT_EQ(Dials(), 0);
}

TEST_F(DialupControl, RemoteConsoleIsToldExactlyOnce)
{
    form.miTaskConnectClick();
    form.RemoteMachineName = "PC01";
    form.RemoteDiscrimination = "KMConsole";
    DialConnects();
    EXPECT_EQ(kms.sent, std::vector<std::string>{"MESSAGE PC01 " + RemoteConnectedText("T")});
    EXPECT_TRUE(form.RemoteMachineName.empty());
    EXPECT_TRUE(form.RemoteDiscrimination.empty());

    // A later local dial tells nobody.
    ras.states["T"] = 0;
    form.miTaskConnectClick();
    DialFails();
    EXPECT_EQ(kms.sent.size(), 1u);

    form.miTaskConnectClick();
    form.RemoteMachineName = "PC02";
    DialFails();
    EXPECT_EQ(kms.sent.back(), "MESSAGE PC02 " + RemoteFailedText("T"));
}

TEST_F(DialupControl, TargetResolution)
{
    ras.entries = {"T", "X", "T"};
    EXPECT_EQ(form.TargetEntryIndex(), 2);  // the last match
    form.Settings.Target = "t";
    EXPECT_EQ(form.TargetEntryIndex(), -1);  // case-sensitive
    form.miTaskConnectClick();
    form.miTaskDeconnectClick();
    EXPECT_TRUE(ras.calls.empty());
    EXPECT_TRUE(Messages().empty());
}

}  // namespace
}  // namespace kiv
