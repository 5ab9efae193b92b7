#include "OptionUnit.h"

#include <commctrl.h>

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
    : main_(main), ras_(ras), layered_(layeredWindows)
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

HWND TOptionForm::Label(HWND page, const std::string& text, int x, int y, int w)
{
    return ui::Child(page, L"Static", text, SS_LEFT | SS_NOPREFIX, x, y, w, 14, 0);
}

void TOptionForm::Grey(HWND label, bool normal)
{
    colors_.Set(label, GetSysColor(normal ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
}

void TOptionForm::Heading(HWND page, const std::string& title, int y, HWND* marker, HWND* titleLabel)
{
    HWND m = ui::Child(page, L"Static", "■", SS_LEFT, 8, y, 14, 14, 0, ui::FormBoldFont());
    HWND t = ui::Child(page, L"Static", title, SS_LEFT, 22, y, 200, 14, 0, ui::FormBoldFont());
    colors_.Set(m, ui::kRed);
    colors_.Set(t, ui::kTeal);
    if (marker)
        *marker = m;
    if (titleLabel)
        *titleLabel = t;
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
    Child(p, WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 110, 58, 220, 200, idCbDialup,
          ui::FormFont(), 2);
    Heading(p, "リダイヤル設定", 92);
    Child(p, L"Button", "接続に失敗した時、自動的にリダイヤルする", kCheck | WS_GROUP, 24, 110, 360, 18, idCbRedial,
          ui::FormFont(), 3);
    Child(p, L"Button", "回線が切断された時、自動的にリダイヤルする", kCheck, 24, 132, 360, 18, idCbKeep,
          ui::FormFont(), 4);
    Heading(p, "リダイヤル詳細", 162);
    laRedialCount1_ = Label(p, "リダイヤルする回数", 24, 184, 110);
    Child(p, L"Edit", "", kEdit | ES_RIGHT, 138, 180, 36, 20, idEdRedialCount, ui::FormFont(), 5, kEditEx);
    laRedialCount2_ = Label(p, "回", 180, 184, 30);
    laRedialInterval1_ = Label(p, "リダイヤルする間隔", 24, 212, 110);
    Child(p, L"Edit", "", kEdit | ES_RIGHT, 138, 208, 36, 20, idEdRedialInterval, ui::FormFont(), 6, kEditEx);
    laRedialInterval2_ = Label(p, "秒後", 180, 212, 40);
    SendMessageW(Ctl(idEdRedialCount), EM_LIMITTEXT, 3, 0);
    SendMessageW(Ctl(idEdRedialInterval), EM_LIMITTEXT, 3, 0);

    // Schedule.
    p = pages_[1];
    Heading(p, "自動接続", 38);
    Child(p, L"Button", "Kivの起動と同時に接続する", kCheck | WS_GROUP, 24, 56, 360, 18, idCbAutoConnectRun,
          ui::FormFont(), 7);
    Child(p, L"Button", "開始時間から終了時間の間に起動した時のみ接続する", kCheck, 44, 76, 340, 18,
          idCbAutoConnectRunTime, ui::FormFont(), 8);
    Child(p, L"Button", "指定した時間を過ぎたら自動的に接続する", kCheck, 24, 96, 360, 18, idCbAutoConnectTime,
          ui::FormFont(), 9);
    laAutoConnectTime_[0] = Label(p, "開始時間", 44, 122, 54);
    Child(p, L"Edit", "", kEdit | ES_RIGHT, 100, 118, 28, 20, idEdAutoConnectTimeHour, ui::FormFont(), 10, kEditEx);
    laAutoConnectTime_[1] = Label(p, "時", 132, 122, 16);
    Child(p, L"Edit", "", kEdit | ES_RIGHT, 150, 118, 28, 20, idEdAutoConnectTimeMinute, ui::FormFont(), 10,
          kEditEx);
    laAutoConnectTime_[2] = Label(p, "分", 182, 122, 16);
    Heading(p, "自動切断", 150);
    Child(p, L"Button", "Kivの終了と同時に切断する", kCheck, 24, 168, 360, 18, idCbAutoDisconnectEnd,
          ui::FormFont(), 11);
    Child(p, L"Button", "指定した時間を過ぎたら自動的に切断する", kCheck, 24, 188, 360, 18, idCbAutoDisconnectTime,
          ui::FormFont(), 12);
    laAutoDisconnectTime_[0] = Label(p, "終了時間", 44, 214, 54);
    Child(p, L"Edit", "", kEdit | ES_RIGHT, 100, 210, 28, 20, idEdAutoDisconnectTimeHour, ui::FormFont(), 23,
          kEditEx);
    laAutoDisconnectTime_[1] = Label(p, "時", 132, 214, 16);
    Child(p, L"Edit", "", kEdit | ES_RIGHT, 150, 210, 28, 20, idEdAutoDisconnectTimeMinute, ui::FormFont(), 23,
          kEditEx);
    laAutoDisconnectTime_[2] = Label(p, "分", 182, 214, 16);
    Child(p, L"Button", "自動切断後にWindowsを終了する", kCheck, 44, 238, 340, 18, idCbAutoDisconnectTimeReset,
          ui::FormFont(), 13);
    for (int id : {idEdAutoConnectTimeHour, idEdAutoConnectTimeMinute, idEdAutoDisconnectTimeHour,
                   idEdAutoDisconnectTimeMinute})
        SendMessageW(Ctl(id), EM_LIMITTEXT, 2, 0);

    // Status window.
    p = pages_[2];
    Heading(p, "表示位置", 40);
    Label(p, "表示位置", 24, 62, 60);
    HWND locate = Child(p, WC_COMBOBOXW, "", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 90, 58, 200, 200,
                        idCbStatusLocate, ui::FormFont(), 14);
    for (const char* item : kStatusLocateItems)
        SendMessageW(locate, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ui::W(item).c_str()));
    Heading(p, "エフェクト", 96);
    Child(p, L"Button", "クローズバーを表示する", kCheck | WS_GROUP, 24, 114, 360, 18, idCbStatusCloseBar,
          ui::FormFont(), 15);
    Child(p, L"Button", "アルファブレンド表示する", kCheck, 24, 136, 360, 18, idCbStatusAlpha, ui::FormFont(), 16);
    laStatusAlpha_ = Label(p, "透過率", 44, 166, 40);
    HWND track = Child(p, TRACKBAR_CLASSW, "", TBS_HORZ | TBS_NOTICKS | WS_TABSTOP, 88, 160, 220, 26,
                       idTbStatusAlphaCount, nullptr, 17);
    SendMessageW(track, TBM_SETRANGE, TRUE, MAKELPARAM(1, 255));
    SendMessageW(track, TBM_SETPAGESIZE, 0, 10);
    laStatusAlphaCount_ = ui::Child(p, L"Static", "", SS_LEFT, 314, 166, 60, 14, idLaStatusAlphaCount);

    // KestrelMesh.
    p = pages_[3];
    Heading(p, "ログイン", 36);
    Child(p, L"Button", "KestrelMeshにログインしない", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 24, 52, 360, 18,
          idRbKMSLogout, ui::FormFont(), 18);
    Child(p, L"Button", "KestrelMeshにログインする", BS_AUTORADIOBUTTON, 24, 70, 360, 18, idRbKMSLogin,
          ui::FormFont(), 19);
    Heading(p, "セキュリティ", 94, &laKMSLabel1_1_, &laKMSLabel1_2_);
    Child(p, L"Button", "コンピュータ名による認証チェックを行う", kCheck | WS_GROUP, 24, 110, 360, 18,
          idCbKMSComputer, ui::FormFont(), 56);
    laKMSComputerCount1_ = Label(p, "設定済みコンピュータ数", 44, 134, 124);
    Child(p, L"Edit", "", ES_READONLY | ES_RIGHT | WS_TABSTOP, 170, 130, 36, 20, idEdKMSComputerCount,
          ui::FormFont(), 57, kEditEx);
    laKMSComputerCount2_ = Label(p, "台", 210, 134, 16);
    Child(p, L"Button", "認証コンピュータ設定(&A)", BS_PUSHBUTTON | WS_TABSTOP, 236, 129, 150, 22,
          idBtKMSComputerCount, ui::FormFont(), 58);
    Child(p, L"Button", "パスワードによる認証チェックを行う", kCheck, 24, 156, 360, 18, idCbKMSPassword,
          ui::FormFont(), 59);
    laKMSPasswordText_ = Label(p, "パスワード", 44, 180, 60);
    HWND password = Child(p, L"Edit", "", kEdit | ES_PASSWORD, 110, 176, 160, 20, idEdKMSPasswordText,
                          ui::FormFont(), 20, kEditEx);
    SendMessageW(password, EM_SETPASSWORDCHAR, '*', 0);
    Heading(p, "ポート番号", 204, &laKMSLabel2_1_, &laKMSLabel2_2_);
    Child(p, L"Button", "ポート番号を手動で設定する", kCheck, 24, 220, 360, 18, idCbKMSPort, ui::FormFont(), 21);
    laKMSPort_ = Label(p, "ポート番号", 44, 244, 60);
    Child(p, L"Edit", "", kEdit | ES_RIGHT, 110, 240, 50, 20, idEdKMSPort, ui::FormFont(), 22, kEditEx);
    SendMessageW(Ctl(idEdKMSPort), EM_LIMITTEXT, 5, 0);

    // Buttons under the pages.
    Child(window_, L"Button", "OK(&O)", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, 180, 318, 75, 23, idBtOk,
          ui::FormFont(), 24);
    Child(window_, L"Button", "キャンセル(&C)", BS_PUSHBUTTON | WS_TABSTOP, 261, 318, 75, 23, idBtCancel,
          ui::FormFont(), 25);
    Child(window_, L"Button", "適用(&A)", BS_PUSHBUTTON | WS_TABSTOP, 342, 318, 75, 23, idBtUpdate, ui::FormFont(),
          26);
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
    auto check = [&](int id, bool on) { ui::SetChecked(Ctl(id), on); };
    auto text = [&](int id, const std::string& t) { ui::SetControlText(Ctl(id), t); };
    check(idCbRedial, c.Redial);
    check(idCbKeep, c.Keep);
    text(idEdRedialCount, c.RedialCount);
    text(idEdRedialInterval, c.RedialInterval);
    check(idCbAutoConnectRun, c.AutoConnectRun);
    check(idCbAutoConnectRunTime, c.AutoConnectRunTime);
    check(idCbAutoConnectTime, c.AutoConnectTime);
    text(idEdAutoConnectTimeHour, c.AutoConnectTimeHour);
    text(idEdAutoConnectTimeMinute, c.AutoConnectTimeMinute);
    check(idCbAutoDisconnectEnd, c.AutoDisconnectEnd);
    check(idCbAutoDisconnectTime, c.AutoDisconnectTime);
    text(idEdAutoDisconnectTimeHour, c.AutoDisconnectTimeHour);
    text(idEdAutoDisconnectTimeMinute, c.AutoDisconnectTimeMinute);
    check(idCbAutoDisconnectTimeReset, c.AutoDisconnectTimeReset);
    SendMessageW(Ctl(idCbStatusLocate), CB_SETCURSEL, static_cast<WPARAM>(c.StatusLocate), 0);
    check(idCbStatusCloseBar, c.StatusCloseBar);
    check(idCbStatusAlpha, c.StatusAlpha);
    SendMessageW(Ctl(idTbStatusAlphaCount), TBM_SETPOS, TRUE, c.StatusAlphaCount);
    check(idRbKMSLogin, c.KMSLogin);
    check(idRbKMSLogout, !c.KMSLogin);
    check(idCbKMSComputer, c.KMSComputer);
    text(idEdKMSComputerCount, std::to_string(working_.size()));
    check(idCbKMSPassword, c.KMSPassword);
    text(idEdKMSPasswordText, c.KMSPasswordText);
    check(idCbKMSPort, c.KMSPort);
    text(idEdKMSPort, c.KMSPortNo);
}

OptionControls TOptionForm::ReadControls() const
{
    auto checked = [&](int id) { return ui::Checked(Ctl(id)); };
    auto text = [&](int id) { return ui::ControlText(Ctl(id)); };
    OptionControls c;
    const auto dialup = SendMessageW(Ctl(idCbDialup), CB_GETCURSEL, 0, 0);
    if (dialup >= 0 && dialup < static_cast<LRESULT>(phonebook_.size()))
        c.Dialup = phonebook_[static_cast<std::size_t>(dialup)];
    c.Redial = checked(idCbRedial);
    c.Keep = checked(idCbKeep);
    c.RedialCount = text(idEdRedialCount);
    c.RedialInterval = text(idEdRedialInterval);
    c.AutoConnectRun = checked(idCbAutoConnectRun);
    c.AutoConnectRunTime = checked(idCbAutoConnectRunTime);
    c.AutoConnectTime = checked(idCbAutoConnectTime);
    c.AutoConnectTimeHour = text(idEdAutoConnectTimeHour);
    c.AutoConnectTimeMinute = text(idEdAutoConnectTimeMinute);
    c.AutoDisconnectEnd = checked(idCbAutoDisconnectEnd);
    c.AutoDisconnectTime = checked(idCbAutoDisconnectTime);
    c.AutoDisconnectTimeHour = text(idEdAutoDisconnectTimeHour);
    c.AutoDisconnectTimeMinute = text(idEdAutoDisconnectTimeMinute);
    c.AutoDisconnectTimeReset = checked(idCbAutoDisconnectTimeReset);
    c.StatusLocate = static_cast<int>(SendMessageW(Ctl(idCbStatusLocate), CB_GETCURSEL, 0, 0));
    c.StatusCloseBar = checked(idCbStatusCloseBar);
    c.StatusAlpha = checked(idCbStatusAlpha);
    c.StatusAlphaCount = static_cast<int>(SendMessageW(Ctl(idTbStatusAlphaCount), TBM_GETPOS, 0, 0));
    c.KMSLogin = checked(idRbKMSLogin);
    c.KMSComputer = checked(idCbKMSComputer);
    c.KMSPassword = checked(idCbKMSPassword);
    c.KMSPasswordText = text(idEdKMSPasswordText);
    c.KMSPort = checked(idCbKMSPort);
    c.KMSPortNo = text(idEdKMSPort);
    return c;
}

void TOptionForm::RunRules()
{
    const OptionControls c = ReadControls();
    const OptionEnabling e = OptionEnablingFor(c, layered_);

    EnableControl(Ctl(idEdRedialCount), e.RedialCount);
    Grey(laRedialCount1_, e.RedialCount);
    Grey(laRedialCount2_, e.RedialCount);
    EnableControl(Ctl(idEdRedialInterval), e.RedialInterval);
    Grey(laRedialInterval1_, e.RedialInterval);
    Grey(laRedialInterval2_, e.RedialInterval);

    EnableControl(Ctl(idCbAutoConnectRunTime), e.AutoConnectRunTime);
    EnableControl(Ctl(idEdAutoConnectTimeHour), e.StartTime);
    EnableControl(Ctl(idEdAutoConnectTimeMinute), e.StartTime);
    for (HWND label : laAutoConnectTime_)
        Grey(label, e.StartTime);
    EnableControl(Ctl(idEdAutoDisconnectTimeHour), e.EndTime);
    EnableControl(Ctl(idEdAutoDisconnectTimeMinute), e.EndTime);
    EnableControl(Ctl(idCbAutoDisconnectTimeReset), e.EndTime);
    for (HWND label : laAutoDisconnectTime_)
        Grey(label, e.EndTime);

    EnableControl(Ctl(idCbStatusCloseBar), e.StatusCloseBar);
    EnableControl(Ctl(idCbStatusAlpha), e.StatusAlpha);
    EnableControl(Ctl(idTbStatusAlphaCount), e.StatusAlphaCount);
    Grey(laStatusAlpha_, e.StatusAlphaCount);
    Grey(laStatusAlphaCount_, e.StatusAlphaCount);
    ui::SetControlText(laStatusAlphaCount_, TransparencyText(c.StatusAlphaCount));

    colors_.Set(laKMSLabel1_1_, e.KMSSection ? ui::kRed : ui::kGrey);
    colors_.Set(laKMSLabel2_1_, e.KMSSection ? ui::kRed : ui::kGrey);
    colors_.Set(laKMSLabel1_2_, e.KMSSection ? ui::kTeal : ui::kGrey);
    colors_.Set(laKMSLabel2_2_, e.KMSSection ? ui::kTeal : ui::kGrey);
    EnableControl(Ctl(idCbKMSComputer), e.KMSSection);
    EnableControl(Ctl(idCbKMSPassword), e.KMSSection);
    EnableControl(Ctl(idCbKMSPort), e.KMSSection);
    EnableControl(Ctl(idEdKMSComputerCount), e.KMSComputer);
    EnableControl(Ctl(idBtKMSComputerCount), e.KMSComputer);
    Grey(laKMSComputerCount1_, e.KMSComputer);
    Grey(laKMSComputerCount2_, e.KMSComputer);
    EnableControl(Ctl(idEdKMSPasswordText), e.KMSPassword);
    Grey(laKMSPasswordText_, e.KMSPassword);
    EnableControl(Ctl(idEdKMSPort), e.KMSPort);
    Grey(laKMSPort_, e.KMSPort);

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
    switch (field) {
    case OptionField::RedialCount:
        return Ctl(idEdRedialCount);
    case OptionField::RedialInterval:
        return Ctl(idEdRedialInterval);
    case OptionField::AutoConnectTimeHour:
        return Ctl(idEdAutoConnectTimeHour);
    case OptionField::AutoConnectTimeMinute:
        return Ctl(idEdAutoConnectTimeMinute);
    case OptionField::AutoDisconnectTimeHour:
        return Ctl(idEdAutoDisconnectTimeHour);
    case OptionField::AutoDisconnectTimeMinute:
        return Ctl(idEdAutoDisconnectTimeMinute);
    case OptionField::KMSPasswordText:
        return Ctl(idEdKMSPasswordText);
    case OptionField::KMSPort:
        return Ctl(idEdKMSPort);
    }
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
    case idCbDialup:
    case idCbStatusLocate:
        if (code == CBN_SELCHANGE)
            RunRules();
        return;
    case idEdRedialCount:
    case idEdRedialInterval:
    case idEdAutoConnectTimeHour:
    case idEdAutoConnectTimeMinute:
    case idEdAutoDisconnectTimeHour:
    case idEdAutoDisconnectTimeMinute:
    case idEdKMSComputerCount:
    case idEdKMSPasswordText:
    case idEdKMSPort:
        if (code == EN_CHANGE)
            EnableControl(Ctl(idBtUpdate), true);
        return;
    default:
        if (code == BN_CLICKED && id > 1000 && id < 1100)
            RunRules();  // a check box or radio button
        return;
    }
}

LRESULT CALLBACK TOptionForm::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        auto* self = static_cast<TOptionForm*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<TOptionForm*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->window_ = nullptr;
        if (OptionForm == self)
            OptionForm = nullptr;
        // The form frees itself once its window is gone; when that happens inside one of its
        // own handlers (a message box or the computers dialog pumps messages, and the program
        // may end meanwhile), once that handler has returned.
        if (self->busy_ == 0)
            delete self;
        return DefWindowProcW(window, message, wParam, lParam);
    }
    ++self->busy_;
    const LRESULT result = self->Handle(message, wParam, lParam);
    if (--self->busy_ == 0 && !self->window_)
        delete self;
    return result;
}

LRESULT TOptionForm::Handle(UINT message, WPARAM wParam, LPARAM lParam)
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
