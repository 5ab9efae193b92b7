#include "FormWindow.h"

namespace kiv::ui {

LRESULT CALLBACK FormWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<FormWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<FormWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        self->OnWindowGone();
        // When the window goes inside one of the object's own handlers (a message box's own
        // loop dispatches messages, and the program may end meanwhile), the object is freed
        // once that handler has returned.
        if (self->freedWithWindow_ && self->busy_ == 0)
            delete self;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    ++self->busy_;
    const LRESULT result = self->OnMessage(message, wParam, lParam);
    if (--self->busy_ == 0 && !self->window_ && self->freedWithWindow_)
        delete self;
    return result;
}

}  // namespace kiv::ui
