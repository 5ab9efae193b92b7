// The windows at another dpi against the real window system: the status window measures and
// hits its icon at its dpi, and the dialogs follow WM_DPICHANGED, every child to its 96-dpi
// place scaled, in the font of the new dpi, the window sized for its scaled client area.
#include <windows.h>

#include <gtest/gtest.h>

#include "../unit/Fakes.h"
#include "OptionUnit.h"
#include "OptionUserUnit.h"
#include "StatusWindow.h"
#include "VersionUnit.h"
#include "WindowDpi.h"

namespace kiv {
namespace {

LRESULT CALLBACK DpiTestProc(HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefWindowProcW(w, m, wp, lp); }

HWND CreatePlainWindow()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DpiTestProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KivDpiTestWindow";
    RegisterClassExW(&wc);
    return CreateWindowExW(WS_EX_TOOLWINDOW, wc.lpszClassName, L"Kiv", WS_POPUP, 100, 100, 300, 100, nullptr, nullptr,
                           wc.hInstance, nullptr);
}

// The system tells the window it is now at dpi, suggesting a place at 50, 60.
void ChangeDpi(HWND window, unsigned dpi)
{
    RECT suggested{50, 60, 50 + 500, 60 + 400};
    SendMessageW(window, ui::kWmDpiChanged, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
}

SIZE ClientSize(HWND window)
{
    RECT r{};
    GetClientRect(window, &r);
    return {r.right, r.bottom};
}

DialogRect PlaceOf(HWND control)
{
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
    return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

int FontHeightOf(HWND control)
{
    LOGFONTW font{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfHeight;
}

struct Search {
    int Id;
    HWND Found;
};

BOOL CALLBACK FindControl(HWND child, LPARAM data)
{
    auto* search = reinterpret_cast<Search*>(data);
    if (GetDlgCtrlID(child) != search->Id)
        return TRUE;
    search->Found = child;
    return FALSE;
}

// A control anywhere below the form (the options dialog's are on its pages).
HWND ControlOf(HWND form, int id)
{
    Search search{id, nullptr};
    EnumChildWindows(form, FindControl, reinterpret_cast<LPARAM>(&search));
    return search.Found;
}

TEST(DpiChange, StatusWindowMeasuresAndHitsItsIconAtItsDpi)
{
    HWND window = CreatePlainWindow();
    ASSERT_NE(window, nullptr);
    Win32StatusWindow status;
    status.Attach(window);
    status.SetDpi(96);
    status.SetIconEnabled(true);
    const SjisText text("-Welcome to Kiv-\r\r対象となるダイヤルアップ先が設定されていません。");
    const TSize at96 = status.SetStatusCaption(text);
    EXPECT_TRUE(status.OnIcon(40, 40));
    EXPECT_FALSE(status.OnIcon(80, 80));

    status.SetDpi(192);
    EXPECT_EQ(status.Dpi(), 192u);
    const TSize at192 = status.SetStatusCaption(text);
    // The font of 24 pixels: every line twice as high, the text about twice as wide.
    EXPECT_NEAR(at192.Height, 2 * at96.Height, 3);
    EXPECT_NEAR(at192.Width, 2 * at96.Width, at96.Width / 10);
    EXPECT_TRUE(status.OnIcon(80, 80));  // the icon of 88 x 88 at 4,2
    EXPECT_FALSE(status.OnIcon(93, 40));
    DestroyWindow(window);
}

class DpiChangeOfDialogs : public ::testing::Test, protected test::MainFormFixture {
protected:
    DpiChangeOfDialogs()
    {
        ras.entries = {"Alpha"};
        form.Settings.Target = "Alpha";
    }
};

TEST_F(DpiChangeOfDialogs, OptionsDialogFollowsTheDpiAndComesBack)
{
    TOptionForm::Open(form, ras, false);
    ASSERT_NE(OptionForm, nullptr);
    HWND dialog = OptionForm->Handle();
    const unsigned start = ui::WindowDpi(dialog);
    for (const unsigned dpi : {192u, 144u, start}) {
        ChangeDpi(dialog, dpi);
        const SIZE client = ClientSize(dialog);
        EXPECT_EQ(client.cx, ScaleToDpi(420, dpi)) << dpi;
        EXPECT_EQ(client.cy, ScaleToDpi(345, dpi)) << dpi;
        RECT window{};
        GetWindowRect(dialog, &window);
        EXPECT_EQ(window.left, 50) << "at the place the system suggests";
        EXPECT_EQ(window.top, 60);
        for (const OptionRow& row : kOptionRows) {
            if (!row.Name)
                continue;
            HWND control = ControlOf(dialog, row.Id);
            ASSERT_NE(control, nullptr) << row.Name;
            DialogRect expected = ScaleRect(row.Rect, dpi);
            DialogRect got = PlaceOf(control);
            if (row.Kind == OptionRowKind::PhonebookList || row.Kind == OptionRowKind::ChoiceList)
                got.Height = expected.Height;  // a closed drop-down list is as high as its font
            EXPECT_EQ(got, expected) << row.Name << " at " << dpi;
            if (row.Kind != OptionRowKind::TrackBar) {
                EXPECT_EQ(FontHeightOf(control), ScaleToDpi(-12, dpi)) << row.Name << " at " << dpi;
            }
        }
    }
    DestroyWindow(dialog);
    EXPECT_EQ(OptionForm, nullptr);
}

TEST_F(DpiChangeOfDialogs, ComputersDialogAndAboutBoxFollowTheDpi)
{
    TOptionForm::Open(form, ras, false);
    ASSERT_NE(OptionForm, nullptr);
    HWND options = OptionForm->Handle();
    TOptionUserForm::Open(options, {"pc-one"}, [](std::optional<StringList>) {});
    ASSERT_NE(OptionUserForm, nullptr);
    HWND computers = OptionUserForm->Handle();
    ChangeDpi(computers, 192);
    EXPECT_EQ(ClientSize(computers).cx, 834);
    EXPECT_EQ(ClientSize(computers).cy, 454);
    EXPECT_EQ(PlaceOf(ControlOf(computers, idUserBtOk)), (DialogRect{652, 336, 166, 46}));
    EXPECT_EQ(FontHeightOf(ControlOf(computers, idLvUser)), -24);
    // The rows' images are 32 x 32.
    int cx = 0, cy = 0;
    ImageList_GetIconSize(
        reinterpret_cast<HIMAGELIST>(SendMessageW(ControlOf(computers, idLvUser), LVM_GETIMAGELIST, LVSIL_SMALL, 0)),
        &cx, &cy);
    EXPECT_EQ(cx, 32);
    EXPECT_EQ(cy, 32);
    DestroyWindow(options);

    TVersionForm::Open();
    ASSERT_NE(VersionForm, nullptr);
    HWND about = VersionForm->Handle();
    ChangeDpi(about, 144);
    EXPECT_EQ(ClientSize(about).cx, 428);
    EXPECT_EQ(ClientSize(about).cy, 236);
    EXPECT_EQ(PlaceOf(ControlOf(about, idBtClose)), (DialogRect{158, 192, 112, 35}));
    EXPECT_EQ(FontHeightOf(ControlOf(about, idLaURL)), -18);
    DestroyWindow(about);
}

}  // namespace
}  // namespace kiv
