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
//   kivctl editing CLASS ID   exit 0 while a caption of the list view is being edited
//   kivctl rows CLASS ID      print "rows selected" of a list view
//   kivctl status             print the main window's state: visible (0/1), left top right
//                             bottom, layered alpha (-1 when not layered), extended style (hex)
//   kivctl taskbar            print the taskbar's rectangle and the screen size, "none" for
//                             the rectangle when there is no taskbar window
//   kivctl click DX DY        click the left mouse button at DX, DY from the main window's
//                             top-left corner, through the system's input queue
//   kivctl menus              print how many popup menus are open
//   kivctl menukey KEY        put a key into the queue of the open popup menu's thread, where the
//                             menu's loop takes it whenever it is ready: a letter as a typed
//                             character (an item's access key), a number as a virtual-key press
//   kivctl text               print the message the status window holds (UTF-8, CR as is)
//   kivctl localtime          print this process's local time as HH:MM:SS (Wine takes the time
//                             zone from TZ, as kiv.exe started with the same TZ does)
//   kivctl painted CLASS      paint the window and its controls now (a screenshot may follow)
// Any command may be preceded by --desktop NAME to find the windows in that desktop.
// Exit codes: 0 done, 2 window not found, 1 usage.
//
//   kivctl serve              answer many commands in one process, so that polling does not
//                             start a Windows process per question: one command a line on
//                             stdin (UTF-8, its words separated by tabs), its output on stdout,
//                             then a line of the unit separator (0x1F) and the exit code.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>

#include <cwctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

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

// One command's words: the command, then its arguments.
using Args = std::vector<std::wstring>;

long Number(const std::wstring& text, int base = 0) { return std::wcstol(text.c_str(), nullptr, base); }

