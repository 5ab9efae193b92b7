#include "Console.h"

#include <cerrno>
#ifdef _WIN32
#include <windows.h>
#else
#include <iconv.h>
#endif

#include "FileTransferCodes.h"
#include "TextHelpers.h"
#include "MeshWire.h"

namespace kmconsole {
namespace {

#ifdef _WIN32
// Through UTF-16; characters that do not convert become "?".
std::string Convert(UINT to, UINT from, const std::string& text)
{
    if (text.empty())
        return text;
    const int wide = MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(wide), L'\0');
    MultiByteToWideChar(from, 0, text.data(), static_cast<int>(text.size()), w.data(), wide);
    const int narrow = WideCharToMultiByte(to, 0, w.data(), wide, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(narrow), '\0');
    WideCharToMultiByte(to, 0, w.data(), wide, out.data(), narrow, nullptr, nullptr);
    return out;
}
#else
std::string Convert(const char* to, const char* from, const std::string& text)
{
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return text;
    std::string out;
    std::string input = text;
    char* in = input.data();
    std::size_t inLeft = input.size();
    char buffer[256];
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        const std::size_t r = ::iconv(cd, &in, &inLeft, &outPtr, &outLeft);
        out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            out += '?';
            ++in;
            --inLeft;
            ::iconv(cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    ::iconv_close(cd);
    return out;
}
#endif

}  // namespace

#ifdef _WIN32
std::string SjisToUtf8(const std::string& text)
{
    return Convert(CP_UTF8, 932, text);
}

std::string Utf8ToSjis(const std::string& text)
{
    return Convert(932, CP_UTF8, text);
}
#else
std::string SjisToUtf8(const std::string& text)
{
    return Convert("UTF-8", "CP932", text);
}

std::string Utf8ToSjis(const std::string& text)
{
    return Convert("CP932", "UTF-8", text);
}
#endif

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '\t': out += "\\t"; break;
        case '\r': out += "\\r"; break;
        case '\n': out += "\\n"; break;
        default: out += c;
        }
    }
    return out;
}

std::vector<std::string> SplitItems(const std::string& list)
{
    std::vector<std::string> items;
    if (list.empty())
        return items;
    std::size_t separators = 0;
    for (std::size_t p = list.find("&:"); p != std::string::npos; p = list.find("&:", p + 2))
        ++separators;
    for (std::size_t i = 0; i <= separators && i < 256; ++i)
        items.push_back(kiv::mesh::SplitField("&:", list, static_cast<int>(i)));
    return items;
}

std::string SelectAnswer(const std::string& answer, const std::vector<std::string>& returns, bool bareNumbers)
{
    std::string digits = answer;
    if (!digits.empty() && digits[0] == '#')
        digits.erase(0, 1);
    else if (!bareNumbers)
        return answer;
    const auto n = kiv::mesh::ParseInteger(digits);
    if (n && digits.find_first_not_of("0123456789") == std::string::npos && *n >= 1 &&
        static_cast<std::size_t>(*n) <= returns.size())
        return returns[static_cast<std::size_t>(*n - 1)];
    return answer;
}

std::optional<std::string> SafeReceiveName(const std::string& offered)
{
    // Split into path parts on "/" and "\", skipping the trail byte of each double-byte
    // character (it may be 0x5C or 0x7C). A lead byte without a valid trail byte is no
    // character: the conversion to the file system would keep the byte after it, which may
    // be "/" or ":".
    std::vector<std::string> parts(1);
    for (std::size_t i = 0; i < offered.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(offered[i]);
        if (kiv::IsLeadByte(c)) {
            const unsigned char trail = i + 1 < offered.size() ? static_cast<unsigned char>(offered[i + 1]) : 0;
            if (!((trail >= 0x40 && trail <= 0x7E) || (trail >= 0x80 && trail <= 0xFC)))
                return std::nullopt;
            parts.back() += offered.substr(i, 2);
            ++i;
            continue;
        }
        if (c == '/' || c == '\\')
            parts.emplace_back();
        else if (c < 0x20 || c == 0x7F || std::string("<>:\"|?*").find(static_cast<char>(c)) != std::string::npos)
            return std::nullopt;  // also a drive "C:" and a stream "a:b"
        else
            parts.back() += static_cast<char>(c);
    }
    for (const auto& part : parts)
        if (part == "..")
            return std::nullopt;
    const std::string name = parts.back();
    if (name.empty() || name.back() == '.' || name.back() == ' ')
        return std::nullopt;  // also "." and ".."
    // Device names are devices in every folder, whatever the extension.
    std::string stem = name.substr(0, name.find('.'));
    while (!stem.empty() && stem.back() == ' ')
        stem.pop_back();
    for (auto& ch : stem)
        if (ch >= 'a' && ch <= 'z')
            ch = static_cast<char>(ch - 'a' + 'A');
    static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$", "CLOCK$"};
    for (const char* device : kDevices)
        if (stem == device)
            return std::nullopt;
    if (stem.size() == 4 && (stem.rfind("COM", 0) == 0 || stem.rfind("LPT", 0) == 0) && stem[3] >= '0' &&
        stem[3] <= '9')
        return std::nullopt;
    return name;
}

namespace {

struct ErrorText {
    int error;
    const char* text;
};

template <std::size_t N>
std::string TextOf(const ErrorText (&table)[N], int error)
{
    for (const auto& entry : table)
        if (entry.error == error)
            return entry.text;
    return "error";
}

}  // namespace

std::string FileSendErrorText(int error)
{
    static constexpr ErrorText kTexts[] = {
        {kiv::file_send_error::RefusedOrTimedOut, "refused or timed out"},
        {kiv::file_send_error::ReceiverClosed, "closed by the receiver"},
        {kiv::file_send_error::LoggedOut, "logged out"},
        {kiv::file_send_error::FileUnreadable, "file cannot be read"},
        {kiv::file_send_error::ConnectionFailed, "connection failed"},
    };
    return TextOf(kTexts, error);
}

std::string FileRecvErrorText(int error)
{
    static constexpr ErrorText kTexts[] = {
        {kiv::file_recv_error::SenderClosed, "sender closed early"},
        {kiv::file_recv_error::LoggedOut, "logged out"},
        {kiv::file_recv_error::FileUnwritable, "file cannot be written"},
    };
    return TextOf(kTexts, error);
}

}  // namespace kmconsole
