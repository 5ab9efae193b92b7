// Fakes of the main window's ports, with the calls they saw.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "MainUnit.h"
#include "TempDir.h"

namespace kiv::test {

class FakeTimer : public TimerPort {
public:
    void SetEnabled(bool e) override { enabled = e; }
    bool Enabled() const override { return enabled; }
    void SetInterval(unsigned ms) override { interval = ms; }
    unsigned Interval() const override { return interval; }
    bool enabled = false;
    unsigned interval = 0;
};

class FakeClock : public ClockPort {
public:
    double TimeOfDay() override { return timeOfDay; }
    std::uint32_t TickCount() override { return tick; }
    double timeOfDay = 0.5;
    std::uint32_t tick = 0;
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
};

class FakeTray : public TrayPort {
public:
    void Add(const char* resource) override { added.push_back(resource); }
    void Delete() override { ++deletes; }
    std::vector<std::string> added;
    int deletes = 0;
};

// A phonebook with per-entry states; connections are the entries in state 1 or 2.
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
            return -1;
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
            states[EntryName(i)] = 1;
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
        states[ConnectedEntryName(i)] = 0;
        return true;
    }
    int EntryStateByName(const std::string& name) override { return StateOf(name); }
    void SetMonitoring(bool) override {}

    int StateOf(const std::string& name) const
    {
        auto it = states.find(name);
        return it == states.end() ? 0 : it->second;
    }
    std::vector<std::string> Connected() const
    {
        std::vector<std::string> out;
        for (const auto& e : entries)
            if (StateOf(e) == 2)
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
    bool SendInputSelect(const std::string& message, const std::string&, const std::string&, const std::string&,
                         const std::string& machine, const std::string&) override
    {
        sent.push_back("SELECT " + machine + " " + message);
        return true;
    }
    bool SendInputLine(const std::string& message, const std::string&, const std::string&, const std::string& machine,
                       const std::string&, bool) override
    {
        sent.push_back("LINE " + machine + " " + message);
        return true;
    }
    bool SendInputMessage(const std::string& message, const std::string& machine, const std::string&) override
    {
        sent.push_back("MESSAGE " + machine + " " + message);
        return true;
    }

    int port = 51000;
    std::string handleName;
    bool startSucceeds = true;
    bool loginSucceeds = true;
    std::function<void()> onStart;
    std::vector<std::string> calls;
    std::vector<std::string> sent;
};

class FakeVSS : public VireoSubSetPort {
public:
    bool UseSetLayeredWindow() const override { return layered; }
    void SetSetLayeredWindowEvent(bool v) override { layeredWindowEvent = v; }
    bool layered = true;
    bool layeredWindowEvent = true;
};

class FakeStatusView : public StatusViewPort {
public:
    void Show(const std::string& message) override { shown.push_back(message); }
    std::vector<std::string> shown;
};

class FakeShutdown : public ShutdownPort {
public:
    bool ShutdownWindows() override
    {
        ++requests;
        if (onRequest)
            onRequest();
        return true;
    }
    int requests = 0;
    std::function<void()> onRequest;
};

// A main form over fakes, with its executable in a fresh folder.
struct MainFormFixture {
    MainFormFixture() { app.exePath = dir.File("kiv.exe"); }

    std::string IniPath() const { return dir.File("Kiv.INI"); }

    TempDir dir;
    FakeApp app;
    FakeClock clock;
    FakeRas ras;
    FakeMesh kms;
    FakeVSS vss;
    FakeTray tray;
    FakeStatusView statusView;
    FakeTimer tmSchedule, tmFeedOut, tmConnect;
    FakeShutdown shutdown;
    TMainForm form{{app, clock, ras, kms, vss, tray, statusView, tmSchedule, tmFeedOut, tmConnect, shutdown}};
};

}  // namespace kiv::test
