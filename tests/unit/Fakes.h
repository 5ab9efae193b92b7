// Fakes of the main window's ports, with the calls they saw.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "EventLog.h"
#include "MainUnit.h"
#include "ScheduledTimer.h"
#include "TempDir.h"
#include "VireoSubSet.h"
#include "VirtualTime.h"

namespace kiv::test {

// The clock of virtual time: the tick is the low 32 bits of time.now, so it wraps as the
// system's does; the time of day is set by the test.
// A day of the fake calendar (2024-10-05) and a time on it.
inline LocalTime At(int h, int m, int s = 0, int day = 0)
{
    return (20001LL + day) * kDayMilliseconds + ((h * 60LL + m) * 60 + s) * 1000;
}

// The wall clock runs with the virtual time; setting it moves it alone, as a clock change does.
class FakeClock : public ClockPort {
public:
    LocalTime LocalNow() override { return wallAtZero + static_cast<LocalTime>(time.now); }
    std::uint32_t TickCount() override { return static_cast<std::uint32_t>(time.now); }
    void SetLocal(LocalTime t) { wallAtZero = t - static_cast<LocalTime>(time.now); }
    VirtualTime time;

private:
    LocalTime wallAtZero = At(12, 0);
};

class FakeApp : public ApplicationPort {
public:
    SjisText Title() const override { return SjisText("Kiv"); }
    Utf8Path ExePath() const override { return Utf8Path(exePath); }
    SjisText PathText(const Utf8Path& path) const override { return SjisText(path.Text); }
    int MessageBox(const SjisText& text, const SjisText& caption, unsigned flags) override
    {
        boxes.push_back({text.Bytes, caption.Bytes, flags});
        return answer;
    }
    void Terminate() override { terminated = true; }
    bool Terminated() const override { return terminated; }
    std::optional<OsVersion> Version() override { return version; }

    struct Box {
        std::string text, caption;
        unsigned flags;
    };
    std::string exePath;
    std::vector<Box> boxes;
    int answer = 1;  // the button the user presses in every box
    bool terminated = false;
    std::optional<OsVersion> version;
};

class FakeTray : public TrayPort {
public:
    void Add(const char* resource) override { added.push_back(resource); }
    void Delete() override
    {
        ++deletes;
        if (onDelete)
            onDelete();
    }
    std::function<void()> onDelete;
    std::vector<std::string> added;
    int deletes = 0;
};

// A phonebook with per-entry states; the listed connections are the entries dialling or connected,
// in phonebook order, and HangUpConnection counts them all as the component does.
class FakeRas : public RasPort {
public:
    bool ServiceError() const override { return serviceError; }
    int EntryCount() override { return serviceError ? -1 : static_cast<int>(entries.size()); }
    std::string EntryName(int i) override
    {
        return (i >= 0 && i < static_cast<int>(entries.size())) ? entries[static_cast<std::size_t>(i)] : "";
    }
    int EntryState(int i) override
    {
        if (i < 0 || i >= static_cast<int>(entries.size()))
            return kEntryUnavailable;
        return StateOf(entries[static_cast<std::size_t>(i)]);
    }
    int ActiveEntryCount() override { return static_cast<int>(Connected().size()); }
    std::string ConnectedEntryName(int i) override
    {
        const auto c = Connected();
        return (i >= 0 && i < static_cast<int>(c.size())) ? c[static_cast<std::size_t>(i)] : "";
    }
    bool Dial(int i) override
    {
        calls.push_back("Dial " + std::to_string(i));
        if (dialSucceeds)
            states[EntryName(i)] = kEntryDialling;
        return dialSucceeds;
    }
    RasError DialRefusal() const override { return refusal; }
    bool CancelDial(std::function<void()> done) override
    {
        calls.push_back("CancelDial");
        if (!cancelSucceeds)
            return false;
        hangingUp.push_back([done](bool) {
            if (done)
                done();
        });
        return true;
    }
    bool HangUpConnection(int i, std::function<void(bool)> done) override
    {
        calls.push_back("HangUpConnection " + std::to_string(i));
        const auto listed = Listed();
        if (!hangUpSucceeds || i < 0 || i >= static_cast<int>(listed.size()))
            return false;
        const std::string name = listed[static_cast<std::size_t>(i)];
        hangingUp.push_back([this, name, done](bool released) {
            if (released)
                states[name] = kEntryIdle;
            if (done)
                done(released);
        });
        return true;
    }
    // At the end of the program: the service releases what it took when settleReleases, else
    // nothing within the limit.
    bool SettleHangUps(std::uint32_t limitMs) override
    {
        calls.push_back("SettleHangUps " + std::to_string(limitMs));
        if (settleReleases)
            Release();
        return hangingUp.empty();
    }
    bool settleReleases = true;
    // The service ends the hang-ups it took: the lines are released (or, with released
    // false, the wait for them gives up), and each one's end runs.
    void Release(bool released = true)
    {
        auto ends = std::move(hangingUp);
        hangingUp.clear();
        for (auto& end : ends)
            end(released);
    }
    std::string ListedEntryName(int i) override
    {
        const auto l = Listed();
        return (i >= 0 && i < static_cast<int>(l.size())) ? l[static_cast<std::size_t>(i)] : "";
    }
    int EntryStateByName(const std::string& name) override { return StateOf(name); }
    void SetMonitoring(bool) override {}

