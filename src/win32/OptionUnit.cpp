#include "OptionUnit.h"

#include <commctrl.h>

#include <optional>

#include "HelpViewer.h"
#include "OptionUserUnit.h"
#include "VersionUnit.h"

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

constexpr const char* kPageCaptions[4] = {"ダイヤルアップ", "スケジュール", "ステータスウィンドウ", "KestrelMesh"};
constexpr const char* kHeaderTexts[4] = {
    "     制御するダイヤルアップの設定を行うことができます。",
    "     スケジュールに応じてアクションを自動実行することができます。",
    "     イベントをデスクトップへクールに表示させることができます。",
    "     ネットワーク内の他のPCより遠隔操作をすることができます。",
};
constexpr const char* kStatusLocateItems[5] = {"（表示しない）", "デスクトップ左上", "デスクトップ右上",
                                               "デスクトップ左下", "デスクトップ右下"};

using OC = OptionControls;
using OE = OptionEnabling;

// What a control is, for the notifications it sends.
enum class ControlType { Check, Edit, Combo, Other };

// One row per control with a help-context number: where it lives (no page: on the form under
// the pages), the field of OptionControls it shows, the rule that enables it (none: always
// enabled) and whether a failed check puts the focus on it. Controls whose value is not one
// field (the phonebook and position lists, the track bar, rbKMSLogout, the computer count) are
// moved by hand in ReadControls and WriteControls.
struct ControlRow {
    int Id;
    std::optional<OptionPage> Page;
    DWORD HelpId;
    ControlType Type;
    bool OC::*Tick = nullptr;
    std::string OC::*Text = nullptr;
    bool OE::*Enabled = nullptr;
    std::optional<OptionField> Focus = std::nullopt;
};

using P = OptionPage;
using T = ControlType;
using F = OptionField;

