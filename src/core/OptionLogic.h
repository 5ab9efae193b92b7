// The decisions of the options dialog and the authorised computers dialog: what the controls
// hold, which of them are enabled, the checks of an apply and how the controls reach the
// settings. The windows only move these values in and out of their controls.
#pragma once

#include <optional>
#include <string>

#include "Settings.h"
#include "StringList.h"

namespace kiv {

class RasPort;

// The contents of the options dialog's controls. Edits hold their text as typed.
struct OptionControls {
    // cbDialup: the selected item's text, empty when nothing is selected.
    std::string Dialup;
    bool Redial = false;
    bool Keep = false;
    std::string RedialCount;
    std::string RedialInterval;

    bool AutoConnectRun = false;
    bool AutoConnectRunTime = false;
    bool AutoConnectTime = false;
    std::string AutoConnectTimeHour;
    std::string AutoConnectTimeMinute;
    bool AutoDisconnectEnd = false;
    bool AutoDisconnectTime = false;
    std::string AutoDisconnectTimeHour;
    std::string AutoDisconnectTimeMinute;
    bool AutoDisconnectTimeReset = false;

    int StatusLocate = 0;  // item index of cbStatusLocate
    bool StatusCloseBar = false;
    bool StatusAlpha = false;
    int StatusAlphaCount = 1;  // track bar position

    bool KMSLogin = false;  // rbKMSLogin checked (else rbKMSLogout)
    bool KMSComputer = false;
    bool KMSPassword = false;
    std::string KMSPasswordText;
    bool KMSPort = false;
    std::string KMSPortNo;

    bool operator==(const OptionControls&) const = default;
};

// The controls as the dialog fills them from the settings when it opens. dialupName is the
// phonebook entry selected in cbDialup (the target's entry, empty when it is not listed).
OptionControls OptionControlsFromSettings(const TSettings& settings, const std::string& dialupName);

// The phonebook's names in index order; none when the service is unavailable.
StringList PhonebookNames(RasPort& ras);

// Which controls are enabled, and so whose labels are greyed, as a function of the ticks.
struct OptionEnabling {
    bool RedialCount = false;     // edRedialCount, laRedialCount1/2
    bool RedialInterval = false;  // edRedialInterval, laRedialInterval1/2
    bool AutoConnectRunTime = false;
    bool StartTime = false;  // both start-time edits, laAutoConnectTime1..3
    bool EndTime = false;    // both end-time edits, laAutoDisconnectTime1..3, cbAutoDisconnectTimeReset
    bool StatusCloseBar = false;
    bool StatusAlpha = false;
    bool StatusAlphaCount = false;  // the track bar, laStatusAlpha, laStatusAlphaCount
    bool KMSSection = false;  // cbKMSComputer, cbKMSPassword, cbKMSPort; section markers in colour
    bool KMSComputer = false;  // edKMSComputerCount, btKMSComputerCount, laKMSComputerCount1/2
    bool KMSPassword = false;  // edKMSPasswordText, laKMSPasswordText
    bool KMSPort = false;      // edKMSPort, laKMSPort

    bool operator==(const OptionEnabling&) const = default;
};

OptionEnabling OptionEnablingFor(const OptionControls& controls, bool layeredWindows);

// The pages of the options dialog, in tab order.
enum class OptionPage { Dialup, Schedule, Status, KMS };

// The edits that a failed check puts the focus on.
enum class OptionField {
    RedialCount,
    RedialInterval,
    AutoConnectTimeHour,
    AutoConnectTimeMinute,
    AutoDisconnectTimeHour,
    AutoDisconnectTimeMinute,
    KMSPasswordText,
    KMSPort,
};

struct OptionCheckFailure {
    int Number;  // 1..9, the order in which the checks run
    OptionPage Page;
    OptionField Focus;
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

// Copies the controls into the settings, every field but KMSLogin (set after the KestrelMesh
// step). Edits that do not hold an integer keep the old value. The hour and minute of a time
// whose box is clear are not checked by the apply; they are brought into 0..23 and 0..59 here
// so that the schedule always reads a valid time.
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
