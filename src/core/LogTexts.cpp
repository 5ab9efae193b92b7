#include "LogTexts.h"

#include <cstdio>

namespace kiv {

std::string RasErrorText(const RasError& error)
{
    if (error.Code == 0)
        return {};
    std::string text = "エラー " + std::to_string(error.Code);
    if (!error.Text.empty())
        text += ": " + error.Text;
    return text;
}

std::string DurationText(std::uint64_t milliseconds)
{
    const std::uint64_t seconds = milliseconds / 1000;
    char text[32];
    std::snprintf(text, sizeof text, "%llu:%02u:%02u", static_cast<unsigned long long>(seconds / 3600),
                  static_cast<unsigned>(seconds / 60 % 60), static_cast<unsigned>(seconds % 60));
    return text;
}

std::string DialStartedLog(const std::string& name, std::string_view occasion)
{
    return "「" + name + "」へのダイヤルを開始しました（" + std::string(occasion) + "）。";
}

std::string DialRefusedLog(const std::string& name, std::string_view occasion, const RasError& error)
{
    std::string text = "「" + name + "」へのダイヤルを開始できませんでした（" + std::string(occasion) + "）。";
    const std::string reason = RasErrorText(error);
    return reason.empty() ? text : text + reason;
}

std::string RedialOccasion(int redial) { return "リダイヤル " + std::to_string(redial) + "回目"; }

std::string RemoteOccasion(const std::string& machineName) { return "リモート: " + machineName; }

std::string ConnectedLog(const std::string& name) { return "「" + name + "」へ接続しました。"; }

std::string DialFailedLog(const std::string& name, const RasError& error)
{
    const std::string reason = RasErrorText(error);
    return "「" + name + "」へのダイヤルに失敗しました。" + (reason.empty() ? "理由は報告されていません。" : reason);
}

std::string DialCancelledLog(const std::string& name) { return "「" + name + "」へのダイヤルをキャンセルしました。"; }

std::string LineEndedLog(const std::string& name, std::string_view how, std::uint64_t milliseconds, bool adopted)
{
    return "「" + name + "」" + std::string(how) + "（接続時間 " + DurationText(milliseconds) +
           (adopted ? " 以上: Kivの起動前から接続" : "") + "）。";
}

std::string HangUpFailedLog(const std::string& name)
{
    return "「" + name + "」から切断できませんでした。回線はつながったままです。";
}

}  // namespace kiv
