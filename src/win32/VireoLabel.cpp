#include "VireoLabel.h"

#include <commctrl.h>

#include "FormKit.h"

namespace kiv {

HWND TVireoLabel::Create(ui::ScaledChildren& children, HWND parent, const std::string& text, const DialogRect& rect,
                         int id, COLORREF color)
{
    state_.FontColor = color;
    // The label's font follows its state, so the children leave it alone.
    window_ = children.Child(parent, L"Static", text, SS_LEFT | SS_NOTIFY | SS_NOPREFIX, rect, id, {.Font = nullptr});
    SetWindowSubclass(window_, SubclassProc, 1, reinterpret_cast<DWORD_PTR>(this));
    Rescale(children.Dpi());
    return window_;
}

void TVireoLabel::Rescale(unsigned dpi)
{
    font_ = ui::FontAt(ui::kFormFont, dpi);
    underlinedFont_ = ui::FontAt(ui::kFormUnderlinedFont, dpi);
    Refresh();
}

LRESULT TVireoLabel::CtlColor(HDC dc) const
{
    SetTextColor(dc, state_.FontColor);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
}

void TVireoLabel::CMMouseEnter()
{
    state_.MouseEnter();
    Refresh();
}

void TVireoLabel::CMMouseLeave()
{
    state_.MouseLeave();
    Refresh();
}

void TVireoLabel::Refresh()
{
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(state_.Underline ? underlinedFont_ : font_), FALSE);
    InvalidateRect(window_, nullptr, TRUE);
}

LRESULT CALLBACK TVireoLabel::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                           DWORD_PTR data)
{
    auto* self = reinterpret_cast<TVireoLabel*>(data);
    switch (message) {
    case WM_MOUSEMOVE:
        if (!self->tracking_) {
            TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, window, 0};
            self->tracking_ = TrackMouseEvent(&track) != FALSE;
            self->CMMouseEnter();
        }
        break;
    case WM_MOUSELEAVE:
        self->tracking_ = false;
        self->CMMouseLeave();
        break;
    case WM_SETCURSOR:
        SetCursor(LoadCursorW(nullptr, MAKEINTRESOURCEW(32649)));  // IDC_HAND
        return TRUE;
    case WM_NCDESTROY:
        RemoveWindowSubclass(window, SubclassProc, id);
        break;
    default:
        break;
    }
    return DefSubclassProc(window, message, wParam, lParam);
}

}  // namespace kiv
