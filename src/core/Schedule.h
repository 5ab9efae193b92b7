// The daily schedule: its times of day, and the keeper that decides on each tick which scheduled
// time is due, so that each one acts once, on time or, after a gap (a sleep, a program held, a
// clock moved), once and late, with the reason.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "Settings.h"
#include "TimeOfDay.h"

namespace kiv {

// Milliseconds from midnight; each time acts only when its switch is on.
struct ScheduleTimes {
    long long Start = 0;      // S: the scheduled connect
    long long End = 0;        // E: the scheduled disconnect
    long long Warning = 0;    // W: ten seconds before E, within the same day cycle
    bool Connect = false;     // AutoStart
    bool Disconnect = false;  // AutoEnd: the warning and the disconnect
};

ScheduleTimes ComputeScheduleTimes(const TSettings& settings);

inline constexpr long long kScheduleWarningLeadMs = 10000;
// A scheduled time acted on this long after its second or later was late: a tick comes every
// second, so only a gap makes one this late.
inline constexpr long long kScheduleLateMs = 3000;

enum class ScheduleStep { None, Connect, Warning, Disconnect };

// Why a scheduled time was acted on late.
enum class ScheduleLateCause {
    None,
    Resumed,       // the computer slept over it: the system said it resumed
    ClockChanged,  // the clock was set forward over it: the system said so, or it ran ahead of the tick count
    NotRunning,    // the ticks did not come (a sleep the system did not report, or the program was held)
};

struct ScheduleDecision {
    ScheduleStep Step = ScheduleStep::None;
    LocalTime Due = 0;     // the date and time it was scheduled for
    long long LateMs = 0;  // how long after that it is acted on
    ScheduleLateCause Cause = ScheduleLateCause::None;
    // A scheduled time passed in the same gap and left alone, since a later one decides.
    ScheduleStep Skipped = ScheduleStep::None;
    LocalTime SkippedDue = 0;

    bool Late() const { return LateMs >= kScheduleLateMs; }
    bool operator==(const ScheduleDecision&) const = default;
};

// What the log says of a decision (Shift-JIS lines): that it came late and why, when Kiv acted on
// it (the line was in a state the step applies to), and which scheduled time a gap left alone.
// Nothing for a decision on time.
std::vector<std::string> ScheduleNotes(const ScheduleDecision& decision, bool acted);

// Each occurrence of a scheduled time (its date and time of day) acts at most once, and none
// from before the start (or the last apply of the options) is caught up. After a gap only the
// latest of the scheduled connect and disconnect that were passed acts, once: the other is
// skipped. A disconnect passed in a gap comes with its warning first, and ten seconds later. A
// clock set back repeats nothing that acted.
class ScheduleKeeper {
public:
    // From now on: times before now are not caught up (start-up, options applied). tick is the
    // system's millisecond tick.
    void Restart(LocalTime now, std::uint32_t tick);
    // What the system said before the next tick.
    void Resumed() { resumed_ = true; }
    void ClockChanged() { clockChanged_ = true; }
    // The step due at now, once.
    ScheduleDecision Tick(const ScheduleTimes& times, LocalTime now, std::uint32_t tick);

private:
    static constexpr int kSteps = 4;
    bool Done(ScheduleStep step, LocalTime due) const;
    void MarkDone(ScheduleStep step, LocalTime due);
    // Due when switched on, passed since the start, not acted on yet.
    std::optional<LocalTime> DueOccurrence(ScheduleStep step, bool on, long long timeOfDay, LocalTime now) const;

    LocalTime notBefore_ = 0;
    LocalTime previousNow_ = 0;
    std::uint32_t previousTick_ = 0;
    bool resumed_ = false;
    bool clockChanged_ = false;
    std::vector<LocalTime> done_[kSteps];
    // A disconnect passed in a gap waits for its warning's ten seconds.
    struct Held {
        LocalTime Due;
        std::uint32_t Since;
        ScheduleLateCause Cause;
    };
    std::optional<Held> held_;
};

}  // namespace kiv
