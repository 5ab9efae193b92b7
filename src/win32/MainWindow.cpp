#include "MainWindow.h"

#include <windowsx.h>
#include "OptionUnit.h"
#include "VersionUnit.h"

namespace kiv {

MainWindow::MainWindow(HWND applicationWindow)
    : applicationWindow_(applicationWindow),
      form_({app_, clock_, ras_.Ras(), kms_, vss_, tray_, statusWindow_, tmSchedule_, tmFeedOut_, tmConnect_,
             shutdown_, log_},
            *this)
{
    deadlines_.Timers().SetHandler(TimerSpace::MainForm, [this](int id) {
        if (id == kScheduleTimerId)
            form_.tmScheduleTimer();
        else if (id == kConnectTimerId)
            form_.tmConnectTimer();
        else if (id == kFeedOutTimerId)
            form_.tmFeedOutTimer();
        else if (id == Win32Tray::kRetryTimerId)
            tray_.RetryTimer();
        else if (id == kStatusAreaTimerId) {
            deadlines_.Timers().Kill(TimerSpace::MainForm, kStatusAreaTimerId);
            form_.StatusAreaChanged();
        }
    });
    layered_.SetTarget(&vss_);
    // Kiv answers consoles' menu requests and transfers no files.
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
    // A double click arrives as one press and one double-click message; the latter is dropped
    // below, so the second press cannot reach the message the first click brought up.
    wc.style = CS_DBLCLKS;
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
    statusWindow_.Attach(window_);
    tray_.Attach(window_);

    form_.FormCreate();
    return !app_.Terminated();
}

LRESULT MainWindow::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == tray_.TaskbarCreatedMessage() && message != 0) {
        tray_.ShellStarted();
        return 0;
    }
    switch (message) {
    case WM_CLOSE:
        // The window goes once the form has closed: after the target's hang-up when Kiv is to
        // disconnect at its end. Meanwhile no timer runs and the tray takes no commands.
        if (!closing_) {
            closing_ = true;
            StopTimersAndDialogs();
            form_.FormClose([this] {
                if (window_)
                    DestroyWindow(window_);
            });
        }
        return 0;
    case WM_QUERYENDSESSION:
        return TRUE;  // Kiv never holds the session up
    case WM_ENDSESSION:
        // The process ends when this returns: close now, the usual way, so that the program
        // logs out of KestrelMesh, disconnects when so set and removes its tray icon.
        if (wParam && window_)
            DestroyWindow(window_);
        return 0;
    case WM_DESTROY:
        if (!destroyed_) {
            destroyed_ = true;
            StopTimersAndDialogs();
            form_.FormDestroy();
        }
        PostQuitMessage(0);
        return 0;
    case Win32Tray::kCallbackMessage:
        if (!closing_)
            OnTrayCallback(lParam);
        return 0;
    case WM_DISPLAYCHANGE:
        StatusAreaMayHaveChanged();
        break;
    case WM_SETTINGCHANGE:
        if (wParam == SPI_SETWORKAREA)
            StatusAreaMayHaveChanged();
        break;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window_, &ps);
        statusWindow_.Paint(dc);
        EndPaint(window_, &ps);
        return 0;
    }
    case WM_MOUSEACTIVATE:
        // A click on the status window leaves the focus where it is.
        return MA_NOACTIVATE;
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        // The second press of a double click: the first click has acted (and closed its
        // message), so this one, and the release that follows it, do nothing.
        return 0;
    case WM_LBUTTONDOWN:
        MouseDown(TMouseButton::mbLeft, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_RBUTTONDOWN:
        MouseDown(TMouseButton::mbRight, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_MBUTTONDOWN:
        MouseDown(TMouseButton::mbMiddle, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_LBUTTONUP:
        MouseUp(TMouseButton::mbLeft, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_RBUTTONUP:
        MouseUp(TMouseButton::mbRight, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_MBUTTONUP:
        MouseUp(TMouseButton::mbMiddle, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
        return 0;
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != window_)
            formPressed_ = false;
        break;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void MainWindow::StatusAreaMayHaveChanged()
{
    // A change of display or taskbar comes as a burst of messages, and the shell moves its
    // taskbar on the same messages: the window is placed once, after the burst.
    deadlines_.Timers().Set(TimerSpace::MainForm, kStatusAreaTimerId, 250);
}

void MainWindow::StopTimersAndDialogs()
{
    tmSchedule_.SetEnabled(false);
    tmFeedOut_.SetEnabled(false);
    tmConnect_.SetEnabled(false);
    deadlines_.Timers().Kill(TimerSpace::MainForm, kStatusAreaTimerId);
    // The dialogs work on the form's settings: they close with it.
    if (OptionForm)
        DestroyWindow(OptionForm->Handle());
    if (VersionForm)
        DestroyWindow(VersionForm->Handle());
}

namespace {

unsigned ButtonBit(TMouseButton button) { return 1u << static_cast<unsigned>(button); }

}  // namespace

// Clicks as the form's controls see them: the enabled icon gets its own press and release and a
// left click; anywhere else (a disabled icon included) a left click is a click on the form.
void MainWindow::MouseDown(TMouseButton button, int x, int y)
{
    SetCapture(window_);
    if (statusWindow_.OnIcon(x, y)) {
        iconPressed_ |= ButtonBit(button);
        form_.imMainIconMouseDown(button);
    } else if (button == TMouseButton::mbLeft) {
        formPressed_ = true;
    }
}

void MainWindow::MouseUp(TMouseButton button, int x, int y)
{
    if (iconPressed_ & ButtonBit(button)) {
        iconPressed_ &= ~ButtonBit(button);
        form_.imMainIconMouseUp(button);
        if (button == TMouseButton::mbLeft && statusWindow_.OnIcon(x, y)) {
            if (!iconPressed_)
                ReleaseCapture();
            form_.imMainIconClick();
            return;
        }
    } else if (button == TMouseButton::mbLeft && formPressed_) {
        formPressed_ = false;
        RECT client;
        GetClientRect(window_, &client);
        const POINT p = {x, y};
        if (!iconPressed_)
            ReleaseCapture();
        if (PtInRect(&client, p))
            form_.FormClick();
        return;
    }
    if (!iconPressed_ && !formPressed_)
        ReleaseCapture();
}

}  // namespace kiv
