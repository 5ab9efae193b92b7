// rasapi32.dll simulator: a stand-in for the remote access service. It exports the ANSI entry
// points the dial-up component loads (the six it needs and the texts of error codes), with their
// calling convention and record layouts, keeps a phonebook from a scenario file and dials on
// threads of its own. Its connections live in a state file mapped by every process that loads
// it, so a driver can drop connections or open some "by another program" while the program
// under test runs.
//
// Its records come from the platform's own <ras.h>, never from the program's headers, so a
// layout the program gets wrong is refused here as the system would refuse it. By default it
// is as strict as the documented service; lenient behaviours are scenario options.
#include <windows.h>
#include <ras.h>
#include <raserror.h>

#include <cstddef>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "ErrorTexts.h"
#include "Scenario.h"

// Declared by the system's headers only for newer targets than the program's; every system
// the simulator runs on has it.
extern "C" WINBASEAPI ULONGLONG WINAPI GetTickCount64(void);

namespace {

constexpr DWORD kErrorInvalidParameter = ERROR_INVALID_PARAMETER;
constexpr DWORD kErrorCannotOpenPhonebook = ERROR_CANNOT_OPEN_PHONEBOOK;
constexpr DWORD kErrorInvalidSize = ERROR_INVALID_SIZE;
constexpr DWORD kErrorUserDisconnection = ERROR_USER_DISCONNECTION;
constexpr UINT kRasDialEvent = 0xCCCD;
constexpr int kMaxConns = 256;
constexpr std::uint64_t kFirstHandle = 0x1001;

// A record's first version: the platform's record up to its first field of a later version,
// padded to the header's packing of 4. Callers may hand either that or the whole record.
constexpr DWORD Early(std::size_t firstLaterField) { return static_cast<DWORD>((firstLaterField + 3) / 4 * 4); }
constexpr DWORD kEntryNameEarly = Early(offsetof(RASENTRYNAMEA, dwFlags));
constexpr DWORD kConnEarly = Early(offsetof(RASCONNA, szPhonebook));
constexpr DWORD kConnStatusEarly = Early(offsetof(RASCONNSTATUSA, szPhoneNumber));
constexpr DWORD kDialParamsEarly = Early(offsetof(RASDIALPARAMSA, dwSubEntry));

bool KnownSize(DWORD size, DWORD early, std::size_t whole) { return size == early || size == whole; }

HRASCONN ToHandle(std::uint64_t value) { return reinterpret_cast<HRASCONN>(static_cast<ULONG_PTR>(value)); }
std::uint64_t FromHandle(HRASCONN handle) { return reinterpret_cast<ULONG_PTR>(handle); }

// The states a dial passes through, reported in this order as the service does.
constexpr RASCONNSTATE kConnectStates[] = {RASCS_OpenPort,      RASCS_PortOpened,   RASCS_ConnectDevice,
                                           RASCS_DeviceConnected, RASCS_AllDevicesConnected};
constexpr RASCONNSTATE kAuthStates[] = {RASCS_AuthNotify, RASCS_Authenticated};

struct SimConn {
    std::uint64_t handle;  // 0: free slot
    char name[RAS_MaxEntryName + 1];
    std::uint32_t state;
    std::uint32_t error;
    std::uint32_t ownerPid;  // 0: opened by another program through the driver
    std::uint32_t hungUp;
    std::uint32_t releaseNever;
    std::uint64_t releaseAt;  // GetTickCount64 when the hung-up handle is gone
    std::uint32_t completed;  // a held dial may go on: the driver's "complete"
};

struct SimState {
    char magic[8];
    std::uint64_t reserved;
    SimConn conns[kMaxConns];
};

const char kMagic[8] = {'K', 'i', 'v', 'R', 'S', 'i', 'm', '3'};

HMODULE g_module = nullptr;

std::string DirOf(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

std::string Env(const char* name)
{
    char buf[MAX_PATH];
    const DWORD n = GetEnvironmentVariableA(name, buf, sizeof buf);
    return (n > 0 && n < sizeof buf) ? std::string(buf, n) : std::string();
}

bool ReadFileBytes(const std::string& path, std::string& out)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    out.clear();
    char buf[4096];
    for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, f)) > 0;)
        out.append(buf, n);
    std::fclose(f);
    return true;
}

