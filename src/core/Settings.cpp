#include "Settings.h"

#include "TextHelpers.h"

namespace kiv {

namespace {

const std::string kSection = kOptionSection;
const std::string kLineBreakOnDisk = "\\|";

}  // namespace

std::string EncodeComputerList(const StringList& names)
{
    std::string text = StringListText(names);
    ReplaceText("\r\n", kLineBreakOnDisk, text);
    return ScrambleText(ScrambleText(text));
}

StringList DecodeComputerList(const std::string& stored)
{
    std::string text = UnscrambleText(UnscrambleText(stored));
    ReplaceText(kLineBreakOnDisk, "\r\n", text);
    return StringListFromText(text);
}

std::string EncodePassword(const std::string& password) { return ScrambleText(ScrambleText(password)); }

std::string DecodePassword(const std::string& stored) { return UnscrambleText(UnscrambleText(stored)); }

void LoadSettings(const TVireoSubSetIni& ini, const std::string& firstEntryName, bool layeredWindows,
                  TSettings& s, StringList& allowedComputers)
{
    auto str = [&](const char* key, const std::string& def) { return ini.ReadIniString(kSection, key, def); };
    auto num = [&](const char* key, int def) { return ini.ReadIniInteger(kSection, key, def); };
    auto flag = [&](const char* key, bool def) { return ini.ReadIniBool(kSection, key, def); };

    // The defaults are those of a fresh TSettings, but for Target, StatusAlpha and
    // KMSPasswordFlag, which depend on the phonebook, the system and the password.
    const TSettings d;
    s.Target = str("Target", firstEntryName);
    s.Redial = flag("Redial", d.Redial);
    s.Keep = flag("Keep", d.Keep);
    s.RedialCount = num("RedialCount", d.RedialCount);
    s.RedialInterval = num("RedialInterval", d.RedialInterval);
    s.AutoConnectRun = flag("AutoConnectRun", d.AutoConnectRun);
    s.AutoConnectRunTime = flag("AutoConnectRunTime", d.AutoConnectRunTime);
    s.AutoStart = flag("AutoStart", d.AutoStart);
    s.AutoStartHour = num("AutoStartHour", d.AutoStartHour);
    s.AutoStartMinute = num("AutoStartMinute", d.AutoStartMinute);
    s.AutoDisconnectEnd = flag("AutoDisconnectEnd", d.AutoDisconnectEnd);
    s.AutoEnd = flag("AutoEnd", d.AutoEnd);
    s.AutoEndHour = num("AutoEndHour", d.AutoEndHour);
    s.AutoEndMinute = num("AutoEndMinute", d.AutoEndMinute);
    s.AutoDisconnectTimeReset = flag("AutoDisconnectTimeReset", d.AutoDisconnectTimeReset);
    s.StatusLocate = num("StatusLocate", d.StatusLocate);
    s.StatusCloseBar = flag("StatusCloseBar", d.StatusCloseBar);
    s.StatusAlpha = flag("StatusAlpha", layeredWindows);
    s.StatusAlphaCount = num("StatusAlphaCount", d.StatusAlphaCount);
    s.KMSLogin = flag("KMSLogin", d.KMSLogin);
    s.KMSComputer = flag("KMSComputer", d.KMSComputer);
    allowedComputers = DecodeComputerList(str("KMSComputerList", ""));
    // The password comes before its flag: the flag's default depends on it.
    s.KMSPassword = DecodePassword(str("KMSPassword", ""));
    s.KMSPasswordFlag = flag("KMSPasswordFlag", !s.KMSPassword.empty());
    s.KMSPort = flag("KMSPort", d.KMSPort);
    s.KMSPortNo = num("KMSPortNo", d.KMSPortNo);
}

void SaveSettings(TVireoSubSetIni& ini, const TSettings& s, const StringList& allowedComputers)
{
    // One text with every key, one write: a reader never sees half a save, and a refused
    // write leaves the whole file as it was.
    IniValues values;
    auto str = [&](const char* key, const std::string& value) { values.emplace_back(key, value); };
    auto num = [&](const char* key, int value) { values.emplace_back(key, std::to_string(value)); };
    auto flag = [&](const char* key, bool value) { values.emplace_back(key, value ? "1" : "0"); };

    str("Target", s.Target);
    flag("Redial", s.Redial);
    flag("Keep", s.Keep);
    num("RedialCount", s.RedialCount);
    num("RedialInterval", s.RedialInterval);
    flag("AutoConnectRun", s.AutoConnectRun);
    flag("AutoConnectRunTime", s.AutoConnectRunTime);
    flag("AutoStart", s.AutoStart);
    num("AutoStartHour", s.AutoStartHour);
    num("AutoStartMinute", s.AutoStartMinute);
    flag("AutoDisconnectEnd", s.AutoDisconnectEnd);
    flag("AutoEnd", s.AutoEnd);
    num("AutoEndHour", s.AutoEndHour);
    num("AutoEndMinute", s.AutoEndMinute);
    flag("AutoDisconnectTimeReset", s.AutoDisconnectTimeReset);
    num("StatusLocate", s.StatusLocate);
    flag("StatusCloseBar", s.StatusCloseBar);
    flag("StatusAlpha", s.StatusAlpha);
    num("StatusAlphaCount", s.StatusAlphaCount);
    flag("KMSLogin", s.KMSLogin);
    flag("KMSComputer", s.KMSComputer);
    str("KMSComputerList", EncodeComputerList(allowedComputers));
    flag("KMSPasswordFlag", s.KMSPasswordFlag);
    str("KMSPassword", EncodePassword(s.KMSPassword));
    flag("KMSPort", s.KMSPort);
    num("KMSPortNo", s.KMSPortNo);
    ini.WriteIniValues(kSection, values);
}

void WriteTarget(TVireoSubSetIni& ini, TSettings& settings, const std::string& target)
{
    settings.Target = target;
    ini.WriteIniString(kSection, "Target", target);
}

}  // namespace kiv
