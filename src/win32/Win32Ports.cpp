#include "Win32Ports.h"

#include <mmsystem.h>
#include <shellapi.h>

#include <cstring>

#include "MessagePump.h"
#include "PathText.h"
#include "TimeOfDay.h"
#include "TrayRetry.h"
#include "WinText.h"

namespace kiv {

double Win32Clock::TimeOfDay()
{
    SYSTEMTIME t;
    GetLocalTime(&t);
    return TimeOfDayFromMilliseconds(((t.wHour * 60LL + t.wMinute) * 60 + t.wSecond) * 1000 + t.wMilliseconds);
}

std::uint32_t Win32Clock::TickCount() { return timeGetTime(); }

Utf8Path Win32Application::ExePath() const { return Utf8Path(ExecutablePath()); }

SjisText Win32Application::PathText(const Utf8Path& path) const
{
    const std::u16string wide = PathToUtf16(path.Text);
    if (wide.empty())
        return SjisText({});
    const auto* data = reinterpret_cast<const wchar_t*>(wide.data());
    const int size = static_cast<int>(wide.size());
    const int n = WideCharToMultiByte(932, 0, data, size, nullptr, 0, "?", nullptr);
    std::string text(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(932, 0, data, size, text.data(), n, "?", nullptr);
    return SjisText(std::move(text));
}

std::string ExecutablePath()
{
    // The wide form: the system's code page cannot spell every folder name.
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0)
            return {};
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);  // cut: try a longer buffer
    }
    return PathFromUtf16(std::u16string(path.begin(), path.end()));
}

int Win32Application::MessageBox(const SjisText& text, const SjisText& caption, unsigned flags)
{
    return MessageBoxW(owner_, Wide(text.Bytes).c_str(), Wide(caption.Bytes).c_str(), flags);
}

void Win32Application::Terminate()
{
    terminated_ = true;
    PostQuitMessage(0);
}

bool Win32Application::Terminated() const { return terminated_ || pump::QuitRequested(); }

std::optional<OsVersion> QueryOsVersion()
{
    OSVERSIONINFOA info;
    std::memset(&info, 0, sizeof info);
    info.dwOSVersionInfoSize = sizeof info;  // 148 bytes
    static_assert(sizeof(OSVERSIONINFOA) == 148);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    if (!GetVersionExA(&info))
        return std::nullopt;
#pragma GCC diagnostic pop
    return OsVersion{info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion};
}

namespace {

// An icon from an RCDATA resource that holds a whole .ico file: the best 16 x 16 image of it.
HICON LoadIconFromIcoResource(const char* name)
{
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceA(module, name, MAKEINTRESOURCEA(10));  // RT_RCDATA
    if (!found)
        return nullptr;
    HGLOBAL loaded = LoadResource(module, found);
    const auto* bytes = static_cast<const BYTE*>(LockResource(loaded));
    const DWORD size = SizeofResource(module, found);
    if (!bytes || size < 6 + 16)
        return nullptr;
    // ICONDIR: reserved, type 1, count; then 16-byte entries with size and offset of each image.
    const unsigned count = bytes[4] | (bytes[5] << 8);
    int best = -1;
    for (unsigned i = 0; i < count && 6 + 16 * (i + 1) <= size; ++i) {
        const BYTE* e = bytes + 6 + 16 * i;
        if ((e[0] == 16 && e[1] == 16) || best < 0)
            best = static_cast<int>(i);
    }
    if (best < 0)
        return nullptr;
    const BYTE* e = bytes + 6 + 16 * best;
    DWORD imageSize, offset;
    std::memcpy(&imageSize, e + 8, 4);
    std::memcpy(&offset, e + 12, 4);
    if (offset > size || imageSize > size - offset)
        return nullptr;
    return CreateIconFromResourceEx(const_cast<BYTE*>(bytes + offset), imageSize, TRUE, 0x00030000, 16, 16,
                                    LR_DEFAULTCOLOR);
}

NOTIFYICONDATAA TrayRecord(HWND window, HICON icon)
{
    NOTIFYICONDATAA data;
    std::memset(&data, 0, sizeof data);
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = 1;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = Win32Tray::kCallbackMessage;
    data.hIcon = icon;
    std::strcpy(data.szTip, "Kiv");
    return data;
}

#ifndef _WIN64
static_assert(NOTIFYICONDATAA_V1_SIZE == 88, "the 32-bit tray record is 88 bytes");
#endif

}  // namespace

void Win32Tray::Attach(HWND window)
{
    window_ = window;
    taskbarCreated_ = RegisterWindowMessageW(L"TaskbarCreated");
}

void Win32Tray::Add(const char* iconResource)
{
    if (!icon_)
        icon_ = LoadIconFromIcoResource(iconResource);
    wanted_ = true;
    failures_ = 0;
    Offer();
}

void Win32Tray::Offer()
{
    deadlines_.Kill(TimerSpace::MainForm, kRetryTimerId);
    NOTIFYICONDATAA data = TrayRecord(window_, icon_);
    // An add that timed out may still have reached the shell, and a shell that has the icon
    // refuses a second add: the icon is there when the shell takes a change to it.
    added_ = Shell_NotifyIconA(NIM_ADD, &data) || Shell_NotifyIconA(NIM_MODIFY, &data);
    if (added_) {
        failures_ = 0;
        return;
    }
    ++failures_;
    deadlines_.Set(TimerSpace::MainForm, kRetryTimerId, TrayAddRetryDelay(failures_));
}

void Win32Tray::ShellStarted()
{
    if (!wanted_)
        return;
    failures_ = 0;
    Offer();
}

void Win32Tray::RetryTimer()
{
    if (wanted_ && !added_)
        Offer();
    else
        deadlines_.Kill(TimerSpace::MainForm, kRetryTimerId);
}

void Win32Tray::Delete()
{
    wanted_ = false;
    deadlines_.Kill(TimerSpace::MainForm, kRetryTimerId);
    if (!added_)
        return;
    NOTIFYICONDATAA data = TrayRecord(window_, icon_);
    Shell_NotifyIconA(NIM_DELETE, &data);
    added_ = false;
}

Win32Tray::~Win32Tray()
{
    if (icon_)
        DestroyIcon(icon_);
}

}  // namespace kiv