// The process's view of the simulator: the scenario and the shared state.
class Simulator {
public:
    Simulator() { Load(); }

    void Load()
    {
        char module[MAX_PATH] = {};
        GetModuleFileNameA(g_module, module, sizeof module);
        dir_ = Env("RASSIM_DIR");
        if (dir_.empty())
            dir_ = DirOf(module);
        scenarioPath_ = Env("RASSIM_SCENARIO");
        if (scenarioPath_.empty()) {
            const std::string beside = DirOf(module) + "\\rassim.txt";
            if (GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES)
                scenarioPath_ = beside;
        }
        std::string text = rassim::kDemoScenario, error;
        if (!scenarioPath_.empty() && !ReadFileBytes(scenarioPath_, text))
            error = "cannot read the file";
        if (error.empty()) {
            if (auto s = rassim::ParseScenario(text, error))
                scenario_ = std::move(*s);
        }
        error_ = error.empty() ? std::string() : (scenarioPath_.empty() ? "demo" : scenarioPath_) + ": " + error;
        if (!error_.empty()) {
            const std::string message = "rassim: scenario error: " + error_ + "\n";
            OutputDebugStringA(message.c_str());
            std::fputs(message.c_str(), stderr);
            Log(message.substr(0, message.size() - 1));
        }
        OpenState();
    }

    bool Broken() const { return !error_.empty() || state_ == nullptr; }
    const std::string& Error() const { return error_; }
    const rassim::Scenario& Book() const { return scenario_; }
    std::string LogPath() const { return dir_ + "\\rassim.log"; }

    // Holds the cross-process lock for the lifetime of the guard.
    class Lock {
    public:
        explicit Lock(Simulator& s) : s_(s)
        {
            OVERLAPPED ov{};
            ov.Offset = 0x40000000;
            locked_ = s_.file_ != INVALID_HANDLE_VALUE && LockFileEx(s_.file_, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &ov);
            s_.Purge();
        }
        ~Lock()
        {
            if (locked_) {
                OVERLAPPED ov{};
                ov.Offset = 0x40000000;
                UnlockFileEx(s_.file_, 0, 1, 0, &ov);
            }
        }

    private:
        Simulator& s_;
        bool locked_;
    };

    SimState& State() { return *state_; }

    SimConn* Find(std::uint64_t handle)
    {
        if (handle == 0)
            return nullptr;
        for (SimConn& c : state_->conns)
            if (c.handle == handle)
                return &c;
        return nullptr;
    }

    // A new connection under the lowest handle value not in use: released values come back,
    // as the service's do.
    SimConn* NewConn(const std::string& name, std::uint32_t state, std::uint32_t owner)
    {
        std::uint64_t handle = kFirstHandle;
        while (Find(handle) != nullptr)
            ++handle;
        for (SimConn& c : state_->conns) {
            if (c.handle != 0)
                continue;
            std::memset(&c, 0, sizeof c);
            c.handle = handle;
            std::strncpy(c.name, name.c_str(), RAS_MaxEntryName);
            c.state = state;
            c.ownerPid = owner;
            return &c;
        }
        return nullptr;
    }

    void Reset()
    {
        std::memset(state_, 0, sizeof *state_);
        std::memcpy(state_->magic, kMagic, sizeof kMagic);
    }

