// Win32 implementations of the main window's ports.
#pragma once

#include <windows.h>

#include "Ports.h"

namespace kiv {

// A window timer: SetTimer on the owner window under a fixed identifier.
class Win32Timer : public TimerPort {
public:
    Win32Timer(UINT_PTR id, unsigned interval) : id_(id), interval_(interval) {}
    void Attach(HWND window) { window_ = window; }
    void SetEnabled(bool enabled) override;
    bool Enabled() const override { return enabled_; }
    void SetInterval(unsigned milliseconds) override;
    unsigned Interval() const override { return interval_; }
    UINT_PTR Id() const { return id_; }

private:
    void Apply();
    HWND window_ = nullptr;
    UINT_PTR id_;
    unsigned interval_;
    bool enabled_ = false;
};

class Win32Clock : public ClockPort {
public:
    double TimeOfDay() override;
    std::uint32_t TickCount() override;
};

// The system's version (GetVersionExA with the 148-byte record); nothing when it fails.
std::optional<OsVersion> QueryOsVersion();

// Full path of the running executable as UTF-8 path text, taken in UTF-16 from the system.
std::string ExecutablePath();

class Win32Application : public ApplicationPort {
public:
    void SetOwner(HWND owner) { owner_ = owner; }
    std::string Title() const override { return "Kiv"; }
    std::string ExePath() const override;
    int MessageBox(const std::string& text, const std::string& caption, unsigned flags) override;
    void Terminate() override;
    void ProcessMessages() override;
    void ProcessMessagesWaiting(unsigned maxWait) override;
    std::optional<OsVersion> Version() override { return QueryOsVersion(); }
    bool Terminated() const override;

private:
    HWND owner_ = nullptr;
    bool terminated_ = false;
};

// The tray icon: the first, smallest layout of the notify-icon record, with the ASCII tip. The
// icon stays while Kiv wants it: an add the shell does not take is offered again later, and a
// shell that starts anew ("TaskbarCreated", after Explorer restarts) gets it again at once.
class Win32Tray : public TrayPort {
public:
    static constexpr UINT kCallbackMessage = 0x8001;
    static constexpr UINT_PTR kRetryTimerId = 4;  // a timer of the attached window
    void Attach(HWND window);
    void Add(const char* iconResource) override;
    void Delete() override;
    ~Win32Tray() override;
    // The message the shell broadcasts when it has started; 0 when it could not be registered.
    UINT TaskbarCreatedMessage() const { return taskbarCreated_; }
    // The shell has (re)started with no icons: the icon, if wanted, is added again now.
    void ShellStarted();
    // The retry timer fired.
    void RetryTimer();

private:
    // Offers the icon to the shell; when it is not taken, arms the retry timer.
    void Offer();
    HWND window_ = nullptr;
    UINT taskbarCreated_ = 0;
    HICON icon_ = nullptr;
    bool wanted_ = false;  // between Add and Delete
    bool added_ = false;   // the shell has the icon
    int failures_ = 0;     // adds refused in a row
};

}  // namespace kiv