int FormCommand(const std::wstring& command, const Args& a)
{
    const std::size_t argc = a.size();
    const Search form = TopLevel(a[1]);
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
    if (command == L"painted") {
        // Sent, so it returns once the window's thread has painted.
        RedrawWindow(form.found, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(form.found, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored);
        return 0;
    }
    if (argc < 3)
        return 1;
    HWND control = Control(form.found, static_cast<int>(Number(a[2], 10)));
    if (!control)
        return 2;
    const long number = argc >= 4 ? Number(a[3]) : 0;
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
    } else if (command == L"set" && argc >= 4) {
        SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a[3].c_str()));
    } else if (command == L"click") {
        PostMessageW(control, BM_CLICK, 0, 0);
    } else if (command == L"state") {
        std::printf("%d %d\n", SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0,
                    IsWindowEnabled(control) ? 1 : 0);
    } else if (command == L"select" && argc >= 4) {
        SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(number), 0);
        SendMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(control));
    } else if (command == L"trackbar" && argc >= 4) {
        SendMessageW(control, TBM_SETPOS, TRUE, number);
        SendMessageW(GetParent(control), WM_HSCROLL, MAKEWPARAM(TB_THUMBPOSITION, number),
                     reinterpret_cast<LPARAM>(control));
    } else if (command == L"tab" && argc >= 4) {
        const long current = static_cast<long>(SendMessageW(control, TCM_GETCURSEL, 0, 0));
        for (long i = current; i < number; ++i)
            PostKey(control, VK_RIGHT);
        for (long i = current; i > number; --i)
            PostKey(control, VK_LEFT);
    } else if (command == L"key" && argc >= 4) {
        PostKey(control, static_cast<UINT>(number));
    } else if (command == L"editlabel" && argc >= 4) {
        HWND edit = FindWindowExW(control, nullptr, L"Edit", nullptr);
        if (!edit)
            return 2;
        SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(a[3].c_str()));
        PostKey(edit, VK_RETURN);
    } else if (command == L"editing") {
        return FindWindowExW(control, nullptr, L"Edit", nullptr) ? 0 : 2;
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

BOOL CALLBACK FindMenu(HWND window, LPARAM found)
{
    wchar_t cls[16] = {};
    GetClassNameW(window, cls, 15);
    if (std::wcscmp(cls, L"#32768") != 0 || !IsWindowVisible(window))
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

int MenuKey(const std::wstring& key)
{
    HWND menu = nullptr;
    EnumWindows(FindMenu, reinterpret_cast<LPARAM>(&menu));
    if (!menu)
        return 2;
    if (key.size() == 1 && !std::iswdigit(key[0]))
        return PostMessageW(menu, WM_CHAR, key[0], 1) ? 0 : 2;
    PostKey(menu, static_cast<UINT>(Number(key)));
    return 0;
}

int OpenMenus()
{
    int count = 0;
    EnumWindows(CountMenu, reinterpret_cast<LPARAM>(&count));
    std::printf("%d\n", count);
    return 0;
}

int LocalTime()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    std::printf("%02u:%02u:%02u\n", t.wHour, t.wMinute, t.wSecond);
    return 0;
}

int Command(const Args& a)
{
    if (a.empty())
        return 1;
    const std::wstring& command = a[0];
    const std::size_t argc = a.size();
    if (command == L"msgbox")
        return MessageBoxText(argc >= 2 ? static_cast<WPARAM>(Number(a[1])) : IDOK);
    if (command == L"taskbar")
        return Taskbar();
    if (command == L"menus")
        return OpenMenus();
    if (command == L"menukey" && argc == 2)
        return MenuKey(a[1]);
    if (command == L"localtime")
        return LocalTime();
    // A dialog command names a window class; "click DX DY" on the main window has numbers.
    if (argc >= 2 && command != L"post" && (a[1].empty() || !std::iswdigit(a[1][0]))) {
        const int rc = FormCommand(command, a);
        if (rc != 1)
            return rc;
    }
    HWND main = MainWindow();
    if (!main)
        return 2;
    if (command == L"running")
        return 0;
    if (command == L"status")
        return Status(main);
    if (command == L"text") {
        HWND label = GetDlgItem(main, 1001);
        if (!label)
            return 2;
        std::printf("%s\n", Utf8(WindowText(label)).c_str());
        return 0;
    }
    if (command == L"click" && argc == 3)
        return Click(main, static_cast<int>(Number(a[1], 10)), static_cast<int>(Number(a[2], 10)));
    if (command == L"close")
        return PostMessageW(main, WM_CLOSE, 0, 0) ? 0 : 2;
    if (command == L"post" && argc == 4) {
        const auto number = [](const std::wstring& s) { return std::wcstoull(s.c_str(), nullptr, 0); };
        return PostMessageW(main, static_cast<UINT>(number(a[1])), static_cast<WPARAM>(number(a[2])),
                            static_cast<LPARAM>(number(a[3])))
                   ? 0
                   : 2;
    }
    return 1;
}

// One command; a leading --desktop NAME finds the windows in that desktop (a Wine desktop of
// its own) for this command only.
int Run(Args a)
{
    if (a.size() < 2 || a[0] != L"--desktop")
        return Command(a);
    const HDESK own = GetThreadDesktop(GetCurrentThreadId());
    const HDESK desktop = OpenDesktopW(a[1].c_str(), 0, FALSE, GENERIC_ALL);
    if (!desktop)
        return 2;
    int rc = 2;
    if (SetThreadDesktop(desktop)) {
        rc = Command(Args(a.begin() + 2, a.end()));
        SetThreadDesktop(own);
    }
    CloseDesktop(desktop);
    return rc;
}

std::wstring Wide(const std::string& text)
{
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

// Commands from stdin until it ends. Each answer ends with its own line, so that the caller
// knows where it ends and what it returned without a process ending.
int Serve()
{
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    std::string line;
    for (int c; (c = std::getchar()) != EOF;) {
        if (c != '\n') {
            line += static_cast<char>(c);
            continue;
        }
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        Args words{std::wstring()};
        for (wchar_t w : Wide(line)) {
            if (w == L'\t')
                words.emplace_back();
            else
                words.back() += w;
        }
        line.clear();
        const int rc = Run(words);
        std::printf("\x1f%d\n", rc);
        std::fflush(stdout);
    }
    return 0;
}

}  // namespace

int main()
{
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    const Args words(wide + 1, wide + count);
    LocalFree(wide);
    if (words.size() == 1 && words[0] == L"serve")
        return Serve();
    return Run(words);
}