    void Log(const std::string& line)
    {
        std::lock_guard<std::mutex> guard(logMutex_);
        // Opened once and kept: a program under load calls the service hundreds of times a
        // second, and an open and a close for each line would be most of what it measures.
        // Appends from every process that loads the simulator still land whole at the end.
        if (log_ == INVALID_HANDLE_VALUE)
            log_ = CreateFileA(LogPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log_ == INVALID_HANDLE_VALUE)
            return;
        const std::string text = std::to_string(GetCurrentProcessId()) + " " + line + "\r\n";
        DWORD written = 0;
        WriteFile(log_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }

    // Emptied in place, not deleted: the processes that log keep the file open.
    void EmptyLog()
    {
        HANDLE f = CreateFileA(LogPath().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, TRUNCATE_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (f != INVALID_HANDLE_VALUE)
            CloseHandle(f);
    }

private:
    void OpenState()
    {
        if (state_ != nullptr)
            return;
        const std::string path = dir_ + "\\rassim.state";
        file_ = CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ == INVALID_HANDLE_VALUE) {
            error_ = "cannot open the state file " + path;
            return;
        }
        mapping_ = CreateFileMappingA(file_, nullptr, PAGE_READWRITE, 0, sizeof(SimState), nullptr);
        if (mapping_ != nullptr)
            state_ = static_cast<SimState*>(MapViewOfFile(mapping_, FILE_MAP_ALL_ACCESS, 0, 0, sizeof(SimState)));
        if (state_ == nullptr) {
            error_ = "cannot map the state file " + path;
            return;
        }
        Lock lock(*this);
        if (std::memcmp(state_->magic, kMagic, sizeof kMagic) != 0)
            Reset();
    }

    // Forgets hung-up connections whose handle has been released.
    void Purge()
    {
        if (state_ == nullptr)
            return;
        const std::uint64_t now = GetTickCount64();
        for (SimConn& c : state_->conns)
            if (c.handle != 0 && c.hungUp && !c.releaseNever && now >= c.releaseAt)
                c.handle = 0;
    }

    std::string dir_;
    std::string scenarioPath_;
    std::string error_;
    rassim::Scenario scenario_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    HANDLE mapping_ = nullptr;
    SimState* state_ = nullptr;
    std::mutex logMutex_;
    HANDLE log_ = INVALID_HANDLE_VALUE;  // closed by the system when the process ends
};

Simulator& Sim()
{
    static Simulator sim;
    return sim;
}

std::string Quote(const char* s) { return std::string("\"") + s + "\""; }

std::string Hex(std::uint64_t v)
{
    char buf[32];
    std::snprintf(buf, sizeof buf, "0x%llx", static_cast<unsigned long long>(v));
    return buf;
}

DWORD Logged(const std::string& call, DWORD result, const std::string& extra = {})
{
    Sim().Log(call + " -> " + std::to_string(result) + (extra.empty() ? "" : " " + extra));
    return result;
}

struct DialJob {
    std::uint64_t handle;
    rassim::Entry entry;
    RASDIALFUNC notifier;
};

// Sleeps until the deadline; false when the connection was hung up or dropped meanwhile
// (then *dropped tells which).
bool SleepUntil(std::uint64_t handle, std::uint64_t deadline, bool* dropped)
{
    for (;;) {
        {
            Simulator::Lock lock(Sim());
            SimConn* c = Sim().Find(handle);
            if (c == nullptr || c->hungUp) {
                *dropped = c == nullptr;
                return false;
            }
        }
        const std::uint64_t now = GetTickCount64();
        if (now >= deadline)
            return true;
        Sleep(static_cast<DWORD>(deadline - now < 10 ? deadline - now : 10));
    }
}

void Notify(const DialJob& job, DWORD state, DWORD error)
{
    Sim().Log("notify handle=" + Hex(job.handle) + " state=" + std::to_string(state) + " error=" + std::to_string(error));
    job.notifier(kRasDialEvent, static_cast<RASCONNSTATE>(state), error);
}

// Waits until the driver completes the held dial; false when it was hung up or dropped first.
bool WaitForCompletion(std::uint64_t handle, bool* dropped)
{
    for (;;) {
        {
            Simulator::Lock lock(Sim());
            SimConn* c = Sim().Find(handle);
            if (c == nullptr || c->hungUp) {
                *dropped = c == nullptr;
                return false;
            }
            if (c->completed)
                return true;
        }
        Sleep(10);
    }
}

// Moves the connection to a state unless it has been hung up or dropped.
bool SetState(std::uint64_t handle, DWORD state, DWORD error)
{
    Simulator::Lock lock(Sim());
    SimConn* c = Sim().Find(handle);
    if (c == nullptr || c->hungUp)
        return false;
    c->state = state;
    c->error = error;
    return true;
}

// Sleeps until `at`, then moves to the state and reports it; false when the dial ended first.
bool Step(const DialJob& job, std::uint64_t at, DWORD state, DWORD error, bool* dropped)
{
    if (!SleepUntil(job.handle, at, dropped) || !SetState(job.handle, state, error))
        return false;
    Notify(job, state, error);
    return true;
}

DWORD WINAPI DialThread(LPVOID param)
{
    DialJob* job = static_cast<DialJob*>(param);
    const std::uint64_t start = GetTickCount64();
    const rassim::Entry& e = job->entry;
    bool dropped = false;
    bool ended = false;
    // The port and device states share the first half of the dial (a failure comes at its
    // end, in the device state), authentication the second.
    const std::uint64_t half = e.dialMs / 2;
    const std::size_t portSteps = e.dial == rassim::Entry::Dial::Connect ? std::size(kConnectStates) : 3;
    for (std::size_t i = 0; i < portSteps && !ended; ++i)
        ended = !Step(*job, start + half * i / std::size(kConnectStates), kConnectStates[i], 0, &dropped);
    if (e.dial == rassim::Entry::Dial::Connect) {
        ended = ended || !Step(*job, start + half, RASCS_Authenticate, 0, &dropped);
        // A held dial goes on from here, at once, when the driver says so.
        const std::uint64_t rest = e.dialHeld ? 0 : e.dialMs - half;
        std::uint64_t from = start + half;
        if (e.dialHeld && !ended) {
            ended = !WaitForCompletion(job->handle, &dropped);
            from = GetTickCount64();
        }
        for (std::size_t i = 0; i < std::size(kAuthStates) && !ended; ++i)
            ended = !Step(*job, from + rest * (i + 1) / 3, kAuthStates[i], 0, &dropped);
        ended = ended || !Step(*job, from + rest, RASCS_Connected, 0, &dropped);
    } else {
        ended = ended || !Step(*job, start + e.dialMs, RASCS_ConnectDevice, e.dialError, &dropped);
    }
    // The service says nothing more of a dial that RasHangUp interrupted, unless the scenario
    // asks for the lenient behaviour; a line dropped under it is reported.
    if (ended && (dropped || e.notifyOnCancel))
        Notify(*job, RASCS_Disconnected, dropped ? 0 : kErrorUserDisconnection);
    delete job;
    // The thread holds a reference on the library, so a FreeLibrary meanwhile cannot unmap it.
    FreeLibraryAndExitThread(g_module, 0);
    return 0;
}

}  // namespace

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_module = instance;
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

