#include "HelpPage.h"

namespace kiv {

namespace {

// Characters beyond ASCII stay as they are: viewers read escaped bytes in the system's code
// page, not as UTF-8, and every browser takes the characters themselves.
bool Plain(unsigned char c)
{
    return c >= 0x80 || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_' || c == '~' || c == '/' || c == ':';
}

}  // namespace

std::string HelpAnchor(unsigned helpContext) { return "help-" + std::to_string(helpContext); }

std::string HelpPageUrl(const std::string& appDir, unsigned helpContext)
{
    std::string path = appDir + kHelpFileName;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    // "C:/..." is a local path and takes an empty host; "//server/share/..." names its host.
    std::string url = path.rfind("//", 0) == 0 ? "file:" : path.rfind('/', 0) == 0 ? "file://" : "file:///";
    static const char hex[] = "0123456789ABCDEF";
    for (const char ch : path) {
        const auto c = static_cast<unsigned char>(ch);
        if (Plain(c)) {
            url += ch;
        } else {
            url += '%';
            url += hex[c >> 4];
            url += hex[c & 0xF];
        }
    }
    if (helpContext != 0)
        url += "#" + HelpAnchor(helpContext);
    return url;
}

}  // namespace kiv
