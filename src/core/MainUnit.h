// The main window's decisions: start-up, shutdown and the state every other handler shares.
// The window itself lives in the Win32 layer and forwards its events here.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "EventLogPort.h"
#include "Ports.h"
#include "RemoteRights.h"
#include "Schedule.h"
#include "Settings.h"
#include "StatusMessage.h"
#include "StringList.h"
#include "TrayMenu.h"

namespace kiv {

struct OptionControls;

// Asks the system to shut down; true when the request was accepted.
class ShutdownPort {
public:
    virtual ~ShutdownPort() = default;
    virtual bool ShutdownWindows() = 0;
};

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// Windows lets a program take 5 s over the end of the session (WM_ENDSESSION) before it shows
// the user what holds the session up, or ends the program where the user has chosen so. Kiv's
// part takes at most 4 s, keeping a second for its window's end on a busy machine: the wait for
// the service to confirm the hang-up gets what logging out of KestrelMesh and removing the tray
// icon (a shell that is ending too may answer slowly) have left of them.
inline constexpr std::uint32_t kSessionEndLimitMs = 4000;

// How the program's end with the session went, for the log.
struct SessionEndReport {
    bool HangUp = false;     // the target was being hung up (or its dial cancelled)
    bool Confirmed = false;  // the service released it within the limit
    std::uint32_t WaitedMs = 0;
};
// What the log says of it (Shift-JIS): the hang-up of the target and whether the service
// confirmed it; nothing when there was none.
std::string SessionEndNote(const SessionEndReport& report, const std::string& target);

struct TMainFormPorts {
    ApplicationPort& App;
    ClockPort& Clock;
    RasPort& Ras;
    MeshPort& KMS;
    VireoSubSetPort& VSS;
    TrayPort& Tray;
    StatusWindowPort& StatusWindow;
    TimerPort& tmSchedule;
    TimerPort& tmFeedOut;
    TimerPort& tmConnect;
    ShutdownPort& Shutdown;
    EventLogPort& Log;
};

class TMainForm {
public:
    explicit TMainForm(const TMainFormPorts& ports);
    virtual ~TMainForm() = default;

    // Starts Kiv: the log, the settings (waiting while Kiv.INI exists but cannot be read), the
    // tray icon, the schedule, KestrelMesh and the welcome message.
    void FormCreate();
    // The program is asked to end: KestrelMesh logs out and, with AutoDisconnectEnd, the target
    // is disconnected; `closed` runs once that is over (at once when there is nothing to wait
    // for), and the window side then destroys the window.
    void FormClose(std::function<void()> closed);
    // The session ends: the program goes once this returns. FormClose's work is done (or the
    // close under way goes on), the tray icon removed, and the hang-up settled without
    // processing messages, all within kSessionEndLimitMs; a hang-up the service has not
    // confirmed by then is left to it.
    SessionEndReport FormEndSession();
    // The window is going: what FormClose has not done (it may not have run, at the end of a
    // session) is done without waiting, and the tray icon is removed.
    void FormDestroy();

    // Writes one line to Kiv.log (EventLogPort.h): the kind of event and its text, Shift-JIS.
    // Every part of the program logs through here, the window side too.
    void Log(std::string_view kind, std::string_view text);

    // Fills the placeholders of a status template (in the notation of StatusTexts.h) and queues
    // the message. A prefix (the names of a remote console) goes in front as it is: no
    // placeholder or action is read from it.
    void ShowStatus(std::string_view messageTemplate, const std::string& prefix = {});
    // The same with a line after the message: the reason of a failure (nothing when empty).
    void ShowStatusWithReason(std::string_view messageTemplate, const std::string& reason,
                              const std::string& prefix = {});
    // Queues a message as it is (a text that holds a path or a reason, never a template) and
    // logs it.
    void ShowStatusMessage(StatusMessage message);
    // Shows the head of the queue.
    void DisplayNextStatus();
    // The work area changed (the taskbar moved or was resized, a display was added or changed
    // its mode): the status window goes to its corner of the new area.
    void StatusAreaChanged();
    // The status window's monitor changed its dpi, or the window went to one of another dpi:
    // the message on screen is laid out again at the window's new dpi.
    void StatusDpiChanged();
    // Tick of tmFeedOut (every 50 ms while a message is on screen): the close bar, and the
    // close of the head message when its time is up or others are waiting.
    void tmFeedOutTimer();
    // Click on the window or on its label: the head message closes now.
    void FormClick();
    // Click on the status icon: the head message's action, then its close.
    void imMainIconClick();
    void imMainIconMouseDown(TMouseButton button);
    void imMainIconMouseUp(TMouseButton button);