    int StateOf(const std::string& name) const
    {
        auto it = states.find(name);
        return it == states.end() ? kEntryIdle : it->second;
    }
    std::vector<std::string> Listed() const
    {
        std::vector<std::string> out;
        for (const auto& e : entries)
            if (StateOf(e) == kEntryDialling || StateOf(e) == kEntryConnected)
                out.push_back(e);
        return out;
    }
    std::vector<std::string> Connected() const
    {
        std::vector<std::string> out;
        for (const auto& e : entries)
            if (StateOf(e) == kEntryConnected)
                out.push_back(e);
        return out;
    }

    bool serviceError = false;
    std::vector<std::string> entries;
    std::map<std::string, int> states;
    bool dialSucceeds = true;
    RasError refusal;  // what DialRefusal says of a refused dial
    bool cancelSucceeds = true;
    bool hangUpSucceeds = true;
    std::vector<std::string> calls;
    // The hang-ups taken and not yet ended.
    std::vector<std::function<void(bool released)>> hangingUp;
};

class FakeMesh : public MeshPort {
public:
    int PortNo() const override { return port; }
    void SetPortNo(int p) override { port = p; }
    std::string HandleName() const override { return handleName; }
    void SetHandleName(const std::string& n) override { handleName = n; }
    bool Start() override
    {
        calls.push_back("Start");
        if (onStart)
            onStart();
        return startSucceeds;
    }
    void Stop() override { calls.push_back("Stop"); }
    bool Login() override
    {
        calls.push_back("Login");
        return loginSucceeds;
    }
    bool Logout() override
    {
        calls.push_back("Logout");
        return true;
    }
    bool SendInputSelect(const std::string& message, const std::string& list, const std::string& returns,
                         const std::string& key, const std::string& machine, const std::string& disc) override
    {
        sent.push_back("SELECT " + machine + " " + message);
        sends.push_back({"SELECT", message, list, returns, key, machine, disc, false});
        return sendsSucceed;
    }
    bool SendInputLine(const std::string& message, const std::string& label, const std::string& key,
                       const std::string& machine, const std::string& disc, bool password) override
    {
        sent.push_back("LINE " + machine + " " + message);
        sends.push_back({"LINE", message, label, "", key, machine, disc, password});
        return sendsSucceed;
    }
    bool SendInputMessage(const std::string& message, const std::string& machine, const std::string& disc) override
    {
        sent.push_back("MESSAGE " + machine + " " + message);
        sends.push_back({"MESSAGE", message, "", "", "", machine, disc, false});
        return sendsSucceed;
    }
    // What the component raises for a message from requestSource.
    void MenuRequest(const std::string& handle, const std::string& machine, const std::string& disc)
    {
        OnMenuRequest(MeshRequest{handle, machine, disc, requestSource, {}, {}});
    }
    void InputReturn(const std::string& key, const std::string& answer, const std::string& handle,
                     const std::string& machine, const std::string& disc)
    {
        OnInputReturn(MeshRequest{handle, machine, disc, requestSource, key, answer});
    }
    void PeerLogout(const std::string& handle, const std::string& machine, const std::string& ip,
                    const std::string& disc)
    {
        PeerInfo peer{handle, machine, ip, disc};
        peer.Source = requestSource;
        OnLogout(peer);
    }

    // Every argument of a send. For a line prompt, list holds the line's label.
    struct Send {
        std::string kind, message, list, returns, key, machine, discrimination;
        bool password = false;
        bool operator==(const Send&) const = default;
    };

