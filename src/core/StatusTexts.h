// Every status message template of the program, byte for byte (stored as Shift-JIS).
// "\r" breaks a line in the status window; %D, %S, %C are filled by ShowStatus; a trailing
// "%A" and one digit is the action of the status icon.
#pragma once

namespace kiv {

inline constexpr char kStatusWelcome[] = "-Welcome to Kiv-\r";
inline constexpr char kStatusKMSLoggedIn[] = "KestrelMeshにログインしました。";
inline constexpr char kStatusKMSLoginFailed[] = "KestrelMeshのログインに失敗しました。";
inline constexpr char kStatusKMSLoggedOut[] = "KestrelMeshからログアウトしました。";
inline constexpr char kStatusNoTarget[] = "対象となるダイヤルアップ先が設定されていません。\rアイコンクリックでオプション画面を開くことができます。%A3";
inline constexpr char kStatusStateConnected[] = "現在、「%D」へ接続されています。\rアイコンクリックで切断することができます。%A2";
inline constexpr char kStatusStateDialling[] = "現在、「%D」へダイヤル中です。\rアイコンクリックでダイヤルをキャンセルすることができます。%A2";
inline constexpr char kStatusStateIdle[] = "現在、「%D」へは接続されていません。\rアイコンクリックでダイヤルアップを開始することができます。%A1";
inline constexpr char kStatusStateRedialWaiting[] = "現在、「%D」へのリダイヤル待ちです。\rアイコンクリックでリダイヤルをキャンセルすることができます。%A2";
inline constexpr char kStatusDialStarted[] = "「%D」へのダイヤルアップを開始します。\rアイコンクリックでキャンセルすることができます。%A2";
inline constexpr char kStatusDialFailed[] = "「%D」へのダイヤルアップに失敗しました。\rアイコンクリックで再度ダイヤルアップを開始することができます。%A1";
inline constexpr char kStatusDialFailedRedial[] = "「%D」へのダイヤルアップに失敗しました。\r%S秒後にリダイヤルします（残り%C回）。\rアイコンクリックでリダイヤルをキャンセルすることができます。%A2";
inline constexpr char kStatusDialFailedRedialsUsedUp[] = "「%D」へのダイヤルアップに失敗しました。\rリダイヤル回数に達した為、リダイヤル処理を中止します。\rアイコンクリックで再度ダイヤルアップを開始することができます。%A1";
inline constexpr char kStatusRedialStarted[] = "「%D」へのリダイヤルを開始します。";
inline constexpr char kStatusRedialFailed[] = "「%D」へのリダイヤルに失敗しました。";
inline constexpr char kStatusRedialCancelled[] = "「%D」へのリダイヤルをキャンセルしました。";
inline constexpr char kStatusConnected[] = "「%D」へ接続しました。";
inline constexpr char kStatusLineDroppedRedial[] = "「%D」から切断されました。\r%S秒後にリダイヤルします。\rアイコンクリックでリダイヤルをキャンセルすることができます。%A2";
inline constexpr char kStatusDialCancelled[] = "「%D」へのダイヤルアップ処理をキャンセルしました。";
inline constexpr char kStatusDisconnected[] = "「%D」から切断しました。";
inline constexpr char kStatusDisconnectFailed[] = "「%D」からの切断に失敗しました。";
inline constexpr char kStatusScheduleDialStarted[] = "スケジュールにより、「%D」へのダイヤルアップを開始します。\rアイコンクリックでキャンセルすることができます。%A2";
inline constexpr char kStatusScheduleWarningShutdown[] = "スケジュールにより、10秒後に「%D」から切断し、Windowsを終了します。\rアイコンクリックで自動切断をキャンセルすることができます。%A4";
inline constexpr char kStatusScheduleWarning[] = "スケジュールにより、10秒後に「%D」から切断します。\rアイコンクリックで自動切断をキャンセルすることができます。%A4";
inline constexpr char kStatusScheduleDialCancelled[] = "スケジュールにより、「%D」へのダイヤルアップ処理をキャンセルしました。";
inline constexpr char kStatusScheduleDisconnected[] = "スケジュールにより、「%D」から切断しました。";
inline constexpr char kStatusTargetSwitchedRedialWaiting[] = "制御対象を「%D」へ切り替えました。\r現在、「%D」へのリダイヤル待ちです。\rアイコンクリックでリダイヤルをキャンセルすることができます。%A2";
inline constexpr char kStatusTargetSwitchedConnected[] = "制御対象を「%D」へ切り替えました。\r現在、「%D」へ接続されています。\rアイコンクリックで切断することができます。%A2";
inline constexpr char kStatusTargetSwitchedDialling[] = "制御対象を「%D」へ切り替えました。\r現在、「%D」へダイヤル中です。\rアイコンクリックでダイヤルをキャンセルすることができます。%A2";
inline constexpr char kStatusTargetSwitchedIdle[] = "制御対象を「%D」へ切り替えました。\r現在、「%D」へは接続されていません。\rアイコンクリックでダイヤルアップを開始することができます。%A1";
inline constexpr char kStatusTargetSwitched[] = "制御対象を「%D」へ切り替えました。";

// Kiv.INI exists but cannot be read at start: its path and the reason follow on lines of their
// own. The start waits; after a while the user is asked (the box's buttons: 中止, 再試行, 無視).
inline constexpr char kStatusSettingsWaiting[] = "設定ファイルを読み込めないため、Kivの起動を待っています。";
inline constexpr char kSettingsUnreadableQuestion[] = "設定ファイルを読み込めません。";
inline constexpr char kSettingsUnreadableChoices[] =
    "［再試行］もう一度読み込みます。\r［無視］既定の設定で起動します。設定を保存すると、このファイルは書き換えられます。"
    "\r［中止］Kivを終了します。";
// A save of Kiv.INI did not reach the disk: its path and the reason follow, then kSettingsKept.
inline constexpr char kSettingsSaveFailed[] = "設定をKiv.INIに保存できませんでした。";
inline constexpr char kSettingsKept[] = "変更した設定は、Kivを終了するまで有効です。";
// The start found a save that was cut short.
inline constexpr char kStatusSettingsRestored[] =
    "前回の設定の保存が途中で終わっていたため、Kiv.INIを保存前の内容に戻しました。";
inline constexpr char kStatusSettingsCopyKept[] =
    "前回の設定の保存が途中で終わっています。保存前の内容はKiv.INI.undoにあります。";

// The second line of the box that tells of a failed hang-up at exit.
inline constexpr char kExitLineStillUp[] = "回線は接続されたままです。";

// Kiv.log could not be written; its path and the reason follow on lines of their own.
inline constexpr char kStatusLogFailed[] = "ログファイルに書き込めません。Kivは記録せずに動作を続けます。";

// Start of a status message raised by a remote console: prefix + HandleName + "<" +
// MachineName + ">-\r\r".
inline constexpr char kStatusRemotePrefix[] = "-Control from ";

// Message box of a start without the remote access service.
inline constexpr char kRasMissingText[] =
    "RAS（リモートアクセスサービス）が組み込まれていません。\rRASが組み込まれていない環境でKivを起動することはできません。";

}  // namespace kiv
