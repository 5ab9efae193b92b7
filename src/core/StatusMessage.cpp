#include "StatusMessage.h"

#include "StatusLayout.h"

namespace kiv {

std::string ComposeStatusMessage(const std::string& messageTemplate, const std::string& prefix,
                                 const std::string& target, int redialInterval, int redialsLeft)
{
    const std::string interval = std::to_string(redialInterval);
    const std::string left = std::to_string(redialsLeft);
    std::string message = prefix;
    // Where the template's own "%A" lands in the message; npos while none has been seen.
    std::size_t actionAt = std::string::npos;
    for (std::size_t i = 0; i < messageTemplate.size(); ++i) {
        const char c = messageTemplate[i];
        const char next = i + 1 < messageTemplate.size() ? messageTemplate[i + 1] : '\0';
        if (c == '%' && next == 'D') {
            message += target;
        } else if (c == '%' && next == 'S') {
            message += interval;
        } else if (c == '%' && next == 'C') {
            message += left;
        } else {
            if (c == '%' && next == 'A' && actionAt == std::string::npos)
                actionAt = message.size();
            message += c;
            continue;
        }
        ++i;
    }
    const auto firstAction = message.find("%A");
    if (firstAction == std::string::npos || firstAction == actionAt)
        return message;
    int code = 0;
    if (actionAt != std::string::npos) {
        std::string own = message.substr(actionAt, 3);
        code = TakeActionCode(own);
        message.erase(actionAt, 3);
    }
    return "%A" + std::to_string(code) + message;
}

}  // namespace kiv
