#include "VersionUnit.h"

#include <shellapi.h>

#include <cwchar>

#include "HelpViewer.h"
#include "WindowDpi.h"

namespace kiv {

TVersionForm* VersionForm = nullptr;

namespace {

constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
constexpr int kClientWidth = 285;
constexpr int kClientHeight = 157;

// The title: bold italic Arial, or Lucida Handwriting of 14 points where that font is installed.
constexpr ui::FontSpec kArialTitle{.Face = L"Arial", .Height96 = -19, .Weight = FW_BOLD, .Italic = true};
constexpr ui::FontSpec kLucidaTitle{
    .Face = L"Lucida Handwriting", .Italic = true, .Charset = ANSI_CHARSET, .Points = 14};

int CALLBACK FindFontFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM found)
{
    // Exactly "Lucida Handwriting", case included.
    if (std::wcscmp(font->lfFaceName, L"Lucida Handwriting") == 0) {
        *reinterpret_cast<bool*>(found) = true;
        return 0;
    }
    return 1;
}

bool LucidaHandwritingInstalled()
{
    HDC dc = GetDC(nullptr);
    LOGFONTW query = {};
    query.lfCharSet = DEFAULT_CHARSET;
    bool found = false;
    EnumFontFamiliesExW(dc, &query, FindFontFace, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, dc);
    return found;
}

}  // namespace

void TVersionForm::Open()
{
    if (!VersionForm) {
        auto* form = new TVersionForm;
        if (!form->Create()) {
            delete form;
            return;
        }
        VersionForm = form;
    }
    HWND window = VersionForm->window_;
    ShowWindow(window, SW_SHOW);
    SetForegroundWindow(window);
    BringWindowToTop(window);
}

TVersionForm::~TVersionForm()
{
    if (panelBrush_)
        DeleteObject(panelBrush_);
    if (VersionForm == this)
        VersionForm = nullptr;
}

bool TVersionForm::Create()
{
    ui::RegisterFormClass(kClassName, WindowProc, true);
    const unsigned dpi = ui::PrimaryMonitorDpi();
    const RECT r = ui::CentredWindowRect(kClientWidth, kClientHeight, kFormStyle, kFormExStyle, dpi);
    window_ = CreateWindowExW(kFormExStyle, kClassName, ui::W("Kiv -バージョン情報-").c_str(), kFormStyle, r.left,
                              r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                              this);
    if (!window_)
        return false;
    children_ = ui::ScaledChildren(dpi);

    panelBrush_ = CreateSolidBrush(ui::kBlack);
    panelLook_.Back = ui::kBlack;
    panelLook_.Lowered = true;
    panelLook_.Notify = window_;
    panelLook_.Dpi = dpi;
    HWND pnPanel = ui::Panel(children_, window_, "", {4, 4, 277, 65}, &panelLook_);

    image1_ = children_.Child(pnPanel, L"Static", "", SS_ICON | SS_CENTERIMAGE, {8, 11, 44, 42}, 0, {.Font = nullptr});
    SendMessageW(image1_, STM_SETICON, reinterpret_cast<WPARAM>(ui::ProgramIcon(children_.Scale(32))), 0);
    colors_.Set(image1_, ui::kBlack, panelBrush_);

    // The title in Lucida Handwriting, left-aligned, where that font is installed.
    const bool lucida = LucidaHandwritingInstalled();
    HWND laTitle = children_.Child(pnPanel, L"Static", "Kiv", (lucida ? SS_LEFT : SS_CENTER) | SS_NOPREFIX,
                                   {60, 8, 62, 24}, idLaTitle, {.Font = lucida ? &kLucidaTitle : &kArialTitle});
    colors_.Set(laTitle, RGB(170, 136, 255), panelBrush_);
    HWND label1 = children_.Child(pnPanel, L"Static", "with KestrelMesh ", SS_LEFTNOWORDWRAP, {60, 40, 116, 14}, 0,
                                  {.Font = &ui::kFormBoldFont});
    colors_.Set(label1, ui::kGrey, panelBrush_);
    HWND label6 = children_.Child(pnPanel, L"Static", "Ver 2.30", SS_LEFTNOWORDWRAP, {184, 40, 70, 14}, 0,
                                  {.Font = &ui::kFormBoldFont});
    colors_.Set(label6, ui::kWhite, panelBrush_);

    HWND label5 = children_.Child(window_, L"Static", kVersionDateAndNames, SS_LEFTNOWORDWRAP | SS_NOPREFIX,
                                  {8, 76, 272, 14}, 0, {.Font = &ui::kFormBoldFont});
    colors_.Set(label5, ui::kRed);
    laURL_.Create(children_, window_, kVersionURL, {8, 96, 160, 14}, idLaURL, ui::kBlue);
    laMailAddress_.Create(children_, window_, kVersionMailAddress, {8, 112, 160, 14}, idLaMailAddress, ui::kBlue);
    children_.Child(window_, L"Button", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, {105, 128, 75, 23}, idBtClose);
    if (const unsigned own = ui::WindowDpi(window_); own != dpi)
        Rescale(own, nullptr);  // made on a monitor of another dpi
    return true;
}

void TVersionForm::Rescale(unsigned dpi, const RECT* suggested)
{
    ui::FollowDpiChange(window_, children_, kClientWidth, kClientHeight, dpi, suggested);
    panelLook_.Dpi = dpi;
    SendMessageW(image1_, STM_SETICON, reinterpret_cast<WPARAM>(ui::ProgramIcon(children_.Scale(32))), 0);
    laURL_.Rescale(dpi);
    laMailAddress_.Rescale(dpi);
}

void TVersionForm::laURLClick()
{
    ShellExecuteA(nullptr, nullptr, kVersionURL, nullptr, nullptr, SW_SHOW);
}

void TVersionForm::laMailAddressClick()
{
    const std::string target = std::string("mailto:") + kVersionMailAddress;
    ShellExecuteA(nullptr, nullptr, target.c_str(), nullptr, nullptr, SW_SHOW);
}

LRESULT TVersionForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case idBtClose:
            if (HIWORD(wParam) == BN_CLICKED)
                DestroyWindow(window_);
            break;
        case idLaURL:
            if (HIWORD(wParam) == STN_CLICKED)
                laURLClick();
            break;
        case idLaMailAddress:
            if (HIWORD(wParam) == STN_CLICKED)
                laMailAddressClick();
            break;
        default:
            break;
        }
        return 0;
    case WM_CTLCOLORSTATIC: {
        const auto dc = reinterpret_cast<HDC>(wParam);
        const auto control = reinterpret_cast<HWND>(lParam);
        if (control == laURL_.Handle())
            return laURL_.CtlColor(dc);
        if (control == laMailAddress_.Handle())
            return laMailAddress_.CtlColor(dc);
        if (LRESULT brush = colors_.Answer(dc, control))
            return brush;
        break;
    }
    case WM_HELP:
        return AnswerHelp(window_, lParam);
    case ui::kWmDpiChanged: Rescale(UsableDpi(LOWORD(wParam)), reinterpret_cast<const RECT*>(lParam)); return 0;
    case WM_CLOSE:
        DestroyWindow(window_);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace kiv
