// The program's settings: one field per key of section "Option" of Kiv.INI.
#pragma once

#include <string>

#include "SettingLimits.h"
#include "StringList.h"
#include "VireoSubSetIni.h"

namespace kiv {

inline constexpr char kOptionSection[] = "Option";
inline constexpr char kIniFileName[] = "Kiv.INI";

// Values are kept as the file holds them; SettingLimits.h brings them into range where they
// are used.
struct TSettings {
    std::string Target;
    bool Redial = false;
    bool Keep = false;
    int RedialCount = 3;
    int RedialInterval = 5;
    bool AutoConnectRun = false;
    bool AutoConnectRunTime = false;
    bool AutoStart = false;
    int AutoStartHour = 23;
    int AutoStartMinute = 0;
    bool AutoDisconnectEnd = false;
    bool AutoEnd = false;
    int AutoEndHour = 7;
    int AutoEndMinute = 59;
    bool AutoDisconnectTimeReset = false;
    int StatusLocate = 4;
    bool StatusCloseBar = true;
    bool StatusAlpha = true;
    int StatusAlphaCount = 200;
    bool KMSLogin = false;
    bool KMSComputer = false;
    bool KMSPasswordFlag = false;
    std::string KMSPassword;  // plain text in memory, scrambled in the file
    bool KMSPort = false;
    int KMSPortNo = kKestrelDefaultPort;

    bool operator==(const TSettings&) const = default;
};

// Reads every key with its default. firstEntryName is the default of Target (the first
// phonebook entry), layeredWindows the default of StatusAlpha.
void LoadSettings(const TVireoSubSetIni& ini, const std::string& firstEntryName, bool layeredWindows,
                  TSettings& settings, StringList& allowedComputers);

// Writes every key, in the order the file has always had them, with one write of the file.
// A failed write is not reported: the settings in memory stay in force.
void SaveSettings(TVireoSubSetIni& ini, const TSettings& settings, const StringList& allowedComputers);

// Switches the control target: memory first, then the single key in the file.
void WriteTarget(TVireoSubSetIni& ini, TSettings& settings, const std::string& target);

// The stored forms of the two scrambled keys (ScrambleText applied twice).
std::string EncodeComputerList(const StringList& names);
StringList DecodeComputerList(const std::string& stored);
std::string EncodePassword(const std::string& password);
std::string DecodePassword(const std::string& stored);

}  // namespace kiv
