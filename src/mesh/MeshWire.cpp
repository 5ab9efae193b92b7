#include "MeshWire.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "MeshMessages.h"
#include "TextHelpers.h"

namespace kiv::mesh {

std::string SplitField(const std::string& separator, const std::string& text, int index)
{
    if (separator.empty() || index < 0)
        return index == 0 ? text : std::string();
    std::string work = text;
    std::size_t start = 0;
    std::size_t end = 0;
    for (int i = 0; i <= index; ++i) {
        const auto pos = work.find(separator);
        if (pos != std::string::npos) {
            end = pos;
            work.erase(pos, separator.size());
        } else {
            end = text.size();
        }
        if (i < index)
            start = end;
    }
    if (end <= start || start >= work.size())
        return {};
    return work.substr(start, end - start);
}

std::vector<std::string> SplitFields(const std::string& separator, std::string_view text, int lastIndex)
{
    std::vector<std::string> fields;
    if (lastIndex < 0)
        return fields;
    if (separator.empty()) {
        fields.emplace_back(text);
        return fields;
    }
    // W, the text with the separators found so far deleted, is `settled` followed by the
    // text from `next` on. `settled` holds no separator: a search after a deletion can only
    // find one that starts in its last bytes and runs on into the rest, or one in the rest.
    const std::size_t n = separator.size();
    std::string settled;
    settled.reserve(text.size());
    std::size_t next = 0, start = 0;
    fields.reserve(static_cast<std::size_t>(lastIndex) + 1);
    for (int i = 0; i <= lastIndex; ++i) {
        bool found = false;
        for (std::size_t j = std::min(n - 1, settled.size()); j >= 1 && !found; --j) {
            if (text.size() - next >= n - j && settled.compare(settled.size() - j, j, separator, 0, j) == 0 &&
                text.compare(next, n - j, separator, j, n - j) == 0) {
                settled.resize(settled.size() - j);
                next += n - j;
                found = true;
            }
        }
        if (!found) {
            const auto at = text.find(separator, next);
            if (at == std::string::npos) {
                // The end of the input text: the rest of W is the last field.
                std::string rest = std::move(settled);
                rest.append(text.substr(next));
                fields.push_back(start < rest.size() ? rest.substr(start) : std::string());
                break;
            }
            settled.append(text, next, at - next);
            next = at + n;
        }
        const std::size_t end = settled.size();
        fields.push_back(end > start ? settled.substr(start, end - start) : std::string());
        start = end;
    }
    return fields;
}

std::size_t SplitFieldViews(std::string_view separator, std::string_view text, std::string_view* fields,
                            std::size_t maxFields, std::vector<std::string>& spare)
{
    if (maxFields == 0)
        return 0;
    // A deletion can only bring a separator together when the text kept before it ends in a
    // byte of the separator: without such a byte the fields are the plain pieces between the
    // separators.
    std::size_t count = 0;
    std::size_t next = 0;
    bool plain = !separator.empty();
    while (plain) {
        const auto at = text.find(separator, next);
        if (at == std::string_view::npos) {
            fields[count++] = text.substr(next);
            break;
        }
        if (at > next && separator.find(text[at - 1]) != std::string_view::npos)
            plain = false;
        fields[count++] = text.substr(next, at - next);
        next = at + separator.size();
        if (count == maxFields)
            break;
    }
    if (plain)
        return count;
    spare = SplitFields(std::string(separator), text, static_cast<int>(maxFields) - 1);
    for (std::size_t i = 0; i < spare.size(); ++i)
        fields[i] = spare[i];
    return spare.size();
}

std::string GetField(const std::string& text, int index)
{
    return SplitField(kFieldSeparator, text, index);
}

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

}  // namespace

std::optional<std::uint32_t> InetAddr(const std::string& text)
{
    std::uint64_t parts[4] = {};
    int count = 0;
    std::size_t i = 0;
    for (;;) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9')
            return std::nullopt;
        unsigned base = 10;
        if (text[i] == '0') {
            base = 8;
            ++i;
            if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
                base = 16;
                ++i;
            }
        }
        std::uint64_t value = 0;
        for (; i < text.size(); ++i) {
            const char c = text[i];
            int digit;
            if (c >= '0' && c <= '9')
                digit = c - '0';
            else if (base == 16 && c >= 'a' && c <= 'f')
                digit = c - 'a' + 10;
            else if (base == 16 && c >= 'A' && c <= 'F')
                digit = c - 'A' + 10;
            else
                break;
            if (static_cast<unsigned>(digit) >= base)
                return std::nullopt;
            value = value * base + static_cast<unsigned>(digit);
            if (value > 0xFFFFFFFFull)
                return std::nullopt;
        }
        if (count == 4)
            return std::nullopt;
        parts[count++] = value;
        if (i < text.size() && text[i] == '.') {
            ++i;
            continue;
        }
        if (i < text.size() && !IsBlank(text[i]))
            return std::nullopt;
        break;
    }
    std::uint64_t address = 0;
    switch (count) {
    case 1:
        address = parts[0];
        break;
    case 2:
        if (parts[0] > 0xFF || parts[1] > 0xFFFFFF)
            return std::nullopt;
        address = parts[0] << 24 | parts[1];
        break;
    case 3:
        if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFFFF)
            return std::nullopt;
        address = parts[0] << 24 | parts[1] << 16 | parts[2];
        break;
    default:
        for (int k = 0; k < 4; ++k)
            if (parts[k] > 0xFF)
                return std::nullopt;
        address = parts[0] << 24 | parts[1] << 16 | parts[2] << 8 | parts[3];
        break;
    }
    if (address == 0xFFFFFFFFull)
        return std::nullopt;
    return static_cast<std::uint32_t>(address);
}

