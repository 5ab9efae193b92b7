// Test driver: what the shell (Explorer) does to a running kiv.exe, done from outside.
//   shellsim drop-icon            remove Kiv's tray icon, as a shell that restarts loses it
//   shellsim taskbar-created      broadcast "TaskbarCreated", as a shell that has started does
//   shellsim not-ready SECONDS    for SECONDS, a taskbar window that takes no tray icon (a shell
//                                 still starting), found before the real one; prints "ready"
//                                 once it is there and "refused N" at the end
//   shellsim move-taskbar EDGE    move the taskbar window to the top or bottom edge of the
//                                 screen, then tell every window the work area changed
//   shellsim display W H          change the display mode to W x H pixels
// Any command may be preceded by --desktop NAME to act in that desktop.
// Exit codes: 0 done, 2 the window or the change was refused, 1 usage.
#include <windows.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

int refusedIcons = 0;

LRESULT CALLBACK NotReadyShell(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_COPYDATA) {
        ++refusedIcons;
        return FALSE;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int NotReady(unsigned seconds)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = NotReadyShell;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Shell_TrayWnd";
    if (!RegisterClassW(&wc))
        return 2;
    // Topmost, so that a search by class meets it before the shell's own taskbar window.
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    if (!window)
        return 2;
    std::printf("ready\n");
    std::fflush(stdout);
    const DWORD end = GetTickCount() + seconds * 1000;
    for (DWORD now = GetTickCount(); static_cast<LONG>(end - now) > 0; now = GetTickCount()) {
        MsgWaitForMultipleObjects(0, nullptr, FALSE, end - now, QS_ALLINPUT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    DestroyWindow(window);
    std::printf("refused %d\n", refusedIcons);
    return 0;
}

int DropIcon()
{
    HWND main = FindWindowW(L"TMainForm", nullptr);
    if (!main)
        return 2;
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data;
    data.hWnd = main;
    data.uID = 1;
    return Shell_NotifyIconW(NIM_DELETE, &data) ? 0 : 2;
}

void Broadcast(UINT message, WPARAM wParam)
{
    DWORD_PTR result = 0;
    SendMessageTimeoutW(HWND_BROADCAST, message, wParam, 0, SMTO_ABORTIFHUNG, 5000, &result);
}

int MoveTaskbar(const std::string& edge)
{
    HWND taskbar = FindWindowW(L"Shell_TrayWnd", nullptr);
    RECT r{};
    if (!taskbar || !GetWindowRect(taskbar, &r) || (edge != "top" && edge != "bottom"))
        return 2;
    const int height = r.bottom - r.top;
    const int y = edge == "top" ? 0 : GetSystemMetrics(SM_CYSCREEN) - height;
    if (!SetWindowPos(taskbar, nullptr, 0, y, GetSystemMetrics(SM_CXSCREEN), height, SWP_NOZORDER | SWP_NOACTIVATE))
        return 2;
    Broadcast(WM_SETTINGCHANGE, SPI_SETWORKAREA);
    return 0;
}

int Display(int width, int height)
{
    DEVMODEW mode{};
    mode.dmSize = sizeof mode;
    mode.dmPelsWidth = static_cast<DWORD>(width);
    mode.dmPelsHeight = static_cast<DWORD>(height);
    mode.dmFields = DM_PELSWIDTH | DM_PELSHEIGHT;
    return ChangeDisplaySettingsExW(nullptr, &mode, nullptr, 0, nullptr) == DISP_CHANGE_SUCCESSFUL ? 0 : 2;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--desktop") == 0) {
        HDESK desktop = OpenDesktopA(argv[2], 0, FALSE, GENERIC_ALL);
        if (!desktop || !SetThreadDesktop(desktop))
            return 2;
        argv += 2;
        argc -= 2;
    }
    if (argc < 2)
        return 1;
    const std::string command = argv[1];
    if (command == "drop-icon" && argc == 2)
        return DropIcon();
    if (command == "taskbar-created" && argc == 2) {
        Broadcast(RegisterWindowMessageW(L"TaskbarCreated"), 0);
        return 0;
    }
    if (command == "not-ready" && argc == 3)
        return NotReady(static_cast<unsigned>(std::atoi(argv[2])));
    if (command == "move-taskbar" && argc == 3)
        return MoveTaskbar(argv[2]);
    if (command == "display" && argc == 4)
        return Display(std::atoi(argv[2]), std::atoi(argv[3]));
    return 1;
}
