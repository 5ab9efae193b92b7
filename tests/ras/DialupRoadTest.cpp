// The main form over the real dial-up component over a fake service, in virtual time: what the
// user asked for holds whatever the service does (stays silent, never releases a handle,
// reports a connection late, refuses a dial).
#include <gtest/gtest.h>

#include <algorithm>

#include "FakeRasPlatform.h"
#include "Fakes.h"
#include "RemoteMenu.h"
#include "RemoteTexts.h"
#include "StatusTexts.h"
#include "TextHelpers.h"

namespace kiv {
namespace {

using test::FakeRasService;
using test::FakeRasWindow;
using namespace ras;

// Phonebook "Other", "T"; the control target T.
class DialupRoad : public ::testing::Test {
protected:
    DialupRoad()
    {
        window.target = &ras;
        app.exePath = dir.File("kiv.exe");
        service.entries = {"Other", "T"};
        form.Settings.Target = "T";
        form.Settings.StatusLocate = 4;
        vss.DefaultIniFilePath = dir.File("Kiv.INI");
    }

    // The texts of the messages queued since the last call.
    std::vector<std::string> Messages()
    {
        return test::TakeStatusTexts(form);
    }
    std::string Filled(const std::string& messageTemplate) const
    {
        std::string s = messageTemplate;
        ReplaceText("%D", "T", s);
        ReplaceText("%S", std::to_string(form.Settings.RedialInterval), s);
        if (auto a = s.find("%A"); a != std::string::npos)
            s.erase(a, 3);
        return s;
    }
    int Dials() const
    {
        return static_cast<int>(std::count_if(service.calls.begin(), service.calls.end(),
                                              [](const std::string& c) { return c.rfind("Dial ", 0) == 0; }));
    }
    // What the service's notifier posts for a state of the dial.
    void Notify(std::uint32_t state, std::uint32_t error = 0)
    {
        if (const unsigned m = ras::NotifierMessage(state, error))
            window.PostNotification(m, error);
    }
    void Answer(const std::string& answer) { kms.InputReturn("Menu", answer, "Taro", "PC01", "KMC"); }
    bool Contains(const std::vector<std::string>& list, const std::string& item) const
    {
        return std::find(list.begin(), list.end(), item) != list.end();
    }

