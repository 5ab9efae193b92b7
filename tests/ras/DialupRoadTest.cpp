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
        tmFeedOut.interval = 50;
        service.entries = {"Other", "T"};
        form.Settings.Target = "T";
        form.Settings.StatusLocate = 4;
        vss.DefaultIniFilePath = dir.File("Kiv.INI");
    }

    // The messages queued since the last call, without their action codes (the head's is
    // already taken out when it is shown).
    std::vector<std::string> Messages()
    {
        std::vector<std::string> out;
        for (std::string m : form.StatusQueue) {
            if (m.size() >= 3 && m.compare(m.size() - 3, 2, "%A") == 0)
                m.erase(m.size() - 3);
            out.push_back(m);
        }
        form.StatusQueue.clear();
        return out;
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
            window.Post(m);
    }
    void Answer(const std::string& answer) { kms.OnInputReturn("Menu", answer, "Taro", "PC01", "KMC"); }
    // The program's own timers for that many seconds of virtual time: the schedule's tick every
    // second and the pending redial when it is due, each followed by the messages they post.
    void RunSeconds(int seconds)
    {
        for (int i = 0; i < seconds; ++i) {
            clock.tick += 1000;
            window.now += 1000;
            form.tmScheduleTimer();
            if (tmConnect.enabled && static_cast<std::int32_t>(clock.tick - tmConnect.due) >= 0) {
                tmConnect.due += tmConnect.interval;
                form.tmConnectTimer();
            }
            window.Dispatch();
        }
    }
    bool Contains(const std::vector<std::string>& list, const std::string& item) const
    {
        return std::find(list.begin(), list.end(), item) != list.end();
    }

    test::TempDir dir;
    test::FakeApp app;
    test::FakeClock clock;
    FakeRasWindow window;
    FakeRasService service{window};
    TVireoRAS ras{&service, window};
    test::FakeMesh kms;
    test::FakeLayeredSystem system{clock};
    TVireoSubSet vss{system};
    test::FakeTray tray;
    test::FakeStatusWindow statusWindow{system};
    test::FakeTimer tmSchedule{&clock}, tmFeedOut{&clock}, tmConnect{&clock};
    test::FakeShutdown shutdown;
    TMainForm form{{app, clock, ras, kms, vss, tray, statusWindow, tmSchedule, tmFeedOut, tmConnect, shutdown}};
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
    window.Dispatch();
    window.now += 2000;
    Answer("Deconnect");  // waits for the handle's release in vain
    window.Dispatch();

    const auto shown = Messages();
    EXPECT_TRUE(Contains(shown, RemoteStatusPrefix("Taro", "PC01") + Filled(kStatusDialCancelled)));
    for (const auto& m : shown)
        EXPECT_EQ(m.find("失敗"), std::string::npos) << m;
    EXPECT_FALSE(tmConnect.enabled);
    EXPECT_FALSE(form.CancelRequested);
    EXPECT_FALSE(form.ConnectRequested);
    EXPECT_TRUE(form.RemoteMachineName.empty());
    EXPECT_TRUE(Contains(kms.sent, "MESSAGE PC01 " + RemoteCancelledText("T")));
    EXPECT_FALSE(Contains(kms.sent, "MESSAGE PC01 " + RemoteFailedText("T")));

    // Ninety seconds on, no redial has come and nothing speaks of a failure.
    RunSeconds(90);
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
    EXPECT_FALSE(tmConnect.enabled);
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
            form.LastScheduleTick = 0.49995;
            clock.timeOfDay = 0.50005;
            form.tmScheduleTimer();
        } else {
            form.miTaskDeconnectClick();
        }
        window.Dispatch();
        const auto shown = Messages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0], Filled(scheduled ? kStatusScheduleDialCancelled : kStatusDialCancelled));
        EXPECT_FALSE(tmConnect.enabled);
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
        window.Dispatch();
        EXPECT_EQ(Messages(), (std::vector<std::string>{Filled(kStatusDialStarted), Filled(kStatusDialCancelled)}));
        EXPECT_TRUE(service.Gone(service.conns.back()));
        EXPECT_EQ(kms.sent.back(), "MESSAGE PC01 " + RemoteCancelledText("T"));
        EXPECT_FALSE(form.CancelRequested);

        form.miTaskConnectClick();
        Notify(RASCS_Disconnected, 678);
        window.Dispatch();
        EXPECT_EQ(Messages(), (std::vector<std::string>{Filled(kStatusDialStarted), Filled(kStatusDialFailed)}));
        kms.sent.clear();
    }
}

// A cancel that arrives while Dial waits for the handle of a refused start has nothing to
// cancel: the refusal is what the user is told.
TEST_F(DialupRoad, CancelDuringARefusedDialsWaitKeepsTheFailure)
{
    service.dialResult = 633;
    service.handleOnFailure = true;
    service.releaseDelay = 300;
    std::optional<bool> cancelled;
    bool asked = false;
    window.onPump = [&] {
        if (!asked) {
            asked = true;
            cancelled = ras.CancelDial();
        }
    };
    form.miTaskConnectClick();
    ASSERT_TRUE(cancelled.has_value());
    EXPECT_FALSE(*cancelled);
    window.Dispatch();
    EXPECT_EQ(Messages(), std::vector<std::string>{Filled(kStatusDialFailed)});
    EXPECT_FALSE(form.CancelRequested);
    EXPECT_EQ(ras.DialHandle(), 0u);

    // The next dial's failure is reported, not taken for a cancel.
    window.onPump = nullptr;
    service.dialResult = 0;
    form.miTaskConnectClick();
    Notify(RASCS_Disconnected, 678);
    window.Dispatch();
    EXPECT_EQ(Messages(), (std::vector<std::string>{Filled(kStatusDialStarted), Filled(kStatusDialFailed)}));
}

// Another program's connection is still dialling ahead of the target's: a disconnect hangs up
// the target's connection and nothing else.
TEST_F(DialupRoad, DisconnectHangsUpOnlyTheTargetsConnection)
{
    service.conns = {{0x10, "Other", RASCS_Authenticate}, {0x11, "Other", RASCS_Connected}, {0x12, "T", RASCS_Connected}};
    form.ConnectRequested = true;
    form.miTaskDeconnectClick();
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
    window.Dispatch();  // the failed dial's handle is hung up and never released
    EXPECT_EQ(ras.DialHandle(), 0u);
    EXPECT_TRUE(ras.ServiceInUse());
}

}  // namespace
}  // namespace kiv
