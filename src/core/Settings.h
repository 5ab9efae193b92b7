// The program's settings: one field per key of section "Option" of Kiv.INI, and the table of
// those keys, which drives their load, their save, their defaults and their ranges.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "StringList.h"
#include "VireoSubSetIni.h"

namespace kiv {

inline constexpr char kOptionSection[] = "Option";
inline constexpr char kIniFileName[] = "Kiv.INI";

// KestrelMesh's port unless the settings give another.
inline constexpr int kKestrelDefaultPort = 51000;

// Values are kept as the file holds them; SettingInRange brings them into range where they are
// used, so no hand-edited value can stop start-up, the schedule or the status window. A fresh
// record holds the defaults of the table below.
struct TSettings {
    TSettings();

    std::string Target;
    bool Redial{};
    bool Keep{};
    int RedialCount{};
    int RedialInterval{};
    bool AutoConnectRun{};
    bool AutoConnectRunTime{};
    bool AutoStart{};
    int AutoStartHour{};
    int AutoStartMinute{};
    bool AutoDisconnectEnd{};
    bool AutoEnd{};
    int AutoEndHour{};
    int AutoEndMinute{};
    bool AutoDisconnectTimeReset{};
    int StatusLocate{};
    bool StatusCloseBar{};
    bool StatusAlpha{};
    int StatusAlphaCount{};
    bool KMSLogin{};
    bool KMSComputer{};
    bool KMSPasswordFlag{};
    std::string KMSPassword;  // plain text in memory, scrambled in the file
    bool KMSPort{};
    int KMSPortNo{};
    bool WriteLog{};  // Kiv.log is written

    bool operator==(const TSettings&) const = default;
};

// The member of TSettings a key is kept in; none for KMSComputerList, whose names are the
// program's AllowedComputers.
using SettingMember = std::variant<std::monostate, bool TSettings::*, int TSettings::*, std::string TSettings::*>;

// Where a key's default comes from when the file lacks it.
enum class SettingDefault {
    Row,                  // the row's Default
    FirstPhonebookEntry,  // the name of the phonebook's first entry
    LayeredWindows,       // whether layered windows are available
    PasswordStored,       // whether the stored password is not empty (read after every other key)
};

struct SettingRange {
    int Lowest = 0, Highest = 0;
};

// One key of section Option.
struct SettingRow {
    const char* Key;
    SettingMember Member;
    // A fresh record's value of a Boolean (0 or 1) or integer key; text keys start empty.
    int Default = 0;
    SettingDefault From = SettingDefault::Row;
    // The values the options dialog accepts and the program's users bring a value into.
    std::optional<SettingRange> Range = std::nullopt;
    // Stored as ScrambleText applied twice, never in plain text.
    bool Scrambled = false;
};

// Every key, in the order the file has always had them written.
std::span<const SettingRow> SettingRows();
// The row of a member of TSettings.
const SettingRow& SettingRowOf(SettingMember member);

// The range of an integer setting's row.
SettingRange RangeOf(int TSettings::*member);
// The value brought into the range of its row.
int InRangeOf(int TSettings::*member, int value);
// The setting's value brought into the range of its row.
inline int SettingInRange(const TSettings& settings, int TSettings::*member)
{
    return InRangeOf(member, settings.*member);
}

// Reads every key with its default, from one read of the file. firstEntryName is the default
// of Target (the first phonebook entry), layeredWindows the default of StatusAlpha. A missing
// file gives every default and the error NotFound; a file that exists but cannot be read
// changes nothing and gives the reason.
FileError LoadSettings(const TVireoSubSetIni& ini, const std::string& firstEntryName, bool layeredWindows,
                       TSettings& settings, StringList& allowedComputers);
// The same from the file's content (an empty text gives every default).
void LoadSettingsFrom(const IniText& file, const std::string& firstEntryName, bool layeredWindows, TSettings& settings,
                      StringList& allowedComputers);

// Writes every key, in the table's order, with one write of the file (none when no value
// changes). The settings in memory stay in force whether or not the write reached the disk.
IniWrite SaveSettings(TVireoSubSetIni& ini, const TSettings& settings, const StringList& allowedComputers);

// The keys whose values differ between two states of the settings, in the table's order.
std::vector<std::string> ChangedSettingKeys(const TSettings& before, const StringList& allowedBefore,
                                            const TSettings& after, const StringList& allowedAfter);

// Switches the control target: memory first, then the single key in the file.
IniWrite WriteTarget(TVireoSubSetIni& ini, TSettings& settings, const std::string& target);

// The stored forms of the two scrambled keys (ScrambleText applied twice).
std::string EncodeComputerList(const StringList& names);
StringList DecodeComputerList(const std::string& stored);
std::string EncodePassword(const std::string& password);
std::string DecodePassword(const std::string& stored);

// Minutes since midnight of an hour and a minute setting, each brought into its range.
int ScheduleMinuteOfDay(const TSettings& settings, int TSettings::*hour, int TSettings::*minute);
// The same as the clock shows it: "7:05".
std::string ScheduleClockText(const TSettings& settings, int TSettings::*hour, int TSettings::*minute);
// The same as a fraction of a day.
double ScheduleTimeOfDay(const TSettings& settings, int TSettings::*hour, int TSettings::*minute);

// The manual KestrelMesh port applies only within the range of KMSPortNo; outside it the
// component keeps its own port.
bool KestrelPortUsable(int port);

}  // namespace kiv
