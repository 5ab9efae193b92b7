#include "OptionUnit.h"

#include <commctrl.h>

#include <optional>

#include "HelpViewer.h"
#include "OptionUserUnit.h"
#include "VersionUnit.h"
#include "WindowDpi.h"

namespace kiv {

TOptionForm* OptionForm = nullptr;

namespace {

constexpr DWORD kFormStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kFormExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTEXTHELP | WS_EX_APPWINDOW | WS_EX_CONTROLPARENT;
constexpr int kClientWidth = 420;
constexpr int kClientHeight = 345;
constexpr char kAppTitle[] = "Kiv";
constexpr int kNoButton = 0xFFFF;  // a default button that does not exist

constexpr DWORD kCheck = BS_AUTOCHECKBOX | WS_TABSTOP;
constexpr DWORD kEdit = ES_AUTOHSCROLL | WS_TABSTOP;
constexpr DWORD kEditEx = WS_EX_CLIENTEDGE;
constexpr DWORD kList = CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP;
constexpr WPARAM kTrackPageSize = 10;

// The controls the dialog's code names.
constexpr int idCbDialup = OptionControlId("idCbDialup");
constexpr int idTbStatusAlphaCount = OptionControlId("idTbStatusAlphaCount");
constexpr int idLaStatusAlphaCount = OptionControlId("idLaStatusAlphaCount");
constexpr int idEdKMSComputerCount = OptionControlId("idEdKMSComputerCount");
constexpr int idBtKMSComputerCount = OptionControlId("idBtKMSComputerCount");
constexpr int idBtOk = OptionControlId("idBtOk");
constexpr int idBtCancel = OptionControlId("idBtCancel");
constexpr int idBtUpdate = OptionControlId("idBtUpdate");

using K = OptionRowKind;

bool IsEdit(K kind) { return kind == K::Edit || kind == K::NumberEdit || kind == K::PasswordEdit; }

template <class T>
T TSettings::*Member(const OptionRow& row)
{
    return std::get<T TSettings::*>(row.Setting);
}

void EnableControl(HWND control, bool enabled) { EnableWindow(control, enabled ? TRUE : FALSE); }

}  // namespace

void TOptionForm::Open(TMainForm& main, RasPort& ras, bool layeredWindows)
{
    if (!OptionForm) {
        auto* form = new TOptionForm(main, ras, layeredWindows);
        if (!form->Create()) {
            delete form;
            return;
        }
        OptionForm = form;
    }
    OptionForm->Show();
}

TOptionForm::TOptionForm(TMainForm& main, RasPort& ras, bool layeredWindows)
    : FormWindow(true), main_(main), ras_(ras), layered_(layeredWindows)
{
}

TOptionForm::~TOptionForm()
{
    // FormDestroy: the working list goes with the form.
    if (OptionForm == this)
        OptionForm = nullptr;
}

HWND TOptionForm::Ctl(int id) const
{
    for (HWND page : pages_)
        if (HWND control = GetDlgItem(page, id))
            return control;
    return GetDlgItem(window_, id);
}

bool TOptionForm::Create()
{
    ui::RegisterFormClass(kClassName, WindowProc, true);
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_TAB_CLASSES | ICC_BAR_CLASSES | ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&icc);

    const unsigned dpi = ui::PrimaryMonitorDpi();
    const RECT r = ui::CentredWindowRect(kClientWidth, kClientHeight, kFormStyle, kFormExStyle, dpi);
    // No owner window: the dialog has a taskbar button of its own.
    window_ = CreateWindowExW(kFormExStyle, kClassName, ui::W("Kiv -オプション-").c_str(), kFormStyle, r.left, r.top,
                              r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!window_)
        return false;
    children_ = ui::ScaledChildren(dpi);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(ui::FontAt(ui::kFormFont, dpi)), FALSE);
    CreatePages();
    if (const unsigned own = ui::WindowDpi(window_); own != dpi)
        Rescale(own, nullptr);  // made on a monitor of another dpi
    FormCreate();
    return true;
}

