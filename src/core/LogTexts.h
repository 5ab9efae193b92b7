// The texts of Kiv.log's lines that are not status messages (those are logged as shown). Names
// (an entry's, a console's) are put in as they are: the log writes every text on one line.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "RasPort.h"

namespace kiv {

inline constexpr char kLogStarted[] = "Kivを起動しました。";
inline constexpr char kLogEnded[] = "Kivを終了しました。";
inline constexpr char kLogSessionEnding[] = "Windowsの終了（サインアウトか再起動）を受けました。";
inline constexpr char kLogResumed[] = "コンピュータがスリープから復帰しました。";
inline constexpr char kLogClockChanged[] = "時計が変更されました。";
inline constexpr char kLogTurnedOff[] = "設定により、記録を止めます。";
inline constexpr char kLogTurnedOn[] = "設定により、記録を始めます。";

inline constexpr char kLogStartupOutsideWindow[] = "起動時の自動接続: 接続する時間帯の外なので、ダイヤルしません。";

inline constexpr char kLogShutdownRequested[] = "Windowsの終了を要求します。";
inline constexpr char kLogShutdownAccepted[] = "Windowsが終了の要求を受け付けました。";
inline constexpr char kLogShutdownRefused[] = "Windowsが終了の要求を受け付けませんでした。";

// What a dial was started for, as the line of the dial says it.
inline constexpr char kDialByUser[] = "手動";
inline constexpr char kDialAtStartup[] = "起動時の自動接続";
inline constexpr char kDialBySchedule[] = "スケジュール";

// "エラー 678: 応答がありません。", or "エラー 678" when the service has no text for it; empty
// for code 0.
std::string RasErrorText(const RasError& error);
// A span of milliseconds as hours, minutes and seconds: "1:02:03", "26:00:00".
std::string DurationText(std::uint64_t milliseconds);

std::string DialStartedLog(const std::string& name, std::string_view occasion);
std::string DialRefusedLog(const std::string& name, std::string_view occasion, const RasError& error);
std::string RedialOccasion(int redial);
std::string RemoteOccasion(const std::string& machineName);
std::string ConnectedLog(const std::string& name);
std::string DialFailedLog(const std::string& name, const RasError& error);
std::string DialCancelledLog(const std::string& name);
// A connection's end: how it ended ("切断しました", "回線が切れました") and how long it lasted;
// adopted: it was up when Kiv started, so it lasted at least that long.
inline constexpr char kLineHungUp[] = "から切断しました";
inline constexpr char kLineDropped[] = "の回線が切れました";
inline constexpr char kLineLeftUp[] = "を接続したまま、Kivを終了します";
std::string LineEndedLog(const std::string& name, std::string_view how, std::uint64_t milliseconds, bool adopted);
std::string HangUpFailedLog(const std::string& name);

}  // namespace kiv