const ControlRow kControls[] = {
    {.Id = idCbDialup, .Page = P::Dialup, .HelpId = 2, .Type = T::Combo},
    {.Id = idCbRedial, .Page = P::Dialup, .HelpId = 3, .Type = T::Check, .Tick = &OC::Redial},
    {.Id = idCbKeep, .Page = P::Dialup, .HelpId = 4, .Type = T::Check, .Tick = &OC::Keep},
    {.Id = idEdRedialCount, .Page = P::Dialup, .HelpId = 5, .Type = T::Edit, .Text = &OC::RedialCount,
     .Enabled = &OE::RedialCount, .Focus = F::RedialCount},
    {.Id = idEdRedialInterval, .Page = P::Dialup, .HelpId = 6, .Type = T::Edit, .Text = &OC::RedialInterval,
     .Enabled = &OE::RedialInterval, .Focus = F::RedialInterval},
    {.Id = idCbAutoConnectRun, .Page = P::Schedule, .HelpId = 7, .Type = T::Check, .Tick = &OC::AutoConnectRun},
    {.Id = idCbAutoConnectRunTime, .Page = P::Schedule, .HelpId = 8, .Type = T::Check,
     .Tick = &OC::AutoConnectRunTime, .Enabled = &OE::AutoConnectRunTime},
    {.Id = idCbAutoConnectTime, .Page = P::Schedule, .HelpId = 9, .Type = T::Check, .Tick = &OC::AutoConnectTime},
    {.Id = idEdAutoConnectTimeHour, .Page = P::Schedule, .HelpId = 10, .Type = T::Edit,
     .Text = &OC::AutoConnectTimeHour, .Enabled = &OE::StartTime, .Focus = F::AutoConnectTimeHour},
    {.Id = idEdAutoConnectTimeMinute, .Page = P::Schedule, .HelpId = 10, .Type = T::Edit,
     .Text = &OC::AutoConnectTimeMinute, .Enabled = &OE::StartTime, .Focus = F::AutoConnectTimeMinute},
    {.Id = idCbAutoDisconnectEnd, .Page = P::Schedule, .HelpId = 11, .Type = T::Check,
     .Tick = &OC::AutoDisconnectEnd},
    {.Id = idCbAutoDisconnectTime, .Page = P::Schedule, .HelpId = 12, .Type = T::Check,
     .Tick = &OC::AutoDisconnectTime},
    {.Id = idEdAutoDisconnectTimeHour, .Page = P::Schedule, .HelpId = 23, .Type = T::Edit,
     .Text = &OC::AutoDisconnectTimeHour, .Enabled = &OE::EndTime, .Focus = F::AutoDisconnectTimeHour},
    {.Id = idEdAutoDisconnectTimeMinute, .Page = P::Schedule, .HelpId = 23, .Type = T::Edit,
     .Text = &OC::AutoDisconnectTimeMinute, .Enabled = &OE::EndTime, .Focus = F::AutoDisconnectTimeMinute},
    {.Id = idCbAutoDisconnectTimeReset, .Page = P::Schedule, .HelpId = 13, .Type = T::Check,
     .Tick = &OC::AutoDisconnectTimeReset, .Enabled = &OE::EndTime},
    {.Id = idCbStatusLocate, .Page = P::Status, .HelpId = 14, .Type = T::Combo},
    {.Id = idCbStatusCloseBar, .Page = P::Status, .HelpId = 15, .Type = T::Check, .Tick = &OC::StatusCloseBar,
     .Enabled = &OE::StatusCloseBar},
    {.Id = idCbStatusAlpha, .Page = P::Status, .HelpId = 16, .Type = T::Check, .Tick = &OC::StatusAlpha,
     .Enabled = &OE::StatusAlpha},
    {.Id = idTbStatusAlphaCount, .Page = P::Status, .HelpId = 17, .Type = T::Other,
     .Enabled = &OE::StatusAlphaCount},
    {.Id = idRbKMSLogout, .Page = P::KMS, .HelpId = 18, .Type = T::Check},
    {.Id = idRbKMSLogin, .Page = P::KMS, .HelpId = 19, .Type = T::Check, .Tick = &OC::KMSLogin},
    {.Id = idCbKMSComputer, .Page = P::KMS, .HelpId = 56, .Type = T::Check, .Tick = &OC::KMSComputer,
     .Enabled = &OE::KMSSection},
    {.Id = idEdKMSComputerCount, .Page = P::KMS, .HelpId = 57, .Type = T::Edit, .Enabled = &OE::KMSComputer},
    {.Id = idBtKMSComputerCount, .Page = P::KMS, .HelpId = 58, .Type = T::Other, .Enabled = &OE::KMSComputer},
    {.Id = idCbKMSPassword, .Page = P::KMS, .HelpId = 59, .Type = T::Check, .Tick = &OC::KMSPassword,
     .Enabled = &OE::KMSSection},
    {.Id = idEdKMSPasswordText, .Page = P::KMS, .HelpId = 20, .Type = T::Edit, .Text = &OC::KMSPasswordText,
     .Enabled = &OE::KMSPassword, .Focus = F::KMSPasswordText},
    {.Id = idCbKMSPort, .Page = P::KMS, .HelpId = 21, .Type = T::Check, .Tick = &OC::KMSPort,
     .Enabled = &OE::KMSSection},
    {.Id = idEdKMSPort, .Page = P::KMS, .HelpId = 22, .Type = T::Edit, .Text = &OC::KMSPortNo,
     .Enabled = &OE::KMSPort, .Focus = F::KMSPort},
    {.Id = idBtOk, .Page = std::nullopt, .HelpId = 24, .Type = T::Other},
    {.Id = idBtCancel, .Page = std::nullopt, .HelpId = 25, .Type = T::Other},
    {.Id = idBtUpdate, .Page = std::nullopt, .HelpId = 26, .Type = T::Other},
};

