#include "SimpleForm.h"

#include "WinText.h"

namespace kiv {

SimpleForm::SimpleForm(std::string caption, int clientWidth, int clientHeight)
    : caption_(std::move(caption)), clientWidth_(clientWidth), clientHeight_(clientHeight)
{
}

SimpleForm::~SimpleForm()
{
    if (Exists())
        DestroyWindow(window_);
}

LRESULT CALLBACK SimpleForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

void SimpleForm::Show()
{
    if (!Exists()) {
        static const wchar_t kClass[] = L"KivSimpleForm";
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClass;
        RegisterClassExW(&wc);  // fails harmlessly once registered
        const DWORD style = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
        RECT r = {0, 0, clientWidth_, clientHeight_};
        AdjustWindowRectEx(&r, style, FALSE, WS_EX_APPWINDOW);
        const int w = r.right - r.left;
        const int h = r.bottom - r.top;
        window_ = CreateWindowExW(WS_EX_APPWINDOW, kClass, Wide(caption_).c_str(), style,
                                  (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w,
                                  h, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    if (Exists()) {
        ShowWindow(window_, SW_SHOW);
        SetForegroundWindow(window_);
    }
}

}  // namespace kiv
