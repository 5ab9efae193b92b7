// TVireoRAS with its Windows side against the rasapi32 simulator, under Wine.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "MessagePump.h"
#include "VireoRASWin32.h"
#include "Win32Deadlines.h"

namespace kiv::ras {
namespace {

using Events = std::vector<std::string>;
using ControlFn = DWORD(WINAPI*)(LPCSTR, LPSTR, DWORD);

std::string ExeDir()
{
    char path[MAX_PATH];
    GetModuleFileNameA(nullptr, path, sizeof path);
    std::string p = path;
    return p.substr(0, p.find_last_of('\\'));
}

// One scenario and one state folder for the whole run; each test starts from a reset state.
class SimulatorEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        dir = std::string(temp) + "kiv-rassim-" + std::to_string(GetCurrentProcessId());
        CreateDirectoryA(dir.c_str(), nullptr);
        const std::string scenario = dir + "\\scenario.txt";
        std::ofstream(scenario, std::ios::binary) << "[接続 テスト]\n"
                                                     "phone = 0120-1\n"
                                                     "dial = connect 300\n"
                                                     "hangup = 100\n"
                                                     "[Fail]\n"
                                                     "dial = fail 678 200\n"
                                                     "hangup = 50\n"
                                                     "[Slow]\n"
                                                     "dial = connect 5000\n"
                                                     "hangup = 100\n"
                                                     "[Sticky]\n"
                                                     "dial = connect 200\n"
                                                     "hangup = never\n"
                                                     "[Refuse]\n"
                                                     "dial = refuse 633 handle\n"
                                                     "hangup = 100\n"
                                                     "[NoParams]\n"
                                                     "params = fail 623\n"
                                                     "[Other]\n";
        SetEnvironmentVariableA("RASSIM_SCENARIO", scenario.c_str());
        SetEnvironmentVariableA("RASSIM_DIR", dir.c_str());
    }
    std::string dir;
};

SimulatorEnvironment* simEnv = nullptr;

// The hidden window with a clock that may run faster than the system's, so the hang-up
// wait's limit can be reached in a test of reasonable length.
class TestWindow : public RasHiddenWindow {
public:
    explicit TestWindow(Deadlines& deadlines) : RasHiddenWindow(deadlines) {}
    std::uint32_t TickCount() override { return GetTickCount() * speed; }
    std::uint32_t speed = 1;
};

class RasWine : public ::testing::Test {
protected:
    void SetUp() override
    {
        service = LibraryRasService::Load();
        ASSERT_NE(service, nullptr);
        control = reinterpret_cast<ControlFn>(reinterpret_cast<void*>(GetProcAddress(service->Module(), "RasSimControl")));
        ASSERT_NE(control, nullptr) << "Wine loaded its own rasapi32, not the simulator";
        ASSERT_EQ(Control("check"), "ok");
        Control("reset");
        ras = std::make_unique<TVireoRAS>(service.get(), window);
        window.Attach(ras.get());
        ras->OnConnect = [this](const std::string& n) { events.push_back("Connect " + n); };
        ras->OnConnectAuthenticate = [this](const std::string& n) { events.push_back("Authenticate " + n); };
        ras->OnConnectError = [this](const std::string& n, const RasError& e) {
            events.push_back("ConnectError " + n + (e.Code ? " " + std::to_string(e.Code) + " " + e.Text : ""));
        };
    }
    void TearDown() override
    {
        window.Attach(nullptr);
        ras.reset();
    }

