// Thin helpers for the dialogs' windows: their fonts and the program's icon at any dpi, child
// controls made at their 96-dpi places and kept there as the dpi changes, a panel that paints a
// background (and optionally the program's icon and a text) and passes its children's
// notifications to the form, and the label colours the forms answer WM_CTLCOLORSTATIC with.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

#include "DpiScale.h"

namespace kiv::ui {

// Shift-JIS text as the controls want it, and back.
std::wstring W(const std::string& sjis);
std::string Sjis(const std::wstring& text);

// A font as the dialogs describe it: its character height at 96 dpi (negative, in pixels) or,
// where Points is set, its size in points.
struct FontSpec {
    const wchar_t* Face;
    int Height96 = 0;
    int Weight = FW_NORMAL;
    bool Italic = false;
    bool Underline = false;
    BYTE Charset = DEFAULT_CHARSET;
    int Points = 0;
};
// "ＭＳ Ｐゴシック" at a 12-pixel character height: plain, bold, underlined.
inline constexpr FontSpec kFormFont{.Face = L"ＭＳ Ｐゴシック", .Height96 = -12, .Charset = SHIFTJIS_CHARSET};
inline constexpr FontSpec kFormBoldFont{
    .Face = L"ＭＳ Ｐゴシック", .Height96 = -12, .Weight = FW_BOLD, .Charset = SHIFTJIS_CHARSET};
inline constexpr FontSpec kFormUnderlinedFont{
    .Face = L"ＭＳ Ｐゴシック", .Height96 = -12, .Underline = true, .Charset = SHIFTJIS_CHARSET};

// The font of spec at dpi, made once and kept for the program's life (a few per dpi).
HFONT FontAt(const FontSpec& spec, unsigned dpi);

// The program's emblem at size x size pixels, loaded once per size.
HICON ProgramIcon(int size);

// What a child control may have besides its place, named where it is made:
// layout.Child(..., id, {.HelpId = 5, .ExStyle = WS_EX_CLIENTEDGE}).
struct ChildExtras {
    const FontSpec* Font = &kFormFont;  // null: the class's own font
    DWORD HelpId = 0;                   // help-context number; 0: none
    DWORD ExStyle = 0;
};

// The child windows of a form at their 96-dpi places, made at the form's dpi and moved and given
// their fonts anew when it changes.
class ScaledChildren {
public:
    explicit ScaledChildren(unsigned dpi = kDefaultDpi) : dpi_(dpi) {}
    unsigned Dpi() const { return dpi_; }
    int Scale(int value96) const { return ScaleToDpi(value96, dpi_); }

    // A child control at rect (96 dpi, on its parent).
    HWND Child(HWND parent, const wchar_t* windowClass, const std::string& text, DWORD style, const DialogRect& rect,
               int id, const ChildExtras& extras = {});
    // A child made elsewhere, kept at rect with font (null: its font is left alone).
    void Keep(HWND child, const DialogRect& rect, const FontSpec* font);
    // Every child to its place and font at dpi.
    void Rescale(unsigned dpi);

private:
    struct Kept {
        HWND Window;
        DialogRect Rect;
        const FontSpec* Font;
    };
    unsigned dpi_;
    std::vector<Kept> kept_;
};

std::string ControlText(HWND control);
void SetControlText(HWND control, const std::string& text);
bool Checked(HWND button);
void SetChecked(HWND button, bool checked);

// Registers a dialog's window class (once; later calls change nothing): the dialog face colour,
// the arrow cursor, and the program's icon when withIcon.
void RegisterFormClass(const wchar_t* className, WNDPROC windowProc, bool withIcon);

// The window's rectangle for a client area of width x height at 96 dpi, at dpi, centred on the
// primary screen.
RECT CentredWindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, unsigned dpi);

// A form's window is to be at dpi (WM_DPICHANGED: it moved to a monitor of another dpi): its
// children are rescaled and the window, sized for a client area of width x height at 96 dpi, goes
// where the system suggests (null: stays where it is).
void FollowDpiChange(HWND window, ScaledChildren& children, int clientWidth, int clientHeight, unsigned dpi,
                     const RECT* suggested);

struct PanelLook {
    COLORREF Back = 0;
    bool Lowered = false;
    bool Emblem = false;  // the program's icon, 16 x 16 at 96 dpi, at the left, vertically centred
    const FontSpec* Font = &kFormFont;
    COLORREF TextColor = 0;
    HWND Notify = nullptr;  // receives the children's notifications
    unsigned Dpi = kDefaultDpi;
};

// A panel child window at rect (96 dpi), kept by children; look must outlive it.
HWND Panel(ScaledChildren& children, HWND parent, const std::string& text, const DialogRect& rect, PanelLook* look);
// A panel placed by its form (the pages of the options dialog): at r, in pixels.
HWND PlacedPanel(HWND parent, const std::string& text, const RECT& r, PanelLook* look);

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

}  // namespace kiv::ui
