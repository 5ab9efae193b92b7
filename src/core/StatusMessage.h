// A status message as a value: the text the status window shows and the action of its icon.
// The program's templates (StatusTexts.h) write the action as a trailing "%A" and a digit; that
// notation is read once, where a template becomes a message, and never in a text that holds
// names (the control target's, a console's), so no name can carry an action.
#pragma once

#include <string>
#include <string_view>

namespace kiv {

// What a click on the status icon does. The icon's Tag keeps it as an int.
enum StatusAction : int {
    kActionNone = 0,
    kActionConnect = 1,
    kActionDisconnect = 2,  // or cancel the dial or the pending redial
    kActionOptions = 3,
    kActionSkipAutoDisconnect = 4,
};

// What the action does, in a word or two: "切断".
const char* StatusActionName(int action);

// A template of the program: its text, with the placeholders %D, %S and %C, and its action.
struct StatusTemplate {
    std::string Text;
    int Action = kActionNone;
    bool operator==(const StatusTemplate&) const = default;
};

// A template from its notation: the first "%A" and the character after it are the action (that
// character as a decimal digit, 0 when it is none or missing) and are not part of the text.
StatusTemplate ParseStatusTemplate(std::string_view notation);

struct StatusMessage {
    std::string Text;
    int Action = kActionNone;
    bool operator==(const StatusMessage&) const = default;
};

// Fills %D with the target, %S with the redial interval and %C with the redials left, and puts
// the prefix in front. Inserted texts and the prefix are names: they are never scanned for
// placeholders.
StatusMessage ComposeStatusMessage(const StatusTemplate& messageTemplate, const std::string& prefix,
                                   const std::string& target, int redialInterval, int redialsLeft);

// How long a message stays on screen: 1000 ms plus 60 ms per byte of its Shift-JIS text.
int StatusLifetime(const std::string& text);

}  // namespace kiv
