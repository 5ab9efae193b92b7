// Test driver: talks to a running kiv.exe through its windows, as the system would.
//   kivctl close              post WM_CLOSE to the main window
//   kivctl running            exit 0 while the main window exists
//   kivctl post MSG WP LP     post a message to the main window (numbers, decimal or 0x hex)
//   kivctl msgbox             print the text of Kiv's message box (UTF-8), then press OK
//   kivctl status             print the main window's state: visible (0/1), left top right
//                             bottom, layered alpha (-1 when not layered), extended style (hex)
//   kivctl taskbar            print the taskbar's rectangle and the screen size, "none" for
//                             the rectangle when there is no taskbar window
//   kivctl click DX DY        click the left mouse button at DX, DY from the main window's
//                             top-left corner, through the system's input queue
//   kivctl menus              print how many popup menus are open
// Exit codes: 0 done, 2 window not found, 1 usage.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

HWND MainWindow() { return FindWindowW(L"TMainForm", nullptr); }

std::string Utf8(const std::wstring& text)
{
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring WindowText(HWND window)
{
    wchar_t buffer[1024] = {};
    GetWindowTextW(window, buffer, 1023);
    return buffer;
}

BOOL CALLBACK CollectStatic(HWND child, LPARAM out)
{
    wchar_t cls[64] = {};
    GetClassNameW(child, cls, 63);
    if (std::wcscmp(cls, L"Static") == 0) {
        const std::wstring text = WindowText(child);
        if (!text.empty())
            *reinterpret_cast<std::wstring*>(out) += text;
    }
    return TRUE;
}

int MessageBoxText()
{
    HWND box = FindWindowW(L"#32770", L"Kiv");
    if (!box)
        return 2;
    std::wstring text;
    EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&text));
    std::printf("%s\n", Utf8(text).c_str());
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    return 0;
}

int Status(HWND main)
{
    RECT r = {};
    GetWindowRect(main, &r);
    const LONG exStyle = GetWindowLongW(main, GWL_EXSTYLE);
    int alpha = -1;
    BYTE value = 0;
    DWORD flags = 0;
    if ((exStyle & WS_EX_LAYERED) && GetLayeredWindowAttributes(main, nullptr, &value, &flags) && (flags & LWA_ALPHA))
        alpha = value;
    std::printf("%d %ld %ld %ld %ld %d %lx\n", IsWindowVisible(main) ? 1 : 0, r.left, r.top, r.right, r.bottom, alpha,
                static_cast<unsigned long>(exStyle));
    return 0;
}

int Taskbar()
{
    const int sw = GetSystemMetrics(SM_CXSCREEN), sh = GetSystemMetrics(SM_CYSCREEN);
    RECT r = {};
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    if (taskbar && GetWindowRect(taskbar, &r))
        std::printf("%ld %ld %ld %ld %d %d\n", r.left, r.top, r.right, r.bottom, sw, sh);
    else
        std::printf("none %d %d\n", sw, sh);
    return 0;
}

int Click(HWND main, int dx, int dy)
{
    RECT r = {};
    GetWindowRect(main, &r);
    SetCursorPos(r.left + dx, r.top + dy);
    Sleep(100);
    INPUT input[2] = {};
    input[0].type = input[1].type = INPUT_MOUSE;
    input[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    input[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(2, input, sizeof(INPUT)) == 2 ? 0 : 2;
}

BOOL CALLBACK CountMenu(HWND window, LPARAM count)
{
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 15);
    if (std::wcscmp(cls, L"#32768") == 0 && IsWindowVisible(window))
        ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int OpenMenus()
{
    int count = 0;
    EnumWindows(CountMenu, reinterpret_cast<LPARAM>(&count));
    std::printf("%d\n", count);
    return 0;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc < 2)
        return 1;
    const std::string command = argv[1];
    if (command == "msgbox")
        return MessageBoxText();
    if (command == "taskbar")
        return Taskbar();
    if (command == "menus")
        return OpenMenus();
    HWND main = MainWindow();
    if (!main)
        return 2;
    if (command == "running")
        return 0;
    if (command == "status")
        return Status(main);
    if (command == "click" && argc == 4)
        return Click(main, std::atoi(argv[2]), std::atoi(argv[3]));
    if (command == "close")
        return PostMessageW(main, WM_CLOSE, 0, 0) ? 0 : 2;
    if (command == "post" && argc == 5) {
        const auto number = [](const char* s) { return std::strtoull(s, nullptr, 0); };
        return PostMessageW(main, static_cast<UINT>(number(argv[2])), static_cast<WPARAM>(number(argv[3])),
                            static_cast<LPARAM>(number(argv[4])))
                   ? 0
                   : 2;
    }
    return 1;
}