__declspec(dllexport) DWORD WINAPI RasEnumEntriesA(LPCSTR, LPCSTR phonebook, LPRASENTRYNAMEA entries, LPDWORD bytes,
                                                   LPDWORD count)
{
    Simulator& sim = Sim();
    const std::string call = std::string("RasEnumEntriesA phonebook=") + (phonebook ? Quote(phonebook) : "NULL") +
                             " dwSize=" + std::to_string(entries ? entries[0].dwSize : 0) +
                             " bytes=" + std::to_string(bytes ? *bytes : 0);
    if (sim.Broken())
        return Logged(call, kErrorCannotOpenPhonebook);
    if (entries == nullptr || bytes == nullptr || count == nullptr)
        return Logged(call, kErrorInvalidParameter);
    const DWORD stride = entries[0].dwSize;
    if (!KnownSize(stride, kEntryNameEarly, sizeof(RASENTRYNAMEA)))
        return Logged(call, kErrorInvalidSize);
    const auto& book = sim.Book().entries;
    const DWORD needed = static_cast<DWORD>(book.size() * stride);
    if (needed > *bytes) {
        *bytes = needed;
        *count = static_cast<DWORD>(book.size());
        return Logged(call, ERROR_BUFFER_TOO_SMALL, "count=" + std::to_string(book.size()));
    }
    auto* base = reinterpret_cast<char*>(entries);
    for (std::size_t i = 0; i < book.size(); ++i) {
        auto* record = reinterpret_cast<RASENTRYNAMEA*>(base + i * stride);
        std::memset(record, 0, stride);
        record->dwSize = stride;
        std::strncpy(record->szEntryName, book[i].name.c_str(), RAS_MaxEntryName);
    }
    *bytes = needed;
    *count = static_cast<DWORD>(book.size());
    return Logged(call, 0, "count=" + std::to_string(book.size()));
}

