// TVireoRAS: the dial-up access component. Lists phonebook entries and connections, tells an
// entry's state, dials asynchronously and reports the outcome through events, cancels its own
// dial, hangs up connections and watches the number of connected connections.
//
// Everything runs on the thread of the window message loop. The platform side forwards the
// hidden window's messages to WindowProc; the dial notifier (on the service's thread) only
// posts WM_RAS_* messages there.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "RasPort.h"
#include "VireoRAS_API.h"

namespace kiv {

class TVireoRAS : public RasPort {
public:
    // service is null when the service library could not be loaded (ServiceError).
    TVireoRAS(ras::RasService* service, ras::RasWindowPort& window);
    ~TVireoRAS() override;
    TVireoRAS(const TVireoRAS&) = delete;
    TVireoRAS& operator=(const TVireoRAS&) = delete;

    bool ServiceError() const override { return service_ == nullptr; }
    int EntryCount() override;
    std::string EntryName(int index) override;
    int EntryState(int index) override;
    int ActiveEntryCount() override;
    std::string ConnectedEntryName(int index) override;
    bool Dial(int index) override;
    RasError DialRefusal() const override { return refusal_; }
    bool CancelDial(std::function<void()> done) override;
    bool HangUpConnection(int index, std::function<void(bool released)> done) override;
    bool SettleHangUps(std::uint32_t limitMs) override;
    std::string ListedEntryName(int index) override;
    int EntryStateByName(const std::string& name) override;
    void SetMonitoring(bool on) override;

    // The hidden window's messages: WM_RAS_*, with the error code a WM_RAS_ERROR carries.
    // Returns false for any other message, which the window side hands to the default window
    // procedure.
    bool WindowProc(unsigned message, std::uint32_t error = 0);
    // A timer of the hidden window: the monitor, or the look at the handles hung up.
    void TimerFired(unsigned id);

    ras::HRASCONN DialHandle() const { return dialHandle_; }
    const std::string& DialName() const { return dialName_; }
    bool Monitoring() const { return monitoring_; }
    // The service still has work of ours in hand: a dial of ours runs, or a handle of a dial
    // of ours was hung up and never seen released. Its library must stay loaded meanwhile.
    bool ServiceInUse() const { return dialHandle_ != 0 || !releases_.empty() || unreleased_; }
    bool AnyConnected() const { return anyConnected_; }

private:
    struct EntryList {
        ras::RASENTRYNAMEA records[ras::kMaxRecords];
        std::uint32_t count;
    };
    // One spare record beyond the service's 100, for the component's own dial.
    struct ConnList {
        ras::RASCONNA records[ras::kMaxRecords + 1];
        std::uint32_t count;
    };

    bool EnumerateEntries(EntryList& list);
    bool EnumerateConnections(ConnList& list);
    // Status of a connection: its rasconnstate, or -1 when the query fails.
    long ConnectionState(ras::HRASCONN conn);
    static int StateCode(long rasState);
    // Watches a handle that was hung up: `released` runs once the service no longer knows it
    // (true), or when kHangUpWaitLimitMs have passed first (false).
    void WatchRelease(ras::HRASCONN handle, std::function<void(bool released)> released);
    // Asks the service about every watched handle; runs the endings that are due.
    void CheckReleases();
    void OnRasError(std::uint32_t error);
    // The error code with the service's text for it.
    RasError ErrorOf(std::uint32_t code);
    // The dial is over: it stops being the component's own, and OnConnectError is raised.
    void EndDial();

    ras::RasService* service_;
    ras::RasWindowPort& window_;
    bool anyConnected_ = false;
    bool monitoring_ = false;
    unsigned monitorTimer_ = 0;
    ras::HRASCONN dialHandle_ = 0;
    std::string dialName_;
    // The dial is being ended (its handle released); notifications meanwhile are dropped.
    bool dialEnding_ = false;
    // CancelDial hung the dial up: it ends as cancelled, whatever the service reports.
    bool dialCancelled_ = false;
    // The error code the service reported for the dial being ended.
    std::uint32_t dialError_ = 0;
    RasError refusal_;
    // A handle of a dial of ours was hung up and not released within the wait.
    bool unreleased_ = false;
    struct Release {
        ras::HRASCONN Handle;
        std::uint32_t Since;
        std::function<void(bool released)> Released;
    };
    std::vector<Release> releases_;
};

}  // namespace kiv
