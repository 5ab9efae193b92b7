// A list of byte strings with the text form of a string list: every item followed by CR LF.
#pragma once

#include <string>
#include <vector>

namespace kiv {

using StringList = std::vector<std::string>;

// Each item followed by CR LF.
std::string StringListText(const StringList& list);

// Splits text into items at CR LF, lone CR or lone LF; a line end at the very end adds no
// empty item.
StringList StringListFromText(const std::string& text);

}  // namespace kiv
