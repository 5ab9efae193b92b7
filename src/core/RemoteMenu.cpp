// The remote control dialogue: a console asks for the menu, answers prompts, and every answer
// is decided by the prompt's key alone. The only state kept between two requests is the
// control lock, RemoteMachineName: the console whose dial is running.
#include "RemoteMenu.h"

#include <cstdio>

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
    std::string block = "≪ダイヤルアップ制御≫ " + settings.Target + "\r";
    block += "≪接続状況≫" + std::string(14, ' ');
    block += entryState == kEntryIdle ? "切断\r" : entryState == kEntryDialling ? "ダイヤル中\r" : "接続\r";
    block += "≪自動接続時間≫" + std::string(8, ' ') +
             ScheduledTime(settings, settings.AutoStart, &TSettings::AutoStartHour, &TSettings::AutoStartMinute);
    block += "≪自動切断時間≫" + std::string(8, ' ') +
             ScheduledTime(settings, settings.AutoEnd, &TSettings::AutoEndHour, &TSettings::AutoEndMinute);
    return block;
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

bool TMainForm::RemoteGate(const std::string& machineName, const std::string& discrimination, bool checkLock)
{
    if (!CheckRemoteAccess(machineName, discrimination))
        return false;
    if (TargetEntryIndex() == -1) {
        ports_.KMS.SendInputMessage(kRemoteSettingsBroken, machineName, discrimination);
        return false;
    }
    if (checkLock && !RemoteMachineName.empty() && RemoteMachineName != machineName) {
        ports_.KMS.SendInputMessage(kRemoteLocked, machineName, discrimination);
        return false;
    }
    return true;
}

void TMainForm::KMSMenuRequest(const std::string& handleName, const std::string& machineName,
                               const std::string& discrimination)
{
    // A console that gave the password keeps its right alive by asking; it is asked again all
    // the same, as consoles expect.
    RemoteConsoles.Holds(machineName, ports_.KMS.ReceivedAddress(), ports_.Clock.TickCount());
    if (!RemoteGate(machineName, discrimination, false))
        return;
    if (Settings.KMSPasswordFlag) {
        SendPasswordPrompt(machineName, discrimination);
        return;
    }
    KMSInputReturn(kRemoteKeyPassword, "", handleName, machineName, discrimination);
}

void TMainForm::SendPasswordPrompt(const std::string& machineName, const std::string& discrimination)
{
    ports_.KMS.SendInputLine(std::string(kRemoteMenuHeader) + kRemotePasswordQuestion, kRemotePasswordLabel,
                             kRemoteKeyPassword, machineName, discrimination, true);
}

void TMainForm::KMSLogout(const std::string& machineName)
{
    RemoteConsoles.Revoke(machineName, ports_.KMS.ReceivedAddress());
}

void TMainForm::KMSInputReturn(const std::string& inputDiscrimination, const std::string& inputReturn,
                               const std::string& handleName, const std::string& machineName,
                               const std::string& discrimination)
{
    // Read before anything that processes messages: a message handled meanwhile replaces it.
    const std::string address = ports_.KMS.ReceivedAddress();
    const std::uint32_t now = ports_.Clock.TickCount();
    const bool holdsRight = RemoteConsoles.Holds(machineName, address, now);
    if (!RemoteGate(machineName, discrimination, true))
        return;
    // Acting needs the password when it is required: a console that has not given it (or
    // whose right has lapsed) is asked for it, as if it had asked for the menu.
    const bool acting = inputDiscrimination == kRemoteKeyMenu || inputDiscrimination == kRemoteKeyDialupChange ||
                        inputDiscrimination == kRemoteKeyWindowsEnd;
    if (Settings.KMSPasswordFlag && acting && !holdsRight) {
        SendPasswordPrompt(machineName, discrimination);
        return;
    }
    const RemoteCaller caller{handleName, machineName, discrimination, address, now};
    std::optional<std::string> note;
    if (inputDiscrimination == kRemoteKeyMenu)
        note = RemoteMenuAnswer(inputReturn, caller);
    else if (inputDiscrimination == kRemoteKeyDialupChange)
        note = RemoteTargetAnswer(inputReturn, caller);
    else if (inputDiscrimination == kRemoteKeyWindowsEnd)
        note = RemoteShutdownAnswer(inputReturn, caller);
    else if (inputDiscrimination == kRemoteKeyPassword)
        RemotePasswordAnswer(inputReturn, caller);
    // Any other key: no reply.
    if (note)
        SendRemoteMenu(*note, caller);
}

std::optional<std::string> TMainForm::RemoteMenuAnswer(const std::string& answer, const RemoteCaller& caller)
{
    if (answer == kRemoteAnswerConnect)
        return RemoteConnectAnswer(caller);
    if (answer == kRemoteAnswerDeconnect)
        return RemoteDisconnectAnswer(caller);
    const std::string reply = kRemoteMenuHeader;
    if (answer == kRemoteAnswerChange) {
        StringList items;
        const int count = ports_.Ras.EntryCount();
        for (int i = 0; i < count; ++i)
            items.push_back(kRemoteItemMark + ports_.Ras.EntryName(i));
        items.push_back(kRemoteCancelItem);
        const std::string list = JoinSelectList(items);
        ports_.KMS.SendInputSelect(reply + "≪現在の制御対象≫ " + Settings.Target + kRemoteTargetQuestion, list, list,
                                   kRemoteKeyDialupChange, caller.machineName, caller.discrimination);
    } else if (answer == kRemoteAnswerEnd) {
        ports_.KMS.SendInputSelect(reply + kRemoteShutdownQuestion, kRemoteShutdownShown, RemoteShutdownReturns(),
                                   kRemoteKeyWindowsEnd, caller.machineName, caller.discrimination);
    }
    // Any other answer: no reply.
    return std::nullopt;
}

