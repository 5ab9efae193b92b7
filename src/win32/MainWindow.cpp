#include "MainWindow.h"

#include "OptionUnit.h"
#include "VersionUnit.h"

namespace kiv {

MainWindow::MainWindow(HWND applicationWindow)
    : applicationWindow_(applicationWindow),
      form_({app_, clock_, ras_.Ras(), kms_, vss_, tray_, statusView_, tmSchedule_, tmFeedOut_, tmConnect_, shutdown_})
{
    // Kiv answers consoles' menu requests and transfers no files.
    kmsBackend_.Attach(&kms_);
    kms_.SetDiscrimination("Kiv");
    kms_.SetVersion(201);
    kms_.SetFTPPortNo(0);
    kms_.SetSecurity(true);
    kms_.SetMenu(true);
}

MainWindow::~MainWindow()
{
    if (window_)
        DestroyWindow(window_);
}

bool MainWindow::Create()
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = CreateSolidBrush(RGB(68, 34, 119));
    wc.lpszClassName = kClassName;
    RegisterClassExW(&wc);

    // Client area 464 x 93 at first; FormCreate's first step widens it to the screen.
    window_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kClassName, L"Kiv", WS_POPUP, 0, 0,
                              GetSystemMetrics(SM_CXSCREEN), 93, applicationWindow_, nullptr,
                              GetModuleHandleW(nullptr), this);
    if (!window_)
        return false;
    app_.SetOwner(applicationWindow_);
    tray_.Attach(window_);
    tmSchedule_.Attach(window_);
    tmFeedOut_.Attach(window_);
    tmConnect_.Attach(window_);

    form_.FormCreate();
    return !app_.Terminated();
}

LRESULT CALLBACK MainWindow::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT MainWindow::Handle(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        if (!destroyed_) {
            destroyed_ = true;
            KillTimer(window_, kScheduleTimerId);
            KillTimer(window_, kFeedOutTimerId);
            KillTimer(window_, kConnectTimerId);
            // The dialogs work on the form's settings: they close with it.
            if (OptionForm)
                DestroyWindow(OptionForm->Handle());
            if (VersionForm)
                DestroyWindow(VersionForm->Handle());
            form_.FormDestroy();
        }
        PostQuitMessage(0);
        return 0;
    case WM_NCDESTROY:
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        window_ = nullptr;
        break;
    case Win32Tray::kCallbackMessage:
        OnTrayCallback(lParam);
        return 0;
    case WM_TIMER:
        if (wParam == kScheduleTimerId)
            form_.tmScheduleTimer();
        else if (wParam == kConnectTimerId && tmConnect_.Enabled())
            form_.tmConnectTimer();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace kiv