    test::TempDir dir;
    test::FakeApp app;
    test::FakeClock clock;
    FakeRasWindow window{clock.time};
    FakeRasService service{window};
    TVireoRAS ras{&service, window};
    test::FakeMesh kms;
    test::FakeLayeredSystem system{clock};
    TVireoSubSet vss{system};
    test::FakeTray tray;
    test::FakeStatusWindow statusWindow{system};
    ScheduledTimer tmSchedule{clock.time.timers, test::kScheduleTimerId, 1000};
    ScheduledTimer tmFeedOut{clock.time.timers, test::kFeedOutTimerId, 50};
    ScheduledTimer tmConnect{clock.time.timers, test::kConnectTimerId, 0};
    test::FakeShutdown shutdown;
    test::FakeEventLog log;
    TMainForm form{{app, clock, ras, kms, vss, tray, statusWindow, tmSchedule, tmFeedOut, tmConnect, shutdown, log}};
};

// A console dials a line that would connect only after 20 s and then cancels it; the service
// never releases the hung-up handle and says nothing of the cancel. Redial is on.
TEST_F(DialupRoad, UnconfirmedRemoteCancelEndsAsACancel)
{
    form.Settings.Redial = true;
    form.Settings.RedialCount = 3;
    form.Settings.RedialInterval = 2;
    service.releaseDelay.reset();
    service.notifyOnHangUp = false;

    Answer("Connect");
    ASSERT_EQ(Dials(), 1);
    ASSERT_EQ(form.RemoteMachineName, "PC01");
    Notify(RASCS_Authenticate);
    window.RunFor(2000);
    Answer("Deconnect");  // the handle's release is waited for in vain
    window.RunFor(kHangUpWaitLimitMs - 1);
    EXPECT_FALSE(Contains(test::QueuedTexts(form), RemoteStatusPrefix("Taro", "PC01") + Filled(kStatusDialCancelled)));
    window.RunFor(kHangUpPollMs);

    const auto shown = Messages();
    EXPECT_TRUE(Contains(shown, RemoteStatusPrefix("Taro", "PC01") + Filled(kStatusDialCancelled)));
    for (const auto& m : shown)
        EXPECT_EQ(m.find("失敗"), std::string::npos) << m;
    EXPECT_FALSE(tmConnect.Enabled());
    EXPECT_FALSE(form.CancelRequested);
    EXPECT_FALSE(form.ConnectRequested);
    EXPECT_TRUE(form.RemoteMachineName.empty());
    EXPECT_TRUE(Contains(kms.sent, "MESSAGE PC01 " + RemoteCancelledText("T")));
    EXPECT_FALSE(Contains(kms.sent, "MESSAGE PC01 " + RemoteFailedText("T")));

    // Ninety seconds on, no redial has come and nothing speaks of a failure.
    window.RunFor(90000);
    EXPECT_EQ(Dials(), 1);
    for (const auto& m : Messages())
        EXPECT_EQ(m.find("失敗"), std::string::npos) << m;
    EXPECT_FALSE(Contains(kms.sent, "MESSAGE PC01 " + RemoteFailedText("T")));

    // What a lenient service still reports of that dial later finds nothing to act on.
    const auto sentBefore = kms.sent.size();
    Notify(RASCS_Connected);
    Notify(RASCS_Disconnected, 631);
    window.Dispatch();
    EXPECT_TRUE(Messages().empty());
    EXPECT_EQ(kms.sent.size(), sentBefore);
    EXPECT_FALSE(tmConnect.Enabled());
    EXPECT_EQ(Dials(), 1);
    EXPECT_TRUE(ras.ServiceInUse());  // the handle was never released
}

// The same road from the tray and from the schedule: no failure text, no redial.
TEST_F(DialupRoad, UnconfirmedCancelFromTrayAndScheduleStartsNoRedial)
{
    for (bool scheduled : {false, true}) {
        SCOPED_TRACE(scheduled);
        form.Settings.Redial = true;
        form.Settings.RedialCount = 3;
        form.Settings.RedialInterval = 2;
        form.Settings.AutoEnd = scheduled;
        service.releaseDelay.reset();
        service.notifyOnHangUp = false;
        service.conns.clear();
        form.miTaskConnectClick();
        Messages();
        if (scheduled) {
            // The tick crosses the end time, noon, past its warning.
            form.Settings.AutoEndHour = 12;
            form.Settings.AutoEndMinute = 0;
            clock.SetLocal(test::At(11, 59, 55));
            form.Schedule.Restart(clock.LocalNow(), clock.TickCount());
            clock.SetLocal(test::At(12, 0, 5));
            form.tmScheduleTimer();
        } else {
            form.miTaskDeconnectClick();
        }
        window.RunFor(kHangUpWaitLimitMs + kHangUpPollMs);
        const auto shown = Messages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0], Filled(scheduled ? kStatusScheduleDialCancelled : kStatusDialCancelled));
        EXPECT_FALSE(tmConnect.Enabled());
        EXPECT_FALSE(form.CancelRequested);
        EXPECT_EQ(ras.DialHandle(), 0u);
    }
}

// The service reported the connection before the cancel reached it: the cancel hangs that
// connection up and the dial ends as cancelled, so the next real failure is reported.
TEST_F(DialupRoad, ConnectionCompletingDuringTheCancelIsHungUpAndCancelled)
{
    for (bool serviceNotifies : {false, true}) {
        SCOPED_TRACE(serviceNotifies);
        service.conns.clear();
        service.releaseDelay = 500;
        service.notifyOnHangUp = serviceNotifies;
        form.RemoteMachineName = "PC01";
        form.RemoteDiscrimination = "KMC";
        form.miTaskConnectClick();
        Notify(RASCS_Connected);  // queued, not yet handled
        form.miTaskDeconnectClick();
        window.RunFor(1000);
        EXPECT_EQ(Messages(), (std::vector<std::string>{Filled(kStatusDialStarted), Filled(kStatusDialCancelled)}));
        EXPECT_TRUE(service.Gone(service.conns.back()));
        EXPECT_EQ(kms.sent.back(), "MESSAGE PC01 " + RemoteCancelledText("T"));
        EXPECT_FALSE(form.CancelRequested);

        form.miTaskConnectClick();
        Notify(RASCS_Disconnected, 678);
        window.RunFor(1000);
        EXPECT_EQ(Messages(),
                  (std::vector<std::string>{Filled(kStatusDialStarted),
                                            Filled(kStatusDialFailed) + "\rエラー 678: 応答がありません。"}));
        kms.sent.clear();
    }
}

