#include "WebText.h"

#include "Console.h"
#include "RemoteTexts.h"
#include "TextHelpers.h"
#include "WebJson.h"

namespace kmconsole::web {
namespace {

const char kCutMark[] = "…";

std::string Trim(const std::string& s)
{
    const auto b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

bool StartsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

}  // namespace

std::string BoundText(const std::string& sjis, std::size_t maxBytes)
{
    if (sjis.size() <= maxBytes)
        return sjis;
    const std::size_t room = maxBytes > sizeof kCutMark - 1 ? maxBytes - (sizeof kCutMark - 1) : 0;
    std::size_t end = 0;
    while (end < sjis.size()) {
        const std::size_t width = kiv::IsLeadByte(static_cast<unsigned char>(sjis[end])) ? 2 : 1;
        if (end + width > room)
            break;
        end += width;
    }
    return sjis.substr(0, end) + (room ? kCutMark : "");
}

std::optional<StatusBlock> ParseStatusBlock(const std::string& message)
{
    StatusBlock block;
    bool any = false;
    const struct {
        const char* label;
        std::string* field;
    } fields[] = {{kiv::kRemoteStatusTarget, &block.target},
                  {kiv::kRemoteStatusState, &block.state},
                  {kiv::kRemoteStatusStart, &block.start},
                  {kiv::kRemoteStatusEnd, &block.end}};
    std::size_t pos = 0;
    while (pos <= message.size()) {
        auto end = message.find_first_of("\r\n", pos);
        if (end == std::string::npos)
            end = message.size();
        const std::string line = message.substr(pos, end - pos);
        for (const auto& f : fields)
            if (StartsWith(line, f.label)) {
                *f.field = BoundText(Trim(line.substr(std::char_traits<char>::length(f.label))), kMaxStatusBytes);
                any = true;
            }
        pos = end + 1;
    }
    if (!any)
        return std::nullopt;
    return block;
}

bool SaysDialStarted(const std::string& message)
{
    // Kiv's own text around a target name that no entry can have.
    static const std::string model = kiv::RemoteDialStarted("\x01");
    static const std::size_t at = model.find('\x01');
    static const std::string before = model.substr(0, at), after = model.substr(at + 1);
    return message.size() > before.size() + after.size() && StartsWith(message, before) &&
           message.compare(message.size() - after.size(), after.size(), after) == 0;
}

std::string ShownText(const std::string& sjis)
{
    std::string t = sjis;
    kiv::ReplaceText("\r\n", "\n", t);
    kiv::ReplaceText("\r", "\n", t);
    return SjisToUtf8(t);
}

std::optional<std::string> AnswerProblem(const std::string& utf8)
{
    if (utf8.size() > kMaxAnswerBytes)
        return "the answer is too long";
    if (!IsUtf8(utf8))
        return "the answer is not UTF-8";
    for (unsigned char c : utf8)
        if (c < 0x20 || c == 0x7F)
            return "the answer holds a control character";
    const std::string sjis = Utf8ToSjis(utf8);
    if (SjisToUtf8(sjis) != utf8)
        return "the answer holds characters that Shift-JIS cannot carry";
    // The wire has no escaping: "&|" would move the message's later fields, and "\|" stands
    // for a line break, also where the "\" is the second byte of a character such as "ソ".
    // (Reasons are ASCII: this file's literals are Shift-JIS, the page's are UTF-8.)
    if (sjis.find("&|") != std::string::npos)
        return "the answer holds \"&|\"";
    if (sjis.find("\\|") != std::string::npos)
        return "the answer holds \"\\|\", or a \"|\" after a character whose Shift-JIS form ends in a "
               "backslash";
    return std::nullopt;
}

}  // namespace kmconsole::web
