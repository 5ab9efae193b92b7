// Win32Ports.h first: it brings <windows.h> ahead of the ports, as every Win32 file does.
#include "Win32Ports.h"
#include "Win32Shutdown.h"

namespace kiv {

namespace {

bool SetShutdownPrivilege(HANDLE token, const LUID& luid, DWORD attributes)
{
    TOKEN_PRIVILEGES privileges = {};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Luid = luid;
    privileges.Privileges[0].Attributes = attributes;
    BYTE previous[16];
    DWORD previousSize = 0;
    SetLastError(0);
    AdjustTokenPrivileges(token, FALSE, &privileges, sizeof previous,
                          reinterpret_cast<TOKEN_PRIVILEGES*>(previous), &previousSize);
    return GetLastError() == 0;
}

}  // namespace

bool Win32Shutdown::ShutdownWindows()
{
    const std::optional<OsVersion> version = QueryOsVersion();
    if (!version)
        return false;
    if (version->PlatformId != VER_PLATFORM_WIN32_NT)
        return ExitWindowsEx(EWX_SHUTDOWN, 0) != 0;

    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token))
        return false;
    LUID luid;
    bool ok = LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &luid) &&
              SetShutdownPrivilege(token, luid, SE_PRIVILEGE_ENABLED) && ExitWindowsEx(EWX_SHUTDOWN, 0);
    if (ok)
        SetShutdownPrivilege(token, luid, 0);
    CloseHandle(token);
    return ok;
}

}  // namespace kiv
