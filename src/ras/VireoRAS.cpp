#include "VireoRAS.h"

#include <cstring>

namespace kiv {

using namespace ras;

namespace {

std::string NameOf(const char (&field)[RAS_MaxEntryName + 1])
{
    return std::string(field, strnlen(field, sizeof field));
}

void CopyName(char (&field)[RAS_MaxEntryName + 1], const std::string& name)
{
    const std::size_t n = name.size() < RAS_MaxEntryName ? name.size() : RAS_MaxEntryName;
    std::memcpy(field, name.data(), n);
    field[n] = '\0';
}

bool IndexInRange(int index) { return index >= 0 && index < kMaxRecords; }

}  // namespace

TVireoRAS::TVireoRAS(RasService* service, RasWindowPort& window) : service_(service), window_(window) {}

TVireoRAS::~TVireoRAS()
{
    SetMonitoring(false);
    if (!releases_.empty())
        window_.KillTimer(kReleaseTimerId);
}

bool TVireoRAS::EnumerateEntries(EntryList& list)
{
    std::memset(list.records, 0, sizeof list.records);
    list.records[0].dwSize = kEntryNameSize;
    std::uint32_t size = sizeof list.records;
    std::uint32_t count = 0;
    if (service_->EnumEntries(list.records, &size, &count) != 0)
        return false;
    list.count = count < kMaxRecords ? count : kMaxRecords;
    return true;
}

bool TVireoRAS::EnumerateConnections(ConnList& list)
{
    // The service is offered 100 records; the spare one after them takes the component's own
    // dial when the service does not list it (yet), even when it already lists 100.
    std::memset(list.records, 0, sizeof list.records);
    list.records[0].dwSize = kConnSize;
    std::uint32_t size = kConnSize * kMaxRecords;
    std::uint32_t count = 0;
    if (service_->EnumConnections(list.records, &size, &count) != 0)
        return false;
    list.count = count < kMaxRecords ? count : kMaxRecords;
    // A dial whose start was refused is being released, not dialled.
    if (dialHandle_ == 0 || dialEnding_)
        return true;
    for (std::uint32_t i = 0; i < list.count; ++i)
        if (list.records[i].hrasconn == dialHandle_)
            return true;
    RASCONNA& own = list.records[list.count++];
    own.dwSize = kConnSize;
    own.hrasconn = dialHandle_;
    CopyName(own.szEntryName, dialName_);
    return true;
}

long TVireoRAS::ConnectionState(HRASCONN conn)
{
    RASCONNSTATUSA status;
    std::memset(&status, 0, sizeof status);
    status.dwSize = kConnStatusSize;
    if (service_->GetConnectStatus(conn, &status) != 0)
        return -1;
    return static_cast<long>(status.rasconnstate);
}

int TVireoRAS::StateCode(long rasState)
{
    if (rasState < 0 || rasState == static_cast<long>(RASCS_Disconnected))
        return kEntryIdle;
    return rasState == static_cast<long>(RASCS_Connected) ? kEntryConnected : kEntryDialling;
}

void TVireoRAS::WatchRelease(HRASCONN handle, std::function<void(bool released)> released)
{
    if (releases_.empty())
        window_.SetTimer(kReleaseTimerId, kHangUpPollMs);
    releases_.push_back({handle, window_.TickCount(), std::move(released)});
    // The first look comes as soon as the caller has returned, as a wait's first poll would.
    window_.Post(WM_RAS_RELEASE_CHECK);
}

void TVireoRAS::CheckReleases()
{
    const std::uint32_t now = window_.TickCount();
    std::vector<std::pair<std::function<void(bool)>, bool>> ended;
    for (auto it = releases_.begin(); it != releases_.end();) {
        RASCONNSTATUSA status;
        std::memset(&status, 0, sizeof status);
        status.dwSize = kConnStatusSize;
        const bool gone = it->Handle == 0 || service_->GetConnectStatus(it->Handle, &status) == ERROR_INVALID_HANDLE;
        if (gone || now - it->Since >= kHangUpWaitLimitMs) {
            ended.emplace_back(std::move(it->Released), gone);
            it = releases_.erase(it);
        } else {
            ++it;
        }
    }
    if (releases_.empty())
        window_.KillTimer(kReleaseTimerId);
    // Endings run once the list is settled: they may hang up again.
    for (auto& [released, gone] : ended)
        if (released)
            released(gone);
}

int TVireoRAS::EntryCount()
{
    if (ServiceError())
        return -1;
    EntryList list;
    return EnumerateEntries(list) ? static_cast<int>(list.count) : -1;
}

std::string TVireoRAS::EntryName(int index)
{
    if (ServiceError() || !IndexInRange(index))
        return {};
    EntryList list;
    if (!EnumerateEntries(list))
        return {};
    return NameOf(list.records[index].szEntryName);
}

int TVireoRAS::EntryState(int index)
{
    if (ServiceError() || !IndexInRange(index) || index > EntryCount() - 1)
        return kEntryUnavailable;
    const std::string name = EntryName(index);
    if (name.empty())
        return kEntryUnavailable;
    ConnList list;
    if (!EnumerateConnections(list))
        return kEntryIdle;
    for (std::uint32_t i = 0; i < list.count; ++i)
        if (NameOf(list.records[i].szEntryName) == name)
            return StateCode(ConnectionState(list.records[i].hrasconn));
    return kEntryIdle;
}

int TVireoRAS::ActiveEntryCount()
{
    if (ServiceError())
        return -1;
    ConnList list;
    if (!EnumerateConnections(list))
        return -1;
    int connected = 0;
    for (std::uint32_t i = 0; i < list.count; ++i)
        if (ConnectionState(list.records[i].hrasconn) == static_cast<long>(RASCS_Connected))
            ++connected;
    return connected;
}

std::string TVireoRAS::ConnectedEntryName(int index)
{
    if (ServiceError() || !IndexInRange(index))
        return {};
    ConnList list;
    if (!EnumerateConnections(list))
        return {};
    int passed = 0;
    for (std::uint32_t i = 0; i < list.count; ++i) {
        if (ConnectionState(list.records[i].hrasconn) != static_cast<long>(RASCS_Connected))
            continue;
        if (passed == index)
            return NameOf(list.records[i].szEntryName);
        ++passed;
    }
    return {};
}

RasError TVireoRAS::ErrorOf(std::uint32_t code)
{
    return {code, code != 0 && service_ ? service_->ErrorString(code) : std::string()};
}

bool TVireoRAS::Dial(int index)
{
    refusal_ = {};
    if (ServiceError() || !IndexInRange(index) || dialHandle_ != 0)
        return false;
    EntryList list;
    if (!EnumerateEntries(list) || list.count < static_cast<std::uint32_t>(index) + 1)
        return false;

    RASDIALPARAMSA params;
    std::memset(&params, 0, sizeof params);
    params.dwSize = kDialParamsSize;
    std::memcpy(params.szEntryName, list.records[index].szEntryName, sizeof params.szEntryName);
    bool passwordRetrieved = false;
    if (const std::uint32_t result = service_->GetEntryDialParams(&params, &passwordRetrieved); result != 0) {
        refusal_ = ErrorOf(result);
        return false;
    }

    const std::string name = NameOf(params.szEntryName);
    const std::uint32_t result = service_->Dial(&params, &dialHandle_);
    // The password goes no further than the service.
    std::memset(&params, 0, sizeof params);
    if (result == 0) {
        dialName_ = name;
        return true;
    }
    refusal_ = ErrorOf(result);
    // The service may have produced a handle even though the dial did not start: it is hung up
    // and its release watched while the refusal is answered at once. Nothing that arrives for
    // it is reported: Dial has answered for it.
    if (const HRASCONN refused = dialHandle_; refused != 0) {
        service_->HangUp(refused);
        WatchRelease(refused, [this](bool released) { unreleased_ = unreleased_ || !released; });
    }
    dialHandle_ = 0;
    dialName_.clear();
    return false;
}

bool TVireoRAS::CancelDial(std::function<void()> done)
{
    // A dial being ended is the component's to answer for: there is nothing to cancel.
    if (ServiceError() || dialHandle_ == 0 || dialEnding_)
        return false;
    const HRASCONN handle = dialHandle_;
    if (service_->HangUp(handle) != 0)
        return false;
    // From here the dial ends as cancelled: the service may say nothing more of it (as it is
    // documented to), report it, or report a connection that completed meanwhile, which the
    // hang-up has already ended.
    dialCancelled_ = true;
    WatchRelease(handle, [this, handle, done = std::move(done)](bool released) {
        // The dial stays the component's own until WM_RAS_ERROR ends it with OnConnectError. A
        // message of our own makes sure it ends even when the service is silent; the one
        // handled second finds no dial and is dropped.
        if (dialHandle_ == handle) {
            unreleased_ = unreleased_ || !released;
            window_.Post(WM_RAS_ERROR);
        }
        // The hang-up was accepted, so the dial is over whether or not the service released its
        // handle within the wait.
        if (done)
            done();
    });
    return true;
}

std::string TVireoRAS::ListedEntryName(int index)
{
    if (ServiceError() || index < 0)
        return {};
    ConnList list;
    if (!EnumerateConnections(list) || static_cast<std::uint32_t>(index) >= list.count)
        return {};
    return NameOf(list.records[index].szEntryName);
}

bool TVireoRAS::HangUpConnection(int index, std::function<void(bool released)> done)
{
    if (ServiceError())
        return false;
    ConnList list;
    if (!EnumerateConnections(list))
        return false;
    if (index < 0 || static_cast<std::uint32_t>(index) >= list.count)
        return false;
    const HRASCONN handle = list.records[index].hrasconn;
    if (service_->HangUp(handle) != 0)
        return false;
    WatchRelease(handle, std::move(done));
    return true;
}

bool TVireoRAS::SettleHangUps(std::uint32_t limitMs)
{
    const std::uint32_t start = window_.TickCount();
    for (;;) {
        CheckReleases();
        if (releases_.empty())
            return true;
        if (window_.TickCount() - start >= limitMs)
            return false;
        window_.Pause(kHangUpPollMs);
    }
}

int TVireoRAS::EntryStateByName(const std::string& name)
{
    if (ServiceError())
        return kEntryUnavailable;
    ConnList list;
    if (!EnumerateConnections(list))
        return kEntryIdle;
    for (std::uint32_t i = 0; i < list.count; ++i) {
        if (NameOf(list.records[i].szEntryName) != name)
            continue;
        if (dialHandle_ != 0 && !dialEnding_ && list.records[i].hrasconn == dialHandle_)
            return kEntryDialling;
        return StateCode(ConnectionState(list.records[i].hrasconn));
    }
    return kEntryIdle;
}

void TVireoRAS::SetMonitoring(bool on)
{
    if (ServiceError())
        return;
    if (on) {
        if (monitorTimer_ == 0)
            monitorTimer_ = window_.SetTimer(kMonitorTimerId, kMonitorIntervalMs);
        monitoring_ = true;
    } else {
        if (monitorTimer_ != 0) {
            window_.KillTimer(monitorTimer_);
            monitorTimer_ = 0;
        }
        monitoring_ = false;
    }
}

void TVireoRAS::OnRasError(std::uint32_t error)
{
    dialEnding_ = true;
    dialError_ = error;
    // Not hung up again when CancelDial did: it watches the release, or watched it in vain
    // (released or not, the handle is not watched again).
    if (dialCancelled_) {
        EndDial();
        return;
    }
    // The failure is reported once the service has released the dial's handle.
    service_->HangUp(dialHandle_);
    WatchRelease(dialHandle_, [this](bool released) {
        unreleased_ = unreleased_ || !released;
        EndDial();
    });
}

void TVireoRAS::EndDial()
{
    dialEnding_ = false;
    dialCancelled_ = false;
    dialHandle_ = 0;
    const std::string name = std::move(dialName_);
    dialName_.clear();
    const RasError error = ErrorOf(dialError_);
    dialError_ = 0;
    if (OnConnectError)
        OnConnectError(name, error);
}

void TVireoRAS::TimerFired(unsigned id)
{
    if (id == kReleaseTimerId) {
        CheckReleases();
        return;
    }
    if (id != kMonitorTimerId || !monitoring_)
        return;
    const int n = ActiveEntryCount();
    if (n > 0 && !anyConnected_) {
        anyConnected_ = true;
        if (OnFirstConnect)
            OnFirstConnect();
    } else if (n == 0 && anyConnected_) {
        anyConnected_ = false;
        if (OnAllDeconnect)
            OnAllDeconnect();
    }
}

bool TVireoRAS::WindowProc(unsigned message, std::uint32_t error)
{
    switch (message) {
    case WM_RAS_RELEASE_CHECK:
        CheckReleases();
        return true;
    case WM_RAS_CONNECTED:
    case WM_RAS_AUTHENTICATE:
    case WM_RAS_ERROR:
        // Notifications while no dial of ours runs (or while one is being ended) belong to a
        // dial that has already been answered for: dropped.
        if (ServiceError() || dialHandle_ == 0 || dialEnding_)
            return true;
        // A cancelled dial ends only as cancelled: what the service still reports of its
        // progress (a connection included, which the cancel has hung up) is dropped.
        if (dialCancelled_ && message != WM_RAS_ERROR)
            return true;
        if (message == WM_RAS_ERROR) {
            OnRasError(error);
        } else if (message == WM_RAS_AUTHENTICATE) {
            if (OnConnectAuthenticate)
                OnConnectAuthenticate(dialName_);
        } else {
            dialHandle_ = 0;
            const std::string name = std::move(dialName_);
            dialName_.clear();
            if (OnConnect)
                OnConnect(name);
        }
        return true;
    default:
        return false;
    }
}

}  // namespace kiv
