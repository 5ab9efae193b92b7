// The base of the program's windows, as 7-Zip's window classes are: the object that owns a
// window is found from the window's handle and gets its messages in OnMessage; a form that
// lives on the heap may be freed with its window.
#pragma once

#include <windows.h>

namespace kiv::ui {

class FormWindow {
public:
    FormWindow(const FormWindow&) = delete;
    FormWindow& operator=(const FormWindow&) = delete;

    HWND Handle() const { return window_; }

protected:
    // freedWithWindow: the object was made with new and is deleted once its window is gone.
    explicit FormWindow(bool freedWithWindow = false) : freedWithWindow_(freedWithWindow) {}
    virtual ~FormWindow() = default;

    // The window class's procedure; CreateWindowExW takes the object as its creation parameter.
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // Every message of the window from WM_NCCREATE on, except WM_NCDESTROY.
    virtual LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // The window is gone (WM_NCDESTROY); window_ is already null.
    virtual void OnWindowGone() {}

    HWND window_ = nullptr;

private:
    bool freedWithWindow_;
    int busy_ = 0;  // handlers of this object on the stack
};

}  // namespace kiv::ui
