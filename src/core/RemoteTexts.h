// Texts of the remote control dialogue with a KestrelMesh console: the keys of its prompts and
// the answers the console returns, the prompts (lines broken with CR) and the final messages,
// which expect no answer (lines broken with CR LF, after one header).
#pragma once

#include <string>

#include "StringList.h"

namespace kiv {

// Keys of the prompts; the console returns the key with its answer.
inline constexpr char kRemoteKeyPassword[] = "Password";
inline constexpr char kRemoteKeyMenu[] = "Menu";
inline constexpr char kRemoteKeyDialupChange[] = "DialupChange";
inline constexpr char kRemoteKeyWindowsEnd[] = "WindowsEnd";

// Answers of the main menu and of the shutdown question.
inline constexpr char kRemoteAnswerConnect[] = "Connect";
inline constexpr char kRemoteAnswerDeconnect[] = "Deconnect";
inline constexpr char kRemoteAnswerChange[] = "Change";
inline constexpr char kRemoteAnswerEnd[] = "End";
inline constexpr char kRemoteAnswerYes[] = "Yes";
inline constexpr char kRemoteAnswerNo[] = "No";

// Items of a select list are joined by this, with none after the last item.
inline constexpr char kRemoteListSeparator[] = "&:";
// Start of every item of the target list and of the menus: "■" and a space, 3 bytes.
inline constexpr char kRemoteItemMark[] = "■ ";
inline constexpr char kRemoteCancelItem[] = "キャンセル";

inline constexpr char kRemoteMenuHeader[] = "【Kiv KestrelMesh Menu】\r\r";
// Labels of the lines of the main menu's status block, which consoles read.
inline constexpr char kRemoteStatusTarget[] = "≪ダイヤルアップ制御≫";
inline constexpr char kRemoteStatusState[] = "≪接続状況≫";
inline constexpr char kRemoteStatusStart[] = "≪自動接続時間≫";
inline constexpr char kRemoteStatusEnd[] = "≪自動切断時間≫";
inline constexpr char kRemotePasswordQuestion[] = "Kivを制御するにはパスワードが必要です。\rパスワードを入力してください。";
inline constexpr char kRemotePasswordLabel[] = "パスワード";
inline constexpr char kRemotePasswordWrong[] = "■ 処理結果 ［パスワードが違います］\r\r";
inline constexpr char kRemoteMenuQuestion[] = "\r実行したい項目を選択してください。";
inline constexpr char kRemoteTargetQuestion[] = "\r\r制御対象を選択してください。";
inline constexpr char kRemoteNoSuchTarget[] = "■ 処理結果 ［指定された制御先は存在しません］\r\r";
inline constexpr char kRemoteTargetChangeCancelled[] = "■ 処理結果 ［制御対象の変更をキャンセルしました］\r\r";
inline constexpr char kRemoteShutdownQuestion[] = "制御先のPCをシャットダウンします。よろしいですか？";
inline constexpr char kRemoteShutdownShown[] = "■ いいえ&:■ はい";
inline constexpr char kRemoteShutdownFailed[] = "■ 処理結果 ［不明な理由でシャットダウン処理が中止されました］\r\r";
inline constexpr char kRemoteShutdownDeclined[] = "■ 処理結果 ［シャットダウン処理をキャンセルしました］\r\r";

// Items joined by "&:".
std::string JoinSelectList(const StringList& items);

// The returned values of the main menu and of the shutdown question, in the order shown.
std::string RemoteMenuReturns();
std::string RemoteShutdownReturns();

// Start of every final message.
inline constexpr char kRemoteMessageHeader[] = "【Kiv KestrelMesh Message】\r\n\r\n";

// Final messages that name no target.
inline const std::string kRemoteSettingsBroken = std::string(kRemoteMessageHeader) +
                                                 "Kivの設定に不備があります。\r\n"
                                                 "存在するダイヤルアップ接続設定が指定されているかどうか確認してください。";
inline const std::string kRemoteLocked =
    std::string(kRemoteMessageHeader) + "他のユーザが制御中です。\r\nしばらくしてから実行し直してください。";
inline const std::string kRemoteComputerRefused =
    std::string(kRemoteMessageHeader) + "あなたが使用しているコンピュータからのアクセスは許可されていません。\r\n"
                                        "アクセスの許可についてはKivの管理者にお問い合わせください。";
inline const std::string kRemoteShutdownStarted =
    std::string(kRemoteMessageHeader) +
    "シャットダウン処理が開始されました。\r\n\r\n"
    "制御先のKivがKestrelMeshからログアウトした後、制御先のPCが正常にシャットダウンされたかどうかを確認してください。";

// Texts that name the control target: prompts' result lines, then final messages.
std::string RemoteAlreadyDialling(const std::string& target);
std::string RemoteAlreadyConnected(const std::string& target);
std::string RemoteNotConnected(const std::string& target);
std::string RemoteTargetChanged(const std::string& target);
std::string RemoteDialStarted(const std::string& target);
std::string RemoteDialRefused(const std::string& target);
std::string RemoteDisconnected(const std::string& target);
std::string RemoteDisconnectFailed(const std::string& target);
// The dial's outcome, to the console that started it.
std::string RemoteConnectedText(const std::string& name);
std::string RemoteCancelledText(const std::string& name);
std::string RemoteFailedText(const std::string& name);
// The main menu's shown list.
std::string RemoteMenuShown(const std::string& target);

}  // namespace kiv
