// The options dialog as a table: one row per child window it makes, in the order it makes them,
// with the row's place (96-dpi pixels on its page), text, help-context number, the setting it
// shows and the rule that enables it. The window side builds the dialog from these rows and
// moves values through them; the end-to-end tests read the controls' identifiers from them
// (tests/e2e/controls.sh reads each row's `.Name = "...", .Id = ...`).
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "DpiScale.h"
#include "Settings.h"

namespace kiv {

// The pages of the options dialog, in tab order.
enum class OptionPage { Dialup, Schedule, Status, KMS };

struct OptionPageTexts {
    const char* Caption;
    const char* Header;
};
inline constexpr OptionPageTexts kOptionPages[] = {
    {"ダイヤルアップ", "     制御するダイヤルアップの設定を行うことができます。"},
    {"スケジュール", "     スケジュールに応じてアクションを自動実行することができます。"},
    {"ステータスウィンドウ", "     イベントをデスクトップへクールに表示させることができます。"},
    {"KestrelMesh", "     ネットワーク内の他のPCより遠隔操作をすることができます。"},
};

// The enabling rules: which controls are enabled, and so whose labels are greyed, as a
// function of the ticks (OptionEnablingFor in OptionLogic.h).
struct OptionEnabling {
    bool RedialCount = false;
    bool RedialInterval = false;
    bool AutoConnectRunTime = false;
    bool StartTime = false;
    bool EndTime = false;
    bool StatusCloseBar = false;
    bool StatusAlpha = false;
    bool StatusAlphaCount = false;
    bool KMSSection = false;  // the section's check boxes; its headings in colour
    bool KMSComputer = false;
    bool KMSPassword = false;
    bool KMSPort = false;