    int port = 51000;
    std::string handleName;
    bool startSucceeds = true;
    bool loginSucceeds = true;
    std::function<void()> onStart;
    std::vector<std::string> calls;
    std::vector<std::string> sent;
    std::vector<Send> sends;
    bool sendsSucceed = true;
    std::string requestSource = "192.168.1.10";  // where the messages raising the events come from
};

// The window system under the window-effects component: extended styles, the layered
// attributes and visibility of each window, and the hidden window's timers in virtual time.
class FakeLayeredSystem : public LayeredWindowSystem {
public:
    struct Window {
        std::uint32_t exStyle = 0;
        bool visible = false;
        std::vector<int> alphas;  // every alpha applied, in order
        std::uint32_t colorKey = 0, flags = 0;
        std::vector<unsigned> swpFlags;  // every SetWindowPos
        int redraws = 0;
    };
    struct Timer {
        unsigned interval = 0;
    };

    // Its timers run in the clock's virtual time, as the deadlines of the fades.
    explicit FakeLayeredSystem(FakeClock& clock) : time_(clock.time) {}

    bool HasSetLayeredWindowAttributes() const override { return available; }
    std::uint32_t GetExStyle(WindowHandle w) override { return windows[w].exStyle; }
    void SetExStyle(WindowHandle w, std::uint32_t style) override { windows[w].exStyle = style; }
    bool SetLayeredWindowAttributes(WindowHandle w, std::uint32_t key, std::uint8_t alpha,
                                    std::uint32_t flags) override
    {
        if (attributesFail)
            return false;
        Window& win = windows[w];
        win.alphas.push_back(alpha);
        win.colorKey = key;
        win.flags = flags;
        return true;
    }
    void SetWindowPos(WindowHandle w, unsigned flags) override
    {
        Window& win = windows[w];
        win.swpFlags.push_back(flags);
        if (flags & 0x40)
            win.visible = true;
        if (flags & 0x80)
            win.visible = false;
    }
    void RedrawWindow(WindowHandle w, unsigned flags) override
    {
        if (flags == 0x485)
            ++windows[w].redraws;
    }
    unsigned SetTimer(unsigned id, unsigned interval) override
    {
        if (timerFails)
            return 0;
        timers[id] = {interval};
        time_.timers.Set(TimerSpace::Fade, static_cast<int>(id), interval);
        return id;
    }
    void KillTimer(unsigned id) override
    {
        timers.erase(id);
        time_.timers.Kill(TimerSpace::Fade, static_cast<int>(id));
    }

    bool available = true;
    bool attributesFail = false;
    bool timerFails = false;
    std::map<WindowHandle, Window> windows;
    std::map<unsigned, Timer> timers;

private:
    VirtualTime& time_;
};

// The status window over the fake window system; its label measures 7 x 12 pixels per byte
// and line.
class FakeStatusWindow : public StatusWindowPort {
public:
    static constexpr WindowHandle kHandle = 100;
    explicit FakeStatusWindow(FakeLayeredSystem& system) : system_(system) {}

    WindowHandle Handle() override { return kHandle; }
    void Hide() override { ++formHides; }
    void Show() override { ++formShows; }
    void HideWithoutActivation() override { system_.SetWindowPos(kHandle, 0x97); }
    void ShowWithoutActivation() override { system_.SetWindowPos(kHandle, 0x57); }
    void Redraw() override { system_.RedrawWindow(kHandle, 0x485); }
    TSize SetStatusCaption(const SjisText& caption) override
    {
        const std::string& text = caption.Bytes;
        captions.push_back(text);
        int lines = 1, longest = 0, current = 0;
        for (char c : text) {
            if (c == '\r') {
                ++lines;
                current = 0;
            } else if (++current > longest) {
                longest = current;
            }
        }
        // Seven by twelve pixels a byte at 96 dpi.
        return {ScaleToDpi(7 * longest, dpi), ScaleToDpi(12, dpi) * lines};
    }
    void SetIconEnabled(bool enabled) override { iconEnabled = enabled; }
    void MoveIcon(int dx, int dy) override
    {
        icon.X += dx;
        icon.Y += dy;
    }
    int Width() override { return bounds.Right - bounds.Left; }
    void SetBounds(int left, int top, int width, int height) override
    {
        bounds = {left, top, left + width, top + height};
    }
    TStatusArea Area() override { return {screen, workArea, taskbar}; }
    unsigned Dpi() override { return dpi; }
    void SetShape(const TStatusShape& s) override { shape = s; }
    void DrawCloseBar(const TCloseBar& bar) override { bars.push_back(bar); }

    bool Visible() const { return system_.windows[kHandle].visible; }
    FakeLayeredSystem::Window& State() { return system_.windows[kHandle]; }

