// The texts of Kiv.log's lines that are not status messages (those are logged as shown).
#pragma once

namespace kiv {

inline constexpr char kLogStarted[] = "Kivを起動しました。";
inline constexpr char kLogEnded[] = "Kivを終了しました。";

}  // namespace kiv