const ControlRow* RowOf(int id)
{
    for (const ControlRow& row : kControls)
        if (row.Id == id)
            return &row;
    return nullptr;
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

    const RECT r = ui::CentredWindowRect(kClientWidth, kClientHeight, kFormStyle, kFormExStyle);
    // No owner window: the dialog has a taskbar button of its own.
    window_ = CreateWindowExW(kFormExStyle, kClassName, ui::W("Kiv -オプション-").c_str(), kFormStyle, r.left, r.top,
                              r.right - r.left, r.bottom - r.top, nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!window_)
        return false;
    SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(ui::FormFont()), FALSE);
    CreatePages();
    FormCreate();
    return true;
}

HWND TOptionForm::Make(int id, const wchar_t* windowClass, const std::string& text, DWORD style, int x, int y, int w,
                       int h, DWORD exStyle, HFONT font)
{
    const ControlRow* row = RowOf(id);
    HWND parent = row->Page ? pages_[static_cast<int>(*row->Page)] : window_;
    return ui::Child(parent, windowClass, text, style, x, y, w, h, id,
                     {.Font = font, .HelpId = row->HelpId, .ExStyle = exStyle});
}

HWND TOptionForm::Label(HWND page, const std::string& text, int x, int y, int w, bool OptionEnabling::*rule)
{
    HWND label = ui::Child(page, L"Static", text, SS_LEFT | SS_NOPREFIX, x, y, w, 14, 0);
    if (rule)
        greyed_.push_back({label, rule});
    return label;
}