    bool operator==(const OptionEnabling&) const = default;
};

enum class OptionRowKind {
    Tabs,           // the page control; the pages are made right after it
    Heading,        // a red "■" and a teal bold title, both grey while the rule is off
    Label,          // a static text, grey while the rule is off
    ValueLabel,     // a static text the dialog writes (the transparency)
    CheckBox,
    RadioButton,    // checked while its Boolean setting is on (off with ShowsOff)
    Edit,           // its text as typed
    NumberEdit,     // the same, right-aligned
    PasswordEdit,   // shows "*" for every character
    CountEdit,      // read-only, right-aligned: the number of authorised computers
    PhonebookList,  // drop-down list of the phonebook's entries; the setting is the chosen name
    ChoiceList,     // drop-down list of Items; the setting is the chosen item's index
    TrackBar,       // horizontal, without ticks; its range is its setting's
    PushButton,
};

// A control's place on its page, in 96-dpi pixels (scaled to the dialog's dpi by ScaleRect).
using OptionRect = DialogRect;

// How an edit's text reaches its setting on apply.
enum class EditCopy {
    NumberOrOld,         // the number typed; the old value when the text is no number
    PositiveOrOld,       // the number typed when it is above 0; else the old value
    NumberInRangeOrOld,  // the number typed (or the old value) brought into the setting's range
    Text,                // the text as typed
};

struct OptionRow {
    OptionRowKind Kind;
    // None: on the form, under the pages.
    std::optional<OptionPage> Page = std::nullopt;
    // The control's name in the program and its tests; none for plain labels and headings.
    const char* Name = nullptr;
    // 1000 + the help-context number where the control has one.
    int Id = 0;
    unsigned HelpId = 0;
    const char* Text = "";
    OptionRect Rect{};
    // The setting the control shows.
    SettingMember Setting{};
    bool ShowsOff = false;
    EditCopy Copy = EditCopy::NumberOrOld;
    int MaxLength = 0;  // characters an edit takes; 0: no limit
    bool Group = false;  // starts a group (a radio button that starts one is also a tab stop)
    // The rule that enables it (and greys a label or heading); none: always enabled.
    bool OptionEnabling::*Enabled = nullptr;
    std::span<const char* const> Items{};
};

inline constexpr const char* kStatusLocateItems[] = {"（表示しない）", "デスクトップ左上", "デスクトップ右上",
                                                     "デスクトップ左下", "デスクトップ右下"};

namespace option_rows {

using K = OptionRowKind;
using P = OptionPage;
using S = TSettings;
using E = OptionEnabling;
using C = EditCopy;

// A new setting with a control is one row here (and its row in Settings.cpp).
// clang-format off
inline constexpr OptionRow kRows[] = {
    {.Kind = K::Tabs, .Name = "idPcOption", .Id = 1100, .Rect = {4, 4, 413, 309}},
    // Dial-up.
    {.Kind = K::Heading, .Page = P::Dialup, .Text = "制御対象", .Rect = {8, 40, 214, 14}},
    {.Kind = K::Label, .Page = P::Dialup, .Text = "ダイヤルアップ", .Rect = {24, 62, 80, 14}},
    {.Kind = K::PhonebookList, .Page = P::Dialup, .Name = "idCbDialup", .Id = 1002,
     .HelpId = 2, .Rect = {110, 58, 220, 200}, .Setting = &S::Target},
    {.Kind = K::Heading, .Page = P::Dialup, .Text = "リダイヤル設定", .Rect = {8, 92, 214, 14}},
    {.Kind = K::CheckBox, .Page = P::Dialup, .Name = "idCbRedial", .Id = 1003, .HelpId = 3,
     .Text = "接続に失敗した時、自動的にリダイヤルする", .Rect = {24, 110, 360, 18},
     .Setting = &S::Redial, .Group = true},
    {.Kind = K::CheckBox, .Page = P::Dialup, .Name = "idCbKeep", .Id = 1004, .HelpId = 4,
     .Text = "回線が切断された時、自動的にリダイヤルする", .Rect = {24, 132, 360, 18},
     .Setting = &S::Keep},
    {.Kind = K::Heading, .Page = P::Dialup, .Text = "リダイヤル詳細", .Rect = {8, 162, 214, 14}},
    {.Kind = K::Label, .Page = P::Dialup, .Text = "リダイヤルする回数",
     .Rect = {24, 184, 110, 14}, .Enabled = &E::RedialCount},
    {.Kind = K::NumberEdit, .Page = P::Dialup, .Name = "idEdRedialCount", .Id = 1005,
     .HelpId = 5, .Rect = {138, 180, 36, 20}, .Setting = &S::RedialCount, .MaxLength = 3,
     .Enabled = &E::RedialCount},
    {.Kind = K::Label, .Page = P::Dialup, .Text = "回", .Rect = {180, 184, 30, 14},
     .Enabled = &E::RedialCount},
    {.Kind = K::Label, .Page = P::Dialup, .Text = "リダイヤルする間隔",
     .Rect = {24, 212, 110, 14}, .Enabled = &E::RedialInterval},
    {.Kind = K::NumberEdit, .Page = P::Dialup, .Name = "idEdRedialInterval", .Id = 1006,
     .HelpId = 6, .Rect = {138, 208, 36, 20}, .Setting = &S::RedialInterval,
     .Copy = C::PositiveOrOld, .MaxLength = 3, .Enabled = &E::RedialInterval},
    {.Kind = K::Label, .Page = P::Dialup, .Text = "秒後", .Rect = {180, 212, 40, 14},
     .Enabled = &E::RedialInterval},
    // Schedule.
    {.Kind = K::Heading, .Page = P::Schedule, .Text = "自動接続", .Rect = {8, 38, 214, 14}},
    {.Kind = K::CheckBox, .Page = P::Schedule, .Name = "idCbAutoConnectRun", .Id = 1007,
     .HelpId = 7, .Text = "Kivの起動と同時に接続する", .Rect = {24, 56, 360, 18},
     .Setting = &S::AutoConnectRun, .Group = true},
    {.Kind = K::CheckBox, .Page = P::Schedule, .Name = "idCbAutoConnectRunTime", .Id = 1008,
     .HelpId = 8, .Text = "開始時間から終了時間の間に起動した時のみ接続する", .Rect = {44, 76, 340, 18},
     .Setting = &S::AutoConnectRunTime, .Enabled = &E::AutoConnectRunTime},
    {.Kind = K::CheckBox, .Page = P::Schedule, .Name = "idCbAutoConnectTime", .Id = 1009,
     .HelpId = 9, .Text = "指定した時間を過ぎたら自動的に接続する", .Rect = {24, 96, 360, 18},
     .Setting = &S::AutoStart},
    {.Kind = K::Label, .Page = P::Schedule, .Text = "開始時間", .Rect = {44, 122, 54, 14},
     .Enabled = &E::StartTime},
    {.Kind = K::NumberEdit, .Page = P::Schedule, .Name = "idEdAutoConnectTimeHour",
     .Id = 1010, .HelpId = 10, .Rect = {100, 118, 28, 20}, .Setting = &S::AutoStartHour,
     .Copy = C::NumberInRangeOrOld, .MaxLength = 2, .Enabled = &E::StartTime},
    {.Kind = K::Label, .Page = P::Schedule, .Text = "時", .Rect = {132, 122, 16, 14},
     .Enabled = &E::StartTime},
    {.Kind = K::NumberEdit, .Page = P::Schedule, .Name = "idEdAutoConnectTimeMinute",
     .Id = 1110, .HelpId = 10, .Rect = {150, 118, 28, 20}, .Setting = &S::AutoStartMinute,
     .Copy = C::NumberInRangeOrOld, .MaxLength = 2, .Enabled = &E::StartTime},
    {.Kind = K::Label, .Page = P::Schedule, .Text = "分", .Rect = {182, 122, 16, 14},
     .Enabled = &E::StartTime},
    {.Kind = K::Heading, .Page = P::Schedule, .Text = "自動切断", .Rect = {8, 150, 214, 14}},
    {.Kind = K::CheckBox, .Page = P::Schedule, .Name = "idCbAutoDisconnectEnd", .Id = 1011,
     .HelpId = 11, .Text = "Kivの終了と同時に切断する", .Rect = {24, 168, 360, 18},
     .Setting = &S::AutoDisconnectEnd},
    {.Kind = K::CheckBox, .Page = P::Schedule, .Name = "idCbAutoDisconnectTime", .Id = 1012,
     .HelpId = 12, .Text = "指定した時間を過ぎたら自動的に切断する", .Rect = {24, 188, 360, 18},
     .Setting = &S::AutoEnd},
    {.Kind = K::Label, .Page = P::Schedule, .Text = "終了時間", .Rect = {44, 214, 54, 14},
     .Enabled = &E::EndTime},
    {.Kind = K::NumberEdit, .Page = P::Schedule, .Name = "idEdAutoDisconnectTimeHour",
     .Id = 1023, .HelpId = 23, .Rect = {100, 210, 28, 20}, .Setting = &S::AutoEndHour,
     .Copy = C::NumberInRangeOrOld, .MaxLength = 2, .Enabled = &E::EndTime},
    {.Kind = K::Label, .Page = P::Schedule, .Text = "時", .Rect = {132, 214, 16, 14},
     .Enabled = &E::EndTime},
    {.Kind = K::NumberEdit, .Page = P::Schedule, .Name = "idEdAutoDisconnectTimeMinute",
     .Id = 1123, .HelpId = 23, .Rect = {150, 210, 28, 20}, .Setting = &S::AutoEndMinute,
     .Copy = C::NumberInRangeOrOld, .MaxLength = 2, .Enabled = &E::EndTime},
    {.Kind = K::Label, .Page = P::Schedule, .Text = "分", .Rect = {182, 214, 16, 14},
     .Enabled = &E::EndTime},
    {.Kind = K::CheckBox, .Page = P::Schedule, .Name = "idCbAutoDisconnectTimeReset",
     .Id = 1013, .HelpId = 13, .Text = "自動切断後にWindowsを終了する", .Rect = {44, 238, 340, 18},
     .Setting = &S::AutoDisconnectTimeReset, .Enabled = &E::EndTime},
    // Status window.
    {.Kind = K::Heading, .Page = P::Status, .Text = "表示位置", .Rect = {8, 40, 214, 14}},
    {.Kind = K::Label, .Page = P::Status, .Text = "表示位置", .Rect = {24, 62, 60, 14}},
    {.Kind = K::ChoiceList, .Page = P::Status, .Name = "idCbStatusLocate", .Id = 1014,
     .HelpId = 14, .Rect = {90, 58, 200, 200}, .Setting = &S::StatusLocate,
     .Items = kStatusLocateItems},
    {.Kind = K::Heading, .Page = P::Status, .Text = "エフェクト", .Rect = {8, 96, 214, 14}},
    {.Kind = K::CheckBox, .Page = P::Status, .Name = "idCbStatusCloseBar", .Id = 1015,
     .HelpId = 15, .Text = "クローズバーを表示する", .Rect = {24, 114, 360, 18},
     .Setting = &S::StatusCloseBar, .Group = true, .Enabled = &E::StatusCloseBar},
    {.Kind = K::CheckBox, .Page = P::Status, .Name = "idCbStatusAlpha", .Id = 1016,
     .HelpId = 16, .Text = "アルファブレンド表示する", .Rect = {24, 136, 360, 18},
     .Setting = &S::StatusAlpha, .Enabled = &E::StatusAlpha},
    {.Kind = K::Label, .Page = P::Status, .Text = "透過率", .Rect = {44, 166, 40, 14},
     .Enabled = &E::StatusAlphaCount},
    {.Kind = K::TrackBar, .Page = P::Status, .Name = "idTbStatusAlphaCount", .Id = 1017,
     .HelpId = 17, .Rect = {88, 160, 220, 26}, .Setting = &S::StatusAlphaCount,
     .Enabled = &E::StatusAlphaCount},
    {.Kind = K::ValueLabel, .Page = P::Status, .Name = "idLaStatusAlphaCount", .Id = 2001,
     .Rect = {314, 166, 60, 14}, .Enabled = &E::StatusAlphaCount},
    {.Kind = K::Heading, .Page = P::Status, .Text = "記録", .Rect = {8, 200, 214, 14}},
    {.Kind = K::CheckBox, .Page = P::Status, .Name = "idCbWriteLog", .Id = 1027, .HelpId = 27,
     .Text = "起きたことをKiv.logに記録する", .Rect = {24, 218, 360, 18}, .Setting = &S::WriteLog,
     .Group = true},
    // KestrelMesh.
    {.Kind = K::Heading, .Page = P::KMS, .Text = "ログイン", .Rect = {8, 36, 214, 14}},
    {.Kind = K::RadioButton, .Page = P::KMS, .Name = "idRbKMSLogout", .Id = 1018,
     .HelpId = 18, .Text = "KestrelMeshにログインしない", .Rect = {24, 52, 360, 18},
     .Setting = &S::KMSLogin, .ShowsOff = true, .Group = true},
    {.Kind = K::RadioButton, .Page = P::KMS, .Name = "idRbKMSLogin", .Id = 1019,
     .HelpId = 19, .Text = "KestrelMeshにログインする", .Rect = {24, 70, 360, 18}, .Setting = &S::KMSLogin},
    {.Kind = K::Heading, .Page = P::KMS, .Text = "セキュリティ", .Rect = {8, 94, 214, 14},
     .Enabled = &E::KMSSection},
    {.Kind = K::CheckBox, .Page = P::KMS, .Name = "idCbKMSComputer", .Id = 1056,
     .HelpId = 56, .Text = "コンピュータ名による認証チェックを行う", .Rect = {24, 110, 360, 18},
     .Setting = &S::KMSComputer, .Group = true, .Enabled = &E::KMSSection},
    {.Kind = K::Label, .Page = P::KMS, .Text = "設定済みコンピュータ数",
     .Rect = {44, 134, 124, 14}, .Enabled = &E::KMSComputer},
    {.Kind = K::CountEdit, .Page = P::KMS, .Name = "idEdKMSComputerCount", .Id = 1057,
     .HelpId = 57, .Rect = {170, 130, 36, 20}, .Enabled = &E::KMSComputer},
    {.Kind = K::Label, .Page = P::KMS, .Text = "台", .Rect = {210, 134, 16, 14},
     .Enabled = &E::KMSComputer},
    {.Kind = K::PushButton, .Page = P::KMS, .Name = "idBtKMSComputerCount", .Id = 1058,
     .HelpId = 58, .Text = "認証コンピュータ設定(&A)", .Rect = {236, 129, 150, 22},
     .Enabled = &E::KMSComputer},
    {.Kind = K::CheckBox, .Page = P::KMS, .Name = "idCbKMSPassword", .Id = 1059,
     .HelpId = 59, .Text = "パスワードによる認証チェックを行う", .Rect = {24, 156, 360, 18},
     .Setting = &S::KMSPasswordFlag, .Enabled = &E::KMSSection},
    {.Kind = K::Label, .Page = P::KMS, .Text = "パスワード", .Rect = {44, 180, 60, 14},
     .Enabled = &E::KMSPassword},
    {.Kind = K::PasswordEdit, .Page = P::KMS, .Name = "idEdKMSPasswordText", .Id = 1020,
     .HelpId = 20, .Rect = {110, 176, 160, 20}, .Setting = &S::KMSPassword,
     .Copy = C::Text, .Enabled = &E::KMSPassword},
    {.Kind = K::Heading, .Page = P::KMS, .Text = "ポート番号", .Rect = {8, 204, 214, 14},
     .Enabled = &E::KMSSection},
    {.Kind = K::CheckBox, .Page = P::KMS, .Name = "idCbKMSPort", .Id = 1021, .HelpId = 21,
     .Text = "ポート番号を手動で設定する", .Rect = {24, 220, 360, 18}, .Setting = &S::KMSPort,
     .Enabled = &E::KMSSection},
    {.Kind = K::Label, .Page = P::KMS, .Text = "ポート番号", .Rect = {44, 244, 60, 14},
     .Enabled = &E::KMSPort},
    {.Kind = K::NumberEdit, .Page = P::KMS, .Name = "idEdKMSPort", .Id = 1022, .HelpId = 22,
     .Rect = {110, 240, 50, 20}, .Setting = &S::KMSPortNo, .MaxLength = 5,
     .Enabled = &E::KMSPort},
    // The buttons under the pages.
    {.Kind = K::PushButton, .Name = "idBtOk", .Id = 1024, .HelpId = 24, .Text = "OK(&O)",
     .Rect = {180, 318, 75, 23}, .Group = true},
    {.Kind = K::PushButton, .Name = "idBtCancel", .Id = 1025, .HelpId = 25, .Text = "キャンセル(&C)",
     .Rect = {261, 318, 75, 23}},
    {.Kind = K::PushButton, .Name = "idBtUpdate", .Id = 1026, .HelpId = 26, .Text = "適用(&A)",
     .Rect = {342, 318, 75, 23}},
};
// clang-format on

}  // namespace option_rows

inline constexpr auto& kOptionRows = option_rows::kRows;

// The authorised computers dialog's controls with help-context numbers.
struct DialogControl {
    const char* Name;
    int Id;
    unsigned HelpId;
};
inline constexpr DialogControl kOptionUserControls[] = {
    {.Name = "idLvUser", .Id = 1060, .HelpId = 60},      {.Name = "idUserBtEdit", .Id = 1061, .HelpId = 61},
    {.Name = "idUserBtNew", .Id = 1062, .HelpId = 62},   {.Name = "idUserBtDelete", .Id = 1063, .HelpId = 63},
    {.Name = "idUserBtOk", .Id = 1064, .HelpId = 64},    {.Name = "idUserBtCancel", .Id = 1065, .HelpId = 65},
};

// The identifier of the options dialog's control of that name; a name without a row does not
// compile.
consteval int OptionControlId(std::string_view name)
{
    for (const OptionRow& row : kOptionRows)
        if (row.Name && name == row.Name)
            return row.Id;
    throw "no control of that name";
}

consteval const DialogControl& OptionUserControl(std::string_view name)
{
    for (const DialogControl& control : kOptionUserControls)
        if (name == control.Name)
            return control;
    throw "no control of that name";
}

// The row of a control identifier; null for none.
const OptionRow* OptionRowOf(int id);

}  // namespace kiv