    std::vector<std::string> captions;
    bool iconEnabled = false;
    TPoint icon{2, 1};
    TRect bounds;
    TSize screen{1024, 768};
    TRect workArea;  // empty: not known, the whole screen
    std::optional<TRect> taskbar = TRect{0, 738, 1024, 768};
    TStatusShape shape;
    std::vector<TCloseBar> bars;
    int formHides = 0, formShows = 0;
    unsigned dpi = kDefaultDpi;

private:
    FakeLayeredSystem& system_;
};

class FakeShutdown : public ShutdownPort {
public:
    bool ShutdownWindows() override
    {
        ++requests;
        if (onRequest)
            onRequest();
        return accepted;
    }
    int requests = 0;
    bool accepted = true;
    std::function<void()> onRequest;
};

// Kiv.log as the lines written to it, each "[kind] text" with the text on one line as the log
// has it; the date and time are the real log's (EventLogTest). Lines are kept from the first
// write, also in tests that never open the log (FormCreate does). A write can be made to fail.
class FakeEventLog : public EventLogPort {
public:
    void Open(const Utf8Path& p) override { path = p.Text; }
    void SetEnabled(bool on) override { enabled = on; }
    void Write(std::string_view kind, const SjisText& text) override
    {
        if (!enabled)
            return;
        if (failure) {
            const bool first = !failing;
            failing = true;
            if (first && OnFailure)
                OnFailure(Utf8Path(path), failure);
            return;
        }
        failing = false;
        lines.push_back("[" + std::string(kind) + "] " + EventLog::OneLine(text.Bytes));
    }
    // The lines written that hold fragment.
    std::vector<std::string> With(std::string_view fragment) const
    {
        std::vector<std::string> found;
        for (const auto& line : lines)
            if (line.find(fragment) != std::string::npos)
                found.push_back(line);
        return found;
    }

    std::string path;
    bool enabled = true;
    std::vector<std::string> lines;
    FileError failure;
    bool failing = false;
};

// The texts of the queued status messages.
inline std::vector<std::string> QueuedTexts(const TMainForm& form)
{
    std::vector<std::string> texts;
    for (const StatusMessage& m : form.StatusQueue)
        texts.push_back(m.Text);
    return texts;
}

// The texts of the queued status messages; the queue is emptied.
inline std::vector<std::string> TakeStatusTexts(TMainForm& form)
{
    std::vector<std::string> texts;
    for (const StatusMessage& m : form.StatusQueue)
        texts.push_back(m.Text);
    form.StatusQueue.clear();
    return texts;
}

// The main window's timers as the program has them: their identifiers and intervals.
inline constexpr int kScheduleTimerId = 1;
inline constexpr int kFeedOutTimerId = 2;
inline constexpr int kConnectTimerId = 3;

// A main form over fakes, with its executable in a fresh folder (or in a folder borrowed from
// the caller). Time is virtual: RunFor moves the clock and fires the timers that fall due on
// the way: tmFeedOut and the fades always, tmSchedule and tmConnect when the test lets them
// (most tests call their handlers).
struct MainFormFixture {
    MainFormFixture() { Prepare(); }
    explicit MainFormFixture(const TempDir& folder) : dir(folder, TempDir::Borrow{}) { Prepare(); }
    void Prepare()
    {
        app.exePath = dir.File("kiv.exe");
        clock.time.timers.SetHandler(TimerSpace::MainForm, [this](int id) {
            if (id == kFeedOutTimerId)
                form.tmFeedOutTimer();
            else if (id == kScheduleTimerId && runSchedule)
                form.tmScheduleTimer();
            else if (id == kConnectTimerId && runConnect)
                form.tmConnectTimer();
        });
        clock.time.timers.SetHandler(TimerSpace::Fade, [this](int id) { vss.Timer(static_cast<unsigned>(id)); });
    }

    std::string IniPath() const { return dir.File("Kiv.INI"); }

    bool FireNext(std::uint64_t until) { return clock.time.FireNext(until); }
    void RunFor(std::uint64_t ms) { clock.time.RunFor(ms); }

    TempDir dir;
    FakeApp app;
    FakeClock clock;
    FakeRas ras;
    FakeMesh kms;
    FakeLayeredSystem system{clock};
    TVireoSubSet vss{system};
    FakeTray tray;
    FakeStatusWindow statusWindow{system};
    ScheduledTimer tmSchedule{clock.time.timers, kScheduleTimerId, 1000};
    ScheduledTimer tmFeedOut{clock.time.timers, kFeedOutTimerId, 50};
    ScheduledTimer tmConnect{clock.time.timers, kConnectTimerId, 0};
    bool runSchedule = false, runConnect = false;
    FakeShutdown shutdown;
    FakeEventLog log;
    TMainForm form{{app, clock, ras, kms, vss, tray, statusWindow, tmSchedule, tmFeedOut, tmConnect, shutdown, log}};
};

}  // namespace kiv::test
