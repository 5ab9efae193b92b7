#include "StatusMessage.h"

namespace kiv {

const char* StatusActionName(int action)
{
    switch (action) {
    case kActionConnect:
        return "接続";
    case kActionDisconnect:
        return "切断・キャンセル";
    case kActionOptions:
        return "オプション";
    case kActionSkipAutoDisconnect:
        return "自動切断の取り消し";
    default:
        return "なし";
    }
}

StatusTemplate ParseStatusTemplate(std::string_view notation)
{
    StatusTemplate t{std::string(notation), kActionNone};
    const auto at = t.Text.find("%A");
    if (at == std::string::npos)
        return t;
    if (at + 2 < t.Text.size() && t.Text[at + 2] >= '0' && t.Text[at + 2] <= '9')
        t.Action = t.Text[at + 2] - '0';
    t.Text.erase(at, 3);  // "%A" and the character after it, if there is one
    return t;
}

StatusMessage ComposeStatusMessage(const StatusTemplate& messageTemplate, const std::string& prefix,
                                   const std::string& target, int redialInterval, int redialsLeft)
{
    const std::string interval = std::to_string(redialInterval);
    const std::string left = std::to_string(redialsLeft);
    const std::string& t = messageTemplate.Text;
    StatusMessage message{prefix, messageTemplate.Action};
    for (std::size_t i = 0; i < t.size(); ++i) {
        const char next = i + 1 < t.size() ? t[i + 1] : '\0';
        if (t[i] == '%' && next == 'D')
            message.Text += target;
        else if (t[i] == '%' && next == 'S')
            message.Text += interval;
        else if (t[i] == '%' && next == 'C')
            message.Text += left;
        else {
            message.Text += t[i];
            continue;
        }
        ++i;
    }
    return message;
}

int StatusLifetime(const std::string& text) { return 1000 + 60 * static_cast<int>(text.size()); }

}  // namespace kiv
