// Dial-up control of the main form: what happens to the control target's connection.
#include "LogTexts.h"
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
    if (DialTarget(index, kDialByUser))
        ShowStatus(kStatusDialStarted);
    else
        ShowStatusWithReason(kStatusDialFailed, RefusalReason());
}

bool TMainForm::DialTarget(int index, std::string_view occasion)
{
    const std::string name = ports_.Ras.EntryName(index);
    if (ports_.Ras.Dial(index)) {
        Log(kLogLine, DialStartedLog(name, occasion));
        return true;
    }
    Log(kLogLine, DialRefusedLog(name, occasion, ports_.Ras.DialRefusal()));
    return false;
}

std::string TMainForm::RefusalReason() { return RasErrorText(ports_.Ras.DialRefusal()); }

void TMainForm::LineUp(const std::string& name, bool adopted)
{
    line_ = ConnectedLine{name, ports_.Clock.TickCount(), adopted};
}

void TMainForm::LineEnded(std::string_view how)
{
    if (!line_)
        return;
    Log(kLogLine, LineEndedLog(line_->Name, how, TickElapsed(ports_.Clock.TickCount(), line_->Since), line_->Adopted));
    line_.reset();
}

void TMainForm::WatchLine()
{
    if (line_ && hangUps_ == 0 && ports_.Ras.EntryStateByName(line_->Name) != kEntryConnected)
        LineEnded(kLineDropped);
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
    const std::string name = Settings.Target;
    ++hangUps_;
    auto ended = [this, name, done = std::move(done)](bool released) {
        --hangUps_;
        if (!released && TargetStillUp()) {
            Log(kLogLine, HangUpFailedLog(name));
        } else if (line_ && line_->Name == name) {
            LineEnded(kLineHungUp);
        } else {
            Log(kLogLine, "「" + name + "」から切断しました。");
        }
        done(released);
    };
    const int connection = TargetConnectionIndex();
    if (connection == -1 || !ports_.Ras.HangUpConnection(connection, ended))
        ended(false);
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
    std::string reason;
    if (ports_.Ras.EntryState(index) == kEntryIdle) {
        ConnectRequested = true;
        ++RedialDone;
        if (DialTarget(index, RedialOccasion(RedialDone))) {
            ShowStatus(kStatusRedialStarted);
            return;
        }
        reason = RefusalReason();
    } else {
        Log(kLogLine, "「" + Settings.Target + "」は待機中ではないので、リダイヤルしません。");
    }
    ShowStatusWithReason(kStatusRedialFailed, reason);
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
    Log(kLogLine, ConnectedLog(dialName));
    LineUp(dialName, false);
    TellRemoteConsole(RemoteConnectedText(dialName));
    ShowStatus(kStatusConnected);
}

void TMainForm::RasConnectError(const std::string& dialName, const RasError& error)
{
    Log(kLogLine, CancelRequested ? DialCancelledLog(dialName) : DialFailedLog(dialName, error));
    if (!CancelRequested) {
        // The service's reason goes on a line after the message: the texts stay as they are.
        const std::string reason = RasErrorText(error);
        if (!Settings.Redial) {
            ShowStatusWithReason(kStatusDialFailed, reason);
        } else if (RedialDone < Settings.RedialCount) {
            ShowStatusWithReason(kStatusDialFailedRedial, reason);
            ScheduleRedial();
        } else {
            ShowStatusWithReason(kStatusDialFailedRedialsUsedUp, reason);
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