__declspec(dllexport) DWORD WINAPI RasEnumConnectionsA(LPRASCONNA conns, LPDWORD bytes, LPDWORD count)
{
    Simulator& sim = Sim();
    const std::string call = "RasEnumConnectionsA dwSize=" + std::to_string(conns ? conns[0].dwSize : 0) +
                             " bytes=" + std::to_string(bytes ? *bytes : 0);
    if (sim.Broken())
        return Logged(call, kErrorCannotOpenPhonebook);
    if (conns == nullptr || bytes == nullptr || count == nullptr)
        return Logged(call, kErrorInvalidParameter);
    const DWORD stride = conns[0].dwSize;
    if (!KnownSize(stride, kConnEarly, sizeof(RASCONNA)))
        return Logged(call, kErrorInvalidSize);
    Simulator::Lock lock(sim);
    DWORD n = 0;
    std::string listed;
    for (const SimConn& c : sim.State().conns)
        n += c.handle != 0;
    const DWORD needed = n * stride;
    if (needed > *bytes) {
        *bytes = needed;
        *count = n;
        return Logged(call, ERROR_BUFFER_TOO_SMALL, "count=" + std::to_string(n));
    }
    auto* base = reinterpret_cast<char*>(conns);
    DWORD i = 0;
    for (const SimConn& c : sim.State().conns) {
        if (c.handle == 0)
            continue;
        auto* record = reinterpret_cast<RASCONNA*>(base + i * stride);
        std::memset(record, 0, stride);
        record->dwSize = stride;
        record->hrasconn = ToHandle(c.handle);
        std::memcpy(record->szEntryName, c.name, sizeof c.name);
        std::strcpy(record->szDeviceType, "modem");
        std::strcpy(record->szDeviceName, "Kiv simulated modem");
        listed += " " + Hex(c.handle) + "=" + Quote(c.name);
        ++i;
    }
    *bytes = needed;
    *count = n;
    return Logged(call, 0, "count=" + std::to_string(n) + listed);
}

__declspec(dllexport) DWORD WINAPI RasGetConnectStatusA(HRASCONN conn, LPRASCONNSTATUSA status)
{
    Simulator& sim = Sim();
    const std::string call = "RasGetConnectStatusA handle=" + Hex(FromHandle(conn)) +
                             " dwSize=" + std::to_string(status ? status->dwSize : 0);
    if (sim.Broken())
        return Logged(call, kErrorCannotOpenPhonebook);
    if (status == nullptr)
        return Logged(call, kErrorInvalidParameter);
    if (!KnownSize(status->dwSize, kConnStatusEarly, sizeof(RASCONNSTATUSA)))
        return Logged(call, kErrorInvalidSize);
    Simulator::Lock lock(sim);
    const SimConn* c = sim.Find(FromHandle(conn));
    if (c == nullptr)
        return Logged(call, ERROR_INVALID_HANDLE);
    status->rasconnstate = static_cast<RASCONNSTATE>(c->state);
    status->dwError = c->error;
    std::strcpy(status->szDeviceType, "modem");
    std::strcpy(status->szDeviceName, "Kiv simulated modem");
    return Logged(call, 0, "state=" + std::to_string(c->state) + " error=" + std::to_string(c->error));
}

__declspec(dllexport) DWORD WINAPI RasGetEntryDialParamsA(LPCSTR phonebook, LPRASDIALPARAMSA params, LPBOOL password)
{
    Simulator& sim = Sim();
    std::string call = std::string("RasGetEntryDialParamsA phonebook=") + (phonebook ? Quote(phonebook) : "NULL") +
                       " dwSize=" + std::to_string(params ? params->dwSize : 0);
    if (sim.Broken())
        return Logged(call, kErrorCannotOpenPhonebook);
    if (params == nullptr)
        return Logged(call, kErrorInvalidParameter);
    params->szEntryName[RAS_MaxEntryName] = '\0';
    call += " entry=" + Quote(params->szEntryName);
    if (!KnownSize(params->dwSize, kDialParamsEarly, sizeof(RASDIALPARAMSA)))
        return Logged(call, kErrorInvalidSize);
    const rassim::Entry* e = sim.Book().Find(params->szEntryName);
    if (e == nullptr)
        return Logged(call, ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);
    if (e->paramsError != 0)
        return Logged(call, e->paramsError);
    std::strncpy(params->szPhoneNumber, e->phone.c_str(), RAS_MaxPhoneNumber);
    std::strncpy(params->szUserName, e->user.c_str(), UNLEN);
    std::strncpy(params->szPassword, e->password.c_str(), PWLEN);
    if (password)
        *password = !e->password.empty();
    return Logged(call, 0);
}

