#include <gtest/gtest.h>

#include <optional>

#include "FakeRasPlatform.h"

namespace kiv::test {
namespace {

using Events = std::vector<std::string>;

TEST(VireoRASUnavailable, EveryQueryGivesItsUnavailableAnswer)
{
    FakeRasWindow window;
    TVireoRAS ras(nullptr, window);
    int events = 0;
    ras.OnConnectError = [&](const std::string&, const RasError&) { ++events; };
    EXPECT_TRUE(ras.ServiceError());
    EXPECT_EQ(ras.EntryCount(), -1);
    EXPECT_EQ(ras.ActiveEntryCount(), -1);
    EXPECT_EQ(ras.EntryState(0), -1);
    EXPECT_EQ(ras.EntryStateByName("A"), -1);
    EXPECT_EQ(ras.EntryName(0), "");
    EXPECT_EQ(ras.ConnectedEntryName(0), "");
    EXPECT_FALSE(ras.Dial(0));
    EXPECT_FALSE(ras.CancelDial({}));
    EXPECT_FALSE(ras.HangUpConnection(0, {}));
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
    EXPECT_FALSE(f.ras.HangUpConnection(0, {}));
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
    EXPECT_TRUE(f.ras.HangUpConnection(1, {}));
    EXPECT_EQ(f.service.calls.back(), "HangUp 12");
    f.window.RunFor(1000);  // released
    EXPECT_FALSE(f.ras.HangUpConnection(5, {}));  // five records are left
    EXPECT_FALSE(f.ras.HangUpConnection(-1, {}));
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
    EXPECT_FALSE(f.ras.Dial(0));  // at once, while the handle is released
    EXPECT_EQ(f.service.HangUps(), 1);
    EXPECT_EQ(f.ras.DialHandle(), 0u);
    EXPECT_EQ(f.ras.DialName(), "");
    EXPECT_TRUE(f.ras.ServiceInUse());  // until the service has released it
    f.window.RunFor(1000);  // the service's word of the disconnection comes too late to matter
    EXPECT_TRUE(f.service.Gone(f.service.conns.back()));
    EXPECT_FALSE(f.ras.ServiceInUse());
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
    EXPECT_TRUE(f.ras.HangUpConnection(0, {}));
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
    EXPECT_TRUE(f.ras.HangUpConnection(100, {}));
    EXPECT_EQ(f.service.calls.back(), "HangUp " + std::to_string(own));
    f.window.RunFor(1000);
    EXPECT_EQ(f.events, Events{"ConnectError B"});
    EXPECT_FALSE(f.ras.HangUpConnection(101, {}));
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
    EXPECT_EQ(f.events, Events{});  // reported once the service has released the handle
    f.window.RunFor(f.service.releaseDelay.value() + kHangUpPollMs);
    EXPECT_EQ(f.events, Events{"ConnectError A 691"});  // the service has no text for it
    EXPECT_NE(std::find(f.service.calls.begin(), f.service.calls.end(), "HangUp " + std::to_string(handle)),
              f.service.calls.end());
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
    f.ras.OnConnectError = [&](const std::string& n, const RasError&) {
        f.events.push_back("ConnectError " + n);
        f.ras.Dial(1);
    };
    ASSERT_TRUE(f.ras.Dial(0));
    f.Notify(RASCS_Disconnected);
    f.window.RunFor(1000);
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
        int done = 0;
        EXPECT_TRUE(f.ras.CancelDial([&] { ++done; }));
        EXPECT_FALSE(f.ras.Dial(1));
        EXPECT_EQ(done, 0);  // after the call has returned
        f.window.RunFor(100);
        EXPECT_EQ(done, 1);
        f.Notify(RASCS_Disconnected);  // a late word of the service finds no dial
        f.window.RunFor(100);
        EXPECT_EQ(f.events, Events{"ConnectError A"});
        EXPECT_TRUE(f.ras.Dial(1));
    }
}

// The service's word of the end can come before the handle is released: the dial ends then,
// and the cancel's own end follows with the release.
TEST(VireoRASCancel, NotificationBeforeTheReleaseEndsTheDial)
{
    DialFixture f;
    f.service.releaseDelay = 500;
    ASSERT_TRUE(f.ras.Dial(0));
    bool done = false;
    EXPECT_TRUE(f.ras.CancelDial([&] { done = true; }));
    f.window.RunFor(100);
    EXPECT_EQ(f.events, Events{"ConnectError A"});
    EXPECT_EQ(f.ras.DialHandle(), 0u);
    EXPECT_FALSE(done);
    f.window.RunFor(400 + kHangUpPollMs);
    EXPECT_TRUE(done);
    EXPECT_TRUE(f.service.Gone(f.service.conns.back()));
    EXPECT_EQ(f.service.HangUps(), 1);
    EXPECT_EQ(f.events, Events{"ConnectError A"});
}

TEST(VireoRASCancel, RefusedHangUpWaitsForNothing)
{
    DialFixture f;
    EXPECT_FALSE(f.ras.CancelDial({}));  // no dial
    ASSERT_TRUE(f.ras.Dial(0));
    f.service.hangUpResult = 668;
    EXPECT_FALSE(f.ras.CancelDial({}));
    EXPECT_TRUE(f.window.timers.empty());
    EXPECT_EQ(f.ras.DialName(), "A");
    EXPECT_TRUE(f.window.queue.empty());
}

TEST(VireoRASWait, NeverReleasedCancelReportedByTheServiceWaitsOnce)
{
    DialFixture f;
    f.service.releaseDelay.reset();
    ASSERT_TRUE(f.ras.Dial(0));
    // The hang-up was accepted: a cancel, even though the handle outlives the wait. The
    // service's WM_RAS_ERROR ends the dial meanwhile.
    bool done = false;
    EXPECT_TRUE(f.ras.CancelDial([&] { done = true; }));
    f.window.RunFor(kHangUpWaitLimitMs - 1);
    EXPECT_EQ(f.events, Events{"ConnectError A"});
    EXPECT_FALSE(done);
    f.window.RunFor(kHangUpPollMs);
    EXPECT_TRUE(done);
    EXPECT_EQ(f.service.HangUps(), 1);
    EXPECT_EQ(f.events, Events{"ConnectError A"});
}

// The service is asked about a hung-up handle once at once and then every poll interval, and
// the end comes with the first look that finds it gone.
TEST(VireoRASWait, PollsTheServiceUntilTheRelease)
{
    ListFixture f;
    f.service.releaseDelay = 2000;
    std::optional<bool> released;
    const int queriesBefore = f.service.statusQueries;
    EXPECT_TRUE(f.ras.HangUpConnection(1, [&](bool r) { released = r; }));
    f.window.RunFor(2000 - 1);
    EXPECT_FALSE(released);
    EXPECT_EQ(f.service.statusQueries - queriesBefore, 1 + (2000 - 1) / static_cast<int>(kHangUpPollMs));
    f.window.RunFor(kHangUpPollMs);
    EXPECT_EQ(released, true);
    f.window.RunFor(10 * kHangUpPollMs);
    EXPECT_EQ(f.service.statusQueries - queriesBefore, 1 + 2000 / static_cast<int>(kHangUpPollMs));
    EXPECT_EQ(f.window.killed, std::vector<unsigned>{kReleaseTimerId});
}

TEST(VireoRASWait, NeverReleasedHangUpGivesUpAfterTheLimit)
{
    ListFixture f;
    f.service.releaseDelay.reset();
    std::optional<bool> released;
    EXPECT_TRUE(f.ras.HangUpConnection(1, [&](bool r) { released = r; }));
    f.window.RunFor(kHangUpWaitLimitMs - 1);
    EXPECT_FALSE(released);
    f.window.RunFor(kHangUpPollMs);
    EXPECT_EQ(released, false);
}

TEST(VireoRASWait, NeverReleasedCancelStillEndsTheDialOnce)
{
    DialFixture f;
    f.service.releaseDelay.reset();
    f.service.notifyOnHangUp = false;
    ASSERT_TRUE(f.ras.Dial(0));
    EXPECT_TRUE(f.ras.CancelDial({}));
    f.window.RunFor(kHangUpWaitLimitMs - 1);
    EXPECT_EQ(f.events, Events{});
    f.window.RunFor(kHangUpPollMs);  // the wait gives up: the dial ends by the message of our own
    EXPECT_EQ(f.events, Events{"ConnectError A"});
    EXPECT_TRUE(f.ras.ServiceInUse());  // the handle was never released
    EXPECT_EQ(f.service.HangUps(), 1);  // the abandoned handle is not hung up or watched again
    EXPECT_TRUE(f.window.queue.empty());
    EXPECT_TRUE(f.ras.Dial(1));
}

// As the program ends: the hang-ups are settled by asking the service, without a message or a
// timer, until the release or the limit; only those released end.
TEST(VireoRASSettle, AsksTheServiceUntilTheReleaseOrTheLimit)
{
    for (const bool released : {true, false}) {
        ListFixture f;
        f.service.releaseDelay = released ? std::optional<std::uint32_t>(500) : std::nullopt;
        std::optional<bool> ended;
        ASSERT_TRUE(f.ras.HangUpConnection(1, [&](bool r) { ended = r; }));
        const std::uint64_t start = f.window.Now();
        EXPECT_EQ(f.ras.SettleHangUps(3000), released);
        const std::uint64_t waited = f.window.Now() - start;
        if (released) {
            EXPECT_EQ(ended, true);
            EXPECT_EQ(waited, 500u);
            EXPECT_FALSE(f.ras.ServiceInUse());
        } else {
            EXPECT_FALSE(ended) << "left to the service";
            EXPECT_EQ(waited, 3000u);
            EXPECT_TRUE(f.ras.ServiceInUse());
        }
        for (const unsigned pause : f.window.pauses)
            EXPECT_EQ(pause, kHangUpPollMs);
    }
    ListFixture idle;
    EXPECT_TRUE(idle.ras.SettleHangUps(3000));
    EXPECT_TRUE(idle.window.pauses.empty());
}

TEST(VireoRASMonitor, OneEventPerTransition)
{
    RasFixture f;
    f.ras.SetMonitoring(true);
    f.ras.SetMonitoring(true);
    ASSERT_EQ(f.window.timers.size(), 1u);
    EXPECT_EQ(f.window.timers[0].id, kMonitorTimerId);
    EXPECT_EQ(f.window.timers[0].ms, 3000u);

    const auto tick = [&] { f.ras.TimerFired(kMonitorTimerId); };
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
