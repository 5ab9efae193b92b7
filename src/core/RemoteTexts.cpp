// Texts of the remote control dialogue that are built from parts.
#include "RemoteTexts.h"

namespace kiv {

std::string RemoteAlreadyDialling(const std::string& target)
{
    return "【注意】 既に -" + target + "- へダイヤル中です。\r\r";
}

std::string RemoteAlreadyConnected(const std::string& target)
{
    return "【注意】 既に -" + target + "- へ接続されています。\r\r";
}

std::string RemoteNotConnected(const std::string& target)
{
    return "■ 処理結果 ［ 【" + target + "】 へは接続されていません］\r\r";
}

std::string RemoteTargetChanged(const std::string& target)
{
    return "■ 処理結果 ［制御先を 【" + target + "】 へ変更しました。\r\r";
}

std::string RemoteDialStarted(const std::string& target)
{
    return kRemoteMessageHeader + ("「" + target + "」への接続処理を開始します。\r\n接続処理が完了次第、処理結果を通知します。");
}

std::string RemoteDialRefused(const std::string& target)
{
    return kRemoteMessageHeader + ("「" + target +
                             "」への接続処理に失敗しました。\r\n他のアプリケーションが接続処理を行っていないか、"
                             "OSのダイヤルアップ設定に不備がないか確認してください。");
}

std::string RemoteDisconnected(const std::string& target)
{
    return kRemoteMessageHeader + ("「" + target + "」から切断しました。");
}

std::string RemoteDisconnectFailed(const std::string& target)
{
    return kRemoteMessageHeader + ("原因不明のエラーで「" + target +
                             "」から切断することができませんでした。\r\nこのエラーが頻繁に報告される場合は、"
                             "Kivが動作しているPCのOSの設定等を確認してみてください。");
}

std::string RemoteMenuShown(const std::string& target)
{
    return JoinSelectList({"■ 【" + target + "】 へ接続する", "■ 【" + target + "】 から切断する",
                           "■ ダイヤルアップの制御対象を変更する", "■ 制御先のPCをシャットダウンする"});
}

std::string JoinSelectList(const StringList& items)
{
    std::string list;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i)
            list += kRemoteListSeparator;
        list += items[i];
    }
    return list;
}

std::string RemoteMenuReturns()
{
    return JoinSelectList({kRemoteAnswerConnect, kRemoteAnswerDeconnect, kRemoteAnswerChange, kRemoteAnswerEnd});
}

std::string RemoteShutdownReturns() { return JoinSelectList({kRemoteAnswerNo, kRemoteAnswerYes}); }

std::string RemoteConnectedText(const std::string& name)
{
    return kRemoteMessageHeader + ("「" + name + "」へ接続しました。");
}

std::string RemoteCancelledText(const std::string& name)
{
    return kRemoteMessageHeader + ("ユーザの指示により、「" + name + "」への接続処理がキャンセルされました。");
}

std::string RemoteFailedText(const std::string& name)
{
    return kRemoteMessageHeader + ("「" + name + "」への接続に失敗しました。");
}

}  // namespace kiv
