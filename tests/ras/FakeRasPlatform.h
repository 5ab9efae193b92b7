// A remote access service and a hidden window in virtual time, for the component's tests.
#pragma once

#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "VireoRAS.h"
#include "VirtualTime.h"

namespace kiv::test {

using namespace kiv::ras;

// The window side: posted messages wait in a queue until the test dispatches them; the
// component's timers run in virtual time (its own, or one shared with other fakes).
class FakeRasWindow : public RasWindowPort {
public:
    FakeRasWindow() : FakeRasWindow(own_) { own_.now = 1000; }
    explicit FakeRasWindow(VirtualTime& time) : time_(time)
    {
        time_.timers.SetHandler(TimerSpace::DialUp, [this](int id) {
            if (target)
                target->TimerFired(static_cast<unsigned>(id));
        });
    }
    unsigned SetTimer(unsigned id, unsigned ms) override
    {
        timers.push_back({id, ms});
        time_.timers.Set(TimerSpace::DialUp, static_cast<int>(id), ms);
        return id;
    }
    void KillTimer(unsigned id) override
    {
        killed.push_back(id);
        time_.timers.Kill(TimerSpace::DialUp, static_cast<int>(id));
    }
    void Post(unsigned message) override { queue.push_back({message, 0}); }
    // What the dial notifier posts: the message, with the error code of a failure.
    void PostNotification(unsigned message, std::uint32_t error) { queue.push_back({message, error}); }
    std::uint32_t TickCount() override { return static_cast<std::uint32_t>(time_.now); }
    // Virtual time passes; no timer fires and no message is handled.
    void Pause(unsigned ms) override
    {
        pauses.push_back(ms);
        time_.now += ms;
    }

    // Hands every queued message to the component, as the message loop would.
    void Dispatch()
    {
        while (!queue.empty()) {
            const auto [m, error] = queue.front();
            queue.pop_front();
            if (target)
                target->WindowProc(m, error);
        }
    }
    // The loop for ms of virtual time: the posted messages first, then each timer as it falls
    // due, followed by what it posted.
    void RunFor(std::uint64_t ms)
    {
        Dispatch();
        const std::uint64_t until = time_.now + ms;
        while (time_.FireNext(until))
            Dispatch();
        time_.now = std::max(time_.now, until);
    }
    std::uint64_t Now() const { return time_.now; }

    struct Timer {
        unsigned id, ms;
    };
    TVireoRAS* target = nullptr;
    struct Posted {
        unsigned message;
        std::uint32_t error;
    };
    std::deque<Posted> queue;
    std::vector<Timer> timers;
    std::vector<unsigned> killed;
    std::vector<unsigned> pauses;

private:
    VirtualTime own_;
    VirtualTime& time_;
};

struct FakeConn {
    FakeConn(HRASCONN h, std::string n, std::uint32_t s, std::uint32_t result = 0, bool l = true)
        : handle(h), name(std::move(n)), state(s), statusResult(result), listed(l)
    {
    }
    HRASCONN handle;
    std::string name;
    std::uint32_t state;            // rasconnstate
    std::uint32_t statusResult = 0; // non-zero: the status query fails with it
    bool listed = true;
    std::optional<std::uint64_t> releasedAt;  // set once hung up; the handle is gone from then
};

// The service: a phonebook and a list of connections. A hang-up releases the handle after
// releaseDelay ms of virtual time (never when nullopt).
class FakeRasService : public RasService {
public:
    explicit FakeRasService(FakeRasWindow& window) : window_(window) {}