void TOptionForm::Grey(HWND label, bool normal)
{
    colors_.Set(label, GetSysColor(normal ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
}

void TOptionForm::CreatePages()
{
    for (const OptionRow& row : kOptionRows)
        MakeRow(row);
}

void TOptionForm::MakePages()
{
    for (int i = 0; i < 4; ++i) {
        std::wstring caption = ui::W(kOptionPages[i].Caption);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    pageLook_.Back = GetSysColor(COLOR_BTNFACE);
    pageLook_.Notify = window_;
    pageLook_.Dpi = children_.Dpi();
    headerLook_.Back = ui::kBlack;
    headerLook_.Emblem = true;  // the dial-up header's icon, shared by all four
    headerLook_.Font = &ui::kFormBoldFont;
    headerLook_.TextColor = ui::kWhite;
    headerLook_.Notify = window_;
    headerLook_.Dpi = children_.Dpi();
    for (int i = 0; i < 4; ++i) {
        pages_[i] = ui::PlacedPanel(window_, "", RECT{}, &pageLook_);
        SetWindowPos(pages_[i], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        headers_[i] = ui::PlacedPanel(pages_[i], kOptionPages[i].Header, RECT{}, &headerLook_);
    }
    PlacePages();
}

void TOptionForm::PlacePages()
{
    // The pages fill the tab control's display area, which its font decides; each begins with
    // its header, 30 pixels high at 96 dpi.
    const DialogRect tabs = ScaleRect(tabsRect_, children_.Dpi());
    RECT area{0, 0, tabs.Width, tabs.Height};
    SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    const int px = tabs.X + area.left, py = tabs.Y + area.top;
    const int pw = area.right - area.left, ph = area.bottom - area.top;
    for (int i = 0; i < 4; ++i) {
        SetWindowPos(pages_[i], nullptr, px, py, pw, ph, SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowPos(headers_[i], nullptr, 0, 0, pw, children_.Scale(30), SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void TOptionForm::Rescale(unsigned dpi, const RECT* suggested)
{
    ui::FollowDpiChange(window_, children_, kClientWidth, kClientHeight, dpi, suggested);
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(ui::FontAt(ui::kFormFont, dpi)), FALSE);
    pageLook_.Dpi = headerLook_.Dpi = dpi;
    PlacePages();
    for (HWND page : pages_)
        RedrawWindow(page, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN);
}

void TOptionForm::MakeRow(const OptionRow& row)
{
    HWND parent = row.Page ? pages_[static_cast<int>(*row.Page)] : window_;
    const OptionRect& r = row.Rect;
    // A control of the table: on its page, with its help-context number.
    auto make = [&](const wchar_t* windowClass, const std::string& text, DWORD style, DWORD exStyle = 0,
                    const ui::FontSpec* font = &ui::kFormFont) {
        return children_.Child(parent, windowClass, text, style, r, row.Id,
                               {.Font = font, .HelpId = row.HelpId, .ExStyle = exStyle});
    };
    // A static text, greyed by the row's rule.
    auto label = [&](const std::string& text, DWORD style, int id) {
        HWND control = children_.Child(parent, L"Static", text, style, r, id);
        if (row.Enabled)
            greyed_.push_back({control, row.Enabled});
    };
    const DWORD group = row.Group ? WS_GROUP : 0;
    switch (row.Kind) {
    case K::Tabs:
        tabs_ = children_.Child(window_, WC_TABCONTROLW, "", TCS_HOTTRACK | WS_CLIPSIBLINGS | WS_TABSTOP, r, row.Id);
        tabsRect_ = r;
        MakePages();
        return;
    case K::Heading: {
        HWND marker =
            children_.Child(parent, L"Static", "■", SS_LEFT, {r.X, r.Y, 14, r.Height}, 0, {.Font = &ui::kFormBoldFont});
        HWND title = children_.Child(parent, L"Static", row.Text, SS_LEFT, {r.X + 14, r.Y, r.Width - 14, r.Height}, 0,
                                     {.Font = &ui::kFormBoldFont});
        colors_.Set(marker, ui::kRed);
        colors_.Set(title, ui::kTeal);
        if (row.Enabled)
            headings_.push_back({marker, title, row.Enabled});
        return;
    }
    case K::Label:
        label(row.Text, SS_LEFT | SS_NOPREFIX, 0);
        return;
    case K::ValueLabel:
        label("", SS_LEFT, row.Id);
        return;
    case K::CheckBox:
        make(L"Button", row.Text, kCheck | group);
        return;
    case K::RadioButton:
        make(L"Button", row.Text, BS_AUTORADIOBUTTON | (row.Group ? WS_GROUP | WS_TABSTOP : 0));
        return;
    case K::Edit:
    case K::NumberEdit:
    case K::PasswordEdit: {
        const DWORD kind = row.Kind == K::NumberEdit ? ES_RIGHT : row.Kind == K::PasswordEdit ? ES_PASSWORD : 0;
        HWND edit = make(L"Edit", "", kEdit | kind, kEditEx);
        if (row.Kind == K::PasswordEdit)
            SendMessageW(edit, EM_SETPASSWORDCHAR, '*', 0);
        if (row.MaxLength > 0)
            SendMessageW(edit, EM_LIMITTEXT, static_cast<WPARAM>(row.MaxLength), 0);
        return;
    }
    case K::CountEdit:
        make(L"Edit", "", ES_READONLY | ES_RIGHT | WS_TABSTOP, kEditEx);
        return;
    case K::PhonebookList:
        make(WC_COMBOBOXW, "", kList);
        return;
    case K::ChoiceList: {
        HWND list = make(WC_COMBOBOXW, "", kList);
        for (const char* item : row.Items)
            SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ui::W(item).c_str()));
        return;
    }
    case K::TrackBar: {
        HWND track = make(TRACKBAR_CLASSW, "", TBS_HORZ | TBS_NOTICKS | WS_TABSTOP, 0, nullptr);
        const SettingRange range = RangeOf(Member<int>(row));
        SendMessageW(track, TBM_SETRANGE, TRUE, MAKELPARAM(range.Lowest, range.Highest));
        SendMessageW(track, TBM_SETPAGESIZE, 0, kTrackPageSize);
        return;
    }
    case K::PushButton:
        make(L"Button", row.Text, BS_PUSHBUTTON | WS_TABSTOP | group);
        return;
    }
}

void TOptionForm::FormCreate()
{
    phonebook_ = PhonebookNames(ras_);
    HWND dialup = Ctl(idCbDialup);
    for (const auto& name : phonebook_)
        SendMessageW(dialup, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ui::W(name).c_str()));
    working_ = main_.AllowedComputers;
    SelectPage(OptionPage::Dialup);
    const int target = main_.TargetEntryIndex();
    SendMessageW(dialup, CB_SETCURSEL, static_cast<WPARAM>(target), 0);  // -1: no selection
    WriteControls(OptionControlsFromSettings(
        main_.Settings, target >= 0 && target < static_cast<int>(phonebook_.size()) ? phonebook_[target] : ""));
    RunRules();
    EnableControl(Ctl(idBtUpdate), false);  // nothing to apply yet
}

void TOptionForm::WriteControls(const OptionControls& c)
{
    for (const OptionRow& row : kOptionRows) {
        HWND control = row.Name ? Ctl(row.Id) : nullptr;
        switch (row.Kind) {
        case K::CheckBox:
            ui::SetChecked(control, c.Values.*Member<bool>(row));
            break;
        case K::RadioButton:
            ui::SetChecked(control, c.Values.*Member<bool>(row) != row.ShowsOff);
            break;
        case K::Edit:
        case K::NumberEdit:
        case K::PasswordEdit:
            ui::SetControlText(control, c.Text(row.Setting));
            break;
        case K::ChoiceList:
            SendMessageW(control, CB_SETCURSEL, static_cast<WPARAM>(c.Values.*Member<int>(row)), 0);
            break;
        case K::TrackBar:
            SendMessageW(control, TBM_SETPOS, TRUE, c.Values.*Member<int>(row));
            break;
        case K::CountEdit:
            ui::SetControlText(control, std::to_string(working_.size()));
            break;
        default:  // the phonebook's choice is made by its index when the dialog opens
            break;
        }
    }
}

OptionControls TOptionForm::ReadControls() const
{
    OptionControls c;
    for (const OptionRow& row : kOptionRows) {
        HWND control = row.Name ? Ctl(row.Id) : nullptr;
        switch (row.Kind) {
        case K::CheckBox:
            c.Values.*Member<bool>(row) = ui::Checked(control);
            break;
        case K::RadioButton:
            if (!row.ShowsOff)
                c.Values.*Member<bool>(row) = ui::Checked(control);
            break;
        case K::Edit:
        case K::NumberEdit:
        case K::PasswordEdit:
            c.Text(row.Setting) = ui::ControlText(control);
            break;
        case K::PhonebookList: {
            const auto chosen = SendMessageW(control, CB_GETCURSEL, 0, 0);
            c.Values.*Member<std::string>(row) = chosen >= 0 && chosen < static_cast<LRESULT>(phonebook_.size())
                                                     ? phonebook_[static_cast<std::size_t>(chosen)]
                                                     : std::string();
            break;
        }
        case K::ChoiceList:
            c.Values.*Member<int>(row) = static_cast<int>(SendMessageW(control, CB_GETCURSEL, 0, 0));
            break;
        case K::TrackBar:
            c.Values.*Member<int>(row) = static_cast<int>(SendMessageW(control, TBM_GETPOS, 0, 0));
            break;
        default:
            break;
        }
    }
    return c;
}

void TOptionForm::RunRules()
{
    const OptionControls c = ReadControls();
    const OptionEnabling e = OptionEnablingFor(c, layered_);
    // Controls are enabled by their rules; labels and headings only change colour.
    for (const OptionRow& row : kOptionRows)
        if (row.Enabled && row.Name && row.Kind != K::ValueLabel)
            EnableControl(Ctl(row.Id), e.*row.Enabled);
    for (const auto& [label, rule] : greyed_)
        Grey(label, e.*rule);
    for (const RuledHeading& heading : headings_) {
        colors_.Set(heading.Marker, e.*heading.Rule ? ui::kRed : ui::kGrey);
        colors_.Set(heading.Title, e.*heading.Rule ? ui::kTeal : ui::kGrey);
    }
    ShowTransparency();
    EnableControl(Ctl(idBtUpdate), true);
}

void TOptionForm::ShowTransparency()
{
    const auto position = SendMessageW(Ctl(idTbStatusAlphaCount), TBM_GETPOS, 0, 0);
    ui::SetControlText(Ctl(idLaStatusAlphaCount), TransparencyText(static_cast<int>(position)));
}

void TOptionForm::SelectPage(OptionPage page)
{
    const int index = static_cast<int>(page);
    SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    for (int i = 0; i < 4; ++i)
        ShowWindow(pages_[i], i == index ? SW_SHOW : SW_HIDE);
}

HWND TOptionForm::FieldControl(SettingMember setting) const
{
    for (const OptionRow& row : kOptionRows)
        if (IsEdit(row.Kind) && row.Setting == setting)
            return Ctl(row.Id);
    return nullptr;
}

void TOptionForm::Show()
{
    if (IsIconic(window_))
        ShowWindow(window_, SW_RESTORE);
    ShowWindow(window_, SW_SHOW);
    SetForegroundWindow(window_);
    BringWindowToTop(window_);
}

void TOptionForm::btUpdateClick()
{
    Tag = 1;
    const OptionControls c = ReadControls();
    if (const auto failure = CheckOptions(c, OptionEnablingFor(c, layered_))) {
        SelectPage(failure->Page);
        SetFocus(FieldControl(failure->Focus));
        MessageBoxW(window_, ui::W(failure->Message).c_str(), ui::W(kAppTitle).c_str(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    if (PortNoticeNeeded(c, main_.Settings)) {
        MessageBoxW(window_, ui::W(kOptionPortNotice).c_str(), ui::W(kAppTitle).c_str(), MB_OK | MB_ICONINFORMATION);
        if (!window_)
            return;  // the program ended while the notice was up
    }
    Tag = 0;
    if (const auto failure = main_.ApplyOptions(c, working_)) {
        // Not on the disk: the dialog stays open with Apply enabled, so OK tries again.
        Tag = 1;
        MessageBoxW(window_, ui::W(*failure).c_str(), ui::W(kAppTitle).c_str(), MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    HWND update = Ctl(idBtUpdate);
    if (GetFocus() == update)
        SetFocus(Ctl(idBtOk));
    EnableControl(update, false);
}

void TOptionForm::btOkClick()
{
    if (IsWindowEnabled(Ctl(idBtUpdate))) {
        Tag = 0;
        btUpdateClick();
        if (Tag != 0 || !window_)
            return;  // a check or the save failed: the dialog stays open
    }
    Close();
}

void TOptionForm::btKMSComputerCountClick()
{
    TOptionUserForm::Open(window_, working_,
                          [this](std::optional<StringList> rows) { ComputersDialogClosed(std::move(rows)); });
}

void TOptionForm::ComputersDialogClosed(std::optional<StringList> rows)
{
    if (!rows)
        return;
    working_ = TakeBackComputerNames(*rows);
    ui::SetControlText(Ctl(idEdKMSComputerCount), std::to_string(working_.size()));
    EnableControl(Ctl(idBtUpdate), true);
}

void TOptionForm::Close() { DestroyWindow(window_); }

void TOptionForm::OnCommand(int id, int code)
{
    switch (id) {
    case IDOK:  // Enter in any field
    case idBtOk:
        if (code == BN_CLICKED)
            btOkClick();
        return;
    case idBtCancel:
        if (code == BN_CLICKED)
            Close();
        return;
    case idBtUpdate:
        if (code == BN_CLICKED)
            btUpdateClick();
        return;
    case idBtKMSComputerCount:
        if (code == BN_CLICKED)
            btKMSComputerCountClick();
        return;
    default:
        break;
    }
    const OptionRow* row = OptionRowOf(id);
    if (!row)
        return;
    const bool button = row->Kind == K::CheckBox || row->Kind == K::RadioButton;
    const bool list = row->Kind == K::PhonebookList || row->Kind == K::ChoiceList;
    if ((button && code == BN_CLICKED) || (list && code == CBN_SELCHANGE))
        RunRules();
    else if ((IsEdit(row->Kind) || row->Kind == K::CountEdit) && code == EN_CHANGE)
        EnableControl(Ctl(idBtUpdate), true);
}

void TOptionForm::OnWindowGone()
{
    if (OptionForm == this)
        OptionForm = nullptr;
}

LRESULT TOptionForm::OnMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case DM_GETDEFID: {
        // Enter on a focused push button presses that button; anywhere else it acts as OK.
        HWND focus = GetFocus();
        wchar_t cls[16] = {};
        if (focus && IsChild(window_, focus) && GetClassNameW(focus, cls, 15) && lstrcmpiW(cls, L"Button") == 0) {
            const auto type = GetWindowLongW(focus, GWL_STYLE) & BS_TYPEMASK;
            if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON)
                return MAKELRESULT(GetDlgCtrlID(focus), DC_HASDEFID);
        }
        // The track bar takes no Enter; every other field acts as OK.
        if (focus && focus == Ctl(idTbStatusAlphaCount))
            return MAKELRESULT(kNoButton, DC_HASDEFID);
        return MAKELRESULT(IDOK, DC_HASDEFID);
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom == tabs_ && header->code == TCN_SELCHANGE)
            SelectPage(static_cast<OptionPage>(SendMessageW(tabs_, TCM_GETCURSEL, 0, 0)));
        return 0;
    }
    case WM_HSCROLL:
        if (reinterpret_cast<HWND>(lParam) == Ctl(idTbStatusAlphaCount)) {
            ShowTransparency();
            EnableControl(Ctl(idBtUpdate), true);
        }
        return 0;
    case WM_CTLCOLORSTATIC:
        if (LRESULT brush = colors_.Answer(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam)))
            return brush;
        break;
    case WM_ACTIVATE:
        // The focused control comes back when the dialog is activated again (after a message
        // box, or another window).
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(window_, focus))
                lastFocus_ = focus;
        } else if (lastFocus_ && IsWindow(lastFocus_) && IsWindowEnabled(lastFocus_)) {
            SetFocus(lastFocus_);
            return 0;
        }
        break;
    case WM_HELP:
        return AnswerHelp(window_, lParam);
    case ui::kWmDpiChanged: Rescale(UsableDpi(LOWORD(wParam)), reinterpret_cast<const RECT*>(lParam)); return 0;
    case WM_CLOSE:
        Close();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

bool IsFormDialogMessage(MSG& msg)
{
    if (OptionUserForm && IsDialogMessageW(OptionUserForm->Handle(), &msg))
        return true;
    if (OptionForm && IsDialogMessageW(OptionForm->Handle(), &msg))
        return true;
    if (VersionForm && IsDialogMessageW(VersionForm->Handle(), &msg))
        return true;
    return false;
}

}  // namespace kiv
