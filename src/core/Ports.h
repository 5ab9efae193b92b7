// The ports through which the main window's decisions reach the world. The Win32 program
// implements them with windows, timers and the system; the native tests with fakes in
// virtual time.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "VireoSubSetIni.h"

namespace kiv {

// A timer of the main window; the window side calls the form's handler on each tick.
class TimerPort {
public:
    virtual ~TimerPort() = default;
    virtual void SetEnabled(bool enabled) = 0;
    virtual bool Enabled() const = 0;
    virtual void SetInterval(unsigned milliseconds) = 0;
    virtual unsigned Interval() const = 0;
};

class ClockPort {
public:
    virtual ~ClockPort() = default;
    // Local time of day as a fraction of a day (noon is 0.5).
    virtual double TimeOfDay() = 0;
    // The system's millisecond tick (timeGetTime); wraps after 2^32 ms.
    virtual std::uint32_t TickCount() = 0;
};

struct OsVersion {
    unsigned PlatformId = 0;
    unsigned Major = 0;
    unsigned Minor = 0;
};

// The application object and the system around it.
class ApplicationPort {
public:
    virtual ~ApplicationPort() = default;
    virtual std::string Title() const = 0;
    // Full path of the running executable.
    virtual std::string ExePath() const = 0;
    // A message box owned by the program; returns the button pressed.
    virtual int MessageBox(const std::string& text, const std::string& caption, unsigned flags) = 0;
    // Ends the message loop; the main window is destroyed afterwards.
    virtual void Terminate() = 0;
    // Dispatches the pending window messages once and returns.
    virtual void ProcessMessages() = 0;
    // The operating system's version; nothing when the query fails.
    virtual std::optional<OsVersion> Version() = 0;
};

class TrayPort {
public:
    virtual ~TrayPort() = default;
    // Adds the tray icon with the image of the named icon resource.
    virtual void Add(const char* iconResource) = 0;
    // Removes the tray icon; harmless when it was never added.
    virtual void Delete() = 0;
};

// The dial-up access component as the main window uses it. Entry states: -1 invalid or
// unavailable, 0 neither dialling nor connected, 1 dialling, 2 connected.
class RasPort {
public:
    virtual ~RasPort() = default;
    virtual bool ServiceError() const = 0;
    virtual int EntryCount() = 0;
    virtual std::string EntryName(int index) = 0;
    virtual int EntryState(int index) = 0;
    virtual int ActiveEntryCount() = 0;
    virtual std::string ConnectedEntryName(int index) = 0;
    virtual bool Dial(int index) = 0;
    virtual bool CancelDial() = 0;
    virtual bool HangUpConnection(int index) = 0;
    virtual int EntryStateByName(const std::string& name) = 0;
    virtual void SetMonitoring(bool on) = 0;

    // Events; an unassigned one is skipped. The argument is the dialled entry's name.
    std::function<void(const std::string& dialName)> OnConnect;
    std::function<void(const std::string& dialName)> OnConnectAuthenticate;
    std::function<void(const std::string& dialName)> OnConnectError;
    std::function<void()> OnFirstConnect;
    std::function<void()> OnAllDeconnect;
};

// The peer messaging component as the main window uses it.
class MeshPort {
public:
    virtual ~MeshPort() = default;
    virtual int PortNo() const = 0;
    virtual void SetPortNo(int port) = 0;
    virtual std::string HandleName() const = 0;
    virtual void SetHandleName(const std::string& name) = 0;
    virtual bool Start() = 0;
    virtual void Stop() = 0;
    virtual bool Login() = 0;
    virtual bool Logout() = 0;

    virtual bool SendInputSelect(const std::string& message, const std::string& selectList,
                                 const std::string& selectReturn, const std::string& selectDiscrimination,
                                 const std::string& machineName, const std::string& discrimination) = 0;
    virtual bool SendInputLine(const std::string& message, const std::string& messageLine,
                               const std::string& lineDiscrimination, const std::string& machineName,
                               const std::string& discrimination, bool password) = 0;
    virtual bool SendInputMessage(const std::string& message, const std::string& machineName,
                                  const std::string& discrimination) = 0;

    std::function<void(const std::string& handleName, const std::string& machineName,
                       const std::string& discrimination)>
        OnMenuRequest;
    std::function<void(const std::string& inputDiscrimination, const std::string& inputReturn,
                       const std::string& handleName, const std::string& machineName,
                       const std::string& discrimination)>
        OnInputReturn;
};

// The window-effects component with its INI helpers.
class VireoSubSetPort : public TVireoSubSetIni {
public:
    virtual ~VireoSubSetPort() = default;
    // Layered windows (alpha blending) are available.
    virtual bool UseSetLayeredWindow() const = 0;
    // Whether the end of a fade also sets the form's own visibility flag.
    virtual void SetSetLayeredWindowEvent(bool value) = 0;
};

// What the status window shows; filled in by the status window's own logic.
class StatusViewPort {
public:
    virtual ~StatusViewPort() = default;
    virtual void Show(const std::string& message) = 0;
};

}  // namespace kiv
