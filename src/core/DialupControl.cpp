// Dial-up control of the main form: what happens to the control target's connection.
#include "MainUnit.h"
#include "RemoteTexts.h"
#include "StatusTexts.h"

namespace kiv {

void TMainForm::miTaskConnectClick()
{
    const int index = TargetEntryIndex();
    if (index == -1 || ports_.Ras.EntryState(index) != kEntryIdle)
        return;
    ConnectRequested = true;
    RedialDone = 0;
    ShowStatus(ports_.Ras.Dial(index) ? kStatusDialStarted : kStatusDialFailed);
}

void TMainForm::miTaskDeconnectClick()
{
    const int index = TargetEntryIndex();
    if (index == -1)
        return;
    if (ports_.tmConnect.Enabled()) {
        ports_.tmConnect.SetEnabled(false);
        ShowStatus(kStatusRedialCancelled);
        return;
    }
    switch (ports_.Ras.EntryState(index)) {
    case kEntryDialling:
        // Set before the call: the dial's end, which may come before the cancel's, must be read
        // as the cancel.
        CancelRequested = true;
        ConnectRequested = false;
        if (ports_.Ras.CancelDial([this] { ShowStatus(kStatusDialCancelled); }))
            return;
        CancelRequested = false;
        break;
    case kEntryConnected:
        ConnectRequested = false;
        break;
    default:
        return;
    }
    HangUpTarget(kStatusDisconnected);
}

void TMainForm::HangUpTargetConnection(std::function<void(bool released)> done)
{
    const int connection = TargetConnectionIndex();
    if (connection == -1 || !ports_.Ras.HangUpConnection(connection, done))
        done(false);
}

bool TMainForm::TargetStillUp()
{
    const int state = ports_.Ras.EntryState(TargetEntryIndex());
    return state == kEntryDialling || state == kEntryConnected;
}

void TMainForm::HangUpTarget(std::string_view successMessage, std::function<void(bool hungUp)> after)
{
    HangUpTargetConnection([this, successMessage, after = std::move(after)](bool hungUp) {
        if (hungUp) {
            if (!successMessage.empty())
                ShowStatus(successMessage);
        } else if (TargetStillUp()) {
            ShowStatus(kStatusDisconnectFailed);
            ConnectRequested = true;  // the line is still up and stays kept
        }
        if (after)
            after(hungUp);
    });
}

void TMainForm::tmConnectTimer()
{
    ports_.tmConnect.SetEnabled(false);
    const int index = TargetEntryIndex();
    if (ports_.Ras.EntryState(index) == kEntryIdle) {
        ConnectRequested = true;
        ++RedialDone;
        if (ports_.Ras.Dial(index)) {
            ShowStatus(kStatusRedialStarted);
            return;
        }
    }
    ShowStatus(kStatusRedialFailed);
}

void TMainForm::ScheduleRedial()
{
    ports_.tmConnect.SetInterval(static_cast<unsigned>(SettingInRange(Settings, &TSettings::RedialInterval)) * 1000);
    ports_.tmConnect.SetEnabled(true);
}

void TMainForm::TellRemoteConsole(const std::string& text)
{
    if (RemoteMachineName.empty())
        return;
    // Told once: the console is forgotten before anything else can run.
    const std::string machine = std::move(RemoteMachineName);
    const std::string discrimination = std::move(RemoteDiscrimination);
    RemoteMachineName.clear();
    RemoteDiscrimination.clear();
    ports_.KMS.SendInputMessage(text, machine, discrimination);
}

void TMainForm::RasConnect(const std::string& dialName)
{
    TellRemoteConsole(RemoteConnectedText(dialName));
    ShowStatus(kStatusConnected);
}

void TMainForm::RasConnectError(const std::string& dialName)
{
    if (!CancelRequested) {
        if (!Settings.Redial) {
            ShowStatus(kStatusDialFailed);
        } else if (RedialDone < Settings.RedialCount) {
            ShowStatus(kStatusDialFailedRedial);
            ScheduleRedial();
        } else {
            ShowStatus(kStatusDialFailedRedialsUsedUp);
        }
    }
    TellRemoteConsole(CancelRequested ? RemoteCancelledText(dialName) : RemoteFailedText(dialName));
    CancelRequested = false;
    ConnectRequested = false;
}

void TMainForm::KeepAliveCheck()
{
    if (!Settings.Keep || !ConnectRequested || ports_.tmConnect.Enabled() ||
        ports_.Ras.EntryStateByName(Settings.Target) != kEntryIdle)
        return;
    ConnectRequested = false;
    RedialDone = 0;
    ScheduleRedial();
    ShowStatus(kStatusLineDroppedRedial);
}

}  // namespace kiv
