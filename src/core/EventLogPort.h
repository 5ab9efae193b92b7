// How the program writes what happened to its log, Kiv.log beside Kiv.INI: one line per event,
// the kind of event in brackets and the text as Kiv showed or sent it. The main form writes
// through TMainForm::Log; the window side through the same call, so that the setting that turns
// the log off holds for every line.
#pragma once

#include <functional>
#include <string_view>

#include "FileError.h"
#include "TextKinds.h"

namespace kiv {

inline constexpr char kLogFileName[] = "Kiv.log";

// The kinds of event, as a line shows them in brackets: a short word a person can search for.
inline constexpr char kLogProgram[] = "Kiv";              // start and exit
inline constexpr char kLogStatus[] = "表示";              // a status message, as shown
inline constexpr char kLogLine[] = "回線";                // dial, connect, failure, drop, hang-up
inline constexpr char kLogSchedule[] = "スケジュール";    // the schedule's decisions
inline constexpr char kLogRemote[] = "リモート";          // a console's requests and their answers
inline constexpr char kLogSettings[] = "設定";            // Kiv.INI read and saved
inline constexpr char kLogSystem[] = "システム";          // the session, the power, the clock, the screen

class EventLogPort {
public:
    virtual ~EventLogPort() = default;
    // The file the lines go to from now on (UTF-8 path); nothing is written before.
    virtual void Open(const Utf8Path& path) = 0;
    // Off: Write does nothing. On until it is turned off.
    virtual void SetEnabled(bool enabled) = 0;
    // One event: its kind (above) and its text in Shift-JIS. A text of several lines ("\r")
    // becomes one line of the log. Never fails: a failure is reported through OnFailure.
    virtual void Write(std::string_view kind, const SjisText& text) = 0;

    // The log could not be written: its path and why. Once, until a write has gone well again.
    std::function<void(const Utf8Path& path, const FileError& error)> OnFailure;
};

}  // namespace kiv