// A start the service refuses is answered at once, while the handle it made is released; a
// cancel then has nothing to cancel, and the refusal is what the user is told.
TEST_F(DialupRoad, RefusedDialIsReportedAtOnceAndNothingIsLeftToCancel)
{
    service.dialResult = 633;
    service.handleOnFailure = true;
    service.releaseDelay = 300;
    form.miTaskConnectClick();
    // The service's code and its text for it follow the message on a line of their own.
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusDialFailed) + "\rエラー 633: ポートは使用中です。"});
    EXPECT_FALSE(ras.CancelDial({}));
    window.RunFor(1000);
    EXPECT_TRUE(Messages().empty());
    EXPECT_FALSE(form.CancelRequested);
    EXPECT_EQ(ras.DialHandle(), 0u);
    EXPECT_FALSE(ras.ServiceInUse());  // released

    // The next dial's failure is reported, not taken for a cancel.
    service.dialResult = 0;
    form.miTaskConnectClick();
    Notify(RASCS_Disconnected, 678);
    window.RunFor(1000);
    EXPECT_EQ(Messages(), (std::vector<std::string>{Filled(kStatusDialStarted),
                                                    Filled(kStatusDialFailed) + "\rエラー 678: 応答がありません。"}));
    EXPECT_EQ(log.With("[回線]"),
              (std::vector<std::string>{
                  "[回線] 「T」へのダイヤルを開始できませんでした（手動）。エラー 633: ポートは使用中です。",
                  "[回線] 「T」へのダイヤルを開始しました（手動）。",
                  "[回線] 「T」へのダイヤルに失敗しました。エラー 678: 応答がありません。",
              }));
}

// A console's disconnect: the console and the status window are told when the service has
// released the line (200 ms here), as the wait used to tell them; the console's names travel
// with the request meanwhile.
TEST_F(DialupRoad, RemoteDisconnectIsReportedWhenTheLineIsReleased)
{
    service.conns = {{0x12, "T", RASCS_Connected}};
    Answer("Deconnect");
    window.RunFor(199);
    EXPECT_TRUE(Messages().empty());
    EXPECT_TRUE(kms.sent.empty());
    window.RunFor(1);
    EXPECT_EQ(Messages(), std::vector<std::string>{RemoteStatusPrefix("Taro", "PC01") + Filled(kStatusDisconnected)});
    EXPECT_EQ(kms.sent, std::vector<std::string>{"MESSAGE PC01 " + RemoteDisconnected("T")});
}

// Closing the program with AutoDisconnectEnd: the window goes when the line is released, or
// when the wait for it gives up.
TEST_F(DialupRoad, CloseWaitsForTheHangUp)
{
    for (const bool released : {true, false}) {
        SCOPED_TRACE(released);
        TMainForm closing{
            {app, clock, ras, kms, vss, tray, statusWindow, tmSchedule, tmFeedOut, tmConnect, shutdown, log}};
        closing.FormCreate();
        closing.Settings.Target = "T";
        closing.Settings.AutoDisconnectEnd = true;
        service.conns = {{0x12, "T", RASCS_Connected}};
        if (!released)
            service.releaseDelay.reset();
        bool closed = false;
        closing.FormClose([&] { closed = true; });
        window.RunFor(199);
        EXPECT_FALSE(closed);
        window.RunFor(released ? 1 : kHangUpWaitLimitMs);
        EXPECT_TRUE(closed);
        EXPECT_EQ(service.HangUps(), released ? 1 : 2);  // one each time
        closing.FormDestroy();
    }
}

// Another program's connection is still dialling ahead of the target's: a disconnect hangs up
// the target's connection and nothing else.
TEST_F(DialupRoad, DisconnectHangsUpOnlyTheTargetsConnection)
{
    service.conns = {{0x10, "Other", RASCS_Authenticate}, {0x11, "Other", RASCS_Connected}, {0x12, "T", RASCS_Connected}};
    form.ConnectRequested = true;
    form.miTaskDeconnectClick();
    window.RunFor(1000);
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusDisconnected)});
    EXPECT_EQ(service.HangUps(), 1);
    EXPECT_TRUE(Contains(service.calls, "HangUp " + std::to_string(0x12)));
    EXPECT_FALSE(service.Gone(service.conns[0]));
    EXPECT_FALSE(service.Gone(service.conns[1]));

    // Not listed at all: nothing is hung up.
    form.ConnectRequested = true;
    service.conns = {{0x10, "Other", RASCS_Connected}};
    EXPECT_EQ(form.TargetConnectionIndex(), -1);
}

// The service's library holds the code of the dial's threads: it is in use from the dial's
// start until its end, and after a hang-up it never released.
TEST_F(DialupRoad, ServiceInUseWhileADialOfOursRuns)
{
    EXPECT_FALSE(ras.ServiceInUse());
    form.miTaskConnectClick();
    EXPECT_TRUE(ras.ServiceInUse());
    Notify(RASCS_Connected);
    window.Dispatch();
    EXPECT_FALSE(ras.ServiceInUse());  // an ordinary connection now

    service.conns.clear();
    service.releaseDelay.reset();
    form.miTaskConnectClick();
    Notify(RASCS_Disconnected, 678);
    window.RunFor(kHangUpWaitLimitMs + kHangUpPollMs);  // the failed dial's handle is never released
    EXPECT_EQ(ras.DialHandle(), 0u);
    EXPECT_TRUE(ras.ServiceInUse());
}

}  // namespace
}  // namespace kiv
