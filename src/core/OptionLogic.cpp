#include "OptionLogic.h"

#include <cstdio>

#include "RasPort.h"
#include "TextHelpers.h"

namespace kiv {

namespace {

bool InRange(const std::string& text, int lowest, int highest)
{
    const auto value = OptionInteger(text);
    return value && *value >= lowest && *value <= highest;
}

bool AtLeastOne(const std::string& text)
{
    const auto value = OptionInteger(text);
    return value && *value >= 1;
}

bool PortUsable(const std::string& text)
{
    const auto value = OptionInteger(text);
    return value && KestrelPortUsable(*value);
}

int ValueOr(const std::string& text, int old) { return OptionInteger(text).value_or(old); }

}  // namespace

std::optional<int> OptionInteger(const std::string& text)
{
    // Two different defaults come back unchanged only for text that is not an integer.
    const int a = TextToIntDef(text, 0);
    const int b = TextToIntDef(text, 1);
    if (a != b)
        return std::nullopt;
    return a;
}

OptionControls OptionControlsFromSettings(const TSettings& s, const std::string& dialupName)
{
    OptionControls c;
    c.Dialup = dialupName;
    c.Redial = s.Redial;
    c.Keep = s.Keep;
    c.RedialCount = std::to_string(s.RedialCount);
    c.RedialInterval = std::to_string(s.RedialInterval);
    c.AutoConnectRun = s.AutoConnectRun;
    c.AutoConnectRunTime = s.AutoConnectRunTime;
    c.AutoConnectTime = s.AutoStart;
    c.AutoConnectTimeHour = std::to_string(s.AutoStartHour);
    c.AutoConnectTimeMinute = std::to_string(s.AutoStartMinute);
    c.AutoDisconnectEnd = s.AutoDisconnectEnd;
    c.AutoDisconnectTime = s.AutoEnd;
    c.AutoDisconnectTimeHour = std::to_string(s.AutoEndHour);
    c.AutoDisconnectTimeMinute = std::to_string(s.AutoEndMinute);
    c.AutoDisconnectTimeReset = s.AutoDisconnectTimeReset;
    // A hand-edited position or alpha outside the lists shows as the nearest one they hold.
    c.StatusLocate = SettingInRange(s, &TSettings::StatusLocate);
    c.StatusCloseBar = s.StatusCloseBar;
    c.StatusAlpha = s.StatusAlpha;
    c.StatusAlphaCount = SettingInRange(s, &TSettings::StatusAlphaCount);
    c.KMSLogin = s.KMSLogin;
    c.KMSComputer = s.KMSComputer;
    c.KMSPassword = s.KMSPasswordFlag;
    c.KMSPasswordText = s.KMSPassword;
    c.KMSPort = s.KMSPort;
    c.KMSPortNo = std::to_string(s.KMSPortNo);
    return c;
}

StringList PhonebookNames(RasPort& ras)
{
    StringList names;
    const int count = ras.EntryCount();
    for (int i = 0; i < count; ++i)
        names.push_back(ras.EntryName(i));
    return names;
}

OptionEnabling OptionEnablingFor(const OptionControls& c, bool layeredWindows)
{
    OptionEnabling e;
    e.RedialCount = c.Redial;
    e.RedialInterval = c.Redial || c.Keep;
    e.AutoConnectRunTime = c.AutoConnectRun && c.AutoConnectTime && c.AutoDisconnectTime;
    e.StartTime = c.AutoConnectTime;
    e.EndTime = c.AutoDisconnectTime;
    const bool shown = c.StatusLocate != 0;
    e.StatusCloseBar = shown;
    e.StatusAlpha = shown && layeredWindows;
    e.StatusAlphaCount = e.StatusAlpha && c.StatusAlpha;
    e.KMSSection = c.KMSLogin;
    e.KMSComputer = c.KMSLogin && c.KMSComputer;
    e.KMSPassword = c.KMSLogin && c.KMSPassword;
    e.KMSPort = c.KMSLogin && c.KMSPort;
    return e;
}

std::optional<OptionCheckFailure> CheckOptions(const OptionControls& c, const OptionEnabling& e)
{
    using P = OptionPage;
    using F = OptionField;
    if (e.RedialCount && !AtLeastOne(c.RedialCount))
        return OptionCheckFailure{1, P::Dialup, F::RedialCount, kOptionRedialCountMessage};
    if (e.RedialInterval && !AtLeastOne(c.RedialInterval))
        return OptionCheckFailure{2, P::Dialup, F::RedialInterval, kOptionRedialIntervalMessage};
    if (c.AutoConnectTime && !InRange(c.AutoConnectTimeHour, 0, 23))
        return OptionCheckFailure{3, P::Schedule, F::AutoConnectTimeHour, kOptionHourMessage};
    if (c.AutoConnectTime && !InRange(c.AutoConnectTimeMinute, 0, 59))
        return OptionCheckFailure{4, P::Schedule, F::AutoConnectTimeMinute, kOptionMinuteMessage};
    if (c.AutoDisconnectTime && !InRange(c.AutoDisconnectTimeHour, 0, 23))
        return OptionCheckFailure{5, P::Schedule, F::AutoDisconnectTimeHour, kOptionHourMessage};
    if (c.AutoDisconnectTime && !InRange(c.AutoDisconnectTimeMinute, 0, 59))
        return OptionCheckFailure{6, P::Schedule, F::AutoDisconnectTimeMinute, kOptionMinuteMessage};
    if (c.AutoConnectTime && c.AutoDisconnectTime &&
        OptionInteger(c.AutoConnectTimeHour) == OptionInteger(c.AutoDisconnectTimeHour) &&
        OptionInteger(c.AutoConnectTimeMinute) == OptionInteger(c.AutoDisconnectTimeMinute))
        return OptionCheckFailure{7, P::Schedule, F::AutoConnectTimeHour, kOptionSameTimeMessage};
    if (e.KMSSection && c.KMSPassword && c.KMSPasswordText.empty())
        return OptionCheckFailure{8, P::KMS, F::KMSPasswordText, kOptionPasswordMessage};
    if (e.KMSSection && c.KMSPort && !PortUsable(c.KMSPortNo))
        return OptionCheckFailure{9, P::KMS, F::KMSPort, kOptionPortMessage};
    return std::nullopt;
}

bool PortNoticeNeeded(const OptionControls& c, const TSettings& s)
{
    if (c.KMSPort != s.KMSPort)
        return true;
    return ValueOr(c.KMSPortNo, s.KMSPortNo) != s.KMSPortNo;
}

bool EndTimeChanged(const OptionControls& c, const TSettings& s)
{
    return ValueOr(c.AutoDisconnectTimeHour, s.AutoEndHour) != s.AutoEndHour ||
           ValueOr(c.AutoDisconnectTimeMinute, s.AutoEndMinute) != s.AutoEndMinute;
}

void CopyOptionsToSettings(const OptionControls& c, TSettings& s)
{
    s.Target = c.Dialup;
    s.Redial = c.Redial;
    s.Keep = c.Keep;
    s.RedialCount = ValueOr(c.RedialCount, s.RedialCount);
    if (const int interval = ValueOr(c.RedialInterval, 0); interval > 0)
        s.RedialInterval = interval;
    s.AutoConnectRun = c.AutoConnectRun;
    s.AutoConnectRunTime = c.AutoConnectRunTime;
    s.AutoStart = c.AutoConnectTime;
    // A checked time passed the apply's checks and is in range already.
    s.AutoStartHour = InRangeOf(&TSettings::AutoStartHour, ValueOr(c.AutoConnectTimeHour, s.AutoStartHour));
    s.AutoStartMinute = InRangeOf(&TSettings::AutoStartMinute, ValueOr(c.AutoConnectTimeMinute, s.AutoStartMinute));
    s.AutoDisconnectEnd = c.AutoDisconnectEnd;
    s.AutoEnd = c.AutoDisconnectTime;
    s.AutoEndHour = InRangeOf(&TSettings::AutoEndHour, ValueOr(c.AutoDisconnectTimeHour, s.AutoEndHour));
    s.AutoEndMinute = InRangeOf(&TSettings::AutoEndMinute, ValueOr(c.AutoDisconnectTimeMinute, s.AutoEndMinute));
    s.AutoDisconnectTimeReset = c.AutoDisconnectTimeReset;
    s.StatusLocate = c.StatusLocate;
    s.StatusCloseBar = c.StatusCloseBar;
    s.StatusAlpha = c.StatusAlpha;
    s.StatusAlphaCount = c.StatusAlphaCount;
    s.KMSComputer = c.KMSComputer;
    s.KMSPasswordFlag = c.KMSPassword;
    s.KMSPassword = c.KMSPasswordText;
    s.KMSPort = c.KMSPort;
    s.KMSPortNo = ValueOr(c.KMSPortNo, s.KMSPortNo);
}

std::string TransparencyText(int position)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f%%", (255 - position) / 255.0 * 100.0);
    return text;
}

StringList TakeBackComputerNames(const StringList& rows)
{
    StringList names;
    StringList keys;
    for (const auto& row : rows) {
        const std::string key = FoldComputerName(row);
        bool seen = false;
        for (const auto& k : keys)
            seen = seen || k == key;
        if (seen)
            continue;
        keys.push_back(key);
        names.push_back(row);
    }
    return names;
}

OptionUserButtons OptionUserButtonsFor(int selectedCount)
{
    return {selectedCount == 1, selectedCount >= 1};
}

int CentredOver(int ownerPos, int ownerSize, int ownSize) { return ownerPos + (ownerSize - ownSize) / 2; }

}  // namespace kiv
