// TVireoLabel: a static label that underlines itself and takes HoverColor while the mouse is
// over it (a link). Its parent form answers WM_CTLCOLORSTATIC through CtlColor.
#pragma once

#include <windows.h>

#include <string>

#include "FormKit.h"
#include "VireoLabelState.h"

namespace kiv {

class TVireoLabel {
public:
    // A label with a hand cursor that reports clicks (STN_CLICKED) to its parent, at rect (96
    // dpi) among the form's children, in the form's font (underlined while the mouse is over it).
    HWND Create(ui::ScaledChildren& children, HWND parent, const std::string& text, const DialogRect& rect, int id,
                COLORREF color);
    // Its fonts at the form's new dpi.
    void Rescale(unsigned dpi);
    LRESULT CtlColor(HDC dc) const;
    HWND Handle() const { return window_; }
    const TVireoLabelState& State() const { return state_; }

    // CM_MOUSEENTER and CM_MOUSELEAVE.
    void CMMouseEnter();
    void CMMouseLeave();

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                         DWORD_PTR self);
    void Refresh();

    HWND window_ = nullptr;
    HFONT font_ = nullptr;
    HFONT underlinedFont_ = nullptr;
    bool tracking_ = false;
    TVireoLabelState state_;
};

}  // namespace kiv