    // Dial-up control: the connect and disconnect commands (tray menu and status icon), the
    // pending redial, the dial-up layer's completion events and the keep-alive redial after a
    // drop.
    virtual void miTaskConnectClick();
    virtual void miTaskDeconnectClick();
    void tmConnectTimer();
    void RasConnect(const std::string& dialName);
    void RasConnectError(const std::string& dialName, const RasError& error);
    void KeepAliveCheck();

    // Opens the options dialog (tray menu and status icon); the window side has the dialog.
    virtual void miTaskOptionClick() {}

    // Tray icon: a double click shows the target's state unless a message is on screen; the
    // popup menu's state is built anew on every popup; a target chosen in its submenu is
    // written at once.
    void TrayDoubleClick();
    TaskMenuState pmTaskMenuPopup();
    void miTaskTargetChildClick(const std::string& caption);

    // The daily schedule, once a second.
    void tmScheduleTimer();
    // The computer resumed from sleep (WM_POWERBROADCAST), or the clock was changed
    // (WM_TIMECHANGE): the schedule learns why a time may have passed unseen, and ticks at once,
    // looking at the line again.
    void PowerResumed();
    void ClockChanged();
    // Asks the system to shut down, and logs the request and its answer.
    bool ShutdownWindows();

    // Remote control by a KestrelMesh console (RemoteMenu.cpp): its menu request, its answers
    // (each request carries the console's names and the address its datagrams came from), and
    // the check of its computer name, which sends the refusal itself.
    void KMSMenuRequest(const MeshRequest& request);
    void KMSInputReturn(const MeshRequest& request);
    bool CheckRemoteAccess(const std::string& machineName, const std::string& discrimination);
    // A peer left the mesh: a console that gave the password loses its right.
    void KMSLogout(const PeerInfo& peer);
    // The options dialog's apply once its checks have passed (OptionApply.cpp): the schedule
    // stopped, the controls and the working list copied, KestrelMesh logged in or out, the file
    // saved, the schedule restarted.
    // Returns the text that tells the user where and why, when the save did not reach the disk.
    std::optional<std::string> ApplyOptions(const OptionControls& controls, const StringList& workingList);

    // Phonebook index of the control target, -1 when there is none or it is not listed.
    int TargetEntryIndex();
    // Index of the control target in the connection list as HangUpConnection counts it (the
    // last listed connection under the target's name), -1 when it is not listed.
    int TargetConnectionIndex();

    // Program-wide state.
    std::string AppDir;
    ScheduleKeeper Schedule;
    bool SkipAutoDisconnect = false;
    TSettings Settings;
    StringList AllowedComputers;

    // Fields of the form.
    bool ConnectRequested = false;
    bool CancelRequested = false;
    std::string RemoteMachineName;
    std::string RemoteDiscrimination;
    // Consoles that gave the password while it is required.
    RemoteRights RemoteConsoles;
    int RedialDone = 0;
    std::vector<StatusMessage> StatusQueue;
    std::uint32_t StatusShownAt = 0;

    // Tags of the form and its controls.
    int Tag = 0;              // alpha the head message was faded in with; 0 = shown plainly
    int tmFeedOutTag = 0;     // lifetime of the head message in ms; -1 closes it at the next tick
    int imMainIconTag = 0;    // action code of the head message, 0..4
    bool imMainIconEnabled = false;
    int laStatusTag = 0;      // 1 when the close bar is drawn

    // FormCreate went past the remote access check, so there are settings and a tray icon.
    bool Created() const { return created_; }

