// The remote control dialogue: a console asks for the menu, answers prompts, and every answer
// is decided by the prompt's key alone. The only state kept between two requests is the
// control lock, RemoteMachineName: the console whose dial is running.
#include "RemoteMenu.h"

#include <cstdio>

#include "LogTexts.h"
#include "MainUnit.h"
#include "StatusTexts.h"
#include "TextHelpers.h"

namespace kiv {

namespace {

std::string ScheduledTime(const TSettings& s, bool on, int TSettings::*hour, int TSettings::*minute)
{
    if (!on)
        return "--:--\r";
    char text[16];
    std::snprintf(text, sizeof text, "%d:%.2d\r", SettingInRange(s, hour), SettingInRange(s, minute));
    return text;
}

}  // namespace

std::string RemoteStatusBlock(const TSettings& settings, int entryState)
{
    std::string block = kRemoteStatusTarget + (" " + settings.Target) + "\r";
    block += kRemoteStatusState + std::string(14, ' ');
    block += entryState == kEntryIdle ? "切断\r" : entryState == kEntryDialling ? "ダイヤル中\r" : "接続\r";
    block += kRemoteStatusStart + std::string(8, ' ') +
             ScheduledTime(settings, settings.AutoStart, &TSettings::AutoStartHour, &TSettings::AutoStartMinute);
    block += kRemoteStatusEnd + std::string(8, ' ') +
             ScheduledTime(settings, settings.AutoEnd, &TSettings::AutoEndHour, &TSettings::AutoEndMinute);
    return block;
}

std::string RemoteRequestText(const MeshRequest& request)
{
    const std::string& key = request.Key;
    const std::string& answer = request.Answer;
    if (key == kRemoteKeyPassword)
        return "パスワードを入力しました。";
    if (key == kRemoteKeyMenu) {
        if (answer == kRemoteAnswerConnect)
            return "接続を求めました。";
        if (answer == kRemoteAnswerDeconnect)
            return "切断を求めました。";
        if (answer == kRemoteAnswerChange)
            return "制御対象の一覧を求めました。";
        if (answer == kRemoteAnswerEnd)
            return "シャットダウンを求めました。";
        return "メニューにない項目「" + answer + "」を選びました。";
    }
    if (key == kRemoteKeyDialupChange) {
        if (answer == kRemoteCancelItem)
            return "制御対象の変更を取り消しました。";
        const std::string mark = kRemoteItemMark;
        const std::string name = answer.compare(0, mark.size(), mark) == 0 ? answer.substr(mark.size()) : answer;
        return "制御対象を「" + name + "」へ切り替えるよう求めました。";
    }
    if (key == kRemoteKeyWindowsEnd)
        return answer == kRemoteAnswerYes ? "シャットダウンを確かめました。" : "シャットダウンを取り消しました。";
    return "Kivの知らない問い「" + key + "」に答えました。";
}

std::string RemoteStatusPrefix(const std::string& handleName, const std::string& machineName)
{
    return kStatusRemotePrefix + handleName + "<" + machineName + ">-\r\r";
}

bool TMainForm::CheckRemoteAccess(const std::string& machineName, const std::string& discrimination)
{
    if (!Settings.KMSComputer)
        return true;
    const std::string folded = FoldComputerName(machineName);
    for (const auto& allowed : AllowedComputers)
        if (FoldComputerName(allowed) == folded)
            return true;
    // To the name the console announced: the peer table knows it by that name, not folded.
    ports_.KMS.SendInputMessage(kRemoteComputerRefused, machineName, discrimination);
    return false;
}

void TMainForm::LogRemote(const MeshRequest& request, const std::string& what)
{
    Log(kLogRemote, request.MachineName + "（" + request.Source + "、" + request.HandleName + "）: " + what);
}

bool TMainForm::RemoteGate(const MeshRequest& request, bool checkLock)
{
    const std::string& machineName = request.MachineName;
    const std::string& discrimination = request.Discrimination;
    if (!CheckRemoteAccess(machineName, discrimination)) {
        LogRemote(request, "拒否しました。許可されたコンピュータではありません。");
        return false;
    }
    if (TargetEntryIndex() == -1) {
        LogRemote(request, "断りました。制御対象が電話帳にありません。");
        ports_.KMS.SendInputMessage(kRemoteSettingsBroken, machineName, discrimination);
        return false;
    }
    if (checkLock && !RemoteMachineName.empty() && RemoteMachineName != machineName) {
        LogRemote(request, "断りました。" + RemoteMachineName + " が制御中です。");
        ports_.KMS.SendInputMessage(kRemoteLocked, machineName, discrimination);
        return false;
    }
    return true;
}

void TMainForm::KMSMenuRequest(const MeshRequest& request)
{
    LogRemote(request, "メニューを求めました。");
    // A console that gave the password keeps its right alive by asking; it is asked again all
    // the same, as consoles expect.
    RemoteConsoles.Holds(request.MachineName, request.Source, ports_.Clock.TickCount());
    if (!RemoteGate(request, false))
        return;
    if (Settings.KMSPasswordFlag) {
        LogRemote(request, "パスワードを求めます。");
        SendPasswordPrompt(request.MachineName, request.Discrimination);
        return;
    }
    MeshRequest asMenu = request;
    asMenu.Key = kRemoteKeyPassword;
    asMenu.Answer.clear();
    KMSInputReturn(asMenu);
}

void TMainForm::SendPasswordPrompt(const std::string& machineName, const std::string& discrimination)
{
    ports_.KMS.SendInputLine(std::string(kRemoteMenuHeader) + kRemotePasswordQuestion, kRemotePasswordLabel,
                             kRemoteKeyPassword, machineName, discrimination, true);
}

void TMainForm::KMSLogout(const PeerInfo& peer)
{
    // The right of the console at the address the LOGOUT came from, not of whoever bears the name.
    RemoteConsoles.Revoke(peer.MachineName, peer.Source);
}

void TMainForm::KMSInputReturn(const MeshRequest& request)
{
    const std::string& key = request.Key;
    // The menu request without a password comes here as an empty answer to the password prompt.
    if (key != kRemoteKeyPassword || Settings.KMSPasswordFlag)
        LogRemote(request, RemoteRequestText(request));
    const bool holdsRight = RemoteConsoles.Holds(request.MachineName, request.Source, ports_.Clock.TickCount());
    if (!RemoteGate(request, true))
        return;
    // Acting needs the password when it is required: a console that has not given it (or
    // whose right has lapsed) is asked for it, as if it had asked for the menu.
    const bool acting = key == kRemoteKeyMenu || key == kRemoteKeyDialupChange || key == kRemoteKeyWindowsEnd;
    if (Settings.KMSPasswordFlag && acting && !holdsRight) {
        LogRemote(request, "パスワードを確認していないので、パスワードを求めます。");
        SendPasswordPrompt(request.MachineName, request.Discrimination);
        return;
    }
    std::optional<std::string> note;
    if (key == kRemoteKeyMenu)
        note = RemoteMenuAnswer(request);
    else if (key == kRemoteKeyDialupChange)
        note = RemoteTargetAnswer(request);
    else if (key == kRemoteKeyWindowsEnd)
        note = RemoteShutdownAnswer(request);
    else if (key == kRemoteKeyPassword)
        RemotePasswordAnswer(request);
    // Any other key: no reply.
    if (note)
        SendRemoteMenu(*note, request);
}

std::optional<std::string> TMainForm::RemoteMenuAnswer(const MeshRequest& request)
{
    const std::string& answer = request.Answer;
    if (answer == kRemoteAnswerConnect)
        return RemoteConnectAnswer(request);
    if (answer == kRemoteAnswerDeconnect)
        return RemoteDisconnectAnswer(request);
    const std::string reply = kRemoteMenuHeader;
    if (answer == kRemoteAnswerChange) {
        StringList items;
        const int count = ports_.Ras.EntryCount();
        for (int i = 0; i < count; ++i)
            items.push_back(kRemoteItemMark + ports_.Ras.EntryName(i));
        items.push_back(kRemoteCancelItem);
        const std::string list = JoinSelectList(items);
        ports_.KMS.SendInputSelect(reply + "≪現在の制御対象≫ " + Settings.Target + kRemoteTargetQuestion, list, list,
                                   kRemoteKeyDialupChange, request.MachineName, request.Discrimination);
    } else if (answer == kRemoteAnswerEnd) {
        ports_.KMS.SendInputSelect(reply + kRemoteShutdownQuestion, kRemoteShutdownShown, RemoteShutdownReturns(),
                                   kRemoteKeyWindowsEnd, request.MachineName, request.Discrimination);
    }
    // Any other answer: no reply.
    return std::nullopt;
}

std::optional<std::string> TMainForm::RemoteConnectAnswer(const MeshRequest& request)
{
    const int state = ports_.Ras.EntryState(TargetEntryIndex());
    if (state == kEntryDialling)
        return RemoteAlreadyDialling(Settings.Target);
    if (state == kEntryConnected)
        return RemoteAlreadyConnected(Settings.Target);
    ConnectRequested = true;
    RedialDone = 0;
    ports_.tmConnect.SetEnabled(false);  // this dial replaces a pending redial
    if (!DialTarget(TargetEntryIndex(), RemoteOccasion(request.MachineName))) {
        ports_.KMS.SendInputMessage(RemoteDialRefused(Settings.Target), request.MachineName, request.Discrimination);
        return std::nullopt;
    }
    // The lock first: the dial's outcome must find the console to tell.
    RemoteMachineName = request.MachineName;
    RemoteDiscrimination = request.Discrimination;
    ShowStatus(kStatusDialStarted, RemoteStatusPrefix(request.HandleName, request.MachineName));
    ports_.KMS.SendInputMessage(RemoteDialStarted(Settings.Target), request.MachineName, request.Discrimination);
    return std::nullopt;
}

std::optional<std::string> TMainForm::RemoteDisconnectAnswer(const MeshRequest& request)
{
    const int state = ports_.Ras.EntryState(TargetEntryIndex());
    if (state == kEntryIdle)
        return RemoteNotConnected(Settings.Target);
    if (state == kEntryDialling) {
        // Set before the call: the dial's end, which may come before the cancel's, must be read
        // as the cancel.
        CancelRequested = true;
        const std::string prefix = RemoteStatusPrefix(request.HandleName, request.MachineName);
        if (ports_.Ras.CancelDial([this, prefix] { ShowStatus(kStatusDialCancelled, prefix); }))
            return std::nullopt;
        CancelRequested = false;
    }
    ConnectRequested = false;
    // The console's request travels with the hang-up: its answer goes to that console.
    HangUpTargetConnection([this, request](bool released) { RemoteHangUpDone(request, released); });
    return std::nullopt;
}

void TMainForm::RemoteHangUpDone(const MeshRequest& request, bool released)
{
    const std::string prefix = RemoteStatusPrefix(request.HandleName, request.MachineName);
    if (!released) {
        const int after = ports_.Ras.EntryState(TargetEntryIndex());
        if (after == kEntryDialling || after == kEntryConnected) {
            ShowStatus(kStatusDisconnectFailed, prefix);
            ports_.KMS.SendInputMessage(RemoteDisconnectFailed(Settings.Target), request.MachineName,
                                        request.Discrimination);
            ConnectRequested = true;
            return;
        }
        if (after != kEntryIdle)
            return;
    }
    ShowStatus(kStatusDisconnected, prefix);
    ports_.KMS.SendInputMessage(RemoteDisconnected(Settings.Target), request.MachineName, request.Discrimination);
}

std::string TMainForm::RemoteTargetAnswer(const MeshRequest& request)
{
    const std::string& answer = request.Answer;
    if (answer == kRemoteCancelItem)
        return kRemoteTargetChangeCancelled;
    // Answers are items of the list sent: the mark, then the entry's name.
    const std::string mark = kRemoteItemMark;
    if (answer.compare(0, mark.size(), mark) == 0) {
        const std::string name = answer.substr(mark.size());
        const int count = ports_.Ras.EntryCount();
        for (int i = 0; i < count; ++i) {
            if (ports_.Ras.EntryName(i) != name)
                continue;
            const auto failure = SettingsSaved(WriteTarget(ports_.VSS, Settings, name), true);
            ShowStatus(kStatusTargetSwitched, RemoteStatusPrefix(request.HandleName, request.MachineName));
            if (failure)
                ShowStatusMessage({*failure, kActionNone});
            return RemoteTargetChanged(Settings.Target);
        }
    }
    return kRemoteNoSuchTarget;
}

std::optional<std::string> TMainForm::RemoteShutdownAnswer(const MeshRequest& request)
{
    const std::string& answer = request.Answer;
    if (answer != kRemoteAnswerYes)
        return kRemoteShutdownDeclined;
    if (ShutdownWindows()) {
        ports_.KMS.SendInputMessage(kRemoteShutdownStarted, request.MachineName, request.Discrimination);
        return std::nullopt;
    }
    return kRemoteShutdownFailed;
}

void TMainForm::RemotePasswordAnswer(const MeshRequest& request)
{
    const std::string& answer = request.Answer;
    if (Settings.KMSPasswordFlag && answer != Settings.KMSPassword) {
        LogRemote(request, "断りました。パスワードが違います。");
        ports_.KMS.SendInputLine(std::string(kRemoteMenuHeader) + kRemotePasswordWrong + kRemotePasswordQuestion,
                                 kRemotePasswordLabel, kRemoteKeyPassword, request.MachineName, request.Discrimination,
                                 true);
        return;
    }
    if (Settings.KMSPasswordFlag)
        LogRemote(request, "パスワードを確認しました。");
    SendRemoteMenu("", request);
}

void TMainForm::SendRemoteMenu(const std::string& note, const MeshRequest& request)
{
    if (Settings.KMSPasswordFlag)
        RemoteConsoles.Grant(request.MachineName, request.Source, ports_.Clock.TickCount());
    const std::string status = RemoteStatusBlock(Settings, ports_.Ras.EntryState(TargetEntryIndex()));
    ports_.KMS.SendInputSelect(kRemoteMenuHeader + note + status + kRemoteMenuQuestion,
                               RemoteMenuShown(Settings.Target), RemoteMenuReturns(), kRemoteKeyMenu,
                               request.MachineName, request.Discrimination);
}

}  // namespace kiv
