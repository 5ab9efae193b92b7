// The options dialog's apply on the main form's side.
#include "LogTexts.h"
#include "MainUnit.h"
#include "OptionLogic.h"
#include "StatusTexts.h"

namespace kiv {

std::optional<std::string> TMainForm::ApplyOptions(const OptionControls& controls, const StringList& workingList)
{
    // No schedule tick may see half-copied settings.
    ports_.tmSchedule.SetEnabled(false);

    // A new end time withdraws the user's skip of the pending scheduled disconnect.
    if (EndTimeChanged(controls, Settings))
        SkipAutoDisconnect = false;

    const bool loggedIn = Settings.KMSLogin;
    const bool logging = Settings.WriteLog;
    CopyOptionsToSettings(controls, Settings);
    if (logging && !Settings.WriteLog)
        Log(kLogProgram, kLogTurnedOff);
    ports_.Log.SetEnabled(Settings.WriteLog);
    if (!logging && Settings.WriteLog)
        Log(kLogProgram, kLogTurnedOn);
    AllowedComputers = workingList;
    // The password or the allowed computers may have changed: every console asks anew.
    RemoteConsoles.Clear();

    // KMSLogin is now the choice; the login or logout follows it, a failure is reported and
    // left as it is (the port stays the one of the last start).
    if (loggedIn && !Settings.KMSLogin) {
        ports_.KMS.Logout();
        ports_.KMS.Stop();
        ShowStatus(kStatusKMSLoggedOut);
    } else if (!loggedIn && Settings.KMSLogin) {
        ShowStatus(StartKestrelMesh() ? kStatusKMSLoggedIn : kStatusKMSLoginFailed);
    }

    // The apply counts as the schedule's last tick: a time already past does not fire at once.
    Schedule.Restart(ports_.Clock.LocalNow(), ports_.Clock.TickCount());
    const auto failure = SettingsSaved(SaveSettings(ports_.VSS, Settings, AllowedComputers), false);
    ports_.tmSchedule.SetEnabled(true);
    return failure;
}

}  // namespace kiv
