#include "StringList.h"

namespace kiv {

std::string StringListText(const StringList& list)
{
    std::string text;
    for (const auto& item : list)
        text += item + "\r\n";
    return text;
}

StringList StringListFromText(const std::string& text)
{
    StringList list;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const auto end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) {
            list.push_back(text.substr(pos));
            break;
        }
        list.push_back(text.substr(pos, end - pos));
        pos = end + ((text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') ? 2 : 1);
    }
    return list;
}

}  // namespace kiv
