#include "WebJson.h"

#include <cstdio>

namespace kmconsole::web {

std::string JsonString(const std::string& utf8)
{
    std::string out = "\"";
    for (unsigned char c : utf8) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20 || c == 0x7F || c == '<' || c == '>' || c == '&') {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += static_cast<char>(c);
            }
        }
    }
    return out + "\"";
}

namespace {

// Length of the UTF-8 sequence at i, or 0 when it is malformed.
std::size_t Utf8Length(const std::string& s, std::size_t i)
{
    const auto at = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = at(i);
    if (c < 0x80)
        return 1;
    std::size_t n;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
        n = 2;
        cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
        n = 3;
        cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
        n = 4;
        cp = c & 0x07;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((at(i + k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (at(i + k) & 0x3F);
    }
    if ((n == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return n;
}

void AppendUtf8(std::string& out, std::uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

class Reader {
public:
    explicit Reader(const std::string& text) : s_(text) {}

    JsonParse Object()
    {
        JsonObject object;
        Space();
        if (!Eat('{'))
            return Fail("a JSON object is expected");
        Space();
        if (!Eat('}')) {
            for (;;) {
                Space();
                auto name = String();
                if (!name)
                    return Fail(error_.empty() ? "a member name is expected" : error_);
                Space();
                if (!Eat(':'))
                    return Fail("':' is expected after a member name");
                Space();
                std::optional<JsonValue> value;
                if (Peek() == '"') {
                    if (auto text = String())
                        value = *text;
                } else {
                    value = Integer();
                }
                if (!value)
                    return Fail(error_.empty() ? "only text and whole numbers are accepted as values" : error_);
                if (object.count(*name))
                    return Fail("a member is given twice");
                if (object.size() == kMaxJsonMembers)
                    return Fail("too many members");
                object.emplace(std::move(*name), std::move(*value));
                Space();
                if (Eat('}'))
                    break;
                if (!Eat(','))
                    return Fail("',' or '}' is expected");
            }
        }
        Space();
        if (i_ != s_.size())
            return Fail("text follows the object");
        return {std::move(object), {}};
    }

private:
    JsonParse Fail(const std::string& why) { return {std::nullopt, why}; }
    char Peek() const { return i_ < s_.size() ? s_[i_] : '\0'; }
    bool Eat(char c)
    {
        if (Peek() != c || i_ >= s_.size())
            return false;
        ++i_;
        return true;
    }
    void Space()
    {
        while (i_ < s_.size() && (s_[i_] == ' ' || s_[i_] == '\t' || s_[i_] == '\r' || s_[i_] == '\n'))
            ++i_;
    }

    std::optional<std::uint32_t> Hex4()
    {
        if (i_ + 4 > s_.size())
            return std::nullopt;
        std::uint32_t v = 0;
        for (int k = 0; k < 4; ++k) {
            const char c = s_[i_++];
            v <<= 4;
            if (c >= '0' && c <= '9')
                v |= static_cast<std::uint32_t>(c - '0');
            else if (c >= 'a' && c <= 'f')
                v |= static_cast<std::uint32_t>(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F')
                v |= static_cast<std::uint32_t>(c - 'A' + 10);
            else
                return std::nullopt;
        }
        return v;
    }

    std::optional<std::string> String()
    {
        if (!Eat('"'))
            return std::nullopt;
        std::string out;
        while (i_ < s_.size()) {
            const unsigned char c = static_cast<unsigned char>(s_[i_]);
            if (c == '"') {
                ++i_;
                return out;
            }
            if (c < 0x20) {
                error_ = "a control character inside a text";
                return std::nullopt;
            }
            if (c != '\\') {
                const std::size_t n = Utf8Length(s_, i_);
                if (n == 0) {
                    error_ = "the text is not UTF-8";
                    return std::nullopt;
                }
                out.append(s_, i_, n);
                i_ += n;
                continue;
            }
            ++i_;
            const char e = Peek();
            ++i_;
            switch (e) {
            case '"': out += '"'; break;
            case '\\': out += '\\'; break;
            case '/': out += '/'; break;
            case 'b': out += '\b'; break;
            case 'f': out += '\f'; break;
            case 'n': out += '\n'; break;
            case 'r': out += '\r'; break;
            case 't': out += '\t'; break;
            case 'u': {
                auto cp = Hex4();
                if (cp && *cp >= 0xD800 && *cp <= 0xDBFF) {
                    std::optional<std::uint32_t> low;
                    if (Eat('\\') && Eat('u'))
                        low = Hex4();
                    cp = low && *low >= 0xDC00 && *low <= 0xDFFF
                             ? std::optional<std::uint32_t>(0x10000 + ((*cp - 0xD800) << 10) + (*low - 0xDC00))
                             : std::nullopt;
                } else if (cp && *cp >= 0xDC00 && *cp <= 0xDFFF) {
                    cp.reset();
                }
                if (!cp) {
                    error_ = "a broken \\u escape";
                    return std::nullopt;
                }
                AppendUtf8(out, *cp);
                break;
            }
            default:
                error_ = "an unknown escape";
                return std::nullopt;
            }
        }
        error_ = "a text without its closing quote";
        return std::nullopt;
    }

    std::optional<JsonValue> Integer()
    {
        const std::size_t start = i_;
        std::int64_t v = 0;
        while (i_ < s_.size() && s_[i_] >= '0' && s_[i_] <= '9') {
            if (i_ - start >= 10)
                return std::nullopt;
            v = v * 10 + (s_[i_++] - '0');
        }
        if (i_ == start || (s_[start] == '0' && i_ - start > 1) || v > 0x7FFFFFFF)
            return std::nullopt;
        return JsonValue(v);
    }

    const std::string& s_;
    std::size_t i_ = 0;
    std::string error_;
};

}  // namespace

bool IsUtf8(const std::string& text)
{
    for (std::size_t i = 0; i < text.size();) {
        const std::size_t n = Utf8Length(text, i);
        if (n == 0)
            return false;
        i += n;
    }
    return true;
}

JsonParse ParseFlatObject(const std::string& text)
{
    if (text.size() > kMaxJsonBytes)
        return {std::nullopt, "the request is too long"};
    return Reader(text).Object();
}

}  // namespace kmconsole::web