    std::string Control(const std::string& command)
    {
        char out[8192] = {};
        control(command.c_str(), out, sizeof out);
        return out;
    }
    std::string Log()
    {
        std::ifstream in(Control("logpath"), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    int Index(const std::string& name)
    {
        for (int i = 0; i < ras->EntryCount(); ++i)
            if (ras->EntryName(i) == name)
                return i;
        return -1;
    }
    // Runs the message loop until the condition holds or the time is up.
    bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 5000)
    {
        const DWORD start = GetTickCount();
        while (!done()) {
            if (GetTickCount() - start > timeoutMs)
                return false;
            pump::WaitAndProcessMessages(20);
        }
        return true;
    }
    void PumpFor(DWORD ms)
    {
        PumpUntil([] { return false; }, ms);
    }

    Win32Deadlines deadlines;
    TestWindow window{deadlines.Timers()};
    std::unique_ptr<LibraryRasService> service;
    std::unique_ptr<TVireoRAS> ras;
    ControlFn control = nullptr;
    Events events;
};

TEST_F(RasWine, TheSimulatorBesideTheProgramIsLoaded)
{
    char path[MAX_PATH];
    GetModuleFileNameA(service->Module(), path, sizeof path);
    EXPECT_EQ(std::string(path).substr(0, std::string(path).find_last_of('\\')), ExeDir());
}

TEST_F(RasWine, Enumeration)
{
    EXPECT_FALSE(ras->ServiceError());
    EXPECT_EQ(ras->EntryCount(), 7);
    EXPECT_EQ(ras->EntryName(0), "接続 テスト");
    EXPECT_EQ(ras->EntryName(6), "Other");
    EXPECT_EQ(ras->EntryName(7), "");
    EXPECT_EQ(ras->EntryState(0), 0);
    EXPECT_EQ(ras->ActiveEntryCount(), 0);
    // The simulator accepted the records' sizes (it answers 632 to any other).
    const std::string log = Log();
    EXPECT_NE(log.find("RasEnumEntriesA phonebook=NULL dwSize=264 bytes=26400 -> 0 count=7"), std::string::npos) << log;
    EXPECT_NE(log.find("RasEnumConnectionsA dwSize=" + std::to_string(sizeof(RASCONNA)) + " bytes=" +
                       std::to_string(100 * sizeof(RASCONNA)) + " -> 0"),
              std::string::npos)
        << log;
}

TEST_F(RasWine, DialToConnectedThenHangUp)
{
    const int index = Index("接続 テスト");
    ASSERT_TRUE(ras->Dial(index));
    EXPECT_EQ(ras->DialName(), "接続 テスト");
    EXPECT_EQ(ras->EntryStateByName("接続 テスト"), 1);
    EXPECT_FALSE(ras->Dial(index));
    ASSERT_TRUE(PumpUntil([&] { return events.size() >= 2; }));
    EXPECT_EQ(events, (Events{"Authenticate 接続 テスト", "Connect 接続 テスト"}));
    EXPECT_EQ(ras->DialName(), "");
    EXPECT_EQ(ras->DialHandle(), 0u);
    EXPECT_EQ(ras->EntryState(index), 2);
    EXPECT_EQ(ras->ActiveEntryCount(), 1);
    EXPECT_EQ(ras->ConnectedEntryName(0), "接続 テスト");

    std::optional<bool> released;
    EXPECT_TRUE(ras->HangUpConnection(0, [&](bool r) { released = r; }));
    ASSERT_TRUE(PumpUntil([&] { return released.has_value(); }));
    EXPECT_TRUE(*released);
    EXPECT_EQ(ras->EntryState(index), 0);
    EXPECT_EQ(ras->ActiveEntryCount(), 0);
    PumpFor(200);
    EXPECT_EQ(events.size(), 2u);
    const std::string log = Log();
    EXPECT_NE(log.find("RasDialA extensions=NULL phonebook=NULL dwSize=1052 notifierType=0 notifier=set"),
              std::string::npos)
        << log;
    EXPECT_NE(log.find("phone=\"0120-1\" -> 0"), std::string::npos) << log;
}

TEST_F(RasWine, DialToError)
{
    ASSERT_TRUE(ras->Dial(Index("Fail")));
    ASSERT_TRUE(PumpUntil([&] { return !events.empty(); }));
    PumpFor(200);
    // The service's code and its text, in the system's language (the prefix's is English).
    EXPECT_EQ(events, Events{"ConnectError Fail 678 The remote computer did not answer."});
    EXPECT_EQ(ras->DialName(), "");
    EXPECT_EQ(ras->EntryStateByName("Fail"), 0);
    EXPECT_EQ(Control("list"), "");  // the failed connection was hung up and released
    EXPECT_NE(Log().find("notify handle=0x1001 state=2 error=678"), std::string::npos);
}

TEST_F(RasWine, CancelEndsWithOneConnectError)
{
    ASSERT_TRUE(ras->Dial(Index("Slow")));
    PumpFor(100);
    EXPECT_TRUE(ras->CancelDial({}));
    PumpFor(400);
    EXPECT_EQ(events, Events{"ConnectError Slow"});
    EXPECT_TRUE(ras->Dial(Index("Slow")));
    EXPECT_TRUE(ras->CancelDial({}));
    PumpFor(300);
    EXPECT_EQ(events, (Events{"ConnectError Slow", "ConnectError Slow"}));
}

TEST_F(RasWine, StartRefusedOrWithoutDialParameters)
{
    EXPECT_FALSE(ras->Dial(Index("Refuse")));
    EXPECT_EQ(ras->DialRefusal(), (RasError{633, "The modem or connection device is already in use or not set up."}));
    EXPECT_FALSE(ras->Dial(Index("NoParams")));
    EXPECT_EQ(ras->DialRefusal(), (RasError{623, "The phone book has no entry for this connection."}));
    EXPECT_FALSE(ras->Dial(-1));
    EXPECT_EQ(ras->DialRefusal(), RasError{});  // refused by the component: no code
    PumpFor(200);
    EXPECT_EQ(events, Events{});
    const std::string log = Log();
    EXPECT_NE(log.find("RasHangUpA handle=0x1001 -> 0"), std::string::npos) << log;  // the refused dial's handle
    EXPECT_EQ(log.find("entry=\"NoParams\" phone"), std::string::npos) << log;       // never dialled
    EXPECT_EQ(Control("list"), "");
}

// The call returns at once; the watch gives the handle up after the limit.
TEST_F(RasWine, NeverReleasedHangUpIsGivenUpAfterTheLimit)
{
    ASSERT_TRUE(ras->Dial(Index("Sticky")));
    ASSERT_TRUE(PumpUntil([&] { return events.size() == 2; }));
    window.speed = 30;  // the 30 s limit passes in about one second
    const DWORD start = GetTickCount();
    std::optional<bool> released;
    EXPECT_TRUE(ras->HangUpConnection(0, [&](bool r) { released = r; }));
    EXPECT_LT(GetTickCount() - start, 1000u);
    EXPECT_FALSE(released.has_value());
    ASSERT_TRUE(PumpUntil([&] { return released.has_value(); }));
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_FALSE(*released);
    EXPECT_GE(elapsed * 30, kHangUpWaitLimitMs - 100);
    EXPECT_LT(elapsed, 5000u);
}

TEST_F(RasWine, NeverReleasedCancelStillEndsTheDial)
{
    ASSERT_TRUE(ras->Dial(Index("Sticky")));
    window.speed = 30;
    EXPECT_TRUE(ras->CancelDial({}));  // accepted, though never released
    PumpFor(1500);
    EXPECT_EQ(events, Events{"ConnectError Sticky"});
    EXPECT_EQ(ras->DialHandle(), 0u);
    EXPECT_TRUE(ras->ServiceInUse());
}

TEST_F(RasWine, DialReportsItsStatesInOrderAndReusesHandles)
{
    ASSERT_TRUE(ras->Dial(Index("接続 テスト")));
    ASSERT_TRUE(PumpUntil([&] { return events.size() >= 2; }));
    bool released = false;
    EXPECT_TRUE(ras->HangUpConnection(0, [&](bool) { released = true; }));
    ASSERT_TRUE(PumpUntil([&] { return released; }));
    ASSERT_TRUE(ras->Dial(Index("接続 テスト")));  // the released value comes back
    EXPECT_EQ(ras->DialHandle(), 0x1001u);
    EXPECT_TRUE(ras->CancelDial({}));
    PumpFor(200);
    const std::string log = Log();
    std::string states;
    for (std::size_t at = 0; (at = log.find("notify handle=0x1001 state=", at)) != std::string::npos; ++at)
        states += log.substr(at + 27, log.find(' ', at + 27) - at - 27) + " ";
    EXPECT_EQ(states.rfind("0 1 2 3 4 5 6 14 8192 ", 0), 0u) << log;
    EXPECT_EQ(log.find("notify handle=0x1001 state=8193"), std::string::npos) << log;  // the cancel: no word
    EXPECT_EQ(log.find("*conn=0x1"), std::string::npos) << log;   // always handed a NULL handle
}

// The library is not freed under a dial of ours: once the simulator's own dial thread has
// ended, the program's reference is what keeps it loaded.
TEST(RasWineLibrary, KeptLoadedWhileADialRuns)
{
    char path[MAX_PATH];
    {
        Win32Deadlines deadlines;
        VireoRASComponent component(deadlines.Timers());
        ASSERT_FALSE(component.Ras().ServiceError());
        int index = -1;
        for (int i = 0; i < component.Ras().EntryCount(); ++i)
            if (component.Ras().EntryName(i) == "Fail")
                index = i;
        ASSERT_TRUE(component.Ras().Dial(index));
        HMODULE module = GetModuleHandleA("rasapi32.dll");
        ASSERT_NE(module, nullptr);
        GetModuleFileNameA(module, path, sizeof path);
    }
    Sleep(400);  // the failing dial's thread ends after 200 ms
    EXPECT_NE(GetModuleHandleA(path), nullptr);
}

TEST_F(RasWine, MonitorSeesAConnectionComeAndGo)
{
    int first = 0, all = 0;
    ras->OnFirstConnect = [&] { ++first; };
    ras->OnAllDeconnect = [&] { ++all; };
    ras->SetMonitoring(true);
    Control("open Other");
    ASSERT_TRUE(PumpUntil([&] { return first == 1; }, 4000));  // one period of 3 s
    Control("drop Other");
    ASSERT_TRUE(PumpUntil([&] { return all == 1; }, 4000));
    EXPECT_EQ(first, 1);
    ras->SetMonitoring(false);
}

TEST_F(RasWine, ConnectionOfAnotherProgram)
{
    // The driver tool in a process of its own opens the connection through the shared state.
    std::string command = "\"" + ExeDir() + "\\rassimctl.exe\" open Other";
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
    WaitForSingleObject(pi.hProcess, 30000);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    ASSERT_EQ(code, 0u);

    EXPECT_EQ(ras->EntryState(Index("Other")), 2);
    EXPECT_EQ(ras->EntryStateByName("Other"), 2);
    EXPECT_EQ(ras->ConnectedEntryName(0), "Other");
    EXPECT_EQ(Control("drop Other").rfind("dropped", 0), 0u);
    EXPECT_EQ(ras->EntryState(Index("Other")), 0);
}

TEST(RasWineLibrary, MissingOrIncompleteLibraryIsUnavailable)
{
    Win32Deadlines deadlines;
    VireoRASComponent missing(deadlines.Timers(), "kiv-no-such-library.dll");
    EXPECT_TRUE(missing.Ras().ServiceError());
    EXPECT_EQ(missing.Ras().EntryCount(), -1);
    EXPECT_EQ(LibraryRasService::Load("kernel32.dll"), nullptr);       // loads, lacks all six
    EXPECT_EQ(LibraryRasService::Load("ras_incomplete.dll"), nullptr);  // lacks RasHangUpA
    EXPECT_EQ(GetModuleHandleA("ras_incomplete.dll"), nullptr);          // and was freed again
}

}  // namespace
}  // namespace kiv::ras

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    kiv::ras::simEnv = new kiv::ras::SimulatorEnvironment;
    ::testing::AddGlobalTestEnvironment(kiv::ras::simEnv);
    return RUN_ALL_TESTS();
}
