// The texts of Kiv.log's lines that are not status messages (those are logged as shown).
#pragma once

namespace kiv {

inline constexpr char kLogStarted[] = "Kivを起動しました。";
inline constexpr char kLogEnded[] = "Kivを終了しました。";
inline constexpr char kLogSessionEnding[] = "Windowsの終了（サインアウトか再起動）を受けました。";
inline constexpr char kLogResumed[] = "コンピュータがスリープから復帰しました。";
inline constexpr char kLogClockChanged[] = "時計が変更されました。";

}  // namespace kiv
