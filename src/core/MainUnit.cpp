#include "MainUnit.h"

#include <cstdio>

#include "FileError.h"
#include "LogTexts.h"
#include "Paths.h"
#include "StartupDial.h"
#include "StatusLayout.h"
#include "StatusMessage.h"
#include "StatusTexts.h"
#include "TextHelpers.h"
#include "TrayImage.h"

namespace kiv {

TMainForm::TMainForm(const TMainFormPorts& ports) : ports_(ports)
{
    ports_.Ras.OnConnect = [this](const std::string& dialName) { RasConnect(dialName); };
    ports_.Ras.OnConnectError = [this](const std::string& dialName, const RasError& error) {
        RasConnectError(dialName, error);
    };
    ports_.KMS.OnMenuRequest = [this](const MeshRequest& request) { KMSMenuRequest(request); };
    ports_.KMS.OnInputReturn = [this](const MeshRequest& request) { KMSInputReturn(request); };
    ports_.KMS.OnLogout = [this](const PeerInfo& peer) { KMSLogout(peer); };
    ports_.VSS.OnFadeOutEnd = [this] { StatusFadedOut(); };
    ports_.Log.OnFailure = [this](const Utf8Path& path, const FileError& error) { LogFailed(path, error); };
}

void TMainForm::Log(std::string_view kind, std::string_view text)
{
    ports_.Log.Write(kind, SjisText(std::string(text)));
}

void TMainForm::LogFailed(const Utf8Path& path, const FileError& error)
{
    ShowStatusMessage({std::string(kStatusLogFailed) + "\r" + ports_.App.PathText(path).Bytes + "\r" +
                           FileErrorText(error),
                       kActionNone});
}

void TMainForm::FormCreate()
{
    AppDir = DirectoryWithDelimiter(ports_.App.ExePath().Text);
    ports_.Log.Open(Utf8Path(AppDir + kLogFileName));
    if (ports_.Ras.ServiceError()) {
        Log(kLogProgram, kLogStarted);
        Log(kLogProgram, kRasMissingText);
        ports_.App.MessageBox(SjisText(kRasMissingText), ports_.App.Title(), kMbOk | kMbIconExclamation);
        ports_.App.Terminate();
        return;
    }

    ConnectRequested = false;
    CancelRequested = false;
    RemoteMachineName.clear();
    RemoteDiscrimination.clear();
    RemoteConsoles.Clear();
    SkipAutoDisconnect = false;
    AllowedComputers.clear();
    ports_.VSS.DefaultIniFilePath = AppDir + kIniFileName;
    ports_.VSS.SetSetLayeredWindowEvent(false);
    // The rest of the start waits for the settings: a file held by another program is read
    // again every tick of tmSchedule (SettingsRetry) until it can be, or the user decides.
    settingsWaitSince_ = ports_.Clock.TickCount();
    if (!ReadSettings()) {
        settingsWaiting_ = true;
        ports_.tmSchedule.SetEnabled(true);
        return;
    }
    FinishCreate();
}

void TMainForm::FinishCreate()
{
    settingsWaiting_ = false;
    Schedule.Restart(ports_.Clock.LocalNow(), ports_.Clock.TickCount());
    ports_.Tray.Add(ChooseTrayIcon(ports_.App.Version()));
    created_ = true;
    ports_.tmSchedule.SetEnabled(true);

    std::string message = kStatusWelcome;
    if (Settings.KMSLogin) {
        if (Settings.KMSPort && KestrelPortUsable(Settings.KMSPortNo))
            ports_.KMS.SetPortNo(Settings.KMSPortNo);
        if (StartKestrelMesh()) {
            message += std::string("\r") + kStatusKMSLoggedIn;
        } else {
            ports_.KMS.Stop();
            message += std::string("\r") + kStatusKMSLoginFailed;
        }
    }
    const std::string connection = ComposeConnectionLine();
    message += "\r" + connection;
    ShowStatusWithReason(message, connection == kStatusDialFailed ? RefusalReason() : std::string());
}

bool TMainForm::StartKestrelMesh()
{
    if (!ports_.KMS.Start())
        return false;
    ports_.KMS.SetHandleName(ports_.App.Title().Bytes);
    return ports_.KMS.Login();
}

std::string TMainForm::ComposeConnectionLine()
{
    const int index = TargetEntryIndex();
    if (index == -1)
        return kStatusNoTarget;
    switch (ports_.Ras.EntryState(index)) {
    case kEntryDialling:
        ConnectRequested = true;
        return kStatusStateDialling;
    case kEntryConnected:
        ConnectRequested = true;
        LineUp(Settings.Target, true);
        return kStatusStateConnected;
    default:
        break;
    }
    if (!ShouldDialAtStartup(Settings, ports_.Clock.TimeOfDay())) {
        if (Settings.AutoConnectRun)
            Log(kLogSchedule, kLogStartupOutsideWindow);
        return kStatusStateIdle;
    }
    ConnectRequested = true;
    RedialDone = 0;
    return DialTarget(index, kDialAtStartup) ? kStatusDialStarted : kStatusDialFailed;
}

void TMainForm::FormClose(std::function<void()> closed)
{
    if (closing_)
        return;  // already closing: its end destroys the window
    closing_ = true;
    ports_.KMS.Logout();
    ports_.KMS.Stop();
    RemoteConsoles.Clear();
    ConnectRequested = false;
    auto ended = [this, closed = std::move(closed)] {
        closeEnded_ = true;
        closed();
    };
    if (!created_ || !Settings.AutoDisconnectEnd) {
        ended();
        return;
    }
    auto hungUp = [this, ended](bool released) {
        // The window goes next, and a status message with it: a box the user closes says it. At
        // the session's end there is no one to close it: the log says it.
        if (!released && TargetStillUp()) {
            const std::string text =
                ComposeStatusMessage(ParseStatusTemplate(kStatusDisconnectFailed), {}, Settings.Target, 0, 0).Text +
                "\r" + kExitLineStillUp;
            Log(kLogProgram, text);
            if (!sessionEnding_)
                ports_.App.MessageBox(SjisText(text), ports_.App.Title(), kMbOk | kMbIconExclamation);
        }
        ended();
    };
    switch (ports_.Ras.EntryState(TargetEntryIndex())) {
    case kEntryDialling:
        if (!ports_.Ras.CancelDial(ended))
            HangUpTargetConnection(hungUp);
        break;
    case kEntryConnected:
        HangUpTargetConnection(hungUp);
        break;
    default: ended(); break;
    }
}

SessionEndReport TMainForm::FormEndSession()
{
    const std::uint32_t start = ports_.Clock.TickCount();
    Log(kLogSystem, kLogSessionEnding);
    sessionEnding_ = true;
    FormClose([] {});
    ports_.Tray.Delete();
    SessionEndReport report;
    report.HangUp = !closeEnded_;
    if (report.HangUp) {
        const std::uint32_t spent = TickElapsed(ports_.Clock.TickCount(), start);
        ports_.Ras.SettleHangUps(spent < kSessionEndLimitMs ? kSessionEndLimitMs - spent : 0);
    }
    report.Confirmed = report.HangUp && closeEnded_;
    report.WaitedMs = TickElapsed(ports_.Clock.TickCount(), start);
    if (report.HangUp)
        Log(kLogLine, SessionEndNote(report, Settings.Target));
    return report;
}

std::string SessionEndNote(const SessionEndReport& report, const std::string& target)
{
    if (!report.HangUp)
        return {};
    char waited[32];
    std::snprintf(waited, sizeof waited, "%u.%u", report.WaitedMs / 1000, report.WaitedMs % 1000 / 100);
    const std::string line = "Windowsの終了で「" + target + "」を切断";
    if (report.Confirmed)
        return line + "しました（" + waited + "秒）。";
    return line + "しましたが、" + waited + "秒のうちに切断の完了を確かめられませんでした。";
}

void TMainForm::FormDestroy()
{
    if (!closing_) {
        // No time to wait (the session ends): the hang-up is asked for and left to the service.
        FormClose([] {});
    }
    if (line_ && TargetStillUp())
        LineEnded(kLineLeftUp);
    AllowedComputers.clear();
    StatusQueue.clear();
    ports_.Tray.Delete();
    created_ = false;
    Log(kLogProgram, kLogEnded);
}

int TMainForm::TargetEntryIndex()
{
    int found = -1;
    const int count = ports_.Ras.EntryCount();
    for (int i = 0; i < count; ++i)
        if (ports_.Ras.EntryName(i) == Settings.Target)
            found = i;  // the last match wins
    return found;
}

int TMainForm::TargetConnectionIndex()
{
    // Counted as HangUpConnection counts: an index among the connected ones only would name
    // another program's connection whenever one in another state is listed ahead.
    int found = -1;
    for (int i = 0;; ++i) {
        const std::string name = ports_.Ras.ListedEntryName(i);
        if (name.empty())
            break;
        if (name == Settings.Target)
            found = i;
    }
    return found;
}

void TMainForm::ShowStatus(std::string_view messageTemplate, const std::string& prefix)
{
    ShowStatusWithReason(messageTemplate, {}, prefix);
}

void TMainForm::ShowStatusWithReason(std::string_view messageTemplate, const std::string& reason,
                                     const std::string& prefix)
{
    // The interval the redial timer really uses, for a hand-edited value out of range too.
    StatusMessage message =
        ComposeStatusMessage(ParseStatusTemplate(messageTemplate), prefix, Settings.Target,
                             SettingInRange(Settings, &TSettings::RedialInterval), Settings.RedialCount - RedialDone);
    if (!reason.empty())
        message.Text += "\r" + reason;
    ShowStatusMessage(std::move(message));
}

void TMainForm::ShowStatusMessage(StatusMessage message)
{
    std::string logged = message.Text;
    if (message.Action != kActionNone)
        logged += std::string("（アイコンの操作: ") + StatusActionName(message.Action) + "）";
    StatusQueue.push_back(std::move(message));
    if (StatusQueue.size() == 1)
        DisplayNextStatus();
    // After the queue: a failure to log is itself a message, and comes after this one.
    Log(kLogStatus, logged);
}

void TMainForm::DisplayNextStatus()
{
    const int locate = SettingInRange(Settings, &TSettings::StatusLocate);
    if (locate == 0) {
        StatusQueue.clear();
        return;
    }
    if (StatusQueue.empty())
        return;
    StatusWindowPort& window = ports_.StatusWindow;
    VireoSubSetPort& vss = ports_.VSS;

    // Out of sight while it is rearranged: transparent in place, or hidden.
    const bool fade = vss.UseSetLayeredWindow() && Settings.StatusAlpha;
    if (fade) {
        vss.SetLayeredAlpha(window.Handle(), 0, 0);
    } else {
        window.HideWithoutActivation();
        if (vss.UseSetLayeredWindow())
            vss.SetLayeredAlpha(window.Handle(), -1, 0);
    }

    const StatusMessage head = StatusQueue.front();
    imMainIconTag = head.Action;
    imMainIconEnabled = imMainIconTag != kActionNone;
    window.SetIconEnabled(imMainIconEnabled);
    laStatusTag = Settings.StatusCloseBar ? 1 : 0;
    LayOutStatus();

    const int alpha = SettingInRange(Settings, &TSettings::StatusAlphaCount);
    if (fade && vss.FadeIn(&window, alpha, 0, 25)) {
        Tag = alpha;
        window.Redraw();
    } else {
        // Without alpha blending, or when the fade could not start: shown plainly.
        Tag = 0;
        if (fade)
            vss.SetLayeredAlpha(window.Handle(), -1, 0);
        window.ShowWithoutActivation();
    }

    StatusShownAt = ports_.Clock.TickCount();
    tmFeedOutTag = StatusLifetime(head.Text);
    ports_.tmFeedOut.SetEnabled(true);
}

void TMainForm::LayOutStatus()
{
    StatusWindowPort& window = ports_.StatusWindow;
    const std::string& text = StatusQueue.front().Text;
    const unsigned dpi = window.Dpi();
    statusSize_ = StatusWindowSize(window.SetStatusCaption(SjisText(text)), dpi);
    PlaceStatusWindow();
    const bool multiLine = text.find('\r') != std::string::npos;
    window.SetShape(StatusWindowShape(statusSize_.Width, statusSize_.Height, laStatusTag != 0, multiLine, dpi));
}

void TMainForm::PlaceStatusWindow()
{
    StatusWindowPort& window = ports_.StatusWindow;
    const auto at = StatusWindowPosition(SettingInRange(Settings, &TSettings::StatusLocate), window.Area(),
                                         statusSize_.Width, statusSize_.Height, window.Dpi());
    if (at)
        window.SetBounds(at->X, at->Y, statusSize_.Width, statusSize_.Height);
}

void TMainForm::StatusDpiChanged()
{
    // The message on screen is measured and shaped again at the new dpi, in its corner; one
    // not yet shown is laid out when it comes.
    if (StatusQueue.empty())
        return;
    LayOutStatus();
    ports_.StatusWindow.Redraw();
}

void TMainForm::StatusAreaChanged()
{
    // Placed once, the window follows its corner, shown or not: the next message is placed
    // anew in any case.
    if (statusSize_.Width > 0)
        PlaceStatusWindow();
}

void TMainForm::tmFeedOutTimer()
{
    // While the head message fades out, a click or tick closes nothing more; the timer only
    // guards against a fade whose end never comes (about a quarter of a second is usual).
    if (closingStatus_) {
        constexpr std::uint32_t kFadeOutLimit = 3000;
        if (TickElapsed(ports_.Clock.TickCount(), closingSince_) >= kFadeOutLimit)
            StatusFadedOut();
        return;
    }
    const std::uint32_t elapsed = TickElapsed(ports_.Clock.TickCount(), StatusShownAt);
    const int lifetime = tmFeedOutTag;
    const bool othersWaiting = StatusQueue.size() > 1;
    if (laStatusTag != 0)
        ports_.StatusWindow.DrawCloseBar(
            StatusCloseBar(ports_.StatusWindow.Width(), elapsed, lifetime, othersWaiting, ports_.StatusWindow.Dpi()));
    if (ports_.VSS.RunningLayeredWindowFeed())
        return;
    if (!othersWaiting && lifetime != -1 && static_cast<long long>(elapsed) < lifetime)
        return;
    CloseStatus();
}

void TMainForm::CloseStatus()
{
    closingStatus_ = true;
    closingSince_ = ports_.Clock.TickCount();
    if (Tag != 0 && ports_.VSS.FadeOut(&ports_.StatusWindow, Tag, 0, 25))
        return;  // tmFeedOut stays on as the fade's guard
    ports_.StatusWindow.HideWithoutActivation();
    StatusFadedOut();
}

void TMainForm::StatusFadedOut()
{
    // Once per close: the end of a fade-out that was started inside FadeOut itself has already
    // finished it.
    if (!closingStatus_)
        return;
    closingStatus_ = false;
    ports_.tmFeedOut.SetEnabled(false);
    if (!StatusQueue.empty())
        StatusQueue.erase(StatusQueue.begin());
    if (!StatusQueue.empty())
        DisplayNextStatus();
}

void TMainForm::FormClick()
{
    tmFeedOutTag = -1;
    tmFeedOutTimer();
}

void TMainForm::imMainIconClick()
{
    switch (imMainIconTag) {
    case kActionConnect:
        miTaskConnectClick();
        break;
    case kActionDisconnect:
        miTaskDeconnectClick();
        break;
    case kActionOptions:
        miTaskOptionClick();
        break;
    case kActionSkipAutoDisconnect:
        SkipAutoDisconnect = true;
        break;
    default:
        break;
    }
    FormClick();
}

void TMainForm::imMainIconMouseDown(TMouseButton button)
{
    // The icon looks pressed: one pixel down and right at 96 dpi.
    const int nudge = ScaleToDpi(1, ports_.StatusWindow.Dpi());
    if (button == TMouseButton::mbLeft)
        ports_.StatusWindow.MoveIcon(nudge, nudge);
}

void TMainForm::imMainIconMouseUp(TMouseButton button)
{
    const int nudge = ScaleToDpi(1, ports_.StatusWindow.Dpi());
    if (button == TMouseButton::mbLeft)
        ports_.StatusWindow.MoveIcon(-nudge, -nudge);
}

}  // namespace kiv
