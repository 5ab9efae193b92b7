#include <gtest/gtest.h>

#include "FakeRasPlatform.h"

namespace kiv::test {
namespace {

using Events = std::vector<std::string>;

TEST(VireoRASUnavailable, EveryQueryGivesItsUnavailableAnswer)
{
    FakeRasWindow window;
    TVireoRAS ras(nullptr, window);
    int events = 0;
    ras.OnConnectError = [&](const std::string&) { ++events; };
    EXPECT_TRUE(ras.ServiceError());
    EXPECT_EQ(ras.EntryCount(), -1);
    EXPECT_EQ(ras.ActiveEntryCount(), -1);
    EXPECT_EQ(ras.EntryState(0), -1);
    EXPECT_EQ(ras.EntryStateByName("A"), -1);
    EXPECT_EQ(ras.EntryName(0), "");
    EXPECT_EQ(ras.ConnectedEntryName(0), "");
    EXPECT_FALSE(ras.Dial(0));
    EXPECT_FALSE(ras.CancelDial());
    EXPECT_FALSE(ras.HangUpConnection(0));
    ras.SetMonitoring(true);
    EXPECT_FALSE(ras.Monitoring());
    EXPECT_TRUE(window.timers.empty());
    ras.WindowProc(WM_RAS_ERROR);
    EXPECT_EQ(events, 0);
}

// 412-byte connection records in the 32-bit layout; the 64-bit Windows build has its own.
TEST(VireoRAS, RecordSizesAndBuffersOf100)
{
    RasFixture f;
    f.service.entries = {"A"};
    f.ras.EntryCount();
    f.ras.ActiveEntryCount();
    ASSERT_EQ(f.service.sizesSeen.size(), 2u);
    EXPECT_EQ(f.service.sizesSeen[0].dwSize, 264u);
    EXPECT_EQ(f.service.sizesSeen[0].bytes, 26400u);
    EXPECT_EQ(f.service.sizesSeen[1].dwSize, sizeof(RASCONNA));
    EXPECT_EQ(f.service.sizesSeen[1].bytes, 100 * sizeof(RASCONNA));
}

TEST(VireoRAS, EntryNamesByIndex)
{
    RasFixture f;
    f.service.entries = {"A", "プロバイダ", "C"};
    EXPECT_EQ(f.ras.EntryCount(), 3);
    EXPECT_EQ(f.ras.EntryName(1), "プロバイダ");
    EXPECT_EQ(f.ras.EntryName(5), "");
    f.service.calls.clear();
    EXPECT_EQ(f.ras.EntryName(-1), "");
    EXPECT_EQ(f.ras.EntryName(100), "");
    EXPECT_TRUE(f.service.calls.empty());
}

TEST(VireoRAS, FailingEntryListing)
{
    RasFixture f;
    f.service.entries = {"A"};
    f.service.enumEntriesResult = ERROR_BUFFER_TOO_SMALL;
    EXPECT_EQ(f.ras.EntryCount(), -1);
    EXPECT_EQ(f.ras.EntryName(0), "");
    EXPECT_EQ(f.ras.EntryState(0), -1);
    EXPECT_FALSE(f.ras.Dial(0));
}

TEST(VireoRAS, FailingConnectionListing)
{
    RasFixture f;
    f.service.entries = {"A"};
    f.service.conns = {{7, "A", RASCS_Connected}};
    f.service.enumConnectionsResult = ERROR_BUFFER_TOO_SMALL;
    EXPECT_EQ(f.ras.ActiveEntryCount(), -1);
    EXPECT_EQ(f.ras.EntryState(0), 0);
    EXPECT_EQ(f.ras.EntryStateByName("A"), 0);
    EXPECT_EQ(f.ras.ConnectedEntryName(0), "");
    EXPECT_FALSE(f.ras.HangUpConnection(0));
    EXPECT_EQ(f.service.HangUps(), 0);
}

// Phonebook A B C D E; connections [A dialling, B connected, C connected, D disconnected,
// E whose status query fails, B again (dialling)].
struct ListFixture : RasFixture {
    ListFixture()
    {
        service.entries = {"A", "B", "C", "D", "E", "F"};
        service.conns = {{11, "A", RASCS_Authenticate}, {12, "B", RASCS_Connected}, {13, "C", RASCS_Connected},
                         {14, "D", RASCS_Disconnected}, {15, "E", RASCS_Connected, 668}, {16, "B", 3}};
    }
};

TEST(VireoRASLists, EntryStatesByIndexAndByName)
{
    ListFixture f;
    const struct {
        std::string name;
        int state;
    } cases[] = {{"A", 1}, {"B", 2}, {"C", 2}, {"D", 0}, {"E", 0}, {"F", 0}};
    for (int i = 0; i < 6; ++i) {
        SCOPED_TRACE(cases[i].name);
        EXPECT_EQ(f.ras.EntryState(i), cases[i].state);
        EXPECT_EQ(f.ras.EntryStateByName(cases[i].name), cases[i].state);
    }
    EXPECT_EQ(f.ras.EntryState(6), -1);
    EXPECT_EQ(f.ras.EntryStateByName(""), 0);
}

TEST(VireoRASLists, ConnectedIndexCountsOnlyConnectedRecords)
{
    ListFixture f;
    EXPECT_EQ(f.ras.ActiveEntryCount(), 2);
    EXPECT_EQ(f.ras.ConnectedEntryName(0), "B");
    EXPECT_EQ(f.ras.ConnectedEntryName(1), "C");
    EXPECT_EQ(f.ras.ConnectedEntryName(2), "");
    EXPECT_EQ(f.ras.ConnectedEntryName(-1), "");
}

TEST(VireoRASLists, HangUpIndexCountsAllRecords)
{
    ListFixture f;
    EXPECT_TRUE(f.ras.HangUpConnection(1));
    EXPECT_EQ(f.service.calls.back(), "HangUp 12");
    EXPECT_FALSE(f.ras.HangUpConnection(5));  // five records are left
    EXPECT_FALSE(f.ras.HangUpConnection(-1));
    EXPECT_EQ(f.service.HangUps(), 1);
}

TEST(VireoRASLists, StatusQueriesUseTheRecordSize)
{
    ListFixture f;
    f.ras.ActiveEntryCount();
    ASSERT_FALSE(f.service.statusSizes.empty());
    for (auto s : f.service.statusSizes)
        EXPECT_EQ(s, 160u);
}

struct DialFixture : RasFixture {
    DialFixture() { service.entries = {"A", "B"}; }
};

TEST(VireoRASDial, StartsWithTheStoredDialParameters)
{
    DialFixture f;
    ASSERT_TRUE(f.ras.Dial(1));
    EXPECT_EQ(f.service.paramsSize, 1052u);
    EXPECT_EQ(f.service.calls.back(), "Dial B 0120");
    EXPECT_EQ(f.ras.DialName(), "B");
    EXPECT_NE(f.ras.DialHandle(), 0u);
    EXPECT_EQ(f.ras.EntryStateByName("B"), 1);
}

TEST(VireoRASDial, RefusedWithoutDialling)
{
    const struct {
        const char* what;
        int index;
        std::uint32_t paramsResult;
    } cases[] = {{"index beyond the count", 2, 0}, {"index out of range", 100, 0}, {"negative", -1, 0},
                 {"dial parameters missing", 0, ERROR_CANNOT_FIND_PHONEBOOK_ENTRY}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        DialFixture f;
        f.service.paramsResult = c.paramsResult;
        EXPECT_FALSE(f.ras.Dial(c.index));
        for (const auto& call : f.service.calls)
            EXPECT_NE(call.rfind("Dial ", 0), 0u) << call;
        EXPECT_EQ(f.ras.DialHandle(), 0u);
        EXPECT_EQ(f.ras.DialName(), "");
    }
}

TEST(VireoRASDial, SecondDialRefusedWithoutCallingTheService)
{
    DialFixture f;
    ASSERT_TRUE(f.ras.Dial(0));
    f.service.calls.clear();
    EXPECT_FALSE(f.ras.Dial(1));
    EXPECT_TRUE(f.service.calls.empty());
    EXPECT_EQ(f.ras.DialName(), "A");
}

TEST(VireoRASDial, FailedStartReleasesTheHandleQuietly)
{
    DialFixture f;
    f.service.dialResult = 633;
    f.service.handleOnFailure = true;
    EXPECT_FALSE(f.ras.Dial(0));
    EXPECT_EQ(f.service.HangUps(), 1);
    EXPECT_TRUE(f.service.Gone(f.service.conns.back()));  // waited until released
    EXPECT_EQ(f.ras.DialHandle(), 0u);
    EXPECT_EQ(f.ras.DialName(), "");
    f.window.Dispatch();  // the service's word of the disconnection comes too late to matter
    EXPECT_EQ(f.events, Events{});
    f.service.dialResult = 0;
    EXPECT_TRUE(f.ras.Dial(0));
}

TEST(VireoRASDial, OwnDialListedEvenBeforeTheService)
{
    DialFixture f;
    f.service.listDialled = false;
    ASSERT_TRUE(f.ras.Dial(0));
    EXPECT_EQ(f.ras.EntryStateByName("A"), 1);
    EXPECT_TRUE(f.ras.HangUpConnection(0));
}

TEST(VireoRASDial, OwnDialAppendedAfterAFullListOf100)
{
    DialFixture f;
    f.service.listDialled = false;
    for (HRASCONN h = 1; h <= 100; ++h)
        f.service.conns.push_back({h, "other", RASCS_Connected});
    ASSERT_TRUE(f.ras.Dial(1));
    const HRASCONN own = f.ras.DialHandle();
    EXPECT_EQ(f.ras.EntryStateByName("B"), 1);
    EXPECT_EQ(f.ras.ActiveEntryCount(), 100);
    EXPECT_TRUE(f.ras.HangUpConnection(100));
    EXPECT_EQ(f.service.calls.back(), "HangUp " + std::to_string(own));
    EXPECT_EQ(f.events, Events{"ConnectError B"});
    EXPECT_FALSE(f.ras.HangUpConnection(101));
}

TEST(VireoRASNotify, NotifierMessages)
{
    const struct {
        std::uint32_t state, error;
        unsigned message;
    } cases[] = {{RASCS_Authenticate, 0, WM_RAS_AUTHENTICATE},
                 {RASCS_Authenticate, 691, WM_RAS_ERROR},
                 {RASCS_Connected, 0, WM_RAS_CONNECTED},
                 {RASCS_Connected, 629, WM_RAS_ERROR},
                 {RASCS_Disconnected, 0, WM_RAS_ERROR},
                 {0, 0, 0},
                 {14, 0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(NotifierMessage(c.state, c.error), c.message) << c.state << " " << c.error;
    EXPECT_EQ(WM_RAS_CONNECTED, 1125u);
    EXPECT_EQ(WM_RAS_ERROR, 1127u);
}

TEST(VireoRASNotify, DialToConnected)
{
    DialFixture f;
    std::string nameDuringEvent = "unset";
    f.ras.OnConnect = [&](const std::string& n) {
        f.events.push_back("Connect " + n);
        nameDuringEvent = f.ras.DialName();
    };
    ASSERT_TRUE(f.ras.Dial(1));
    f.Notify(3);
    f.Notify(RASCS_Authenticate);
    f.Notify(RASCS_Connected);
    f.window.Dispatch();
    EXPECT_EQ(f.events, (Events{"Authenticate B", "Connect B"}));
    EXPECT_EQ(f.ras.DialName(), "");
    EXPECT_EQ(nameDuringEvent, "");
    EXPECT_EQ(f.ras.DialHandle(), 0u);
    EXPECT_EQ(f.service.HangUps(), 0);
    EXPECT_TRUE(f.ras.Dial(0));
}

TEST(VireoRASNotify, ErrorDuringAuthenticationEndsTheDial)
{
    DialFixture f;
    ASSERT_TRUE(f.ras.Dial(0));
    const HRASCONN handle = f.ras.DialHandle();
    f.service.notifyOnHangUp = false;
    f.Notify(RASCS_Authenticate, 691);
    f.window.Dispatch();
    EXPECT_EQ(f.events, Events{"ConnectError A"});
    EXPECT_EQ(f.service.calls.back(), "HangUp " + std::to_string(handle));
    EXPECT_TRUE(f.service.Gone(*f.service.Find(handle)));
    EXPECT_EQ(f.ras.DialName(), "");
}

TEST(VireoRASNotify, NotificationsWithoutADialAreDropped)
{
    DialFixture f;
    for (unsigned m : {WM_RAS_CONNECTED, WM_RAS_AUTHENTICATE, WM_RAS_ERROR})
        EXPECT_TRUE(f.ras.WindowProc(m));
    EXPECT_EQ(f.events, Events{});
    EXPECT_EQ(f.service.HangUps(), 0);
    EXPECT_FALSE(f.ras.WindowProc(0x0010));
}

TEST(VireoRASNotify, AnErrorHandlerThatDialsAgainKeepsTheNewDial)
{
    DialFixture f;
    f.ras.OnConnectError = [&](const std::string& n) {
        f.events.push_back("ConnectError " + n);
        f.ras.Dial(1);
    };
    ASSERT_TRUE(f.ras.Dial(0));
    f.Notify(RASCS_Disconnected);
    f.window.Dispatch();
    EXPECT_EQ(f.events, Events{"ConnectError A"});
    EXPECT_EQ(f.ras.DialName(), "B");
    f.Notify(RASCS_Connected);
    f.window.Dispatch();
    EXPECT_EQ(f.events, (Events{"ConnectError A", "Connect B"}));
}

// The service either reports the end of a cancelled dial or stays silent; either way exactly
// one OnConnectError follows, and Dial refuses until it has.
TEST(VireoRASCancel, EndsWithExactlyOneConnectError)
{
    for (bool serviceNotifies : {true, false}) {
        SCOPED_TRACE(serviceNotifies);
        DialFixture f;
        f.service.notifyOnHangUp = serviceNotifies;
        f.service.releaseDelay = 0;
        ASSERT_TRUE(f.ras.Dial(0));
        EXPECT_TRUE(f.ras.CancelDial());
        EXPECT_FALSE(f.ras.Dial(1));
        f.window.Dispatch();
        f.Notify(RASCS_Disconnected);  // a late word of the service finds no dial
        f.window.Dispatch();
        EXPECT_EQ(f.events, Events{"ConnectError A"});
        EXPECT_TRUE(f.ras.Dial(1));
    }
}

TEST(VireoRASCancel, NotificationDuringTheWaitEndsTheDialAndTheWait)
{
    DialFixture f;
    f.service.releaseDelay = 500;
    ASSERT_TRUE(f.ras.Dial(0));
    EXPECT_TRUE(f.ras.CancelDial());  // WM_RAS_ERROR handled inside the wait
    EXPECT_EQ(f.events, Events{"ConnectError A"});
    EXPECT_EQ(f.ras.DialHandle(), 0u);
    EXPECT_EQ(f.service.HangUps(), 1);
    EXPECT_TRUE(f.service.Gone(f.service.conns.back()));
    f.window.Dispatch();
    EXPECT_EQ(f.events, Events{"ConnectError A"});
}

TEST(VireoRASCancel, RefusedHangUpWaitsForNothing)
{
    DialFixture f;
    EXPECT_FALSE(f.ras.CancelDial());  // no dial
    ASSERT_TRUE(f.ras.Dial(0));
    f.service.hangUpResult = 668;
    EXPECT_FALSE(f.ras.CancelDial());
    EXPECT_EQ(f.window.pumps, 0);
    EXPECT_EQ(f.ras.DialName(), "A");
    EXPECT_TRUE(f.window.queue.empty());
}

TEST(VireoRASWait, NeverReleasedCancelReportedByTheServiceWaitsOnce)
{
    DialFixture f;
    f.service.releaseDelay.reset();
    ASSERT_TRUE(f.ras.Dial(0));
    // The hang-up was accepted: a cancel, even though the handle outlives the wait. The
    // service's WM_RAS_ERROR is handled inside the wait.
    EXPECT_TRUE(f.ras.CancelDial());
    EXPECT_EQ(f.events, Events{"ConnectError A"});
    EXPECT_LT(f.window.now - 1000u, kHangUpWaitLimitMs + kHangUpPollMs);
    EXPECT_EQ(f.service.HangUps(), 1);
    f.window.Dispatch();
    EXPECT_EQ(f.events, Events{"ConnectError A"});
}

TEST(VireoRASWait, SleepsBetweenPollsWhileDispatchingMessages)
{
    ListFixture f;
    f.service.releaseDelay = 2000;
    int timerTicks = 0;
    f.window.onPump = [&] { ++timerTicks; };
    EXPECT_TRUE(f.ras.HangUpConnection(1));
    EXPECT_EQ(f.window.now, 1000u + 2000u);
    EXPECT_EQ(timerTicks, 2000 / static_cast<int>(kHangUpPollMs));
    for (unsigned w : f.window.waits)
        EXPECT_LE(w, kHangUpPollMs);
}

TEST(VireoRASWait, NeverReleasedHangUpGivesUpAfterTheLimit)
{
    ListFixture f;
    f.service.releaseDelay.reset();
    EXPECT_FALSE(f.ras.HangUpConnection(1));
    EXPECT_GE(f.window.now - 1000u, kHangUpWaitLimitMs);
    EXPECT_LT(f.window.now - 1000u, kHangUpWaitLimitMs + kHangUpPollMs);
    EXPECT_GT(f.window.pumps, 0);
}

TEST(VireoRASWait, NeverReleasedCancelStillEndsTheDialOnce)
{
    DialFixture f;
    f.service.releaseDelay.reset();
    f.service.notifyOnHangUp = false;
    ASSERT_TRUE(f.ras.Dial(0));
    EXPECT_TRUE(f.ras.CancelDial());
    EXPECT_TRUE(f.ras.ServiceInUse());  // the handle was never released
    const std::uint32_t afterCancel = f.window.now;
    f.window.Dispatch();
    EXPECT_EQ(f.events, Events{"ConnectError A"});
    EXPECT_EQ(f.window.now, afterCancel);  // the abandoned handle is not waited for again
    EXPECT_EQ(f.service.HangUps(), 1);
    EXPECT_TRUE(f.ras.Dial(1));
}

TEST(VireoRASMonitor, OneEventPerTransition)
{
    RasFixture f;
    f.ras.SetMonitoring(true);
    f.ras.SetMonitoring(true);
    ASSERT_EQ(f.window.timers.size(), 1u);
    EXPECT_EQ(f.window.timers[0].id, kMonitorTimerId);
    EXPECT_EQ(f.window.timers[0].ms, 3000u);

    const auto tick = [&] { f.ras.WindowProc(WM_TIMER); };
    tick();
    f.service.conns.push_back({1, "A", RASCS_Connected});
    tick();
    f.service.conns.push_back({2, "B", RASCS_Connected});
    tick();
    f.service.enumConnectionsResult = 5;
    tick();
    f.service.enumConnectionsResult = 0;
    f.service.conns.clear();
    tick();
    tick();
    EXPECT_EQ(f.events, (Events{"FirstConnect", "AllDeconnect"}));

    f.ras.SetMonitoring(false);
    EXPECT_EQ(f.window.killed, std::vector<unsigned>{kMonitorTimerId});
    f.service.conns.push_back({3, "C", RASCS_Connected});
    tick();
    EXPECT_EQ(f.events.size(), 2u);
}

}  // namespace
}  // namespace kiv::test
