// Test driver: talks to a running kiv.exe through its windows, as the system would.
//   kivctl close              post WM_CLOSE to the main window
//   kivctl running            exit 0 while the main window exists
//   kivctl post MSG WP LP     post a message to the main window (numbers, decimal or 0x hex)
//   kivctl msgbox [BUTTON]    print the text of Kiv's message box (UTF-8), then press OK (or the
//                             button with that id, e.g. 6 for Yes, 7 for No)
// The dialogs are found by window class (TOptionForm, TOptionUserForm, TVersionForm) and their
// controls by identifier (decimal):
//   kivctl form CLASS         print the caption and the count of such windows; exit 2 if none
//   kivctl owner CLASS        print the class of the window's owner, or "none"
//   kivctl rect CLASS         print the window's client area on the screen as WxH+X+Y
//   kivctl places CLASS       print "ID CLASS X Y W H" for every control with an identifier: its
//                             place on its parent's client area
//   kivctl focus CLASS        print the identifier of the control with the focus
//   kivctl get CLASS ID       print the control's text (UTF-8); of a drop-down list the
//                             selected item, of a tab control the page index
//   kivctl set CLASS ID TEXT  set the control's text, as typing would (the parent hears EN_CHANGE)
//   kivctl click CLASS ID     press a button or check box (posted BM_CLICK)
//   kivctl state CLASS ID     print "checked enabled" as 0/1 each
//   kivctl select CLASS ID N  choose item N of a drop-down list, notifying the parent
//   kivctl trackbar CLASS ID N  move a track bar to N, notifying the parent
//   kivctl tab CLASS ID N     switch a tab control to page N with the arrow keys
//   kivctl key CLASS ID VK    post a key press (virtual-key code) to the control
//   kivctl editlabel CLASS ID TEXT  type TEXT into the list view's caption being edited, Enter
//   kivctl rows CLASS ID      print "rows selected" of a list view
//   kivctl status             print the main window's state: visible (0/1), left top right
//                             bottom, layered alpha (-1 when not layered), extended style (hex)
//   kivctl taskbar            print the taskbar's rectangle and the screen size, "none" for
//                             the rectangle when there is no taskbar window
//   kivctl click DX DY        click the left mouse button at DX, DY from the main window's
//                             top-left corner, through the system's input queue
//   kivctl menus              print how many popup menus are open
//   kivctl text               print the message the status window holds (UTF-8, CR as is)
// Any command may be preceded by --desktop NAME to find the windows in that desktop.
// Exit codes: 0 done, 2 window not found, 1 usage.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cctype>
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
    // WM_GETTEXT itself: GetWindowText does not ask a control of another process.
    wchar_t buffer[1024] = {};
    DWORD_PTR got = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, 1023, reinterpret_cast<LPARAM>(buffer), SMTO_ABORTIFHUNG, 5000, &got);
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

int MessageBoxText(WPARAM button)
{
    HWND box = FindWindowW(L"#32770", L"Kiv");
    if (!box)
        return 2;
    std::wstring text;
    EnumChildWindows(box, CollectStatic, reinterpret_cast<LPARAM>(&text));
    std::printf("%s\n", Utf8(text).c_str());
    PostMessageW(box, WM_COMMAND, button, 0);
    return 0;
}

struct Search {
    const wchar_t* className;
    int id;
    HWND found;
    int count;
};

BOOL CALLBACK CountTopLevel(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<Search*>(data);
    wchar_t cls[64] = {};
    GetClassNameW(window, cls, 63);
    if (std::wcscmp(cls, search->className) == 0) {
        if (!search->found)
            search->found = window;
        ++search->count;
    }
    return TRUE;
}

BOOL CALLBACK PrintPlace(HWND child, LPARAM)
{
    const int id = GetDlgCtrlID(child);
    if (id <= 0)
        return TRUE;
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
    wchar_t cls[64] = {};
    GetClassNameW(child, cls, 63);
    std::printf("%d %s %ld %ld %ld %ld\n", id, Utf8(cls).c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top);
    return TRUE;
}

BOOL CALLBACK FindById(HWND child, LPARAM data)
{
    auto* search = reinterpret_cast<Search*>(data);
    if (GetDlgCtrlID(child) == search->id) {
        search->found = child;
        return FALSE;
    }
    return TRUE;
}

Search TopLevel(const std::wstring& className)
{
    Search search{className.c_str(), 0, nullptr, 0};
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&search));
    return search;
}

