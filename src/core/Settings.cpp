#include "Settings.h"

#include <algorithm>

#include "TextHelpers.h"
#include "TimeOfDay.h"

namespace kiv {

namespace {

using S = TSettings;
using D = SettingDefault;

// The keys of section Option. A new setting is a member of TSettings and one row here; the
// options dialog shows it with one row of its own table (OptionDialog.h).
const SettingRow kRows[] = {
    {.Key = "Target", .Member = &S::Target, .From = D::FirstPhonebookEntry},
    {.Key = "Redial", .Member = &S::Redial},
    {.Key = "Keep", .Member = &S::Keep},
    {.Key = "RedialCount", .Member = &S::RedialCount, .Default = 3, .Range = SettingRange{1, 999}},
    {.Key = "RedialInterval", .Member = &S::RedialInterval, .Default = 5, .Range = SettingRange{1, 999}},
    {.Key = "AutoConnectRun", .Member = &S::AutoConnectRun},
    {.Key = "AutoConnectRunTime", .Member = &S::AutoConnectRunTime},
    {.Key = "AutoStart", .Member = &S::AutoStart},
    {.Key = "AutoStartHour", .Member = &S::AutoStartHour, .Default = 23, .Range = SettingRange{0, 23}},
    {.Key = "AutoStartMinute", .Member = &S::AutoStartMinute, .Default = 0, .Range = SettingRange{0, 59}},
    {.Key = "AutoDisconnectEnd", .Member = &S::AutoDisconnectEnd},
    {.Key = "AutoEnd", .Member = &S::AutoEnd},
    {.Key = "AutoEndHour", .Member = &S::AutoEndHour, .Default = 7, .Range = SettingRange{0, 23}},
    {.Key = "AutoEndMinute", .Member = &S::AutoEndMinute, .Default = 59, .Range = SettingRange{0, 59}},
    {.Key = "AutoDisconnectTimeReset", .Member = &S::AutoDisconnectTimeReset},
    {.Key = "StatusLocate", .Member = &S::StatusLocate, .Default = 4, .Range = SettingRange{0, 4}},
    {.Key = "StatusCloseBar", .Member = &S::StatusCloseBar, .Default = 1},
    {.Key = "StatusAlpha", .Member = &S::StatusAlpha, .Default = 1, .From = D::LayeredWindows},
    {.Key = "StatusAlphaCount", .Member = &S::StatusAlphaCount, .Default = 200, .Range = SettingRange{1, 255}},
    {.Key = "KMSLogin", .Member = &S::KMSLogin},
    {.Key = "KMSComputer", .Member = &S::KMSComputer},
    {.Key = "KMSComputerList", .Member = std::monostate{}, .Scrambled = true},
    {.Key = "KMSPasswordFlag", .Member = &S::KMSPasswordFlag, .From = D::PasswordStored},
    {.Key = "KMSPassword", .Member = &S::KMSPassword, .Scrambled = true},
    {.Key = "KMSPort", .Member = &S::KMSPort},
    {.Key = "KMSPortNo", .Member = &S::KMSPortNo, .Default = kKestrelDefaultPort, .Range = SettingRange{1024, 65535}},
    {.Key = "WriteLog", .Member = &S::WriteLog, .Default = 1},
};

const std::string kSection = kOptionSection;
const std::string kLineBreakOnDisk = "\\|";

template <class... F>
struct Overloaded : F... {
    using F::operator()...;
};
template <class... F>
Overloaded(F...) -> Overloaded<F...>;

// The default a key read from the file falls back to.
int DefaultNumber(const SettingRow& row, bool layeredWindows, const TSettings& readSoFar)
{
    switch (row.From) {
    case D::LayeredWindows:
        return layeredWindows ? 1 : 0;
    case D::PasswordStored:
        return readSoFar.KMSPassword.empty() ? 0 : 1;
    default:
        return row.Default;
    }
}

}  // namespace

std::span<const SettingRow> SettingRows() { return kRows; }

const SettingRow& SettingRowOf(SettingMember member)
{
    for (const SettingRow& row : kRows)
        if (row.Member == member)
            return row;
    // Every member has its row; SettingsTest checks that each one loads and saves.
    return kRows[0];
}

TSettings::TSettings()
{
    for (const SettingRow& row : kRows)
        std::visit(Overloaded{[](std::monostate) {}, [&](bool S::*m) { this->*m = row.Default != 0; },
                              [&](int S::*m) { this->*m = row.Default; }, [](std::string S::*) {}},
                   row.Member);
}

SettingRange RangeOf(int TSettings::*member)
{
    const SettingRow& row = SettingRowOf(member);
    return row.Range.value_or(SettingRange{row.Default, row.Default});
}

int InRangeOf(int TSettings::*member, int value)
{
    const SettingRange range = RangeOf(member);
    return std::clamp(value, range.Lowest, range.Highest);
}

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

FileError LoadSettings(const TVireoSubSetIni& ini, const std::string& firstEntryName, bool layeredWindows, TSettings& s,
                       StringList& allowedComputers)
{
    FileError error;
    const std::optional<IniText> read = ini.ReadIniFile(error);
    if (!read && error.Kind != FileFailure::NotFound)
        return error;
    LoadSettingsFrom(read.value_or(IniText()), firstEntryName, layeredWindows, s, allowedComputers);
    return error;
}

void LoadSettingsFrom(const IniText& file, const std::string& firstEntryName, bool layeredWindows, TSettings& s,
                      StringList& allowedComputers)
{
    using Ini = TVireoSubSetIni;
    auto load = [&](const SettingRow& row) {
        const std::string key = row.Key;
        const int number = DefaultNumber(row, layeredWindows, s);
        std::visit(Overloaded{[&](std::monostate) {
                                  allowedComputers = DecodeComputerList(Ini::IniString(file, kSection, key, ""));
                              },
                              [&](bool S::*m) { s.*m = Ini::IniBool(file, kSection, key, number != 0); },
                              [&](int S::*m) { s.*m = Ini::IniInteger(file, kSection, key, number); },
                              [&](std::string S::*m) {
                                  if (row.Scrambled)
                                      s.*m = DecodePassword(Ini::IniString(file, kSection, key, ""));
                                  else
                                      s.*m = Ini::IniString(file, kSection, key,
                                                            row.From == D::FirstPhonebookEntry ? firstEntryName : "");
                              }},
                   row.Member);
    };
    // A default that depends on another key is taken once every other key has been read.
    for (const SettingRow& row : kRows)
        if (row.From != D::PasswordStored)
            load(row);
    for (const SettingRow& row : kRows)
        if (row.From == D::PasswordStored)
            load(row);
}

IniWrite SaveSettings(TVireoSubSetIni& ini, const TSettings& s, const StringList& allowedComputers)
{
    // One text with every key, one write: a reader never sees half a save, and a refused
    // write leaves the whole file as it was.
    FileError readError;
    const std::optional<IniText> stored = ini.ReadIniFile(readError);
    // A scrambled value comes out different at every encoding: one that stands for the same
    // text is kept as it is stored, so that only what changed is written and said.
    auto scrambled = [&](const char* key, const std::string& encoded, auto decode, const auto& plain) {
        const auto before = stored ? stored->Value(kSection, key) : std::nullopt;
        return before && decode(*before) == plain ? *before : encoded;
    };
    IniValues values;
    for (const SettingRow& row : kRows) {
        std::string value = std::visit(
            Overloaded{[&](std::monostate) {
                           return scrambled(row.Key, EncodeComputerList(allowedComputers), DecodeComputerList,
                                            allowedComputers);
                       },
                       [&](bool S::*m) { return std::string(s.*m ? "1" : "0"); },
                       [&](int S::*m) { return std::to_string(s.*m); },
                       [&](std::string S::*m) {
                           return row.Scrambled ? scrambled(row.Key, EncodePassword(s.*m), DecodePassword, s.*m) : s.*m;
                       }},
            row.Member);
        values.emplace_back(row.Key, std::move(value));
    }
    return ini.WriteIniValues(kSection, values);
}

std::vector<std::string> ChangedSettingKeys(const TSettings& before, const StringList& allowedBefore,
                                            const TSettings& after, const StringList& allowedAfter)
{
    std::vector<std::string> keys;
    for (const SettingRow& row : kRows) {
        const bool changed = std::visit(Overloaded{[&](std::monostate) { return allowedBefore != allowedAfter; },
                                                   [&](auto S::*m) { return before.*m != after.*m; }},
                                        row.Member);
        if (changed)
            keys.emplace_back(row.Key);
    }
    return keys;
}

IniWrite WriteTarget(TVireoSubSetIni& ini, TSettings& settings, const std::string& target)
{
    settings.Target = target;
    return ini.WriteIniValues(kSection, {{SettingRowOf(&TSettings::Target).Key, target}});
}

int ScheduleMinuteOfDay(const TSettings& s, int TSettings::*hour, int TSettings::*minute)
{
    return SettingInRange(s, hour) * 60 + SettingInRange(s, minute);
}

std::string ScheduleClockText(const TSettings& s, int TSettings::*hour, int TSettings::*minute)
{
    const int m = SettingInRange(s, minute);
    return std::to_string(SettingInRange(s, hour)) + (m < 10 ? ":0" : ":") + std::to_string(m);
}

double ScheduleTimeOfDay(const TSettings& s, int TSettings::*hour, int TSettings::*minute)
{
    return TimeOfDayFromMinutes(ScheduleMinuteOfDay(s, hour, minute));
}

bool KestrelPortUsable(int port) { return InRangeOf(&TSettings::KMSPortNo, port) == port; }

}  // namespace kiv