std::optional<std::string> TMainForm::RemoteConnectAnswer(const RemoteCaller& caller)
{
    const int state = ports_.Ras.EntryState(TargetEntryIndex());
    if (state == kEntryDialling)
        return RemoteAlreadyDialling(Settings.Target);
    if (state == kEntryConnected)
        return RemoteAlreadyConnected(Settings.Target);
    ConnectRequested = true;
    RedialDone = 0;
    ports_.tmConnect.SetEnabled(false);  // this dial replaces a pending redial
    if (!ports_.Ras.Dial(TargetEntryIndex())) {
        ports_.KMS.SendInputMessage(RemoteDialRefused(Settings.Target), caller.machineName, caller.discrimination);
        return std::nullopt;
    }
    // The lock first: showing the message may process messages, and the dial's outcome must
    // find the console to tell.
    RemoteMachineName = caller.machineName;
    RemoteDiscrimination = caller.discrimination;
    ShowStatus(kStatusDialStarted, RemoteStatusPrefix(caller.handleName, caller.machineName));
    ports_.KMS.SendInputMessage(RemoteDialStarted(Settings.Target), caller.machineName, caller.discrimination);
    return std::nullopt;
}

std::optional<std::string> TMainForm::RemoteDisconnectAnswer(const RemoteCaller& caller)
{
    const int state = ports_.Ras.EntryState(TargetEntryIndex());
    if (state == kEntryIdle)
        return RemoteNotConnected(Settings.Target);
    const std::string prefix = RemoteStatusPrefix(caller.handleName, caller.machineName);
    if (state == kEntryDialling) {
        // Set before the call: the cancel processes messages, and the failure event it brings
        // must be read as the cancel.
        CancelRequested = true;
        if (ports_.Ras.CancelDial()) {
            ShowStatus(kStatusDialCancelled, prefix);
            return std::nullopt;
        }
        CancelRequested = false;
    }
    ConnectRequested = false;
    bool done = HangUpTargetConnection();
    if (!done) {
        const int after = ports_.Ras.EntryState(TargetEntryIndex());
        if (after == kEntryDialling || after == kEntryConnected) {
            ShowStatus(kStatusDisconnectFailed, prefix);
            ports_.KMS.SendInputMessage(RemoteDisconnectFailed(Settings.Target), caller.machineName,
                                        caller.discrimination);
            ConnectRequested = true;
            return std::nullopt;
        }
        done = after == kEntryIdle;
    }
    if (done) {
        ShowStatus(kStatusDisconnected, prefix);
        ports_.KMS.SendInputMessage(RemoteDisconnected(Settings.Target), caller.machineName, caller.discrimination);
    }
    return std::nullopt;
}

std::string TMainForm::RemoteTargetAnswer(const std::string& answer, const RemoteCaller& caller)
{
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
            WriteTarget(ports_.VSS, Settings, name);
            ShowStatus(kStatusTargetSwitched, RemoteStatusPrefix(caller.handleName, caller.machineName));
            return RemoteTargetChanged(Settings.Target);
        }
    }
    return kRemoteNoSuchTarget;
}

std::optional<std::string> TMainForm::RemoteShutdownAnswer(const std::string& answer, const RemoteCaller& caller)
{
    if (answer != kRemoteAnswerYes)
        return kRemoteShutdownDeclined;
    if (ShutdownWindows()) {
        ports_.KMS.SendInputMessage(kRemoteShutdownStarted, caller.machineName, caller.discrimination);
        return std::nullopt;
    }
    return kRemoteShutdownFailed;
}

void TMainForm::RemotePasswordAnswer(const std::string& answer, const RemoteCaller& caller)
{
    if (Settings.KMSPasswordFlag && answer != Settings.KMSPassword) {
        ports_.KMS.SendInputLine(std::string(kRemoteMenuHeader) + kRemotePasswordWrong + kRemotePasswordQuestion,
                                 kRemotePasswordLabel, kRemoteKeyPassword, caller.machineName, caller.discrimination,
                                 true);
        return;
    }
    SendRemoteMenu("", caller);
}

void TMainForm::SendRemoteMenu(const std::string& note, const RemoteCaller& caller)
{
    if (Settings.KMSPasswordFlag)
        RemoteConsoles.Grant(caller.machineName, caller.address, caller.now);
    const std::string status = RemoteStatusBlock(Settings, ports_.Ras.EntryState(TargetEntryIndex()));
    ports_.KMS.SendInputSelect(kRemoteMenuHeader + note + status + kRemoteMenuQuestion,
                               RemoteMenuShown(Settings.Target), RemoteMenuReturns(), kRemoteKeyMenu,
                               caller.machineName, caller.discrimination);
}

}  // namespace kiv