    // The start waits for Kiv.INI, which exists but cannot be read.
    bool WaitingForSettings() const { return settingsWaiting_; }

private:
    // The start once the settings are there.
    void FinishCreate();
    // Reads Kiv.INI into Settings, after undoing a save that was cut short; false while the
    // file exists but cannot be read (said once in the status window and the log).
    bool ReadSettings();
    // A tick while the start waits for Kiv.INI: it is read again; after a while the user is
    // asked whether to wait more, start afresh or end Kiv.
    void SettingsRetry();
    // A save of Kiv.INI is logged with the settings it was to store that the file did not hold
    // yet (every key, or only Target); when it did not reach the disk, returns the text that
    // tells the user where and why, else nothing.
    std::optional<std::string> SettingsSaved(const IniWrite& result, bool onlyTarget);
    std::string ComposeConnectionLine();
    // Dials the phonebook entry of the target and logs the start or the refusal, with what the
    // dial is for.
    bool DialTarget(int index, std::string_view occasion);
    // The reason of the last refused dial; empty when the service gave none.
    std::string RefusalReason();
    // The target's line is connected (adopted: it was so when Kiv started); from here its end
    // is logged with its duration.
    void LineUp(const std::string& name, bool adopted);
    // The connected line has ended, as how says ("から切断しました").
    void LineEnded(std::string_view how);
    // Tick of the schedule: a connected line that is no longer up has dropped.
    void WatchLine();
    // Starts KestrelMesh on its current port and logs in under the program's title; false when
    // either step fails. The caller decides what a failure leaves running.
    bool StartKestrelMesh();
    // Hangs up the target's connection; once it is released shows successMessage (when one is
    // given), on failure (the target not connected counts as one) reports it while the line is
    // still up and keeps it; then `after` runs with the outcome (at once when the hang-up could
    // not start).
    void HangUpTarget(std::string_view successMessage, std::function<void(bool hungUp)> after = {});
    // HangUpConnection of the target's connection; done(false) at once when it is not connected
    // or the service refused.
    void HangUpTargetConnection(std::function<void(bool released)> done);
    // The target is still dialling or connected.
    bool TargetStillUp();
    void ScheduleRedial();
    void TellRemoteConsole(const std::string& text);
    // The scheduled disconnect and its steps: a dial cancelled, a line hung up, a connection that
    // completed meanwhile hung up too, the report (and the shutdown when so set).
    void ScheduledDisconnect();
    void ScheduledCancelDone(int index);
    void ScheduledHangUpIfConnected(int index);
    void ScheduledDisconnected();
    // A console's Deconnect, once the hang-up has ended.
    void RemoteHangUpDone(const MeshRequest& request, bool released);
    // The checks ahead of every remote request: computer name, control target, and with
    // checkLock the lock of another console's running dial. Sends the refusal itself.
    bool RemoteGate(const MeshRequest& request, bool checkLock);
    // One line of the remote dialogue in the log: the console (name, address, user) and what
    // it asked or was told. Never a password.
    void LogRemote(const MeshRequest& request, const std::string& what);
    // The first password prompt, as a menu request gets it.
    void SendPasswordPrompt(const std::string& machineName, const std::string& discrimination);

    // The handlers of the prompts' keys. Each one either replies itself and returns nothing,
    // or returns the note that goes above the menu it sends back.
    std::optional<std::string> RemoteMenuAnswer(const MeshRequest& request);
    std::optional<std::string> RemoteConnectAnswer(const MeshRequest& request);
    std::optional<std::string> RemoteDisconnectAnswer(const MeshRequest& request);
    std::string RemoteTargetAnswer(const MeshRequest& request);
    std::optional<std::string> RemoteShutdownAnswer(const MeshRequest& request);
    void RemotePasswordAnswer(const MeshRequest& request);
    // The menu with the status block, under note. A console that gave the password holds its
    // right afresh.
    void SendRemoteMenu(const std::string& note, const MeshRequest& request);

    // Kiv.log could not be written: said once in the status window, and Kiv goes on.
    void LogFailed(const Utf8Path& path, const FileError& error);

    // Closes the head message: fades it out (its end arrives as StatusFadedOut) or hides it.
    void CloseStatus();
    // Measures the head message at the window's dpi, sizes, places and shapes the window.
    void LayOutStatus();
    // Moves the status window, at its last size, to its corner of the current work area.
    void PlaceStatusWindow();
    // The head message is out of sight: it leaves the queue and the next one is shown.
    void StatusFadedOut();

    // The line Kiv saw connected: its entry, since when (tick) and whether it was up at start.
    struct ConnectedLine {
        std::string Name;
        std::uint32_t Since = 0;
        bool Adopted = false;
    };
    std::optional<ConnectedLine> line_;
    // The start waits for Kiv.INI from this tick on, and has told the user once.
    bool settingsWaiting_ = false;
    // The settings as Kiv.INI holds them: read at start, and what the saves since then stored.
    TSettings stored_;
    StringList storedComputers_;
    std::uint32_t settingsWaitSince_ = 0;
    FileError settingsError_;
    // Hang-ups of ours under way: a line that goes meanwhile has not dropped.
    int hangUps_ = 0;

    TMainFormPorts ports_;
    bool created_ = false;
    bool closing_ = false;
    bool closeEnded_ = false;     // FormClose's work is over
    bool sessionEnding_ = false;  // Windows is ending the session: no box can wait for the user
    bool closingStatus_ = false;  // the head message is being closed (a fade-out may be running)
    std::uint32_t closingSince_ = 0;
    TSize statusSize_;  // the status window's size for its last message; 0 x 0 before the first
};

}  // namespace kiv
