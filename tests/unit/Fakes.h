// Fakes of the main window's ports, with the calls they saw.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "MainUnit.h"
#include "VireoSubSet.h"
#include "TempDir.h"

namespace kiv::test {

class FakeClock : public ClockPort {
public:
    double TimeOfDay() override { return timeOfDay; }
    std::uint32_t TickCount() override { return tick; }
    double timeOfDay = 0.5;
    std::uint32_t tick = 0;
};

// A timer in virtual time: due `interval` ms after it was enabled, then every interval.
class FakeTimer : public TimerPort {
public:
    explicit FakeTimer(const FakeClock* clock = nullptr) : clock_(clock) {}
    void SetEnabled(bool e) override
    {
        if (e && !enabled && clock_)
            due = clock_->tick + interval;
        enabled = e;
    }
    bool Enabled() const override { return enabled; }
    void SetInterval(unsigned ms) override { interval = ms; }
    unsigned Interval() const override { return interval; }
    bool enabled = false;
    unsigned interval = 0;
    std::uint32_t due = 0;

private:
    const FakeClock* clock_;
};

class FakeApp : public ApplicationPort {
public:
    std::string Title() const override { return "Kiv"; }
    std::string ExePath() const override { return exePath; }
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override
    {
        boxes.push_back({text, caption, flags});
        return 1;
    }
    void Terminate() override { terminated = true; }
    void ProcessMessages() override { ++pumps; }
    void ProcessMessagesWaiting(unsigned maxWait) override
    {
        ++pumps;
        if (onWait)
            onWait(maxWait);
    }
    bool Terminated() const override { return terminated; }
    std::optional<OsVersion> Version() override { return version; }

    struct Box {
        std::string text, caption;
        unsigned flags;
    };
    std::string exePath;
    std::vector<Box> boxes;
    bool terminated = false;
    int pumps = 0;
    std::optional<OsVersion> version;
    // What a wait for messages does in virtual time.
    std::function<void(unsigned maxWait)> onWait;
};

class FakeTray : public TrayPort {
public:
    void Add(const char* resource) override { added.push_back(resource); }
    void Delete() override { ++deletes; }
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
    bool CancelDial() override
    {
        calls.push_back("CancelDial");
        if (duringWait)
            duringWait();
        return cancelSucceeds;
    }
    bool HangUpConnection(int i) override
    {
        calls.push_back("HangUpConnection " + std::to_string(i));
        if (duringWait)
            duringWait();
        if (!hangUpSucceeds)
            return false;
        const auto listed = Listed();
        if (i < 0 || i >= static_cast<int>(listed.size()))
            return false;
        states[listed[static_cast<std::size_t>(i)]] = kEntryIdle;
        return true;
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
    bool cancelSucceeds = true;
    bool hangUpSucceeds = true;
    std::vector<std::string> calls;
    // Runs inside CancelDial and HangUpConnection, where the real layer processes messages.
    std::function<void()> duringWait;
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
    std::string ReceivedAddress() const override { return receivedAddress; }

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
    std::string receivedAddress = "192.168.1.10";  // source of the message being handled
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
        std::uint32_t due = 0;
    };

    explicit FakeLayeredSystem(const FakeClock& clock) : clock_(clock) {}

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
        timers[id] = {interval, clock_.tick + interval};
        return id;
    }
    void KillTimer(unsigned id) override { timers.erase(id); }

    bool available = true;
    bool attributesFail = false;
    bool timerFails = false;
    std::map<WindowHandle, Window> windows;
    std::map<unsigned, Timer> timers;

private:
    const FakeClock& clock_;
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
    TSize SetStatusCaption(const std::string& text) override
    {
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
        return {7 * longest, 12 * lines};
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
    TSize ScreenSize() override { return screen; }
    std::optional<TRect> TaskbarRect() override { return taskbar; }
    void SetShape(const TStatusShape& s) override { shape = s; }
    void DrawCloseBar(const TCloseBar& bar) override { bars.push_back(bar); }

    bool Visible() const { return system_.windows[kHandle].visible; }
    FakeLayeredSystem::Window& State() { return system_.windows[kHandle]; }

    std::vector<std::string> captions;
    bool iconEnabled = false;
    TPoint icon{2, 1};
    TRect bounds;
    TSize screen{1024, 768};
    std::optional<TRect> taskbar = TRect{0, 738, 1024, 768};
    TStatusShape shape;
    std::vector<TCloseBar> bars;
    int formHides = 0, formShows = 0;

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

// A main form over fakes, with its executable in a fresh folder (or in a folder borrowed from
// the caller). Time is virtual: RunFor moves the clock and fires tmFeedOut and the fade timers
// when they are due, and a wait for messages inside the form moves it to the next due timer.
struct MainFormFixture {
    MainFormFixture() { Prepare(); }
    explicit MainFormFixture(const TempDir& folder) : dir(folder, TempDir::Borrow{}) { Prepare(); }
    void Prepare()
    {
        app.exePath = dir.File("kiv.exe");
        tmFeedOut.interval = 50;
        app.onWait = [this](unsigned maxWait) { FireNext(clock.tick + maxWait); };
    }

    std::string IniPath() const { return dir.File("Kiv.INI"); }

    // Fires the first timer due by `until` (as on the wrapping system tick) and moves the
    // clock to it; without one, moves the clock to `until` and returns false.
    bool FireNext(std::uint32_t until)
    {
        const std::uint32_t now = clock.tick;
        if (static_cast<std::int32_t>(until - now) < 0)
            return false;  // a wait inside the last timer went past `until`
        std::uint32_t best = until - now;
        int which = 0;
        unsigned fadeId = 0;
        if (tmFeedOut.enabled && tmFeedOut.due - now <= best) {
            best = tmFeedOut.due - now;
            which = 1;
        }
        for (const auto& [id, timer] : system.timers)
            if (timer.due - now < best || (which == 0 && timer.due - now == best)) {
                best = timer.due - now;
                which = 2;
                fadeId = id;
            }
        clock.tick = now + best;
        if (which == 1) {
            tmFeedOut.due += tmFeedOut.interval;
            form.tmFeedOutTimer();
        } else if (which == 2) {
            system.timers[fadeId].due += system.timers[fadeId].interval;
            vss.Timer(fadeId);
        }
        return which != 0;
    }

    void RunFor(std::uint32_t ms)
    {
        const std::uint32_t until = clock.tick + ms;
        while (FireNext(until)) {
        }
    }

    TempDir dir;
    FakeApp app;
    FakeClock clock;
    FakeRas ras;
    FakeMesh kms;
    FakeLayeredSystem system{clock};
    TVireoSubSet vss{system};
    FakeTray tray;
    FakeStatusWindow statusWindow{system};
    FakeTimer tmSchedule{&clock}, tmFeedOut{&clock}, tmConnect{&clock};
    FakeShutdown shutdown;
    TMainForm form{{app, clock, ras, kms, vss, tray, statusWindow, tmSchedule, tmFeedOut, tmConnect, shutdown}};
};

}  // namespace kiv::test
