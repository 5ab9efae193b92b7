// TVersionForm: the about box. Modeless, without an owner window (a taskbar button of its
// own), at most one, referred to by VersionForm while it exists; frees itself when closed.
#pragma once

#include <windows.h>

#include "FormKit.h"
#include "FormWindow.h"
#include "VireoLabel.h"

namespace kiv {

class TVersionForm;
extern TVersionForm* VersionForm;

enum VersionControlId : int {
    idLaURL = 3001,
    idLaMailAddress = 3002,
    idBtClose = 3003,
    idLaTitle = 3004,
};

// What the about box says of its makers.
inline constexpr char kVersionDateAndNames[] = "2026/12/10 Kivプロジェクト/Kiv開発チーム";
inline constexpr char kVersionURL[] = "https://example.org/kiv/";
inline constexpr char kVersionMailAddress[] = "kiv-team@example.org";

class TVersionForm : public ui::FormWindow {
public:
    static constexpr wchar_t kClassName[] = L"TVersionForm";

    // Creates the box unless it exists, then shows it and brings it forward.
    static void Open();

private:
    TVersionForm() : FormWindow(true) {}
    ~TVersionForm() override;
    bool Create();
    // The box at dpi (WM_DPICHANGED), where suggested (null: where it is).
    void Rescale(unsigned dpi, const RECT* suggested);
    void laURLClick();
    void laMailAddressClick();

    LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

    ui::ScaledChildren children_;
    HWND image1_ = nullptr;
    HBRUSH panelBrush_ = nullptr;
    ui::PanelLook panelLook_;
    ui::LabelColors colors_;
    TVireoLabel laURL_;
    TVireoLabel laMailAddress_;
};

}  // namespace kiv
