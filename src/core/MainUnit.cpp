#include "MainUnit.h"

#include "Paths.h"
#include "SettingLimits.h"
#include "StartupDial.h"
#include "StatusTexts.h"
#include "TextHelpers.h"
#include "TrayImage.h"

namespace kiv {

namespace {

constexpr unsigned kMbOk = 0x00000000;
constexpr unsigned kMbIconExclamation = 0x00000030;

}  // namespace

TMainForm::TMainForm(const TMainFormPorts& ports) : ports_(ports)
{
    ports_.Ras.OnConnect = [this](const std::string& dialName) { RasConnect(dialName); };
    ports_.Ras.OnConnectError = [this](const std::string& dialName) { RasConnectError(dialName); };
    ports_.KMS.OnMenuRequest = [this](const std::string& handleName, const std::string& machineName,
                                      const std::string& discrimination) {
        KMSMenuRequest(handleName, machineName, discrimination);
    };
    ports_.KMS.OnInputReturn = [this](const std::string& key, const std::string& answer,
                                      const std::string& handleName, const std::string& machineName,
                                      const std::string& discrimination) {
        KMSInputReturn(key, answer, handleName, machineName, discrimination);
    };
}

void TMainForm::FormCreate()
{
    if (ports_.Ras.ServiceError()) {
        ports_.App.MessageBox(kRasMissingText, ports_.App.Title(), kMbOk | kMbIconExclamation);
        ports_.App.Terminate();
        return;
    }

    AppDir = DirectoryWithDelimiter(ports_.App.ExePath());
    ConnectRequested = false;
    CancelRequested = false;
    RemoteMachineName.clear();
    RemoteDiscrimination.clear();
    StatusQueue.clear();
    LastScheduleTick = ports_.Clock.TimeOfDay();
    SkipAutoDisconnect = false;
    AllowedComputers.clear();
    ports_.VSS.DefaultIniFilePath = AppDir + kIniFileName;
    LoadSettings(ports_.VSS, ports_.Ras.EntryName(0), ports_.VSS.UseSetLayeredWindow(), Settings,
                 AllowedComputers);
    ports_.VSS.SetSetLayeredWindowEvent(false);

    ports_.Tray.Add(ChooseTrayIcon(ports_.App.Version()));
    created_ = true;
    ports_.tmSchedule.SetEnabled(true);

    std::string message = kStatusWelcome;
    if (Settings.KMSLogin) {
        bool loggedIn = false;
        if (Settings.KMSPort && KestrelPortUsable(Settings.KMSPortNo))
            ports_.KMS.SetPortNo(Settings.KMSPortNo);
        if (ports_.KMS.Start()) {
            ports_.KMS.SetHandleName(ports_.App.Title());
            loggedIn = ports_.KMS.Login();
        }
        if (loggedIn) {
            message += std::string("\r") + kStatusKMSLoggedIn;
        } else {
            ports_.KMS.Stop();
            message += std::string("\r") + kStatusKMSLoginFailed;
        }
    }
    message += "\r" + ComposeConnectionLine();
    ShowStatus(message);
}

std::string TMainForm::ComposeConnectionLine()
{
    const int index = TargetEntryIndex();
    if (index == -1)
        return kStatusNoTarget;
    switch (ports_.Ras.EntryState(index)) {
    case 1:
        ConnectRequested = true;
        return kStatusStateDialling;
    case 2:
        ConnectRequested = true;
        return kStatusStateConnected;
    default:
        break;
    }
    if (!ShouldDialAtStartup(Settings, ports_.Clock.TimeOfDay()))
        return kStatusStateIdle;
    ConnectRequested = true;
    RedialDone = 0;
    return ports_.Ras.Dial(index) ? kStatusDialStarted : kStatusDialFailed;
}

void TMainForm::FormDestroy()
{
    ports_.KMS.Logout();
    ports_.KMS.Stop();
    ConnectRequested = false;
    if (created_ && Settings.AutoDisconnectEnd) {
        const int index = TargetEntryIndex();
        bool failed = false;
        switch (ports_.Ras.EntryState(index)) {
        case 1:
            failed = !ports_.Ras.CancelDial() && !HangUpTargetConnection();
            break;
        case 2:
            failed = !HangUpTargetConnection();
            break;
        default:
            break;
        }
        if (failed && TargetStillUp())
            ShowStatus(kStatusDisconnectFailed);
    }
    AllowedComputers.clear();
    StatusQueue.clear();
    ports_.Tray.Delete();
    created_ = false;
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
    int found = -1;
    const int count = ports_.Ras.ActiveEntryCount();
    for (int i = 0; i < count; ++i)
        if (ports_.Ras.ConnectedEntryName(i) == Settings.Target)
            found = i;
    return found;
}

void TMainForm::ShowStatus(const std::string& messageTemplate)
{
    // %D first, splitting on it so that a name containing "%D" is inserted unchanged.
    std::string message;
    std::size_t from = 0;
    for (;;) {
        const auto pos = messageTemplate.find("%D", from);
        std::string piece = messageTemplate.substr(from, pos == std::string::npos ? std::string::npos : pos - from);
        ReplaceText("%S", std::to_string(Settings.RedialInterval), piece);
        ReplaceText("%C", std::to_string(Settings.RedialCount - RedialDone), piece);
        message += piece;
        if (pos == std::string::npos)
            break;
        message += Settings.Target;
        from = pos + 2;
    }
    StatusQueue.push_back(message);
    if (StatusQueue.size() == 1)
        DisplayNextStatus();
}

void TMainForm::DisplayNextStatus()
{
    if (StatusLocateInRange(Settings.StatusLocate) == 0) {
        StatusQueue.clear();
        return;
    }
    if (!StatusQueue.empty())
        ports_.StatusView.Show(StatusQueue.front());
}

}  // namespace kiv
