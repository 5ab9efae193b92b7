// Program entry: one copy per desktop, a hidden application window that keeps the program off
// the taskbar, the main form, and the message loop until the main form closes.
#include <windows.h>

#include "MainWindow.h"
#include "MessagePump.h"
#include "OptionUnit.h"
#include "SingleInstance.h"

namespace {

LRESULT CALLBACK ApplicationProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

HWND CreateApplicationWindow(HINSTANCE instance)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = ApplicationProc;
    wc.hInstance = instance;
    wc.lpszClassName = L"TApplication";
    RegisterClassExW(&wc);
    HWND window = CreateWindowExW(0, wc.lpszClassName, L"Kiv", WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX,
                                  0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
    if (window)
        SetWindowLongPtrW(window, GWL_EXSTYLE, GetWindowLongPtrW(window, GWL_EXSTYLE) | WS_EX_TOOLWINDOW);
    return window;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const kiv::SingleInstance guard;
    if (guard.AnotherCopyRuns())
        return 0;

    HWND application = CreateApplicationWindow(instance);
    {
        kiv::MainWindow mainWindow(application);
        if (mainWindow.Create()) {
            kiv::pump::SetDialogFilter(&kiv::IsFormDialogMessage);  // Tab and Enter of the modeless dialogs
            kiv::pump::RunMessageLoop();
        }
    }
    if (application)
        DestroyWindow(application);
    return 0;
}
