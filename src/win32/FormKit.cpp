#include "FormKit.h"

#include "WinText.h"
#include "WindowDpi.h"

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

HFONT FontAt(const FontSpec& spec, unsigned dpi)
{
    static std::map<std::pair<const FontSpec*, unsigned>, HFONT> fonts;
    HFONT& font = fonts[{&spec, dpi}];
    if (!font) {
        const int height = spec.Points ? FontHeightForPoints(spec.Points, dpi) : ScaleToDpi(spec.Height96, dpi);
        font = CreateFontW(height, 0, 0, 0, spec.Weight, spec.Italic, spec.Underline, FALSE, spec.Charset,
                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                           spec.Face);
    }
    return font;
}

HICON ProgramIcon(int size)
{
    static std::map<int, HICON> icons;
    HICON& icon = icons[size];
    if (!icon)
        icon = static_cast<HICON>(
            LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, size, size, LR_DEFAULTCOLOR));
    return icon;
}

HWND ScaledChildren::Child(HWND parent, const wchar_t* windowClass, const std::string& text, DWORD style,
                           const DialogRect& rect, int id, const ChildExtras& extras)
{
    const DialogRect r = ScaleRect(rect, dpi_);
    HWND control = CreateWindowExW(extras.ExStyle, windowClass, W(text).c_str(), WS_CHILD | WS_VISIBLE | style, r.X,
                                   r.Y, r.Width, r.Height, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                   GetModuleHandleW(nullptr), nullptr);
    if (!control)
        return nullptr;
    if (extras.Font)
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(FontAt(*extras.Font, dpi_)), FALSE);
    if (extras.HelpId)
        SetWindowContextHelpId(control, extras.HelpId);
    kept_.push_back({control, rect, extras.Font});
    return control;
}

void ScaledChildren::Keep(HWND child, const DialogRect& rect, const FontSpec* font)
{
    if (child)
        kept_.push_back({child, rect, font});
}

void ScaledChildren::Rescale(unsigned dpi)
{
    dpi_ = dpi;
    for (const Kept& child : kept_) {
        if (!IsWindow(child.Window))
            continue;
        if (child.Font)
            SendMessageW(child.Window, WM_SETFONT, reinterpret_cast<WPARAM>(FontAt(*child.Font, dpi)), FALSE);
        const DialogRect r = ScaleRect(child.Rect, dpi);
        SetWindowPos(child.Window, nullptr, r.X, r.Y, r.Width, r.Height, SWP_NOZORDER | SWP_NOACTIVATE);
        InvalidateRect(child.Window, nullptr, TRUE);
    }
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

RECT CentredWindowRect(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, unsigned dpi)
{
    const RECT size =
        WindowRectForClient(ScaleToDpi(clientWidth, dpi), ScaleToDpi(clientHeight, dpi), style, exStyle, dpi);
    const int x = (GetSystemMetrics(SM_CXSCREEN) - size.right) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - size.bottom) / 2;
    return RECT{x, y, x + size.right, y + size.bottom};
}

void FollowDpiChange(HWND window, ScaledChildren& children, int clientWidth, int clientHeight, unsigned dpi,
                     const RECT* suggested)
{
    children.Rescale(dpi);
    // Where the system suggests (on the monitor the window went to), at the form's own size.
    const RECT size = WindowRectForClient(ScaleToDpi(clientWidth, dpi), ScaleToDpi(clientHeight, dpi),
                                          static_cast<DWORD>(GetWindowLongW(window, GWL_STYLE)),
                                          static_cast<DWORD>(GetWindowLongW(window, GWL_EXSTYLE)), dpi);
    SetWindowPos(window, nullptr, suggested ? suggested->left : 0, suggested ? suggested->top : 0, size.right,
                 size.bottom, SWP_NOZORDER | SWP_NOACTIVATE | (suggested ? 0 : SWP_NOMOVE));
    // A frame other than the system computed for the dpi (a system that draws it at another
    // one) still leaves the client area its size.
    RECT client{};
    GetClientRect(window, &client);
    const int dx = ScaleToDpi(clientWidth, dpi) - client.right, dy = ScaleToDpi(clientHeight, dpi) - client.bottom;
    if (dx != 0 || dy != 0)
        SetWindowPos(window, nullptr, 0, 0, size.right + dx, size.bottom + dy,
                     SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    InvalidateRect(window, nullptr, TRUE);
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
        if (look->Emblem) {
            const int size = ScaleToDpi(16, look->Dpi);
            DrawIconEx(dc, ScaleToDpi(6, look->Dpi), (r.bottom - size) / 2, ProgramIcon(size), size, size, 0, nullptr,
                       DI_NORMAL);
        }
        const int length = GetWindowTextLengthW(window);
        if (length > 0) {
            std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
            GetWindowTextW(window, text.data(), length + 1);
            text.resize(static_cast<std::size_t>(length));
            HGDIOBJ old = SelectObject(dc, FontAt(look->Font ? *look->Font : kFormFont, look->Dpi));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, look->TextColor);
            RECT t = r;
            t.left += ScaleToDpi(4, look->Dpi);
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

HWND PlacedPanel(HWND parent, const std::string& text, const RECT& r, PanelLook* look)
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
                           r.left, r.top, r.right - r.left, r.bottom - r.top, parent, nullptr,
                           GetModuleHandleW(nullptr), look);
}

HWND Panel(ScaledChildren& children, HWND parent, const std::string& text, const DialogRect& rect, PanelLook* look)
{
    const DialogRect r = ScaleRect(rect, children.Dpi());
    HWND panel = PlacedPanel(parent, text, RECT{r.X, r.Y, r.X + r.Width, r.Y + r.Height}, look);
    children.Keep(panel, rect, nullptr);
    return panel;
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

}  // namespace kiv::ui
