// INI text kept as the bytes of the file. Reads behave like the platform's profile functions
// (section and key names match without regard to ASCII case, blanks around names and values
// are dropped, a value in a pair of quotes loses them, a UTF-8 byte-order mark in front of the
// text is passed over); writes change only the one line they concern and keep every other line,
// section and key as it was.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kiv {

class IniText {
public:
    explicit IniText(std::string bytes = {}) : bytes_(std::move(bytes)) {}

    // The value of key in the first section named section that holds it.
    std::optional<std::string> Value(std::string_view section, std::string_view key) const;

    // Sets key to value: rewrites the key's line, or adds the key at the end of the section,
    // or adds the section at the end of the text. Lines end in CR LF. A value that would lose
    // outer blanks or quotes when read is stored in quotes, so it reads back as it was. Refuses (false) names
    // and values that would break the line structure.
    bool SetValue(std::string_view section, std::string_view key, std::string_view value);

    const std::string& Bytes() const { return bytes_; }

private:
    std::string bytes_;
};

}  // namespace kiv