std::string InetNtoa(std::uint32_t address)
{
    // By hand: every received datagram names its source this way.
    char buffer[16];
    char* out = buffer;
    for (int shift = 24; shift >= 0; shift -= 8) {
        const unsigned part = (address >> shift) & 0xFF;
        if (part >= 100)
            *out++ = static_cast<char>('0' + part / 100);
        if (part >= 10)
            *out++ = static_cast<char>('0' + part / 10 % 10);
        *out++ = static_cast<char>('0' + part % 10);
        if (shift)
            *out++ = '.';
    }
    return std::string(buffer, out);
}

bool NormalizeAddress(std::string& text)
{
    const auto address = InetAddr(text);
    if (!address)
        return false;
    text = InetNtoa(*address);
    return true;
}

std::optional<std::int32_t> ParseInteger(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        negative = text[i] == '-';
        ++i;
    }
    if (i >= text.size())
        return std::nullopt;
    std::int64_t value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
        if (value > 2147483648LL)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value > 2147483647LL)
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::int32_t ParseIntegerOr(std::string_view text, std::int32_t fallback)
{
    return ParseInteger(text).value_or(fallback);
}

std::string MakeIdentifier(const LocalDateTime& t, int random)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%4d%2d%2d%2d%2d%2d%3d%5d", t.year, t.month, t.day, t.hour, t.minute,
                  t.second, t.millisecond, random);
    return buffer;
}

std::string FormatRecvTime(const LocalDateTime& t)
{
    // Shift-JIS bytes of the kanji, spelled out so the text does not depend on the compiler's
    // execution character set.
    static const char kYear[] = "\x94\x4E", kMonth[] = "\x8C\x8E", kDay[] = "\x93\xFA";
    static const char kHour[] = "\x8E\x9E", kMinute[] = "\x95\xAA", kSecond[] = "\x95\x62";
    static const char kBeforeNoon[] = "\x8C\xDF\x91\x4F", kAfterNoon[] = "\x8C\xDF\x8C\xE3";
    const int hour12 = t.hour % 12 == 0 ? 12 : t.hour % 12;
    char buffer[96];
    std::snprintf(buffer, sizeof buffer, "%04d%s%02d%s%02d%s %s %d%s%02d%s%02d%s", t.year, kYear, t.month, kMonth,
                  t.day, kDay, t.hour < 12 ? kBeforeNoon : kAfterNoon, hour12, kHour, t.minute, kMinute, t.second,
                  kSecond);
    return buffer;
}

std::string FrameText(const std::string& messageText, bool security)
{
    char length[16];
    std::snprintf(length, sizeof length, "%5d", static_cast<int>(messageText.size()));
    std::string framed = length + messageText;
    ReplaceText("\r\n", "\\|", framed);
    return security ? "1" + ScrambleText(framed) : "0" + framed;
}

std::vector<std::string> CutDatagrams(const std::string& framed)
{
    std::vector<std::string> datagrams;
    const std::size_t count = framed.empty() ? 0 : (framed.size() + kPieceSize - 1) / kPieceSize;
    if (count > kMaxPieces)
        return datagrams;
    datagrams.reserve(count);
    for (std::size_t k = 0; k < count; ++k) {
        std::string datagram;
        const std::size_t begin = k * kPieceSize;
        const std::size_t size = std::min(kPieceSize, framed.size() - begin);
        datagram.reserve(size + 2);
        datagram += static_cast<char>(k + 1);
        datagram.append(framed, begin, size);
        datagram += '\0';
        datagrams.push_back(std::move(datagram));
    }
    return datagrams;
}

std::string_view DatagramPiece(const char* data, std::size_t size)
{
    if (size <= 1)
        return {};
    const void* zero = std::memchr(data + 1, 0, size - 1);
    const std::size_t end = zero ? static_cast<std::size_t>(static_cast<const char*>(zero) - data) : size;
    return std::string_view(data + 1, end - 1);
}

