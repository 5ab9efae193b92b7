// The main form as the status window on the screen: measures the label, moves and shapes the
// window, and paints the icon, the message and the close bar.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "Ports.h"

namespace kiv {

class Win32StatusWindow : public StatusWindowPort {
public:
    static constexpr COLORREF kFormColor = RGB(68, 34, 119);
    static constexpr COLORREF kTextColor = RGB(0, 255, 0);  // lime

    Win32StatusWindow() = default;
    Win32StatusWindow(const Win32StatusWindow&) = delete;
    Win32StatusWindow& operator=(const Win32StatusWindow&) = delete;

    // The control that holds the message text (child identifier kLabelId, never shown: the
    // window paints the text itself). It lets accessibility tools and test drivers read it.
    static constexpr int kLabelId = 1001;
    void Attach(HWND window);
    // The window's monitor has another dpi now: the font and the icon of that dpi.
    void SetDpi(unsigned dpi);

    WindowHandle Handle() override { return reinterpret_cast<WindowHandle>(window_); }
    void Hide() override;
    void Show() override;
    void HideWithoutActivation() override;
    void ShowWithoutActivation() override;
    void Redraw() override;
    TSize SetStatusCaption(const SjisText& text) override;
    void SetIconEnabled(bool enabled) override { iconEnabled_ = enabled; }
    void MoveIcon(int dx, int dy) override;
    int Width() override;
    void SetBounds(int left, int top, int width, int height) override;
    TStatusArea Area() override;
    unsigned Dpi() override { return dpi_; }
    void SetShape(const TStatusShape& shape) override;
    void DrawCloseBar(const TCloseBar& bar) override;

    void Paint(HDC dc);
    // The point (client coordinates) is on the enabled icon.
    bool OnIcon(int x, int y) const;

private:
    RECT IconRect() const;
    void PaintCloseBar(HDC dc) const;

    HWND window_ = nullptr;
    HWND label_ = nullptr;
    unsigned dpi_ = 96;
    TStatusParts parts_ = StatusWindowParts(96);
    std::vector<std::wstring> lines_;
    int lineHeight_ = 0;
    bool iconEnabled_ = false;
    int iconDx_ = 0, iconDy_ = 0;
    std::optional<TCloseBar> bar_;
};

}  // namespace kiv