__declspec(dllexport) DWORD WINAPI RasDialA(LPRASDIALEXTENSIONS extensions, LPCSTR phonebook, LPRASDIALPARAMSA params,
                                            DWORD notifierType, LPVOID notifier, LPHRASCONN conn)
{
    Simulator& sim = Sim();
    std::string call = std::string("RasDialA extensions=") + (extensions ? "set" : "NULL") +
                       " phonebook=" + (phonebook ? Quote(phonebook) : "NULL") +
                       " dwSize=" + std::to_string(params ? params->dwSize : 0) +
                       " notifierType=" + std::to_string(notifierType) + " notifier=" + (notifier ? "set" : "NULL") +
                       " *conn=" + (conn ? Hex(FromHandle(*conn)) : std::string("-"));
    if (sim.Broken())
        return Logged(call, kErrorCannotOpenPhonebook);
    // The caller must hand a handle variable set to NULL: a value there names a connection
    // the service would try to resume.
    if (params == nullptr || conn == nullptr || *conn != nullptr || notifier == nullptr || notifierType != 0)
        return Logged(call, kErrorInvalidParameter);
    params->szEntryName[RAS_MaxEntryName] = '\0';
    call += " entry=" + Quote(params->szEntryName) + " phone=" + Quote(params->szPhoneNumber);
    if (!KnownSize(params->dwSize, kDialParamsEarly, sizeof(RASDIALPARAMSA)))
        return Logged(call, kErrorInvalidSize);
    const rassim::Entry* e = sim.Book().Find(params->szEntryName);
    if (e == nullptr)
        return Logged(call, ERROR_CANNOT_FIND_PHONEBOOK_ENTRY);

    Simulator::Lock lock(sim);
    if (e->dial == rassim::Entry::Dial::Refuse) {
        if (e->refuseWithHandle) {
            if (SimConn* c = sim.NewConn(e->name, RASCS_Disconnected, GetCurrentProcessId())) {
                c->error = e->dialError;
                *conn = ToHandle(c->handle);
                return Logged(call, e->dialError, "handle=" + Hex(c->handle));
            }
        }
        return Logged(call, e->dialError);
    }
    SimConn* c = sim.NewConn(e->name, RASCS_OpenPort, GetCurrentProcessId());
    if (c == nullptr)
        return Logged(call, ERROR_NOT_ENOUGH_MEMORY);
    HMODULE self = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCSTR>(&RasDialA), &self);
    auto* job = new DialJob{c->handle, *e, reinterpret_cast<RASDIALFUNC>(notifier)};
    HANDLE thread = CreateThread(nullptr, 0, &DialThread, job, 0, nullptr);
    if (thread == nullptr) {
        delete job;
        c->handle = 0;
        FreeLibrary(self);
        return Logged(call, ERROR_NOT_ENOUGH_MEMORY);
    }
    CloseHandle(thread);
    *conn = ToHandle(job->handle);
    return Logged(call, 0, "handle=" + Hex(c->handle));
}

__declspec(dllexport) DWORD WINAPI RasHangUpA(HRASCONN conn)
{
    Simulator& sim = Sim();
    const std::string call = "RasHangUpA handle=" + Hex(FromHandle(conn));
    if (sim.Broken())
        return Logged(call, kErrorCannotOpenPhonebook);
    Simulator::Lock lock(sim);
    SimConn* c = sim.Find(FromHandle(conn));
    if (c == nullptr)
        return Logged(call, ERROR_INVALID_HANDLE);
    if (!c->hungUp) {
        const rassim::Entry* e = sim.Book().Find(c->name);
        const std::optional<std::uint32_t> delay = e ? e->hangUpMs : std::optional<std::uint32_t>(200);
        c->hungUp = 1;
        c->state = RASCS_Disconnected;
        c->releaseNever = !delay;
        c->releaseAt = GetTickCount64() + delay.value_or(0);
    }
    return Logged(call, 0, c->releaseNever ? "release=never" : "release=" + std::to_string(c->releaseAt - GetTickCount64()) + "ms");
}

