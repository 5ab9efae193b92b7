// Thin helpers for the dialogs' windows: the form font, child controls made in code, a panel
// that paints a background (and optionally an icon and a text) and passes its children's
// notifications to the form, and the label colours the forms answer WM_CTLCOLORSTATIC with.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace kiv::ui {

// Shift-JIS text as the controls want it, and back.
std::wstring W(const std::string& sjis);
std::string Sjis(const std::wstring& text);

// "ＭＳ Ｐゴシック" at a 12-pixel character height, plain or bold (created once).
HFONT FormFont();
HFONT FormBoldFont();
HFONT MakeFont(const wchar_t* face, int height, int weight, bool italic, bool underline, BYTE charset);

// What a child control may have besides its place, named where it is made:
// ui::Child(..., id, {.HelpId = 5, .ExStyle = WS_EX_CLIENTEDGE}).
struct ChildExtras {
    HFONT Font = FormFont();  // none: the class's own font
    DWORD HelpId = 0;         // help-context number; 0: none
    DWORD ExStyle = 0;
};

// A child control.
HWND Child(HWND parent, const wchar_t* windowClass, const std::string& text, DWORD style, int x, int y, int w,
           int h, int id, const ChildExtras& extras = {});

std::string ControlText(HWND control);
void SetControlText(HWND control, const std::string& text);
bool Checked(HWND button);
void SetChecked(HWND button, bool checked);

// The window's outer size for a client area, placed centred on the screen.
// Registers a dialog's window class (once; later calls change nothing): the dialog face colour,
// the arrow cursor, and the program's icon when withIcon.
void RegisterFormClass(const wchar_t* className, WNDPROC windowProc, bool withIcon);

RECT CentredWindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle);

struct PanelLook {
    COLORREF Back = 0;
    bool Lowered = false;
    HICON Icon = nullptr;  // drawn 16 x 16 at the left, vertically centred
    HFONT Font = nullptr;
    COLORREF TextColor = 0;
    HWND Notify = nullptr;  // receives the children's notifications
};

// A panel child window; look must outlive it.
HWND Panel(HWND parent, const std::string& text, int x, int y, int w, int h, PanelLook* look);

// The colours of a form's static labels, looked up on WM_CTLCOLORSTATIC.
class LabelColors {
public:
    // Text colour; back is the brush behind the label (nothing: the button face).
    void Set(HWND label, COLORREF text, HBRUSH back = nullptr);
    // Answers WM_CTLCOLORSTATIC for a known label; nothing (0) for others.
    LRESULT Answer(HDC dc, HWND label) const;

private:
    struct Look {
        COLORREF Text;
        HBRUSH Back;
    };
    std::map<HWND, Look> looks_;
};

// The standing colours of the dialogs.
inline constexpr COLORREF kRed = RGB(255, 0, 0);
inline constexpr COLORREF kTeal = RGB(0, 128, 128);
inline constexpr COLORREF kGrey = RGB(128, 128, 128);
inline constexpr COLORREF kWhite = RGB(255, 255, 255);
inline constexpr COLORREF kBlack = RGB(0, 0, 0);
inline constexpr COLORREF kBlue = RGB(0, 0, 255);

// The program's emblem as a small icon (the header icon of the dialogs).
HICON HeaderIcon();

}  // namespace kiv::ui
