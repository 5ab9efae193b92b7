#include "VersionUnit.h"

#include <shellapi.h>

#include <cwchar>

#include "HelpViewer.h"

namespace kiv {

TVersionForm* VersionForm = nullptr;

namespace {

constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
constexpr int kClientWidth = 285;
constexpr int kClientHeight = 157;

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
    for (HGDIOBJ object : {static_cast<HGDIOBJ>(titleFont_), static_cast<HGDIOBJ>(linkFont_),
                           static_cast<HGDIOBJ>(linkUnderlinedFont_), static_cast<HGDIOBJ>(panelBrush_)})
        if (object)
            DeleteObject(object);
    if (emblem_)
        DestroyIcon(emblem_);
    if (VersionForm == this)
        VersionForm = nullptr;
}

bool TVersionForm::Create()
{
    ui::RegisterFormClass(kClassName, WindowProc, true);
    const RECT r = ui::CentredWindowRect(kClientWidth, kClientHeight, kFormStyle, kFormExStyle);
    window_ = CreateWindowExW(kFormExStyle, kClassName, ui::W("Kiv -バージョン情報-").c_str(), kFormStyle, r.left,
                              r.top, r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr),
                              this);
    if (!window_)
        return false;

    panelBrush_ = CreateSolidBrush(ui::kBlack);
    panelLook_.Back = ui::kBlack;
    panelLook_.Lowered = true;
    panelLook_.Notify = window_;
    HWND pnPanel = ui::Panel(window_, "", 4, 4, 277, 65, &panelLook_);

    emblem_ = static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), L"MAINICON", IMAGE_ICON, 32, 32, 0));
    HWND image1 = ui::Child(pnPanel, L"Static", "", SS_ICON | SS_CENTERIMAGE, 8, 11, 44, 42, 0, {.Font = nullptr});
    SendMessageW(image1, STM_SETICON, reinterpret_cast<WPARAM>(emblem_), 0);
    colors_.Set(image1, ui::kBlack, panelBrush_);

    titleFont_ = ui::MakeFont(L"Arial", -19, FW_BOLD, true, false, DEFAULT_CHARSET);
    laTitle_ =
        ui::Child(pnPanel, L"Static", "Kiv", SS_CENTER | SS_NOPREFIX, 60, 8, 62, 24, idLaTitle, {.Font = titleFont_});
    colors_.Set(laTitle_, RGB(170, 136, 255), panelBrush_);
    HWND label1 = ui::Child(pnPanel, L"Static", "with KestrelMesh ", SS_LEFTNOWORDWRAP, 60, 40, 116, 14, 0,
                            {.Font = ui::FormBoldFont()});
    colors_.Set(label1, ui::kGrey, panelBrush_);
    HWND label6 = ui::Child(pnPanel, L"Static", "Ver 2.30", SS_LEFTNOWORDWRAP, 184, 40, 70, 14, 0,
                            {.Font = ui::FormBoldFont()});
    colors_.Set(label6, ui::kWhite, panelBrush_);

    HWND label5 = ui::Child(window_, L"Static", kVersionDateAndNames, SS_LEFTNOWORDWRAP | SS_NOPREFIX, 8, 76, 272, 14, 0,
                            {.Font = ui::FormBoldFont()});
    colors_.Set(label5, ui::kRed);
    linkFont_ = ui::MakeFont(L"ＭＳ Ｐゴシック", -12, FW_NORMAL, false, false, SHIFTJIS_CHARSET);
    linkUnderlinedFont_ = ui::MakeFont(L"ＭＳ Ｐゴシック", -12, FW_NORMAL, false, true, SHIFTJIS_CHARSET);
    laURL_.Create(window_, kVersionURL, 8, 96, 160, 14, idLaURL, linkFont_, linkUnderlinedFont_, ui::kBlue);
    laMailAddress_.Create(window_, kVersionMailAddress, 8, 112, 160, 14, idLaMailAddress, linkFont_,
                          linkUnderlinedFont_, ui::kBlue);
    ui::Child(window_, L"Button", "OK", BS_DEFPUSHBUTTON | WS_TABSTOP, 105, 128, 75, 23, idBtClose);
    FormCreate();
    return true;
}

void TVersionForm::FormCreate()
{
    // The title in Lucida Handwriting where that font is installed; bold italic Arial otherwise.
    if (!LucidaHandwritingInstalled())
        return;
    HDC dc = GetDC(nullptr);
    const int height = -MulDiv(14, GetDeviceCaps(dc, LOGPIXELSY), 72);
    ReleaseDC(nullptr, dc);
    HFONT lucida = ui::MakeFont(L"Lucida Handwriting", height, FW_NORMAL, true, false, ANSI_CHARSET);
    SetWindowLongW(laTitle_, GWL_STYLE, (GetWindowLongW(laTitle_, GWL_STYLE) & ~SS_TYPEMASK) | SS_LEFT);
    SendMessageW(laTitle_, WM_SETFONT, reinterpret_cast<WPARAM>(lucida), TRUE);
    DeleteObject(titleFont_);
    titleFont_ = lucida;
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
    case WM_CLOSE:
        DestroyWindow(window_);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace kiv
