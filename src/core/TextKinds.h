// The two kinds of byte strings that meet where the core talks to the platform: the program's
// texts in Shift-JIS (its literals are compiled to code page 932; the screen turns them into
// UTF-16) and paths in UTF-8 (the file port turns them into the system's form). At the ports
// they are distinct types, so that neither can be taken for the other.
#pragma once

#include <string>
#include <utility>

namespace kiv {

struct SjisText {
    explicit SjisText(std::string bytes) : Bytes(std::move(bytes)) {}
    std::string Bytes;
    bool operator==(const SjisText&) const = default;
};

struct Utf8Path {
    explicit Utf8Path(std::string text) : Text(std::move(text)) {}
    std::string Text;
    bool operator==(const Utf8Path&) const = default;
};

}  // namespace kiv