// A control anywhere below the form.
HWND Control(HWND form, int id)
{
    Search search{nullptr, id, nullptr, 0};
    EnumChildWindows(form, FindById, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void PostKey(HWND window, UINT vk)
{
    PostMessageW(window, WM_KEYDOWN, vk, 1);
    PostMessageW(window, WM_KEYUP, vk, 0xC0000001);
}

int FormCommand(const std::wstring& command, int argc, wchar_t** argv)
{
    const Search form = TopLevel(argv[2]);
    if (!form.found)
        return 2;
    if (command == L"form") {
        std::printf("%s\n%d\n", Utf8(WindowText(form.found)).c_str(), form.count);
        return 0;
    }
    if (command == L"owner") {
        HWND owner = GetWindow(form.found, GW_OWNER);
        wchar_t cls[64] = L"none";
        if (owner)
            GetClassNameW(owner, cls, 63);
        std::printf("%s\n", Utf8(cls).c_str());
        return 0;
    }
    if (command == L"focus") {
        GUITHREADINFO info{};
        info.cbSize = sizeof info;
        GetGUIThreadInfo(GetWindowThreadProcessId(form.found, nullptr), &info);
        std::printf("%d\n", info.hwndFocus ? GetDlgCtrlID(info.hwndFocus) : 0);
        return 0;
    }
    if (command == L"rect") {
        RECT r;
        GetClientRect(form.found, &r);
        POINT origin{0, 0};
        ClientToScreen(form.found, &origin);
        std::printf("%ldx%ld+%ld+%ld\n", r.right - r.left, r.bottom - r.top, origin.x, origin.y);
        return 0;
    }
    if (command == L"places") {
        EnumChildWindows(form.found, PrintPlace, 0);
        return 0;
    }
    if (argc < 4)
        return 1;
    HWND control = Control(form.found, static_cast<int>(std::wcstol(argv[3], nullptr, 10)));
    if (!control)
        return 2;
    const long number = argc >= 5 ? std::wcstol(argv[4], nullptr, 0) : 0;
    if (command == L"get") {
        wchar_t cls[64] = {};
        GetClassNameW(control, cls, 63);
        std::wstring text = WindowText(control);
        if (lstrcmpiW(cls, WC_TABCONTROLW) == 0)
            text = std::to_wstring(SendMessageW(control, TCM_GETCURSEL, 0, 0));  // the page shown
        if (lstrcmpiW(cls, L"ComboBox") == 0) {
            // A drop-down list: the selected item's text.
            text.clear();
            const auto index = SendMessageW(control, CB_GETCURSEL, 0, 0);
            if (index >= 0) {
                wchar_t item[1024] = {};
                if (SendMessageW(control, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0) < 1023)
                    SendMessageW(control, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(item));
                text = item;
            }
        }
        std::printf("%s\n", Utf8(text).c_str());
    } else if (command == L"set" && argc >= 5) {
        SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]));
    } else if (command == L"click") {
        PostMessageW(control, BM_CLICK, 0, 0);
    } else if (command == L"state") {
        std::printf("%d %d\n", SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0,
                    IsWindowEnabled(control) ? 1 : 0);
    } else if (command == L"select" && argc >= 5) {
        SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(number), 0);
        SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(control));
    } else if (command == L"trackbar" && argc >= 5) {
        SendMessageW(control, TBM_SETPOS, TRUE, number);
        SendMessageW(GetParent(control), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, number),
                     reinterpret_cast<LPARAM>(control));
    } else if (command == L"tab" && argc >= 5) {
        const long current = static_cast<long>(SendMessageW(control, TCM_GETCURSEL, 0, 0));
        for (long i = current; i < number; ++i)
            PostKey(control, VK_RIGHT);
        for (long i = current; i > number; --i)
            PostKey(control, VK_LEFT);
    } else if (command == L"key" && argc >= 5) {
        PostKey(control, static_cast<UINT>(number));
    } else if (command == L"editlabel" && argc >= 5) {
        HWND edit = FindWindowExW(control, nullptr, L"Edit", nullptr);
        if (!edit)
            return 2;
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[4]));
        PostKey(edit, VK_RETURN);
    } else if (command == L"rows") {
        std::printf("%d %d\n", static_cast<int>(SendMessageW(control, LVM_GETITEMCOUNT, 0, 0)),
                    static_cast<int>(SendMessageW(control, LVM_GETSELECTEDCOUNT, 0, 0)));
    } else {
        return 1;
    }
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
    // --desktop NAME: work in that desktop of the window station (a Wine desktop of its own).
    int skipped = 0;
    if (argc >= 3 && std::strcmp(argv[1], "--desktop") == 0) {
        skipped = 2;
        HDESK desktop = OpenDesktopA(argv[2], 0, FALSE, GENERIC_ALL);
        if (!desktop || !SetThreadDesktop(desktop))
            return 2;
        argv += 2;
        argc -= 2;
    }
    if (argc < 2)
        return 1;
    const std::string command = argv[1];
    if (command == "msgbox")
        return MessageBoxText(argc >= 3 ? static_cast<WPARAM>(std::strtoul(argv[2], nullptr, 0)) : IDOK);
    if (command == "taskbar")
        return Taskbar();
    if (command == "menus")
        return OpenMenus();
    // A dialog command names a window class; "click DX DY" on the main window has numbers.
    if (argc >= 3 && command != "post" && !std::isdigit(static_cast<unsigned char>(argv[2][0]))) {
        int wideCount = 0;
        wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &wideCount);
        const std::wstring wideCommand = wide[1 + skipped];
        const int rc = FormCommand(wideCommand, wideCount - skipped, wide + skipped);
        LocalFree(wide);
        if (rc != 1)
            return rc;
    }
    HWND main = MainWindow();
    if (!main)
        return 2;
    if (command == "running")
        return 0;
    if (command == "status")
        return Status(main);
    if (command == "text") {
        HWND label = GetDlgItem(main, 1001);
        if (!label)
            return 2;
        std::printf("%s\n", Utf8(WindowText(label)).c_str());
        return 0;
    }
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
