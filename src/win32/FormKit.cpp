#include "FormKit.h"

#include "WinText.h"

namespace kiv::ui {

std::wstring W(const std::string& sjis) { return Wide(sjis); }

std::string Sjis(const std::wstring& text)
{
    if (text.empty())
        return {};
    const int n = WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(932, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

HFONT MakeFont(const wchar_t* face, int height, int weight, bool italic, bool underline, BYTE charset)
{
    return CreateFontW(height, 0, 0, 0, weight, italic, underline, FALSE, charset, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, face);
}

HFONT FormFont()
{
    static HFONT font = MakeFont(L"ＭＳ Ｐゴシック", -12, FW_NORMAL, false, false, SHIFTJIS_CHARSET);
    return font;
}

HFONT FormBoldFont()
{
    static HFONT font = MakeFont(L"ＭＳ Ｐゴシック", -12, FW_BOLD, false, false, SHIFTJIS_CHARSET);
    return font;
}

HWND Child(HWND parent, const wchar_t* windowClass, const std::string& text, DWORD style, int x, int y, int w,
           int h, int id, const ChildExtras& extras)
{
    HWND control = CreateWindowExW(extras.ExStyle, windowClass, W(text).c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h,
                                   parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (control && extras.Font)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(extras.Font), FALSE);
    if (control && extras.HelpId)
        SetWindowContextHelpId(control, extras.HelpId);
    return control;
}

std::string ControlText(HWND control)
{
    const int length = GetWindowTextLengthW(control);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const int got = GetWindowTextW(control, text.data(), length + 1);
    text.resize(static_cast<std::size_t>(got > 0 ? got : 0));
    return Sjis(text);
}

void SetControlText(HWND control, const std::string& text) { SetWindowTextW(control, W(text).c_str()); }

bool Checked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND button, bool checked)
{
    SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void RegisterFormClass(const wchar_t* className, WNDPROC windowProc, bool withIcon)
{
    WNDCLASSEXW wc = {};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = windowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    if (withIcon)
        wc.hIcon = LoadIconW(GetModuleHandleW(nullptr), L"MAINICON");
    wc.lpszClassName = className;
    RegisterClassExW(&wc);  // fails harmlessly when the class exists
}

RECT CentredWindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle)
{
    RECT r{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    const int w = r.right - r.left;
    const int h = r.bottom - r.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - w) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - h) / 2;
    return RECT{x, y, x + w, y + h};
}

namespace {

constexpr wchar_t kPanelClass[] = L"TKivPanel";

LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams));
    const auto* look = reinterpret_cast<const PanelLook*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!look)
        return DefWindowProcW(window, message, wParam, lParam);
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(window, &ps);
        RECT r;
        GetClientRect(window, &r);
        HBRUSH back = CreateSolidBrush(look->Back);
        FillRect(dc, &r, back);
        DeleteObject(back);
        if (look->Lowered)
            DrawEdge(dc, &r, BDR_SUNKENOUTER, BF_RECT);
        if (look->Icon)
            DrawIconEx(dc, 6, (r.bottom - 16) / 2, look->Icon, 16, 16, 0, nullptr, DI_NORMAL);
        const int length = GetWindowTextLengthW(window);
        if (length > 0) {
            std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
            GetWindowTextW(window, text.data(), length + 1);
            text.resize(static_cast<std::size_t>(length));
            HGDIOBJ old = SelectObject(dc, look->Font ? look->Font : FormFont());
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, look->TextColor);
            RECT t = r;
            t.left += 4;
            DrawTextW(dc, text.c_str(), -1, &t, DT_SINGLELINE | DT_VCENTER | DT_LEFT | DT_NOPREFIX);
            SelectObject(dc, old);
        }
        EndPaint(window, &ps);
        return 0;
    }
    case WM_COMMAND:
    case WM_NOTIFY:
    case WM_HSCROLL:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
        if (look->Notify)
            return SendMessageW(look->Notify, message, wParam, lParam);
        break;
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

HWND Panel(HWND parent, const std::string& text, int x, int y, int w, int h, PanelLook* look)
{
    static const bool registered = [] {
        WNDCLASSEXW wc = {};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = PanelProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));
        wc.lpszClassName = kPanelClass;
        return RegisterClassExW(&wc) != 0;
    }();
    (void)registered;
    return CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, W(text).c_str(), WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                           x, y, w, h, parent, nullptr, GetModuleHandleW(nullptr), look);
}

void LabelColors::Set(HWND label, COLORREF text, HBRUSH back)
{
    looks_[label] = Look{text, back};
    InvalidateRect(label, nullptr, TRUE);
}

LRESULT LabelColors::Answer(HDC dc, HWND label) const
{
    const auto it = looks_.find(label);
    if (it == looks_.end())
        return 0;
    SetTextColor(dc, it->second.Text);
    SetBkMode(dc, TRANSPARENT);
    return reinterpret_cast<LRESULT>(it->second.Back ? it->second.Back : GetSysColorBrush(COLOR_BTNFACE));
}

HICON HeaderIcon()
{
    static HICON icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, 16, 16, LR_DEFAULTCOLOR));
    return icon;
}

}  // namespace kiv::ui
