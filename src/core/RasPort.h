// The dial-up access component as the main window sees it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace kiv {

// The state codes of EntryState and EntryStateByName. The component's calls return them as
// int, so they compare with the codes as they are.
enum RasEntryState : int {
    kEntryUnavailable = -1,  // invalid index or service unavailable
    kEntryIdle = 0,          // neither dialling nor connected
    kEntryDialling = 1,
    kEntryConnected = 2,
};

// Why the service failed a dial: its error code and its own text for it.
struct RasError {
    std::uint32_t Code = 0;  // 0: the service gave none (a line that dropped while dialling)
    std::string Text;        // Shift-JIS; empty when the service has none for the code
    bool operator==(const RasError&) const = default;
};

// The dial-up access component as the main window uses it.
class RasPort {
public:
    virtual ~RasPort() = default;
    virtual bool ServiceError() const = 0;
    virtual int EntryCount() = 0;
    virtual std::string EntryName(int index) = 0;
    virtual int EntryState(int index) = 0;
    virtual int ActiveEntryCount() = 0;
    virtual std::string ConnectedEntryName(int index) = 0;
    virtual bool Dial(int index) = 0;
    // Why the last Dial that returned false was refused; code 0 when the component refused it
    // itself (no such entry, a dial of its own still running).
    virtual RasError DialRefusal() const = 0;
    // The hang-ups run on while the caller goes on: false when the service refused at once
    // (nothing follows); otherwise `done` runs, after the call has returned, once the service
    // has released the line or the wait for it has given up. A cancelled dial then ends as
    // OnConnectError; a connection's done learns whether it was released.
    virtual bool CancelDial(std::function<void()> done) = 0;
    virtual bool HangUpConnection(int index, std::function<void(bool released)> done) = 0;
    // The hang-ups under way, settled as the program ends, without processing messages: the
    // service is asked about each until it has released it or limitMs have passed, and the
    // `done` of each one released runs. True when none is left.
    virtual bool SettleHangUps(std::uint32_t limitMs) = 0;
    // Entry name of the index-th listed connection, counted as HangUpConnection counts (every
    // listed connection, whatever its state); empty beyond the list.
    virtual std::string ListedEntryName(int index) = 0;
    virtual int EntryStateByName(const std::string& name) = 0;
    virtual void SetMonitoring(bool on) = 0;

    // Events; an unassigned one is skipped. The argument is the dialled entry's name; a failure
    // carries the service's reason (a cancelled dial too, whatever the service said of it).
    std::function<void(const std::string& dialName)> OnConnect;
    std::function<void(const std::string& dialName)> OnConnectAuthenticate;
    std::function<void(const std::string& dialName, const RasError& error)> OnConnectError;
    std::function<void()> OnFirstConnect;
    std::function<void()> OnAllDeconnect;
};

}  // namespace kiv
