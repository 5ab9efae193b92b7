#include "OptionUserUnit.h"

#include <commctrl.h>

#include "HelpViewer.h"
#include "OptionLogic.h"
#include "WindowDpi.h"

namespace kiv {

TOptionUserForm* OptionUserForm = nullptr;

namespace {

constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTEXTHELP | WS_EX_CONTROLPARENT;
constexpr int kClientWidth = 417;
constexpr int kClientHeight = 227;
constexpr char kAppTitle[] = "Kiv";

// A bitmap resource stretched to size x size, each pixel of the picture a block of pixels, so
// that its colour key stays exact.
HBITMAP ScaledBitmap(const wchar_t* name, int size)
{
    HBITMAP source = LoadBitmapW(GetModuleHandleW(nullptr), name);
    if (!source)
        return nullptr;
    BITMAP info{};
    GetObjectW(source, sizeof info, &info);
    if (info.bmWidth == size && info.bmHeight == size)
        return source;
    HDC screen = GetDC(nullptr);
    HDC from = CreateCompatibleDC(screen);
    HDC to = CreateCompatibleDC(screen);
    HBITMAP scaled = CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ oldFrom = SelectObject(from, source);
    HGDIOBJ oldTo = SelectObject(to, scaled);
    SetStretchBltMode(to, COLORONCOLOR);
    StretchBlt(to, 0, 0, size, size, from, 0, 0, info.bmWidth, info.bmHeight, SRCCOPY);
    SelectObject(to, oldTo);
    SelectObject(from, oldFrom);
    DeleteDC(to);
    DeleteDC(from);
    ReleaseDC(nullptr, screen);
    DeleteObject(source);
    return scaled;
}

}  // namespace

TOptionUserForm::~TOptionUserForm()
{
    if (ilIcon_)
        ImageList_Destroy(ilIcon_);
    if (OptionUserForm == this)
        OptionUserForm = nullptr;
}

void TOptionUserForm::Open(HWND owner, const StringList& names, Closed closed)
{
    auto* form = new TOptionUserForm(owner, std::move(closed));
    if (!form->Create(names)) {
        delete form;
        return;
    }
    OptionUserForm = form;
    // Modal: the options dialog is disabled until this one closes; its keyboard goes through
    // the program's dialog filter (IsFormDialogMessage).
    EnableWindow(owner, FALSE);
    ShowWindow(form->window_, SW_SHOW);
    SetForegroundWindow(form->window_);
    SetFocus(form->lvUser_);
}

void TOptionUserForm::Close()
{
    std::optional<StringList> rows;
    if (Tag != 0)
        rows = Rows();
    Closed closed = std::move(closed_);
    closed_ = nullptr;
    if (IsWindow(owner_)) {
        EnableWindow(owner_, TRUE);
        SetActiveWindow(owner_);
    }
    DestroyWindow(window_);
    if (closed)
        closed(std::move(rows));
}

void TOptionUserForm::OnWindowGone()
{
    if (OptionUserForm == this)
        OptionUserForm = nullptr;
}

bool TOptionUserForm::Create(const StringList& names)
{
    ui::RegisterFormClass(kClassName, WindowProc, false);

    // Centred over the options dialog, halves rounded towards zero, at its dpi.
    const unsigned dpi = ui::WindowDpi(owner_);
    const RECT own = ui::WindowRectForClient(ScaleToDpi(kClientWidth, dpi), ScaleToDpi(kClientHeight, dpi), kFormStyle,
                                             kFormExStyle, dpi);
    const int w = own.right, h = own.bottom;
    RECT ownerRect{};
    GetWindowRect(owner_, &ownerRect);
    const int x = CentredOver(ownerRect.left, ownerRect.right - ownerRect.left, w);
    const int y = CentredOver(ownerRect.top, ownerRect.bottom - ownerRect.top, h);
    window_ = CreateWindowExW(kFormExStyle, kClassName, ui::W("Kiv -認証コンピュータ設定-").c_str(), kFormStyle, x, y,
                              w, h, owner_, nullptr, GetModuleHandleW(nullptr), this);
    if (!window_)
        return false;
    children_ = ui::ScaledChildren(ui::WindowDpi(window_));

    headerLook_.Back = ui::kBlack;
    headerLook_.Emblem = true;  // the options dialog's dial-up header icon
    headerLook_.Font = &ui::kFormBoldFont;
    headerLook_.TextColor = ui::kWhite;
    headerLook_.Notify = window_;
    headerLook_.Dpi = children_.Dpi();
    ui::Panel(children_, window_, "     アクセスを許可するコンピュータ名を設定してください。", {0, 0, kClientWidth, 30},
              &headerLook_);

    lvUser_ = children_.Child(
        window_, WC_LISTVIEWW, "",
        LVS_REPORT | LVS_SHOWSELALWAYS | LVS_EDITLABELS | LVS_SHAREIMAGELISTS | WS_TABSTOP | WS_GROUP,
        {8, 38, 310, 182}, idLvUser, {.HelpId = OptionUserControl("idLvUser").HelpId, .ExStyle = WS_EX_CLIENTEDGE});
    SendMessageW(lvUser_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    std::wstring heading = ui::W("アクセスを許可するコンピュータ");
    LVCOLUMNW column = {};
    column.mask = LVCF_TEXT;
    column.pszText = heading.data();
    SendMessageW(lvUser_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    FitRows();

    const struct {
        const char* Text;
        int Y;
        const DialogControl& Control;
        DWORD Style;
    } buttons[] = {
        {"追加(&N)", 38, OptionUserControl("idUserBtNew"), WS_GROUP},
        {"変更(&E)", 66, OptionUserControl("idUserBtEdit"), WS_DISABLED},
        {"削除(&D)", 94, OptionUserControl("idUserBtDelete"), WS_DISABLED},
        {"OK(&O)", 168, OptionUserControl("idUserBtOk"), 0},
        {"キャンセル(&C)", 196, OptionUserControl("idUserBtCancel"), 0},
    };
    for (const auto& b : buttons)
        children_.Child(window_, L"Button", b.Text, BS_PUSHBUTTON | WS_TABSTOP | b.Style, {326, b.Y, 83, 23},
                        b.Control.Id, {.HelpId = b.Control.HelpId});

    for (const auto& name : names)
        AddRow(name);
    if (!names.empty()) {
        LVITEMW state = {};
        state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        state.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(lvUser_, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    }
    lvUserChange();
    return true;
}

void TOptionUserForm::FitRows()
{
    // The row image (16 x 16 at 96 dpi) drawn at the dpi, pixel for pixel, and the column as
    // wide as the list less its scroll bar. The dialog owns the image list and destroys it after
    // the list view is gone: the list view only shares it.
    const int size = children_.Scale(16);
    HIMAGELIST list = ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, 1, 1);
    if (HBITMAP bitmap = ScaledBitmap(L"OPTION_USER", size)) {
        ImageList_AddMasked(list, bitmap, RGB(0, 255, 0));
        DeleteObject(bitmap);
    }
    SendMessageW(lvUser_, LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(list));
    if (ilIcon_)
        ImageList_Destroy(ilIcon_);
    ilIcon_ = list;
    RECT client{};
    GetClientRect(lvUser_, &client);
    SendMessageW(lvUser_, LVM_SETCOLUMNWIDTH, 0,
                 MAKELPARAM(client.right - ui::SystemMetricForDpi(SM_CXVSCROLL, children_.Dpi()), 0));
}

void TOptionUserForm::AddRow(const std::string& caption)
{
    std::wstring text = ui::W(caption);
    LVITEMW item = {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = static_cast<int>(SendMessageW(lvUser_, LVM_GETITEMCOUNT, 0, 0));
    item.pszText = text.data();
    item.iImage = 0;
    SendMessageW(lvUser_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

StringList TOptionUserForm::Rows() const
{
    StringList rows;
    const int count = static_cast<int>(SendMessageW(lvUser_, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        wchar_t buffer[1024] = {};
        LVITEMW item = {};
        item.iSubItem = 0;
        item.pszText = buffer;
        item.cchTextMax = 1023;
        SendMessageW(lvUser_, LVM_GETITEMTEXTW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        rows.push_back(ui::Sjis(buffer));
    }
    return rows;
}

void TOptionUserForm::lvUserChange()
{
    const auto buttons = OptionUserButtonsFor(static_cast<int>(SendMessageW(lvUser_, LVM_GETSELECTEDCOUNT, 0, 0)));
    EnableWindow(GetDlgItem(window_, idUserBtEdit), buttons.Edit);
    EnableWindow(GetDlgItem(window_, idUserBtDelete), buttons.Delete);
}

void TOptionUserForm::btNewClick()
{
    AddRow(kOptionUserNewName);
    const int last = static_cast<int>(SendMessageW(lvUser_, LVM_GETITEMCOUNT, 0, 0)) - 1;
    SetFocus(lvUser_);
    SendMessageW(lvUser_, LVM_EDITLABELW, static_cast<WPARAM>(last), 0);
}

void TOptionUserForm::btEditClick()
{
    const auto first = SendMessageW(lvUser_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED);
    if (first < 0)
        return;
    SetFocus(lvUser_);
    SendMessageW(lvUser_, LVM_EDITLABELW, static_cast<WPARAM>(first), 0);
}

void TOptionUserForm::btDeleteClick()
{
    if (MessageBoxW(window_, ui::W(kOptionUserDeleteQuestion).c_str(), ui::W(kAppTitle).c_str(),
                    MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    SendMessageW(lvUser_, WM_SETREDRAW, FALSE, 0);
    for (int i = static_cast<int>(SendMessageW(lvUser_, LVM_GETITEMCOUNT, 0, 0)) - 1; i >= 0; --i)
        if (SendMessageW(lvUser_, LVM_GETITEMSTATE, static_cast<WPARAM>(i), LVIS_SELECTED) & LVIS_SELECTED)
            SendMessageW(lvUser_, LVM_DELETEITEM, static_cast<WPARAM>(i), 0);
    SendMessageW(lvUser_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(lvUser_, nullptr, TRUE);
    lvUserChange();
}

LRESULT TOptionUserForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) != BN_CLICKED)
            return 0;
        switch (LOWORD(wParam)) {
        case IDOK:  // Enter in the list view while no caption is being edited
        case idUserBtOk:
            Tag = 1;
            Close();
            break;
        case idUserBtCancel:
            Close();
            break;
        case idUserBtNew:
            btNewClick();
            break;
        case idUserBtEdit:
            btEditClick();
            break;
        case idUserBtDelete:
            btDeleteClick();
            break;
        default:
            break;
        }
        return 0;
    case DM_GETDEFID: {
        HWND focus = GetFocus();
        if (focus && GetParent(focus) == window_) {
            const auto type = GetWindowLongW(focus, GWL_STYLE) & BS_TYPEMASK;
            wchar_t cls[16] = {};
            if (GetClassNameW(focus, cls, 15) && lstrcmpiW(cls, L"Button") == 0 &&
                (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON))
                return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
        }
        return MAKELRESULT(IDOK, DC_HASDEFID);
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom != lvUser_)
            break;
        if (header->code == LVN_ITEMCHANGED) {
            if (reinterpret_cast<const NMLISTVIEW*>(lParam)->uChanged & LVIF_STATE)
                lvUserChange();
            return 0;
        }
        if (header->code == LVN_ENDLABELEDITW) {
            // Whatever was typed is taken as it is; Escape (no text) keeps the old caption.
            return reinterpret_cast<const NMLVDISPINFOW*>(lParam)->item.pszText != nullptr;
        }
        return 0;
    }
    case WM_HELP:
        return AnswerHelp(window_, lParam);
    case ui::kWmDpiChanged:
        ui::FollowDpiChange(window_, children_, kClientWidth, kClientHeight, UsableDpi(LOWORD(wParam)),
                            reinterpret_cast<const RECT*>(lParam));
        headerLook_.Dpi = children_.Dpi();
        FitRows();
        return 0;
    case WM_CLOSE:
        Close();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace kiv
