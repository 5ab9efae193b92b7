#include "StatusWindow.h"

#include "WinText.h"

namespace kiv {

Win32StatusWindow::Win32StatusWindow()
{
    // "ＭＳ Ｐゴシック", bold, 12 pixels, Shift-JIS character set.
    font_ = CreateFontW(-12, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                        Wide("ＭＳ Ｐゴシック").c_str());
    icon_ = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, 48, 48, LR_DEFAULTCOLOR));
}

Win32StatusWindow::~Win32StatusWindow()
{
    if (font_)
        DeleteObject(font_);
    if (icon_)
        DestroyIcon(icon_);
}

void Win32StatusWindow::Hide() { ShowWindow(window_, SW_HIDE); }

void Win32StatusWindow::Show() { ShowWindow(window_, SW_SHOWNOACTIVATE); }

void Win32StatusWindow::HideWithoutActivation()
{
    SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_HIDEWINDOW);
}

void Win32StatusWindow::ShowWithoutActivation()
{
    SetWindowPos(window_, nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_SHOWWINDOW);
}

void Win32StatusWindow::Redraw()
{
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_FRAME);
}

void Win32StatusWindow::Attach(HWND window)
{
    window_ = window;
    label_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD, kLabelLeft, kLabelTop, 0, 0, window,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLabelId)), GetModuleHandleW(nullptr), nullptr);
}

TSize Win32StatusWindow::SetStatusCaption(const SjisText& caption)
{
    const std::string& text = caption.Bytes;
    if (label_)
        SetWindowTextW(label_, Wide(text).c_str());
    lines_.clear();
    std::size_t from = 0;
    for (;;) {
        const auto cr = text.find('\r', from);
        lines_.push_back(Wide(text.substr(from, cr == std::string::npos ? std::string::npos : cr - from)));
        if (cr == std::string::npos)
            break;
        from = cr + 1;
    }
    bar_.reset();

    HDC dc = GetDC(window_);
    HGDIOBJ old = SelectObject(dc, font_);
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    lineHeight_ = metrics.tmHeight;
    int width = 0;
    for (const std::wstring& line : lines_) {
        SIZE size = {};
        if (!line.empty() && GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size) &&
            size.cx > width)
            width = size.cx;
    }
    SelectObject(dc, old);
    ReleaseDC(window_, dc);
    InvalidateRect(window_, nullptr, TRUE);
    return {width, lineHeight_ * static_cast<int>(lines_.size())};
}

RECT Win32StatusWindow::IconRect() const
{
    const int left = kIconLeft + iconDx_, top = kIconTop + iconDy_;
    return {left, top, left + kIconSize, top + kIconSize};
}

void Win32StatusWindow::MoveIcon(int dx, int dy)
{
    RECT before = IconRect();
    iconDx_ += dx;
    iconDy_ += dy;
    RECT after = IconRect();
    RECT both;
    UnionRect(&both, &before, &after);
    InvalidateRect(window_, &both, TRUE);
}

bool Win32StatusWindow::OnIcon(int x, int y) const
{
    const RECT r = IconRect();
    const POINT p = {x, y};
    return iconEnabled_ && PtInRect(&r, p);
}

int Win32StatusWindow::Width()
{
    RECT r = {};
    GetWindowRect(window_, &r);
    return r.right - r.left;
}

void Win32StatusWindow::SetBounds(int left, int top, int width, int height)
{
    SetWindowPos(window_, nullptr, left, top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

TStatusArea Win32StatusWindow::Area()
{
    TStatusArea area;
    area.Screen = {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    RECT work = {};
    if (SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        area.WorkArea = {work.left, work.top, work.right, work.bottom};
    HWND taskbar = FindWindowA("Shell_TrayWnd", nullptr);
    RECT r = {};
    if (taskbar && GetWindowRect(taskbar, &r))
        area.Taskbar = TRect{r.left, r.top, r.right, r.bottom};
    return area;
}

void Win32StatusWindow::SetShape(const TStatusShape& shape)
{
    const auto round = [](const TRoundRect& r) {
        return CreateRoundRectRgn(r.Bounds.Left, r.Bounds.Top, r.Bounds.Right, r.Bounds.Bottom, r.CornerWidth,
                                  r.CornerHeight);
    };
    HRGN region = CreateEllipticRgn(shape.Circle.Left, shape.Circle.Top, shape.Circle.Right, shape.Circle.Bottom);
    HRGN body = round(shape.Body);
    CombineRgn(region, region, body, RGN_OR);
    DeleteObject(body);
    if (shape.Column) {
        HRGN column = round(*shape.Column);
        CombineRgn(region, region, column, RGN_OR);
        DeleteObject(column);
    }
    // The system owns the region once it is set.
    if (!SetWindowRgn(window_, region, FALSE))
        DeleteObject(region);
}

void Win32StatusWindow::DrawCloseBar(const TCloseBar& bar)
{
    bar_ = bar;
    HDC dc = GetDC(window_);
    PaintCloseBar(dc);
    ReleaseDC(window_, dc);
}

void Win32StatusWindow::PaintCloseBar(HDC dc) const
{
    if (!bar_)
        return;
    HPEN outline = CreatePen(PS_SOLID, 1, kCloseBarOutlineColor);
    HPEN line = CreatePen(PS_SOLID, 1, kCloseBarColor);
    HGDIOBJ oldPen = SelectObject(dc, outline);
    HGDIOBJ oldBrush = SelectObject(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, bar_->Outline.Left, bar_->Outline.Top, bar_->Outline.Right, bar_->Outline.Bottom);
    SelectObject(dc, line);
    MoveToEx(dc, bar_->LineLeft, bar_->LineY, nullptr);
    LineTo(dc, bar_->LineRight, bar_->LineY);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    DeleteObject(line);
    DeleteObject(outline);
}

void Win32StatusWindow::Paint(HDC dc)
{
    if (icon_) {
        const RECT r = IconRect();
        DrawIconEx(dc, r.left, r.top, icon_, kIconSize, kIconSize, 0, nullptr, DI_NORMAL);
    }
    HGDIOBJ old = SelectObject(dc, font_);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kTextColor);
    int y = kLabelTop;
    for (const std::wstring& line : lines_) {
        if (!line.empty())
            TextOutW(dc, kLabelLeft, y, line.c_str(), static_cast<int>(line.size()));
        y += lineHeight_;
    }
    SelectObject(dc, old);
    PaintCloseBar(dc);
}

}  // namespace kiv
