// Which tray image suits the running system.
#pragma once

#include <optional>

#include "Ports.h"

namespace kiv {

inline constexpr char kTrayIcon256[] = "TASKTRAY_ICON_256";
inline constexpr char kTrayIcon16[] = "TASKTRAY_ICON_16";

// The 256-colour image on Windows Me (platform 1, minor 90 or higher) and Windows XP
// (platform 2, version 5.1); the 16-colour one otherwise and when the query failed.
inline const char* ChooseTrayIcon(const std::optional<OsVersion>& v)
{
    if (v && ((v->PlatformId == 1 && v->Minor >= 90) || (v->PlatformId == 2 && v->Major == 5 && v->Minor == 1)))
        return kTrayIcon256;
    return kTrayIcon16;
}

}  // namespace kiv
