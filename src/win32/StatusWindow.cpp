#include "StatusWindow.h"

#include "FormKit.h"
#include "WinText.h"
#include "WindowDpi.h"

namespace kiv {

namespace {

// The message's font: "ＭＳ Ｐゴシック", bold, 12 pixels at 96 dpi, Shift-JIS character set.
HFONT MessageFont(unsigned dpi) { return ui::FontAt(ui::kFormBoldFont, dpi); }

}  // namespace

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
    SetDpi(ui::WindowDpi(window));
    label_ =
        CreateWindowExW(0, L"STATIC", L"", WS_CHILD, parts_.Label.X, parts_.Label.Y, 0, 0, window,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kLabelId)), GetModuleHandleW(nullptr), nullptr);
}

void Win32StatusWindow::SetDpi(unsigned dpi)
{
    dpi_ = dpi;
    parts_ = StatusWindowParts(dpi);
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
    HGDIOBJ old = SelectObject(dc, MessageFont(dpi_));
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
    const TRect& icon = parts_.Icon;
    return {icon.Left + iconDx_, icon.Top + iconDy_, icon.Right + iconDx_, icon.Bottom + iconDy_};
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
    // The outline's four sides and the line, each Thickness pixels across.
    const TRect& o = bar_->Outline;
    const int t = bar_->Thickness;
    HBRUSH outline = CreateSolidBrush(kCloseBarOutlineColor);
    const RECT sides[] = {{o.Left, o.Top, o.Right, o.Top + t},
                          {o.Left, o.Bottom - t, o.Right, o.Bottom},
                          {o.Left, o.Top, o.Left + t, o.Bottom},
                          {o.Right - t, o.Top, o.Right, o.Bottom}};
    for (const RECT& side : sides)
        FillRect(dc, &side, outline);
    DeleteObject(outline);
    if (bar_->LineRight > bar_->LineLeft) {
        HBRUSH line = CreateSolidBrush(kCloseBarColor);
        const RECT r{bar_->LineLeft, bar_->LineY, bar_->LineRight, bar_->LineY + t};
        FillRect(dc, &r, line);
        DeleteObject(line);
    }
}

void Win32StatusWindow::Paint(HDC dc)
{
    // The image of the dpi's size, drawn into the icon's place.
    if (HICON icon = ui::ProgramIcon(parts_.IconImage)) {
        const RECT r = IconRect();
        DrawIconEx(dc, r.left, r.top, icon, r.right - r.left, r.bottom - r.top, 0, nullptr, DI_NORMAL);
    }
    HGDIOBJ old = SelectObject(dc, MessageFont(dpi_));
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, kTextColor);
    int y = parts_.Label.Y;
    for (const std::wstring& line : lines_) {
        if (!line.empty())
            TextOutW(dc, parts_.Label.X, y, line.c_str(), static_cast<int>(line.size()));
        y += lineHeight_;
    }
    SelectObject(dc, old);
    PaintCloseBar(dc);
}

}  // namespace kiv
