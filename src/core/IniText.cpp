#include "IniText.h"

#include <vector>

namespace kiv {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

// One line of the text: [begin, end) without its line end; next is where the following
// line starts.
struct Line {
    std::size_t begin;
    std::size_t end;
    std::size_t next;
};

// Editors that save as UTF-8 may put a byte-order mark in front of the first line.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::size_t TextStart(const std::string& bytes)
{
    return std::string_view(bytes).substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
}

std::vector<Line> SplitLines(const std::string& bytes)
{
    std::vector<Line> lines;
    std::size_t pos = TextStart(bytes);
    while (pos < bytes.size()) {
        auto lf = bytes.find('\n', pos);
        const std::size_t next = lf == std::string::npos ? bytes.size() : lf + 1;
        std::size_t end = lf == std::string::npos ? bytes.size() : lf;
        if (end > pos && bytes[end - 1] == '\r')
            --end;
        lines.push_back({pos, end, next});
        pos = next;
    }
    return lines;
}

// The section name when the line is a section header.
std::optional<std::string_view> SectionName(std::string_view line)
{
    line = Trim(line);
    if (line.empty() || line.front() != '[')
        return std::nullopt;
    line.remove_prefix(1);
    const auto close = line.find(']');
    if (close != std::string_view::npos)
        line = line.substr(0, close);
    return Trim(line);
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
};

std::optional<KeyLine> ParseKeyLine(std::string_view line)
{
    const auto eq = line.find('=');
    if (eq == std::string_view::npos)
        return std::nullopt;
    return KeyLine{Trim(line.substr(0, eq)), Trim(line.substr(eq + 1))};
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

// A value in a matching pair of quotes comes back without them, as from the profile functions.
std::string_view Unquoted(std::string_view value)
{
    if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front())
        return value.substr(1, value.size() - 2);
    return value;
}

// The text that reads back as value: quoted when a reader would otherwise drop its outer
// blanks or quotes.
std::string Stored(std::string_view value)
{
    const bool needsQuotes = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) ||
                                                (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()));
    return needsQuotes ? "\"" + std::string(value) + "\"" : std::string(value);
}

bool BreaksLines(std::string_view s) { return s.find_first_of("\r\n", 0) != std::string_view::npos; }

}  // namespace

std::optional<std::string> IniText::Value(std::string_view section, std::string_view key) const
{
    bool inSection = false;
    for (const Line& l : SplitLines(bytes_)) {
        const std::string_view line(bytes_.data() + l.begin, l.end - l.begin);
        if (auto name = SectionName(line)) {
            inSection = SameName(*name, section);
            continue;
        }
        if (!inSection)
            continue;
        if (auto kv = ParseKeyLine(line); kv && SameName(kv->key, key))
            return std::string(Unquoted(kv->value));
    }
    return std::nullopt;
}

bool IniText::SetValue(std::string_view section, std::string_view key, std::string_view value)
{
    if (BreaksLines(section) || BreaksLines(key) || BreaksLines(value) || Trim(key).empty() ||
        key.find('=') != std::string_view::npos || section.find(']') != std::string_view::npos)
        return false;
    const std::string newLine = std::string(key) + "=" + Stored(value);

    bool inSection = false;
    std::optional<std::size_t> insertAt;  // behind the last non-blank line of the section
    for (const Line& l : SplitLines(bytes_)) {
        const std::string_view line(bytes_.data() + l.begin, l.end - l.begin);
        if (auto name = SectionName(line)) {
            inSection = SameName(*name, section);
            if (inSection && !insertAt)
                insertAt = l.next;
            continue;
        }
        if (!inSection)
            continue;
        if (auto kv = ParseKeyLine(line); kv && SameName(kv->key, key)) {
            bytes_.replace(l.begin, l.end - l.begin, std::string(kv->key) + "=" + Stored(value));
            return true;
        }
        if (!Trim(line).empty() && insertAt && *insertAt <= l.begin)
            insertAt = l.next;
    }

    auto endLine = [this](std::size_t at) {
        // A last line without its line end gets one before anything is added behind it.
        if (at == bytes_.size() && bytes_.size() > TextStart(bytes_) && bytes_.back() != '\n') {
            bytes_ += "\r\n";
            return bytes_.size();
        }
        return at;
    };
    if (insertAt) {
        const std::size_t at = endLine(*insertAt);
        bytes_.insert(at, newLine + "\r\n");
    } else {
        endLine(bytes_.size());
        bytes_ += "[" + std::string(section) + "]\r\n" + newLine + "\r\n";
    }
    return true;
}

}  // namespace kiv
