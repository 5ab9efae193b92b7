// Kiv.log beside Kiv.INI: what Kiv did, a line per event, for a person to read in Notepad the
// next morning. A line is the local date and time, the kind of event in brackets and the text
// as Kiv showed or sent it:
//     2026-12-10 23:00:05 [接続] 「東京アクセスポイント」へ接続しました。
// The file is opened, appended to and closed for every line, so other programs read it while
// Kiv runs, and a line goes out in one write. It stays below kMaxBytes: the full file becomes
// Kiv.old.log (one older generation) and a new one starts. Writing never stops Kiv: a failure
// is reported once through OnFailure, and again only after a write has gone well.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "EventLogPort.h"
#include "FileError.h"

namespace kiv {

struct LocalStamp {
    int Year = 0, Month = 0, Day = 0, Hour = 0, Minute = 0, Second = 0;
};

// The file calls of the log: the platform's in SystemLogFiles(), a fake in tests.
class LogFilePort {
public:
    virtual ~LogFilePort() = default;
    // Opens the file for appending (creating it), writes the bytes in one call and closes it.
    virtual FileError Append(const std::string& path, const std::string& bytes) = 0;
    virtual std::optional<std::int64_t> Size(const std::string& path) = 0;
    // The file's last byte; nothing when it is empty, missing or unreadable.
    virtual std::optional<char> LastByte(const std::string& path) = 0;
    // Puts the file from in the place of the file to, which may exist.
    virtual FileError Replace(const std::string& from, const std::string& to) = 0;
};

LogFilePort& SystemLogFiles();
// The local date and time now, from the system.
LocalStamp SystemLocalTime();

class EventLog final : public EventLogPort {
public:
    static constexpr std::int64_t kMaxBytes = 1024 * 1024;
    // Longer texts are cut (at a character) and end in "…".
    static constexpr std::size_t kMaxTextBytes = 2000;

    EventLog(LogFilePort& files, std::function<LocalStamp()> now) : files_(files), now_(std::move(now)) {}

    // The log file; the older generation is kept beside it.
    void Open(const Utf8Path& path) override;
    const std::string& Path() const { return path_; }
    std::string OldPath() const;
    void SetEnabled(bool enabled) override { enabled_ = enabled; }
    bool Enabled() const { return enabled_; }

    // Line breaks in the text become " / ", other control bytes blanks, so one event is one line.
    void Write(std::string_view kind, const SjisText& text) override;

    // The line Write appends for this event at this time, line end included.
    static std::string FormatLine(const LocalStamp& at, std::string_view kind, std::string_view text);
    // The text as the line holds it: on one line, cut at kMaxTextBytes.
    static std::string OneLine(std::string_view text);

private:
    void Failed(const FileError& error);

    LogFilePort& files_;
    std::function<LocalStamp()> now_;
    std::string path_;
    bool enabled_ = true;
    bool failing_ = false;
    // The file's end is looked at before the first line and after a failure: a line cut short
    // by a crash or a full disk is ended, so the next line starts on its own.
    bool checkEnd_ = true;
};

}  // namespace kiv
