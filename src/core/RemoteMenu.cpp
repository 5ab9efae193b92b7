// The remote control dialogue: a console asks for the menu, answers prompts, and every answer
// is decided by the prompt's key alone. The only state kept between two requests is the
// control lock, RemoteMachineName: the console whose dial is running.
#include "RemoteMenu.h"

#include <cstdio>

#include "MainUnit.h"
#include "SettingLimits.h"
#include "StatusTexts.h"
#include "TextHelpers.h"

namespace kiv {

namespace {

std::string ScheduledTime(bool on, int hour, int minute)
{
    if (!on)
        return "--:--\r";
    char text[16];
    std::snprintf(text, sizeof text, "%d:%.2d\r", ClampSetting(hour, 0, 23), ClampSetting(minute, 0, 59));
    return text;
}

}  // namespace

std::string RemoteStatusBlock(const TSettings& settings, int entryState)
{
    std::string block = "≪ダイヤルアップ制御≫ " + settings.Target + "\r";
    block += "≪接続状況≫" + std::string(14, ' ');
    block += entryState == kEntryIdle ? "切断\r" : entryState == kEntryDialling ? "ダイヤル中\r" : "接続\r";
    block += "≪自動接続時間≫" + std::string(8, ' ') +
             ScheduledTime(settings.AutoStart, settings.AutoStartHour, settings.AutoStartMinute);
    block += "≪自動切断時間≫" + std::string(8, ' ') +
             ScheduledTime(settings.AutoEnd, settings.AutoEndHour, settings.AutoEndMinute);
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
    MeshPort& kms = ports_.KMS;
    const std::string prefix = RemoteStatusPrefix(handleName, machineName);
    std::string reply = kRemoteMenuHeader;
    std::string key = inputDiscrimination;
    std::string answer = inputReturn;
    const auto backToMenu = [&] {
        key = kRemoteKeyPassword;
        answer = Settings.KMSPassword;
    };

    if (key == kRemoteKeyMenu) {
        if (answer == kRemoteAnswerConnect) {
            const int state = ports_.Ras.EntryState(TargetEntryIndex());
            if (state == kEntryDialling) {
                reply += RemoteAlreadyDialling(Settings.Target);
                backToMenu();
            } else if (state == kEntryConnected) {
                reply += RemoteAlreadyConnected(Settings.Target);
                backToMenu();
            } else {
                ConnectRequested = true;
                RedialDone = 0;
                ports_.tmConnect.SetEnabled(false);  // this dial replaces a pending redial
                if (!ports_.Ras.Dial(TargetEntryIndex())) {
                    kms.SendInputMessage(RemoteDialRefused(Settings.Target), machineName, discrimination);
                    return;
                }
                // The lock first: showing the message may process messages, and the dial's
                // outcome must find the console to tell.
                RemoteMachineName = machineName;
                RemoteDiscrimination = discrimination;
                ShowStatus(kStatusDialStarted, prefix);
                kms.SendInputMessage(RemoteDialStarted(Settings.Target), machineName, discrimination);
                return;
            }
        } else if (answer == kRemoteAnswerDeconnect) {
            const int state = ports_.Ras.EntryState(TargetEntryIndex());
            if (state == kEntryIdle) {
                reply += RemoteNotConnected(Settings.Target);
                backToMenu();
            } else {
                if (state == kEntryDialling) {
                    // Set before the call: the cancel processes messages, and the failure
                    // event it brings must be read as the cancel.
                    CancelRequested = true;
                    if (ports_.Ras.CancelDial()) {
                        ShowStatus(kStatusDialCancelled, prefix);
                        return;
                    }
                    CancelRequested = false;
                }
                ConnectRequested = false;
                bool done = HangUpTargetConnection();
                if (!done) {
                    const int after = ports_.Ras.EntryState(TargetEntryIndex());
                    if (after == kEntryDialling || after == kEntryConnected) {
                        ShowStatus(kStatusDisconnectFailed, prefix);
                        kms.SendInputMessage(RemoteDisconnectFailed(Settings.Target), machineName, discrimination);
                        ConnectRequested = true;
                        return;
                    }
                    done = after == kEntryIdle;
                }
                if (done) {
                    ShowStatus(kStatusDisconnected, prefix);
                    kms.SendInputMessage(RemoteDisconnected(Settings.Target), machineName, discrimination);
                }
                return;
            }
        } else if (answer == kRemoteAnswerChange) {
            StringList items;
            const int count = ports_.Ras.EntryCount();
            for (int i = 0; i < count; ++i)
                items.push_back(kRemoteItemMark + ports_.Ras.EntryName(i));
            items.push_back(kRemoteCancelItem);
            const std::string list = JoinSelectList(items);
            kms.SendInputSelect(reply + "≪現在の制御対象≫ " + Settings.Target + kRemoteTargetQuestion, list, list,
                                kRemoteKeyDialupChange, machineName, discrimination);
            return;
        } else if (answer == kRemoteAnswerEnd) {
            kms.SendInputSelect(reply + kRemoteShutdownQuestion, kRemoteShutdownShown, RemoteShutdownReturns(),
                                kRemoteKeyWindowsEnd, machineName, discrimination);
            return;
        }
    }

    if (key == kRemoteKeyDialupChange) {
        if (answer == kRemoteCancelItem) {
            reply += kRemoteTargetChangeCancelled;
        } else {
            // Answers are items of the list sent: the mark, then the entry's name.
            const std::string mark = kRemoteItemMark;
            bool found = false;
            if (answer.compare(0, mark.size(), mark) == 0) {
                const std::string name = answer.substr(mark.size());
                const int count = ports_.Ras.EntryCount();
                for (int i = 0; i < count && !found; ++i) {
                    if (ports_.Ras.EntryName(i) != name)
                        continue;
                    found = true;
                    WriteTarget(ports_.VSS, Settings, name);
                    ShowStatus(kStatusTargetSwitched, prefix);
                    reply += RemoteTargetChanged(Settings.Target);
                }
            }
            if (!found)
                reply += kRemoteNoSuchTarget;
        }
        backToMenu();
    }

    if (key == kRemoteKeyWindowsEnd) {
        if (answer == kRemoteAnswerYes) {
            if (ShutdownWindows()) {
                kms.SendInputMessage(kRemoteShutdownStarted, machineName, discrimination);
                return;
            }
            reply += kRemoteShutdownFailed;
        } else {
            reply += kRemoteShutdownDeclined;
        }
        backToMenu();
    }

    if (key == kRemoteKeyPassword) {
        if (Settings.KMSPasswordFlag && answer != Settings.KMSPassword) {
            kms.SendInputLine(reply + kRemotePasswordWrong + kRemotePasswordQuestion, kRemotePasswordLabel,
                              kRemoteKeyPassword, machineName, discrimination, true);
            return;
        }
        if (Settings.KMSPasswordFlag)
            RemoteConsoles.Grant(machineName, address, now);
        reply += RemoteStatusBlock(Settings, ports_.Ras.EntryState(TargetEntryIndex()));
        kms.SendInputSelect(reply + kRemoteMenuQuestion, RemoteMenuShown(Settings.Target), RemoteMenuReturns(),
                            kRemoteKeyMenu, machineName, discrimination);
    }
    // Any other key or answer: no reply.
}

}  // namespace kiv
