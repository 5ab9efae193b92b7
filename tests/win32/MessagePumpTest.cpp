// The program's one message pump under Wine: Unicode keyboard input reaches Unicode windows
// unchanged, a turn of a loop takes what waits (a thread message too) so that the next turn
// sleeps, and a quit is kept once without waking every later turn at once.
#include <gtest/gtest.h>

#include "MessagePump.h"

namespace kiv {
namespace {

WPARAM lastChar = 0;

LRESULT CALLBACK RecordChar(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CHAR)
        lastChar = wParam;
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST(MessagePump, JapaneseCharacterReachesAUnicodeWindowUnchanged)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = RecordChar;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KivPumpTestWindow";
    RegisterClassW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(window, nullptr);
    PostMessageW(window, WM_CHAR, 0x3042, 0);  // HIRAGANA LETTER A
    pump::WaitAndProcessMessages(0);
    EXPECT_EQ(lastChar, 0x3042u);
    DestroyWindow(window);
}

// A message for no window is taken by the turn that finds it, not put back: it cannot keep
// every later turn awake.
TEST(MessagePump, AThreadMessageDoesNotKeepTheLoopAwake)
{
    PostThreadMessageW(GetCurrentThreadId(), WM_APP + 5, 11, 22);
    const DWORD start = GetTickCount();
    for (int i = 0; i < 5; ++i)
        pump::WaitAndProcessMessages(60);
    EXPECT_GE(GetTickCount() - start, 200u);
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), WM_APP + 5, WM_APP + 5, PM_NOREMOVE));
}

// Last in this program: the quit stays requested.
TEST(MessagePump, QuitIsKeptOnceAndWaitsStillSleep)
{
    PostQuitMessage(7);
    pump::WaitAndProcessMessages(0);  // a turn takes it
    EXPECT_TRUE(pump::QuitRequested());
    MSG msg;
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE));  // not posted again

    // A wait with the quit pending sleeps its time instead of returning at once: 200 ms take a
    // few waits of 60 ms (a message arriving may end one early), not hundreds.
    const DWORD start = GetTickCount();
    int waits = 0;
    while (GetTickCount() - start < 200) {
        pump::WaitAndProcessMessages(60);
        ++waits;
    }
    EXPECT_LE(waits, 20);

    EXPECT_EQ(pump::RunMessageLoop(), 7);  // the main loop ends on it
}

}  // namespace
}  // namespace kiv