void TOptionForm::Grey(HWND label, bool normal)
{
    colors_.Set(label, GetSysColor(normal ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
}

void TOptionForm::Heading(HWND page, const std::string& title, int y, bool OptionEnabling::*rule)
{
    HWND m = ui::Child(page, L"Static", "■", SS_LEFT, 8, y, 14, 14, 0, {.Font = ui::FormBoldFont()});
    HWND t = ui::Child(page, L"Static", title, SS_LEFT, 22, y, 200, 14, 0, {.Font = ui::FormBoldFont()});
    colors_.Set(m, ui::kRed);
    colors_.Set(t, ui::kTeal);
    if (rule)
        headings_.push_back({m, t, rule});
}

void TOptionForm::TimeRow(HWND page, const std::string& caption, int y, int hourId, int minuteId,
                          bool OptionEnabling::*rule)
{
    Label(page, caption, 44, y + 4, 54, rule);
    Make(hourId, L"Edit", "", kEdit | ES_RIGHT, 100, y, 28, 20, kEditEx);
    Label(page, "時", 132, y + 4, 16, rule);
    Make(minuteId, L"Edit", "", kEdit | ES_RIGHT, 150, y, 28, 20, kEditEx);
    Label(page, "分", 182, y + 4, 16, rule);
}

void TOptionForm::CreatePages()
{
    using ui::Child;
    tabs_ = Child(window_, WC_TABCONTROLW, "", TCS_HOTTRACK | WS_CLIPSIBLINGS | WS_TABSTOP, 4, 4, 413, 309,
                  idPcOption);
    for (int i = 0; i < 4; ++i) {
        std::wstring caption = ui::W(kPageCaptions[i]);
        TCITEMW item = {};
        item.mask = TCIF_TEXT;
        item.pszText = caption.data();
        SendMessageW(tabs_, TCM_INSERTITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
    }
    RECT area{0, 0, 413, 309};
    SendMessageW(tabs_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&area));
    const int px = 4 + area.left, py = 4 + area.top;
    const int pw = area.right - area.left, ph = area.bottom - area.top;

    pageLook_.Back = GetSysColor(COLOR_BTNFACE);
    pageLook_.Notify = window_;
    headerLook_.Back = ui::kBlack;
    headerLook_.Icon = ui::HeaderIcon();  // the dial-up header's icon, shared by all four
    headerLook_.Font = ui::FormBoldFont();
    headerLook_.TextColor = ui::kWhite;
    headerLook_.Notify = window_;
    for (int i = 0; i < 4; ++i) {
        pages_[i] = ui::Panel(window_, "", px, py, pw, ph, &pageLook_);
        SetWindowPos(pages_[i], HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        ui::Panel(pages_[i], kHeaderTexts[i], 0, 0, pw, 30, &headerLook_);
    }

    // Dial-up.
    HWND p = pages_[0];
    Heading(p, "制御対象", 40);
    Label(p, "ダイヤルアップ", 24, 62, 80);
    Make(idCbDialup, WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 110, 58, 220, 200);
    Heading(p, "リダイヤル設定", 92);
    Make(idCbRedial, L"Button", "接続に失敗した時、自動的にリダイヤルする", kCheck | WS_GROUP, 24, 110, 360, 18);
    Make(idCbKeep, L"Button", "回線が切断された時、自動的にリダイヤルする", kCheck, 24, 132, 360, 18);
    Heading(p, "リダイヤル詳細", 162);
    Label(p, "リダイヤルする回数", 24, 184, 110, &OE::RedialCount);
    Make(idEdRedialCount, L"Edit", "", kEdit | ES_RIGHT, 138, 180, 36, 20, kEditEx);
    Label(p, "回", 180, 184, 30, &OE::RedialCount);
    Label(p, "リダイヤルする間隔", 24, 212, 110, &OE::RedialInterval);
    Make(idEdRedialInterval, L"Edit", "", kEdit | ES_RIGHT, 138, 208, 36, 20, kEditEx);
    Label(p, "秒後", 180, 212, 40, &OE::RedialInterval);
    SendMessageW(Ctl(idEdRedialCount), EM_LIMITTEXT, 3, 0);
    SendMessageW(Ctl(idEdRedialInterval), EM_LIMITTEXT, 3, 0);

    // Schedule.
    p = pages_[1];
    Heading(p, "自動接続", 38);
    Make(idCbAutoConnectRun, L"Button", "Kivの起動と同時に接続する", kCheck | WS_GROUP, 24, 56, 360, 18);
    Make(idCbAutoConnectRunTime, L"Button", "開始時間から終了時間の間に起動した時のみ接続する", kCheck, 44, 76, 340, 18);
    Make(idCbAutoConnectTime, L"Button", "指定した時間を過ぎたら自動的に接続する", kCheck, 24, 96, 360, 18);
    TimeRow(p, "開始時間", 118, idEdAutoConnectTimeHour, idEdAutoConnectTimeMinute, &OE::StartTime);
    Heading(p, "自動切断", 150);
    Make(idCbAutoDisconnectEnd, L"Button", "Kivの終了と同時に切断する", kCheck, 24, 168, 360, 18);
    Make(idCbAutoDisconnectTime, L"Button", "指定した時間を過ぎたら自動的に切断する", kCheck, 24, 188, 360, 18);
    TimeRow(p, "終了時間", 210, idEdAutoDisconnectTimeHour, idEdAutoDisconnectTimeMinute, &OE::EndTime);
    Make(idCbAutoDisconnectTimeReset, L"Button", "自動切断後にWindowsを終了する", kCheck, 44, 238, 340, 18);
    for (int id : {idEdAutoConnectTimeHour, idEdAutoConnectTimeMinute, idEdAutoDisconnectTimeHour,
                   idEdAutoDisconnectTimeMinute})
        SendMessageW(Ctl(id), EM_LIMITTEXT, 2, 0);

    // Status window.
    p = pages_[2];
    Heading(p, "表示位置", 40);
    Label(p, "表示位置", 24, 62, 60);
    HWND locate =
        Make(idCbStatusLocate, WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 90, 58, 200, 200);
    for (const char* item : kStatusLocateItems)
        SendMessageW(locate, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ui::W(item).c_str()));
    Heading(p, "エフェクト", 96);
    Make(idCbStatusCloseBar, L"Button", "クローズバーを表示する", kCheck | WS_GROUP, 24, 114, 360, 18);
    Make(idCbStatusAlpha, L"Button", "アルファブレンド表示する", kCheck, 24, 136, 360, 18);
    Label(p, "透過率", 44, 166, 40, &OE::StatusAlphaCount);
    HWND track = Make(idTbStatusAlphaCount, TRACKBAR_CLASSW, "", TBS_HORZ | TBS_NOTICKS | WS_TABSTOP, 88, 160, 220, 26,
                      0, nullptr);
    SendMessageW(track, TBM_SETRANGE, TRUE, MAKELPARAM(1, 255));
    SendMessageW(track, TBM_SETPAGESIZE, 0, 10);
    laStatusAlphaCount_ = ui::Child(p, L"Static", "", SS_LEFT, 314, 166, 60, 14, idLaStatusAlphaCount);
    greyed_.push_back({laStatusAlphaCount_, &OE::StatusAlphaCount});

    // KestrelMesh.
    p = pages_[3];
    Heading(p, "ログイン", 36);
    Make(idRbKMSLogout, L"Button", "KestrelMeshにログインしない", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 24, 52,
         360, 18);
    Make(idRbKMSLogin, L"Button", "KestrelMeshにログインする", BS_AUTORADIOBUTTON, 24, 70, 360, 18);
    Heading(p, "セキュリティ", 94, &OE::KMSSection);
    Make(idCbKMSComputer, L"Button", "コンピュータ名による認証チェックを行う", kCheck | WS_GROUP, 24, 110, 360, 18);
    Label(p, "設定済みコンピュータ数", 44, 134, 124, &OE::KMSComputer);
    Make(idEdKMSComputerCount, L"Edit", "", ES_READONLY | ES_RIGHT | WS_TABSTOP, 170, 130, 36, 20, kEditEx);
    Label(p, "台", 210, 134, 16, &OE::KMSComputer);
    Make(idBtKMSComputerCount, L"Button", "認証コンピュータ設定(&A)", BS_PUSHBUTTON | WS_TABSTOP, 236, 129, 150, 22);
    Make(idCbKMSPassword, L"Button", "パスワードによる認証チェックを行う", kCheck, 24, 156, 360, 18);
    Label(p, "パスワード", 44, 180, 60, &OE::KMSPassword);
    HWND password = Make(idEdKMSPasswordText, L"Edit", "", kEdit | ES_PASSWORD, 110, 176, 160, 20, kEditEx);
    SendMessageW(password, EM_SETPASSWORDCHAR, '*', 0);
    Heading(p, "ポート番号", 204, &OE::KMSSection);
    Make(idCbKMSPort, L"Button", "ポート番号を手動で設定する", kCheck, 24, 220, 360, 18);
    Label(p, "ポート番号", 44, 244, 60, &OE::KMSPort);
    Make(idEdKMSPort, L"Edit", "", kEdit | ES_RIGHT, 110, 240, 50, 20, kEditEx);
    SendMessageW(Ctl(idEdKMSPort), EM_LIMITTEXT, 5, 0);

    // Buttons under the pages.
    Make(idBtOk, L"Button", "OK(&O)", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 180, 318, 75, 23);
    Make(idBtCancel, L"Button", "キャンセル(&C)", BS_PUSHBUTTON | WS_TABSTOP, 261, 318, 75, 23);
    Make(idBtUpdate, L"Button", "適用(&A)", BS_PUSHBUTTON | WS_TABSTOP, 342, 318, 75, 23);
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
    for (const ControlRow& row : kControls) {
        if (row.Tick)
            ui::SetChecked(Ctl(row.Id), c.*row.Tick);
        if (row.Text)
            ui::SetControlText(Ctl(row.Id), c.*row.Text);
    }
    ui::SetChecked(Ctl(idRbKMSLogout), !c.KMSLogin);
    SendMessageW(Ctl(idCbStatusLocate), CB_SETCURSEL, static_cast<WPARAM>(c.StatusLocate), 0);
    SendMessageW(Ctl(idTbStatusAlphaCount), TBM_SETPOS, TRUE, c.StatusAlphaCount);
    ui::SetControlText(Ctl(idEdKMSComputerCount), std::to_string(working_.size()));
}

OptionControls TOptionForm::ReadControls() const
{
    OptionControls c;
    for (const ControlRow& row : kControls) {
        if (row.Tick)
            c.*row.Tick = ui::Checked(Ctl(row.Id));
        if (row.Text)
            c.*row.Text = ui::ControlText(Ctl(row.Id));
    }
    const auto dialup = SendMessageW(Ctl(idCbDialup), CB_GETCURSEL, 0, 0);
    if (dialup >= 0 && dialup < static_cast<LRESULT>(phonebook_.size()))
        c.Dialup = phonebook_[static_cast<std::size_t>(dialup)];
    c.StatusLocate = static_cast<int>(SendMessageW(Ctl(idCbStatusLocate), CB_GETCURSEL, 0, 0));
    c.StatusAlphaCount = static_cast<int>(SendMessageW(Ctl(idTbStatusAlphaCount), TBM_GETPOS, 0, 0));
    return c;
}

void TOptionForm::RunRules()
{
    const OptionControls c = ReadControls();
    const OptionEnabling e = OptionEnablingFor(c, layered_);
    for (const ControlRow& row : kControls)
        if (row.Enabled)
            EnableControl(Ctl(row.Id), e.*row.Enabled);
    for (const auto& [label, rule] : greyed_)
        Grey(label, e.*rule);
    for (const RuledHeading& heading : headings_) {
        colors_.Set(heading.Marker, e.*heading.Rule ? ui::kRed : ui::kGrey);
        colors_.Set(heading.Title, e.*heading.Rule ? ui::kTeal : ui::kGrey);
    }
    ui::SetControlText(laStatusAlphaCount_, TransparencyText(c.StatusAlphaCount));
    EnableControl(Ctl(idBtUpdate), true);
}

void TOptionForm::SelectPage(OptionPage page)
{
    const int index = static_cast<int>(page);
    SendMessageW(tabs_, TCM_SETCURSEL, static_cast<WPARAM>(index), 0);
    for (int i = 0; i < 4; ++i)
        ShowWindow(pages_[i], i == index ? SW_SHOW : SW_HIDE);
}

HWND TOptionForm::FieldControl(OptionField field) const
{
    for (const ControlRow& row : kControls)
        if (row.Focus == field)
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
    main_.ApplyOptions(c, working_);
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
            return;  // a check failed: the dialog stays open
    }
    Close();
}

void TOptionForm::btKMSComputerCountClick()
{
    auto rows = TOptionUserForm::Execute(window_, working_);
    if (rows && window_) {
        working_ = TakeBackComputerNames(*rows);
        ui::SetControlText(Ctl(idEdKMSComputerCount), std::to_string(working_.size()));
        EnableControl(Ctl(idBtUpdate), true);
    }
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
    const ControlRow* row = RowOf(id);
    if (!row)
        return;
    if ((row->Type == ControlType::Check && code == BN_CLICKED) ||
        (row->Type == ControlType::Combo && code == CBN_SELCHANGE))
        RunRules();
    else if (row->Type == ControlType::Edit && code == EN_CHANGE)
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
            ui::SetControlText(laStatusAlphaCount_,
                               TransparencyText(static_cast<int>(SendMessageW(Ctl(idTbStatusAlphaCount), TBM_GETPOS, 0, 0))));
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
    if (OptionForm && IsDialogMessageW(OptionForm->Handle(), &msg))
        return true;
    if (VersionForm && IsDialogMessageW(VersionForm->Handle(), &msg))
        return true;
    return false;
}

}  // namespace kiv
