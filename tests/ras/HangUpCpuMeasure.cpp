// Measures the processor time the message-loop thread spends while TVireoRAS watches a
// hang-up that the rasapi32 simulator releases after 2 s: with the program's loop sleeping
// between messages, with the program's quit already requested (a hang-up at exit), and, for
// comparison, with a loop that never sleeps. Run it through scripts/measure-ras-hangup.sh
// (under Wine, the simulator beside it).
#include <cstdio>
#include <fstream>
#include <optional>
#include <string>

#include "MessagePump.h"
#include "VireoRASWin32.h"
#include "Win32Deadlines.h"

using namespace kiv;
using namespace kiv::ras;

namespace {

// One turn of the loop: the program's, or one that never waits (busy).
void Turn(bool busy)
{
    pump::WaitAndProcessMessages(busy ? 0 : 100);
}

std::uint64_t ThreadCpu100ns()
{
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto value = [](FILETIME t) { return (std::uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return value(kernel) + value(user);
}

enum class Mode { Sleeping, QuitPending, Busy };

bool Measure(Mode mode)
{
    const bool busy = mode == Mode::Busy;
    Win32Deadlines deadlines;
    RasHiddenWindow window(deadlines.Timers());
    auto service = LibraryRasService::Load();
    if (!service) {
        std::fputs("rasapi32.dll not found or incomplete\n", stderr);
        return false;
    }
    TVireoRAS ras(service.get(), window);
    window.Attach(&ras);
    bool connected = false;
    ras.OnConnect = [&](const std::string&) { connected = true; };
    if (!ras.Dial(0)) {
        std::fputs("dial refused\n", stderr);
        return false;
    }
    const DWORD dialStart = GetTickCount();
    while (!connected && GetTickCount() - dialStart < 5000)
        Turn(false);
    if (!connected) {
        std::fputs("no connection\n", stderr);
        return false;
    }
    LARGE_INTEGER freq, t0, t1;
    QueryPerformanceFrequency(&freq);
    if (mode == Mode::QuitPending)
        PostQuitMessage(0);  // as when the program ends with the line still up
    const std::uint64_t cpu0 = ThreadCpu100ns();
    QueryPerformanceCounter(&t0);
    std::optional<bool> released;
    ras.HangUpConnection(0, [&](bool r) { released = r; });
    while (!released && GetTickCount() - dialStart < 40000)
        Turn(busy);
    QueryPerformanceCounter(&t1);
    const std::uint64_t cpu1 = ThreadCpu100ns();
    const double wallMs = double(t1.QuadPart - t0.QuadPart) * 1000.0 / double(freq.QuadPart);
    const double cpuMs = double(cpu1 - cpu0) / 10000.0;
    const char* name = mode == Mode::Busy ? "busy loop" : mode == Mode::QuitPending ? "quit pending" : "program loop";
    std::printf("%-14s released=%s wall=%.0f ms thread cpu=%.1f ms = %.2f%% of one core\n", name,
                released.value_or(false) ? "yes" : "no", wallMs, cpuMs, 100.0 * cpuMs / wallMs);
    // The quit stays with the thread's loop; take it so the next measurement starts clean.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    }
    return released.value_or(false);
}

}  // namespace

int main()
{
    if (GetEnvironmentVariableA("RASSIM_SCENARIO", nullptr, 0) == 0) {
        char temp[MAX_PATH];
        GetTempPathA(sizeof temp, temp);
        const std::string dir = std::string(temp) + "kiv-hangup-measure";
        CreateDirectoryA(dir.c_str(), nullptr);
        std::ofstream(dir + "\\scenario.txt", std::ios::binary) << "[Hold]\ndial = connect 100\nhangup = 2000\n";
        SetEnvironmentVariableA("RASSIM_SCENARIO", (dir + "\\scenario.txt").c_str());
        SetEnvironmentVariableA("RASSIM_DIR", dir.c_str());
    }
    const bool ok = Measure(Mode::Sleeping) && Measure(Mode::QuitPending) && Measure(Mode::Busy);
    return ok ? 0 : 1;
}
