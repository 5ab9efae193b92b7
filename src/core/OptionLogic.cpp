#include "OptionLogic.h"

#include <cstdio>
#include <type_traits>
#include <variant>

#include "RasPort.h"
#include "TextHelpers.h"

namespace kiv {

namespace {

using S = TSettings;

bool IsEdit(OptionRowKind kind)
{
    return kind == OptionRowKind::Edit || kind == OptionRowKind::NumberEdit || kind == OptionRowKind::PasswordEdit;
}

// The edit's text is a number within the range of its setting's row (from its lowest value on
// only, when onlyLowest).
bool TypedInRange(const OptionControls& c, int S::*member, bool onlyLowest = false)
{
    const auto value = OptionInteger(c.Text(member));
    const SettingRange range = RangeOf(member);
    return value && *value >= range.Lowest && (onlyLowest || *value <= range.Highest);
}

int ValueOr(const std::string& text, int old) { return OptionInteger(text).value_or(old); }

OptionPage PageOf(SettingMember setting)
{
    for (const OptionRow& row : kOptionRows)
        if (row.Page && row.Setting == setting && IsEdit(row.Kind))
            return *row.Page;
    return OptionPage::Dialup;
}

OptionCheckFailure Failure(int number, SettingMember focus, const char* message)
{
    return {number, PageOf(focus), focus, message};
}

void CopyEdit(const OptionRow& row, const std::string& text, TSettings& s)
{
    if (const auto* member = std::get_if<std::string S::*>(&row.Setting)) {
        s.**member = text;
        return;
    }
    const auto* member = std::get_if<int S::*>(&row.Setting);
    if (!member)
        return;
    int& value = s.**member;
    switch (row.Copy) {
    case EditCopy::PositiveOrOld:
        if (const int typed = ValueOr(text, 0); typed > 0)
            value = typed;
        break;
    case EditCopy::NumberInRangeOrOld:
        value = InRangeOf(*member, ValueOr(text, value));
        break;
    default:
        value = ValueOr(text, value);
        break;
    }
}

}  // namespace

std::string OptionControls::Text(SettingMember setting) const
{
    const auto it = Typed.find(SettingRowOf(setting).Key);
    return it == Typed.end() ? std::string() : it->second;
}

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
    c.Values = s;
    c.Values.Target = dialupName;
    for (const OptionRow& row : kOptionRows) {
        if (IsEdit(row.Kind)) {
            if (const auto* number = std::get_if<int S::*>(&row.Setting))
                c.Text(row.Setting) = std::to_string(s.**number);
            else if (const auto* text = std::get_if<std::string S::*>(&row.Setting))
                c.Text(row.Setting) = s.**text;
        } else if (row.Kind == OptionRowKind::ChoiceList || row.Kind == OptionRowKind::TrackBar) {
            // A hand-edited position or alpha outside the lists shows as the nearest one they hold.
            if (const auto* number = std::get_if<int S::*>(&row.Setting))
                c.Values.**number = SettingInRange(s, *number);
        }
    }
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

OptionEnabling OptionEnablingFor(const OptionControls& controls, bool layeredWindows)
{
    const TSettings& c = controls.Values;
    OptionEnabling e;
    e.RedialCount = c.Redial;
    e.RedialInterval = c.Redial || c.Keep;
    e.AutoConnectRunTime = c.AutoConnectRun && c.AutoStart && c.AutoEnd;
    e.StartTime = c.AutoStart;
    e.EndTime = c.AutoEnd;
    const bool shown = c.StatusLocate != 0;
    e.StatusCloseBar = shown;
    e.StatusAlpha = shown && layeredWindows;
    e.StatusAlphaCount = e.StatusAlpha && c.StatusAlpha;
    e.KMSSection = c.KMSLogin;
    e.KMSComputer = c.KMSLogin && c.KMSComputer;
    e.KMSPassword = c.KMSLogin && c.KMSPasswordFlag;
    e.KMSPort = c.KMSLogin && c.KMSPort;
    return e;
}

std::optional<OptionCheckFailure> CheckOptions(const OptionControls& c, const OptionEnabling& e)
{
    // The redial fields test only their lowest value: the highest is the most they hold.
    if (e.RedialCount && !TypedInRange(c, &S::RedialCount, true))
        return Failure(1, &S::RedialCount, kOptionRedialCountMessage);
    if (e.RedialInterval && !TypedInRange(c, &S::RedialInterval, true))
        return Failure(2, &S::RedialInterval, kOptionRedialIntervalMessage);
    if (e.StartTime && !TypedInRange(c, &S::AutoStartHour))
        return Failure(3, &S::AutoStartHour, kOptionHourMessage);
    if (e.StartTime && !TypedInRange(c, &S::AutoStartMinute))
        return Failure(4, &S::AutoStartMinute, kOptionMinuteMessage);
    if (e.EndTime && !TypedInRange(c, &S::AutoEndHour))
        return Failure(5, &S::AutoEndHour, kOptionHourMessage);
    if (e.EndTime && !TypedInRange(c, &S::AutoEndMinute))
        return Failure(6, &S::AutoEndMinute, kOptionMinuteMessage);
    auto typed = [&](int S::*member) { return OptionInteger(c.Text(member)); };
    if (e.StartTime && e.EndTime && typed(&S::AutoStartHour) == typed(&S::AutoEndHour) &&
        typed(&S::AutoStartMinute) == typed(&S::AutoEndMinute))
        return Failure(7, &S::AutoStartHour, kOptionSameTimeMessage);
    if (e.KMSPassword && c.Text(&S::KMSPassword).empty())
        return Failure(8, &S::KMSPassword, kOptionPasswordMessage);
    if (e.KMSPort && !TypedInRange(c, &S::KMSPortNo))
        return Failure(9, &S::KMSPortNo, kOptionPortMessage);
    return std::nullopt;
}

bool PortNoticeNeeded(const OptionControls& c, const TSettings& s)
{
    if (c.Values.KMSPort != s.KMSPort)
        return true;
    return ValueOr(c.Text(&S::KMSPortNo), s.KMSPortNo) != s.KMSPortNo;
}

bool EndTimeChanged(const OptionControls& c, const TSettings& s)
{
    return ValueOr(c.Text(&S::AutoEndHour), s.AutoEndHour) != s.AutoEndHour ||
           ValueOr(c.Text(&S::AutoEndMinute), s.AutoEndMinute) != s.AutoEndMinute;
}

void CopyOptionsToSettings(const OptionControls& c, TSettings& s)
{
    for (const OptionRow& row : kOptionRows) {
        if (IsEdit(row.Kind)) {
            CopyEdit(row, c.Text(row.Setting), s);
            continue;
        }
        // The other control of a pair of radio buttons shows the same setting.
        if (row.ShowsOff)
            continue;
        std::visit(
            [&](auto member) {
                if constexpr (!std::is_same_v<decltype(member), std::monostate>)
                    s.*member = c.Values.*member;
            },
            row.Setting);
    }
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
