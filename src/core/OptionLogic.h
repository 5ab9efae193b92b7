// The decisions of the options dialog and the authorised computers dialog: what the controls
// hold, which of them are enabled, the checks of an apply and how the controls reach the
// settings. The windows only move these values in and out of their controls.
#pragma once

#include <map>
#include <optional>
#include <string>

#include "OptionDialog.h"
#include "Settings.h"
#include "StringList.h"

namespace kiv {

class RasPort;

// What the options dialog's controls hold, by the setting each one shows (OptionDialog.h).
struct OptionControls {
    // Check boxes, radio buttons, lists and the track bar, as their settings' values. Target is
    // the chosen phonebook entry, empty when none is chosen.
    TSettings Values;
    // Edits' texts as typed, by the key of the setting each one shows.
    std::map<std::string, std::string> Typed;

    std::string& Text(SettingMember setting) { return Typed[SettingRowOf(setting).Key]; }
    std::string Text(SettingMember setting) const;

    bool operator==(const OptionControls&) const = default;
};

// The controls as the dialog fills them from the settings when it opens. dialupName is the
// phonebook entry selected in cbDialup (the target's entry, empty when it is not listed).
OptionControls OptionControlsFromSettings(const TSettings& settings, const std::string& dialupName);

// The phonebook's names in index order; none when the service is unavailable.
StringList PhonebookNames(RasPort& ras);

OptionEnabling OptionEnablingFor(const OptionControls& controls, bool layeredWindows);

struct OptionCheckFailure {
    int Number;  // 1..9, the order in which the checks run
    OptionPage Page;
    // The setting of the edit that gets the focus.
    SettingMember Focus;
    const char* Message;
};

// The checks of an apply, in order; the first that fails, or nothing when all pass.
std::optional<OptionCheckFailure> CheckOptions(const OptionControls& controls, const OptionEnabling& enabling);

// An edit's text read as an integer (the settings file's own reading), nothing when it is not one.
std::optional<int> OptionInteger(const std::string& text);

// The restart notice for the KestrelMesh port is due.
bool PortNoticeNeeded(const OptionControls& controls, const TSettings& settings);

// The end hour or minute in the controls differs from the settings.
bool EndTimeChanged(const OptionControls& controls, const TSettings& settings);

// Copies the controls into the settings, each edit by its row's EditCopy: edits that do not
// hold a number keep the old value; the hour and minute of a time whose box is clear are not
// checked by the apply and are brought into range here, so that the schedule always reads a
// valid time.
void CopyOptionsToSettings(const OptionControls& controls, TSettings& settings);

// The transparency shown beside the track bar: "21.6%" for 200.
std::string TransparencyText(int position);

// The rows of the authorised computers dialog taken back as the working list: in order, a
// name dropped when an equal one (letters a..z compared as upper case) is already taken.
StringList TakeBackComputerNames(const StringList& rows);

// Edit and Delete of the authorised computers dialog for a number of selected rows.
struct OptionUserButtons {
    bool Edit = false;
    bool Delete = false;
    bool operator==(const OptionUserButtons&) const = default;
};
OptionUserButtons OptionUserButtonsFor(int selectedCount);

// Left (or top) of a window of ownSize centred over one at ownerPos of ownerSize; the half
// rounded towards zero.
int CentredOver(int ownerPos, int ownerSize, int ownSize);

// Texts of the dialogs' message boxes.
inline constexpr char kOptionRedialCountMessage[] = "リダイヤル回数の設定は「1～999」の範囲で入力してください。";
inline constexpr char kOptionRedialIntervalMessage[] = "リダイヤル間隔の設定は「1～999」の範囲で入力してください。";
inline constexpr char kOptionHourMessage[] = "時の設定は「0～23」の範囲で入力してください。";
inline constexpr char kOptionMinuteMessage[] = "分の設定は「0～59」の範囲で入力してください。";
inline constexpr char kOptionSameTimeMessage[] = "開始時間と終了時間を同じ時刻に設定することはできません。";
inline constexpr char kOptionPasswordMessage[] = "パスワードを設定してください。";
inline constexpr char kOptionPortMessage[] = "ポート番号は「1024～65535」の範囲で設定してください。";
inline constexpr char kOptionPortNotice[] = "ポート番号の変更は、Kiv再起動後に有効になります。";
inline constexpr char kOptionUserDeleteQuestion[] = "選択しているコンピュータを削除します。よろしいですか？";
inline constexpr char kOptionUserNewName[] = "（新規コンピュータ名）";

}  // namespace kiv
