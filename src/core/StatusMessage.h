// The text a status template becomes when it is queued.
#pragma once

#include <string>

namespace kiv {

// Fills %D with the target, %S with the redial interval and %C with the redials left, and
// puts the prefix in front. Inserted texts and the prefix are names: they are never scanned
// for placeholders, and a "%A" inside them is shown as it is. When one of them would come
// before the template's own action code, that code is moved to the front of the message
// ("%A0" when the template has none), because the display takes the first "%A" it finds.
std::string ComposeStatusMessage(const std::string& messageTemplate, const std::string& prefix,
                                 const std::string& target, int redialInterval, int redialsLeft);

}  // namespace kiv