// The text of an error code, in the system's code page: Japanese where it is 932. Strict as the
// service: no buffer, or a code it does not know, is refused; a buffer too small for the text
// and its terminator is refused too.
__declspec(dllexport) DWORD WINAPI RasGetErrorStringA(UINT code, LPSTR text, DWORD size)
{
    const std::string call = "RasGetErrorStringA code=" + std::to_string(code) + " size=" + std::to_string(size);
    const rassim::ErrorText* known = rassim::FindErrorText(code);
    if (text == nullptr || known == nullptr)
        return Logged(call, kErrorInvalidParameter);
    const wchar_t* wide = GetACP() == 932 ? known->japanese : known->english;
    const int needed = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0 || static_cast<DWORD>(needed) > size)
        return Logged(call, ERROR_INSUFFICIENT_BUFFER);
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, needed, nullptr, nullptr);
    return Logged(call, 0);
}

// The driver's entry: a command of words, the answer written to out.
//   reset | check | logpath | list | drop <name> | open <name> [state] | complete <name>
// Returns 0 on success; a non-zero code with the reason in out otherwise.
__declspec(dllexport) DWORD WINAPI RasSimControl(LPCSTR command, LPSTR out, DWORD outSize)
{
    Simulator& sim = Sim();
    std::string cmd = command ? command : "", answer;
    DWORD result = 0;
    const std::size_t space = cmd.find(' ');
    const std::string verb = cmd.substr(0, space);
    const std::string arg = space == std::string::npos ? std::string() : cmd.substr(space + 1);
    if (verb == "check") {
        answer = sim.Error().empty() ? std::string("ok") : sim.Error();
        result = sim.Error().empty() ? 0 : 1;
    } else if (verb == "logpath") {
        answer = sim.LogPath();
    } else if (sim.Broken()) {
        answer = sim.Error();
        result = 1;
    } else if (verb == "reset") {
        Simulator::Lock lock(sim);
        sim.Reset();
        sim.EmptyLog();
        answer = "reset";
    } else if (verb == "list") {
        Simulator::Lock lock(sim);
        for (const SimConn& c : sim.State().conns)
            if (c.handle != 0)
                answer += Hex(c.handle) + " \"" + c.name + "\" state=" + std::to_string(c.state) +
                          " owner=" + std::to_string(c.ownerPid) + (c.hungUp ? " hungup" : "") + "\n";
    } else if (verb == "drop" && !arg.empty()) {
        Simulator::Lock lock(sim);
        result = 2;
        answer = "no connection \"" + arg + "\"";
        for (SimConn& c : sim.State().conns) {
            if (c.handle != 0 && arg == c.name) {
                answer = "dropped " + Hex(c.handle);
                c.handle = 0;
                result = 0;
                break;
            }
        }
    } else if (verb == "complete" && !arg.empty()) {
        Simulator::Lock lock(sim);
        result = 2;
        answer = "no dial of \"" + arg + "\"";
        for (SimConn& c : sim.State().conns) {
            if (c.handle != 0 && !c.hungUp && arg == c.name) {
                answer = "completed " + Hex(c.handle);
                c.completed = 1;
                result = 0;
                break;
            }
        }
    } else if (verb == "open" && !arg.empty()) {
        // "open <name>" connects at once; "open <name> <state>" leaves it in that state.
        std::string name = arg;
        std::uint32_t state = RASCS_Connected;
        const std::size_t last = arg.find_last_of(' ');
        if (last != std::string::npos && arg.find_first_not_of("0123456789", last + 1) == std::string::npos &&
            last + 1 < arg.size()) {
            name = arg.substr(0, last);
            state = static_cast<std::uint32_t>(std::strtoul(arg.c_str() + last + 1, nullptr, 10));
        }
        Simulator::Lock lock(sim);
        if (SimConn* c = sim.NewConn(name, state, 0))
            answer = "opened " + Hex(c->handle);
        else
            answer = "no free connection slot", result = 3;
    } else {
        answer = "unknown command: " + cmd;
        result = kErrorInvalidParameter;
    }
    sim.Log("RasSimControl " + Quote(cmd.c_str()) + " -> " + std::to_string(result));
    if (out != nullptr && outSize > 0) {
        const std::size_t n = answer.size() < outSize - 1 ? answer.size() : outSize - 1;
        std::memcpy(out, answer.data(), n);
        out[n] = '\0';
    }
    return result;
}

}  // extern "C"