    std::uint32_t EnumEntries(RASENTRYNAMEA* e, std::uint32_t* size, std::uint32_t* count) override
    {
        calls.push_back("EnumEntries");
        sizesSeen.push_back({e[0].dwSize, *size});
        if (enumEntriesResult != 0)
            return enumEntriesResult;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            std::strncpy(e[i].szEntryName, entries[i].c_str(), RAS_MaxEntryName);
        }
        *count = static_cast<std::uint32_t>(entries.size());
        return 0;
    }
    std::uint32_t EnumConnections(RASCONNA* c, std::uint32_t* size, std::uint32_t* count) override
    {
        calls.push_back("EnumConnections");
        sizesSeen.push_back({c[0].dwSize, *size});
        if (enumConnectionsResult != 0)
            return enumConnectionsResult;
        std::uint32_t n = 0;
        for (const FakeConn& conn : conns) {
            if (!conn.listed || Gone(conn))
                continue;
            c[n].dwSize = kConnSize;
            c[n].hrasconn = conn.handle;
            std::strncpy(c[n].szEntryName, conn.name.c_str(), RAS_MaxEntryName);
            ++n;
        }
        *count = n;
        return 0;
    }
    std::uint32_t GetConnectStatus(HRASCONN h, RASCONNSTATUSA* status) override
    {
        ++statusQueries;
        statusSizes.push_back(status->dwSize);
        FakeConn* conn = Find(h);
        if (conn == nullptr || Gone(*conn))
            return ERROR_INVALID_HANDLE;
        if (conn->statusResult != 0)
            return conn->statusResult;
        status->rasconnstate = conn->state;
        return 0;
    }
    std::uint32_t GetEntryDialParams(RASDIALPARAMSA* p, bool*) override
    {
        calls.push_back(std::string("GetEntryDialParams ") + p->szEntryName);
        paramsSize = p->dwSize;
        if (paramsResult == 0)
            std::strcpy(p->szPhoneNumber, "0120");
        return paramsResult;
    }
    std::uint32_t Dial(RASDIALPARAMSA* p, HRASCONN* h) override
    {
        calls.push_back(std::string("Dial ") + p->szEntryName + " " + p->szPhoneNumber);
        const HRASCONN handle = nextHandle++;
        if (dialResult == 0 || handleOnFailure) {
            *h = handle;
            conns.emplace_back(handle, p->szEntryName, 0, 0, listDialled);
        }
        return dialResult;
    }
    std::uint32_t HangUp(HRASCONN h) override
    {
        calls.push_back("HangUp " + std::to_string(h));
        if (hangUpResult != 0)
            return hangUpResult;
        if (FakeConn* conn = Find(h); conn != nullptr && !conn->releasedAt) {
            conn->state = RASCS_Disconnected;
            if (releaseDelay)
                conn->releasedAt = window_.Now() + *releaseDelay;
            if (notifyOnHangUp)
                window_.PostNotification(NotifierMessage(RASCS_Disconnected, 0), 0);
        }
        return 0;
    }

    std::string ErrorString(std::uint32_t code) override
    {
        calls.push_back("ErrorString " + std::to_string(code));
        const auto text = errorTexts.find(code);
        return text == errorTexts.end() ? std::string() : text->second;
    }

    FakeConn* Find(HRASCONN h)
    {
        for (FakeConn& c : conns)
            if (c.handle == h)
                return &c;
        return nullptr;
    }
    bool Gone(const FakeConn& c) const { return c.releasedAt && window_.Now() >= *c.releasedAt; }
    int HangUps() const
    {
        int n = 0;
        for (const auto& c : calls)
            n += c.rfind("HangUp", 0) == 0;
        return n;
    }

    struct Sizes {
        std::uint32_t dwSize, bytes;
    };
    std::vector<std::string> entries;
    std::vector<FakeConn> conns;
    std::map<std::uint32_t, std::string> errorTexts{{678, "応答がありません。"}, {633, "ポートは使用中です。"}};
    std::uint32_t enumEntriesResult = 0, enumConnectionsResult = 0, paramsResult = 0, dialResult = 0,
                  hangUpResult = 0;
    bool handleOnFailure = false;
    bool listDialled = true;
    bool notifyOnHangUp = true;
    std::optional<std::uint32_t> releaseDelay = 200;
    HRASCONN nextHandle = 0x100;
    std::vector<std::string> calls;
    std::vector<Sizes> sizesSeen;
    std::vector<std::uint32_t> statusSizes;
    std::uint32_t paramsSize = 0;
    int statusQueries = 0;

private:
    FakeRasWindow& window_;
};

// The component over the fakes, with the events it raised.
struct RasFixture {
    RasFixture()
    {
        window.target = &ras;
        ras.OnConnect = [this](const std::string& n) { events.push_back("Connect " + n); };
        ras.OnConnectAuthenticate = [this](const std::string& n) { events.push_back("Authenticate " + n); };
        ras.OnConnectError = [this](const std::string& n, const RasError& e) {
            events.push_back("ConnectError " + n + (e.Code ? " " + std::to_string(e.Code) : "") +
                             (e.Text.empty() ? "" : " " + e.Text));
        };
        ras.OnFirstConnect = [this] { events.push_back("FirstConnect"); };
        ras.OnAllDeconnect = [this] { events.push_back("AllDeconnect"); };
    }
    void Notify(std::uint32_t state, std::uint32_t error = 0)
    {
        if (const unsigned m = NotifierMessage(state, error))
            window.PostNotification(m, error);
    }

    FakeRasWindow window;
    FakeRasService service{window};
    TVireoRAS ras{&service, window};
    std::vector<std::string> events;
};

}  // namespace kiv::test
