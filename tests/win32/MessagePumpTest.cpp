// The program's one message pump under Wine: Unicode keyboard input reaches Unicode windows
// unchanged, thread messages are left to the thread's own loop, and a quit taken anywhere is
// kept once without waking every later wait at once.
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
    pump::ProcessPendingMessages();
    EXPECT_EQ(lastChar, 0x3042u);
    DestroyWindow(window);
}

TEST(MessagePump, ThreadMessagesAreLeftToTheThreadsLoop)
{
    constexpr UINT kLine = WM_APP + 5;
    PostThreadMessageW(GetCurrentThreadId(), kLine, 11, 22);
    pump::ProcessPendingMessages();
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, reinterpret_cast<HWND>(-1), kLine, kLine, PM_REMOVE));
    EXPECT_EQ(msg.wParam, 11u);
    EXPECT_EQ(msg.lParam, 22);
}

// Last in this program: the quit stays requested.
TEST(MessagePump, QuitIsKeptOnceAndWaitsStillSleep)
{
    PostQuitMessage(7);
    pump::ProcessPendingMessages();  // a wait's pass takes it
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
