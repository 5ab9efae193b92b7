// The remote control dialogue with a KestrelMesh console: its keys, its texts and the small
// pure helpers of its handlers (TMainForm::KMSMenuRequest, KMSInputReturn, CheckRemoteAccess
// in RemoteMenu.cpp). Menu texts break lines with CR, final messages with CR LF.
#pragma once

#include <string>

#include "Settings.h"
#include "StringList.h"

namespace kiv {

// Keys of the prompts; the console returns the key with its answer.
inline constexpr char kRemoteKeyPassword[] = "Password";
inline constexpr char kRemoteKeyMenu[] = "Menu";
inline constexpr char kRemoteKeyDialupChange[] = "DialupChange";
inline constexpr char kRemoteKeyWindowsEnd[] = "WindowsEnd";

// Items of a select list are joined by this, with none after the last item.
inline constexpr char kRemoteListSeparator[] = "&:";
// Start of every item of the target list and of the menus: "■" and a space, 3 bytes.
inline constexpr char kRemoteItemMark[] = "■ ";
inline constexpr char kRemoteCancelItem[] = "キャンセル";

inline constexpr char kRemoteMenuHeader[] = "【Kiv KestrelMesh Menu】\r\r";
inline constexpr char kRemotePasswordQuestion[] = "Kivを制御するにはパスワードが必要です。\rパスワードを入力してください。";
inline constexpr char kRemotePasswordLabel[] = "パスワード";
inline constexpr char kRemotePasswordWrong[] = "■ 処理結果 ［パスワードが違います］\r\r";
inline constexpr char kRemoteMenuQuestion[] = "\r実行したい項目を選択してください。";
inline constexpr char kRemoteMenuReturns[] = "Connect&:Deconnect&:Change&:End";
inline constexpr char kRemoteTargetQuestion[] = "\r\r制御対象を選択してください。";
inline constexpr char kRemoteNoSuchTarget[] = "■ 処理結果 ［指定された制御先は存在しません］\r\r";
inline constexpr char kRemoteTargetChangeCancelled[] = "■ 処理結果 ［制御対象の変更をキャンセルしました］\r\r";
inline constexpr char kRemoteShutdownQuestion[] = "制御先のPCをシャットダウンします。よろしいですか？";
inline constexpr char kRemoteShutdownShown[] = "■ いいえ&:■ はい";
inline constexpr char kRemoteShutdownReturns[] = "No&:Yes";
inline constexpr char kRemoteShutdownFailed[] = "■ 処理結果 ［不明な理由でシャットダウン処理が中止されました］\r\r";
inline constexpr char kRemoteShutdownDeclined[] = "■ 処理結果 ［シャットダウン処理をキャンセルしました］\r\r";

// Final messages (no answer expected) that name no target.
inline constexpr char kRemoteSettingsBroken[] =
    "【Kiv KestrelMesh Message】\r\n\r\nKivの設定に不備があります。\r\n"
    "存在するダイヤルアップ接続設定が指定されているかどうか確認してください。";
inline constexpr char kRemoteLocked[] =
    "【Kiv KestrelMesh Message】\r\n\r\n他のユーザが制御中です。\r\nしばらくしてから実行し直してください。";
inline constexpr char kRemoteComputerRefused[] =
    "【Kiv KestrelMesh Message】\r\n\r\nあなたが使用しているコンピュータからのアクセスは許可されていません。\r\n"
    "アクセスの許可についてはKivの管理者にお問い合わせください。";
inline constexpr char kRemoteShutdownStarted[] =
    "【Kiv KestrelMesh Message】\r\n\r\nシャットダウン処理が開始されました。\r\n\r\n"
    "制御先のKivがKestrelMeshからログアウトした後、制御先のPCが正常にシャットダウンされたかどうかを確認してください。";

// Texts that name the control target.
std::string RemoteAlreadyDialling(const std::string& target);
std::string RemoteAlreadyConnected(const std::string& target);
std::string RemoteNotConnected(const std::string& target);
std::string RemoteTargetChanged(const std::string& target);
std::string RemoteDialStarted(const std::string& target);
std::string RemoteDialRefused(const std::string& target);
std::string RemoteDisconnected(const std::string& target);
std::string RemoteDisconnectFailed(const std::string& target);
// The main menu's shown list.
std::string RemoteMenuShown(const std::string& target);

// Items joined by "&:".
std::string JoinSelectList(const StringList& items);

// A computer name as the access check compares it: a to z become A to Z. The second byte of
// a double-byte character is left alone, so no Japanese name turns into another one.
std::string FoldComputerName(const std::string& name);

// The status block of the main menu: target, connection state (0, 1 or anything else) and
// the two scheduled times.
std::string RemoteStatusBlock(const TSettings& settings, int entryState);

// Start of a status message for an action of a console.
std::string RemoteStatusPrefix(const std::string& handleName, const std::string& machineName);

}  // namespace kiv
