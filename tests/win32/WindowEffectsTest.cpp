// The Win32 adapters of the status window against the real window system: layered styles and
// attributes through fades on the program's deadlines, visibility without activation, the window region and
// the label's measure.
#include <windows.h>

#include <gtest/gtest.h>

#include "LayeredWindows.h"
#include "StatusWindow.h"
#include "Win32Deadlines.h"

namespace kiv {
namespace {

LRESULT CALLBACK PlainProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }

HWND CreateTopWindow()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = PlainProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = CreateSolidBrush(RGB(68, 34, 119));
    wc.lpszClassName = L"KivTestWindow";
    RegisterClassExW(&wc);
    return CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"Kiv", WS_POPUP, 100, 100, 300, 100,
                           nullptr, nullptr, wc.hInstance, nullptr);
}

// Dispatches messages until done() or the limit; false at the limit.
template <typename Done>
bool PumpUntil(Done done, DWORD limitMs = 5000)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > limitMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    return true;
}

class WindowEffects : public ::testing::Test, protected LayeredForm {
protected:
    WindowEffects() { layered.SetTarget(&vss); }
    ~WindowEffects() override { DestroyWindow(window); }

    WindowHandle Handle() override { return reinterpret_cast<WindowHandle>(window); }
    void Hide() override { ++hides; }
    void Show() override { ++shows; }

    LONG ExStyle() const { return GetWindowLongW(window, GWL_EXSTYLE); }
    int Alpha() const
    {
        BYTE alpha = 0;
        DWORD flags = 0;
        if (!GetLayeredWindowAttributes(window, nullptr, &alpha, &flags) || !(flags & LWA_ALPHA))
            return -1;
        return alpha;
    }
    bool RunFade() { return PumpUntil([this] { return !vss.RunningLayeredWindowFeed(); }); }

    HWND window = CreateTopWindow();
    Win32Deadlines deadlines;
    Win32LayeredWindows layered{deadlines.Timers()};
    TVireoSubSet vss{layered};
    int hides = 0, shows = 0;
};

TEST_F(WindowEffects, LayeredWindowsAreFoundAtRunTime)
{
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(vss.UseSetLayeredWindow());
}

TEST_F(WindowEffects, FadeInShowsTheWindowAndEndsAtItsAlpha)
{
    HWND foreground = GetForegroundWindow();
    ASSERT_TRUE(vss.FadeIn(this, 200, 0, 25));
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_TRUE(ExStyle() & WS_EX_LAYERED);
    EXPECT_EQ(Alpha(), 0);
    ASSERT_TRUE(RunFade());
    EXPECT_EQ(Alpha(), 200);
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_FALSE(ExStyle() & WS_EX_TRANSPARENT);
    EXPECT_EQ(shows, 1);
    EXPECT_EQ(GetForegroundWindow(), foreground);  // shown without activation
}

TEST_F(WindowEffects, FadeOutHidesTheWindowAndClearsClickThrough)
{
    ASSERT_TRUE(vss.FadeIn(this, 255, 0, 25));
    ASSERT_TRUE(RunFade());
    EXPECT_EQ(Alpha(), 255);
    vss.SetSetLayeredWindowEvent(false);
    ASSERT_TRUE(vss.FadeOut(this, 255, 0, 25));
    EXPECT_TRUE(ExStyle() & WS_EX_TRANSPARENT);
    ASSERT_TRUE(RunFade());
    EXPECT_FALSE(IsWindowVisible(window));
    EXPECT_FALSE(ExStyle() & WS_EX_TRANSPARENT);
    EXPECT_TRUE(ExStyle() & WS_EX_LAYERED);
    EXPECT_EQ(Alpha(), 255 - 8 * 31);  // the last step applied stays
    EXPECT_EQ(hides, 0);
}

TEST_F(WindowEffects, SmallAlphaFadesEnd)
{
    for (int alpha : {1, 7}) {
        ASSERT_TRUE(vss.FadeIn(this, alpha, 0, 10));
        ASSERT_TRUE(RunFade()) << alpha;
        EXPECT_EQ(Alpha(), alpha);
        ASSERT_TRUE(vss.FadeOut(this, alpha, 0, 10));
        ASSERT_TRUE(RunFade()) << alpha;
        EXPECT_FALSE(IsWindowVisible(window));
    }
}

TEST_F(WindowEffects, SetLayeredAlpha)
{
    EXPECT_TRUE(vss.SetLayeredAlpha(Handle(), 120, 0));
    EXPECT_TRUE(ExStyle() & WS_EX_LAYERED);
    EXPECT_EQ(Alpha(), 120);
    EXPECT_TRUE(vss.SetLayeredAlpha(Handle(), -1, 0));
    EXPECT_FALSE(ExStyle() & WS_EX_LAYERED);
    EXPECT_FALSE(vss.SetLayeredAlpha(Handle(), 256, 0));
    EXPECT_FALSE(vss.SetLayeredAlpha(0, 100, 0));
}

TEST(StatusWindow, RegionLabelAndVisibility)
{
    HWND window = CreateTopWindow();
    ASSERT_NE(window, nullptr);
    Win32StatusWindow status;
    status.Attach(window);

    const TSize one = status.SetStatusCaption(SjisText("-Welcome to Kiv-"));
    const TSize three = status.SetStatusCaption(SjisText("-Welcome to Kiv-\r\r対象となるダイヤルアップ先が設定されていません。"));
    EXPECT_GT(one.Height, 0);
    EXPECT_EQ(three.Height, 3 * one.Height);
    EXPECT_GT(three.Width, one.Width);

    status.SetBounds(10, 20, 300, 90);
    EXPECT_EQ(status.Width(), 300);
    for (bool multiLine : {false, true}) {
        status.SetShape(StatusWindowShape(300, 90, true, multiLine, 96));
        HRGN region = CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(GetWindowRgn(window, region), ERROR);
        EXPECT_TRUE(PtInRegion(region, 24, 24));     // the icon's circle
        EXPECT_TRUE(PtInRegion(region, 150, 20));    // the body from y 19 with the close bar
        EXPECT_FALSE(PtInRegion(region, 150, 17));
        EXPECT_FALSE(PtInRegion(region, 299, 89));   // a rounded corner
        EXPECT_TRUE(PtInRegion(region, 280, 80));
        EXPECT_EQ(PtInRegion(region, 3, 75) != 0, multiLine);  // the left column
        DeleteObject(region);
    }

    HWND foreground = GetForegroundWindow();
    status.ShowWithoutActivation();
    EXPECT_TRUE(IsWindowVisible(window));
    EXPECT_EQ(GetForegroundWindow(), foreground);
    status.HideWithoutActivation();
    EXPECT_FALSE(IsWindowVisible(window));
    DestroyWindow(window);
}

}  // namespace
}  // namespace kiv
