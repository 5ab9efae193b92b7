// Win32 implementations of the main window's ports.
#pragma once

#include <windows.h>

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
    int MessageBox(const SjisText& text, const SjisText& caption, unsigned flags) override;
    void Terminate() override;
    std::optional<OsVersion> Version() override { return QueryOsVersion(); }
    bool Terminated() const override;

private:
    HWND owner_ = nullptr;
    bool terminated_ = false;
};

// The tray icon: the first, smallest layout of the notify-icon record, with the ASCII tip.
class Win32Tray : public TrayPort {
public:
    static constexpr UINT kCallbackMessage = 0x8001;
    void Attach(HWND window) { window_ = window; }
    void Add(const char* iconResource) override;
    void Delete() override;
    ~Win32Tray() override;

private:
    HWND window_ = nullptr;
    HICON icon_ = nullptr;
    bool added_ = false;
};

}  // namespace kiv
