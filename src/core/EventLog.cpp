#include "EventLog.h"

#include <cstdio>

namespace kiv {

namespace {

bool IsLeadByte(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool IsTrailByte(unsigned char c)
{
    return (c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC);
}

}  // namespace

// At most kMaxTextBytes long, never ending inside a character.
std::string EventLog::OneLine(std::string_view text)
{
    std::string line;
    line.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (line.size() >= EventLog::kMaxTextBytes) {
            line += "…";
            break;
        }
        if (IsLeadByte(c)) {
            // A lead byte without its second byte would swallow what follows it.
            if (i + 1 < text.size() && IsTrailByte(static_cast<unsigned char>(text[i + 1]))) {
                line += text[i];
                line += text[++i];
            } else {
                line += '?';
            }
        } else if (c == '\r' || c == '\n') {
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
            line += " / ";
        } else {
            line += c < 0x20 || c == 0x7F ? ' ' : static_cast<char>(c);
        }
    }
    return line;
}

void EventLog::Open(const Utf8Path& path)
{
    path_ = path.Text;
    checkEnd_ = true;
}

std::string EventLog::OldPath() const
{
    const std::string_view ext = ".log";
    if (path_.size() >= ext.size() && path_.compare(path_.size() - ext.size(), ext.size(), ext) == 0)
        return path_.substr(0, path_.size() - ext.size()) + ".old.log";
    return path_ + ".old";
}

std::string EventLog::FormatLine(const LocalStamp& at, std::string_view kind, std::string_view text)
{
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04d-%02d-%02d %02d:%02d:%02d ", at.Year, at.Month, at.Day, at.Hour,
                  at.Minute, at.Second);
    return std::string(stamp) + "[" + std::string(kind) + "] " + OneLine(text) + "\r\n";
}

void EventLog::Write(std::string_view kind, const SjisText& text)
{
    if (!enabled_ || path_.empty())
        return;
    std::string line = FormatLine(now_(), kind, text.Bytes);
    const auto size = files_.Size(path_);
    if (size && *size > 0 && *size + static_cast<std::int64_t>(line.size()) > kMaxBytes) {
        if (const FileError error = files_.Replace(path_, OldPath())) {
            Failed(error);
            return;
        }
        checkEnd_ = false;  // a new file
    } else if (checkEnd_) {
        const auto last = files_.LastByte(path_);
        if (last && *last != '\n')
            line.insert(0, "\r\n");
        checkEnd_ = false;
    }
    if (const FileError error = files_.Append(path_, line)) {
        Failed(error);
        return;
    }
    failing_ = false;
}

void EventLog::Failed(const FileError& error)
{
    checkEnd_ = true;
    if (failing_)
        return;
    failing_ = true;
    if (OnFailure)
        OnFailure(Utf8Path(path_), error);
}

}  // namespace kiv
