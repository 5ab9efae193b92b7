// Win32 implementations of the main window's ports.
#pragma once

#include <windows.h>

#include "Deadlines.h"
#include "Ports.h"

namespace kiv {

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
    SjisText Title() const override { return SjisText("Kiv"); }
    Utf8Path ExePath() const override;
    SjisText PathText(const Utf8Path& path) const override;
    int MessageBox(const SjisText& text, const SjisText& caption, unsigned flags) override;
    void Terminate() override;
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
    static constexpr int kRetryTimerId = 4;  // a timer of the main window's space
    explicit Win32Tray(Deadlines& deadlines) : deadlines_(deadlines) {}
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
    Deadlines& deadlines_;
    HWND window_ = nullptr;
    UINT taskbarCreated_ = 0;
    HICON icon_ = nullptr;
    bool wanted_ = false;  // between Add and Delete
    bool added_ = false;   // the shell has the icon
    int failures_ = 0;     // adds refused in a row
};

}  // namespace kiv