namespace {

// Steps 1 to 4 of unframing: the joined pieces without the joints, unscrambled when the
// flag says so, with "\|" back to CR LF. Every step is one pass over the text.
template <class Piece>
std::string DecodeFramed(const Piece* pieces, std::size_t count, char* flagOut = nullptr)
{
    std::string text;
    std::size_t size = 0;
    bool lineBreaks = false;
    for (std::size_t i = 0; i < count; ++i) {
        size += pieces[i].size() + 2;
        lineBreaks = lineBreaks || pieces[i].find('\r') != std::string::npos ||
                     pieces[i].find('\n') != std::string::npos;
    }
    if (count == 1 && !lineBreaks) {
        // One piece without CR or LF is the joined text as it stands: decode it in place.
        const std::string_view piece = pieces[0];
        if (piece.empty())
            return text;
        if (flagOut)
            *flagOut = piece[0];
        if (piece[0] == '1')
            text = UnscrambleText(piece.substr(1));
        else
            text.assign(piece.substr(1));
    } else {
        text.reserve(size);
        if (lineBreaks) {
            for (std::size_t i = 0; i < count; ++i) {
                text += pieces[i];
                text += "\r\n";
            }
            ReplaceText("\r\n", "", text);
        } else {
            // Without CR or LF in the pieces the joints are the only pairs, and removing them
            // brings no new ones together.
            for (std::size_t i = 0; i < count; ++i)
                text += pieces[i];
        }
        if (text.empty())
            return text;
        const char flag = text[0];
        if (flagOut)
            *flagOut = flag;
        if (flag == '1')
            text = UnscrambleText(std::string_view(text).substr(1));
        else
            text.erase(0, 1);
    }
    // "\|" to CR LF in one pass: what is put in can never form "\|" with its neighbours, so
    // this is what replacing and searching again from the start gives.
    for (std::size_t at = text.find("\\|"); at != std::string::npos; at = text.find("\\|", at + 2)) {
        text[at] = '\r';
        text[at + 1] = '\n';
    }
    return text;
}

// The length field at the start of a decoded text.
std::optional<std::int32_t> LengthField(std::string_view decoded)
{
    if (decoded.size() < 5)
        return std::nullopt;
    return ParseInteger(decoded.substr(0, 5));
}

// Step 5: the decoded text without its length field, when it holds as much as that says.
std::optional<std::string> TakeLengthField(std::string text, std::optional<std::int32_t> length)
{
    if (!length || static_cast<std::int64_t>(text.size()) < static_cast<std::int64_t>(*length) + 5)
        return std::nullopt;
    text.erase(0, 5);
    return text;
}

}  // namespace

std::optional<std::string> UnframePieces(const std::vector<std::string>& pieces, std::size_t count)
{
    std::string text = DecodeFramed(pieces.data(), std::min(count, pieces.size()));
    const auto length = LengthField(text);
    return TakeLengthField(std::move(text), length);
}

FirstPiece ReadFirstPiece(std::string_view piece)
{
    FirstPiece read;
    char flag = '0';
    std::string text = DecodeFramed(&piece, 1, &flag);
    const auto length = LengthField(text);
    if (!length)
        return read;
    // The flag, then the length field and the message text, as two hex digits each behind
    // the two of the offset when scrambled. A negative length reads as complete at once.
    const std::int64_t plain = 5 + std::max<std::int64_t>(0, *length);
    const std::int64_t framed = 1 + (flag == '1' ? 2 + 2 * plain : plain);
    if (framed > static_cast<std::int64_t>(kMaxPieces * kPieceSize))
        return read;
    read.framed = static_cast<std::size_t>(framed);
    if (PieceCount(*read.framed) == 1)
        read.message = TakeLengthField(std::move(text), length);
    return read;
}

std::size_t PieceCount(std::size_t framedSize)
{
    return std::max<std::size_t>(1, (framedSize + kPieceSize - 1) / kPieceSize);
}

std::size_t PieceSize(std::size_t framedSize, std::size_t position)
{
    const std::size_t count = PieceCount(framedSize);
    if (position + 1 < count)
        return kPieceSize;
    return position + 1 == count ? framedSize - position * kPieceSize : 0;
}

std::string BuildMessage(MessageType type, const FieldValues& values)
{
    const MessageLayout& layout = LayoutOf(type);
    std::string text(layout.Tag());
    for (std::size_t position = 1; position <= layout.Count(); ++position) {
        text += kFieldSeparator;
        text += values[layout.At(position)];
    }
    return text;
}

std::string BuildMessage(const std::string& typeTag, const std::vector<std::string>& fields)
{
    std::string text = typeTag;
    for (const auto& field : fields) {
        text += kFieldSeparator;
        text += field;
    }
    return text;
}

}  // namespace kiv::mesh
