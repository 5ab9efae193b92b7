// A plain top-level window with a caption and a client size, centred on the screen, with a
// taskbar button of its own. It stands for a dialog until the dialog's controls exist.
#pragma once

#include <windows.h>

#include <string>

namespace kiv {

class SimpleForm {
public:
    SimpleForm(std::string caption, int clientWidth, int clientHeight);
    ~SimpleForm();
    // Creates the window on first use, then shows it without making it modal.
    void Show();
    bool Exists() const { return window_ && IsWindow(window_); }
    HWND Handle() const { return window_; }

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    std::string caption_;
    int clientWidth_;
    int clientHeight_;
    HWND window_ = nullptr;
};

}  // namespace kiv
