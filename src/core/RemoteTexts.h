// Texts sent to the remote console that asked for the running dial. CR LF breaks a line.
#pragma once

#include <string>

namespace kiv {

inline constexpr char kRemoteMessageHeader[] = "【Kiv KestrelMesh Message】\r\n\r\n";

inline std::string RemoteConnectedText(const std::string& name)
{
    return std::string(kRemoteMessageHeader) + "「" + name + "」へ接続しました。";
}

inline std::string RemoteCancelledText(const std::string& name)
{
    return std::string(kRemoteMessageHeader) + "ユーザの指示により、「" + name + "」への接続処理がキャンセルされました。";
}

inline std::string RemoteFailedText(const std::string& name)
{
    return std::string(kRemoteMessageHeader) + "「" + name + "」への接続に失敗しました。";
}

}  // namespace kiv
