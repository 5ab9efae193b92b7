// The little JSON the web console speaks: texts written as JSON strings, and the flat request
// objects the page posts ({"name": "text" or number, ...}) read with every limit checked,
// since anyone who reaches the port can send anything.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <variant>

namespace kmconsole::web {

// A JSON string literal of UTF-8 text, quotes included. Control characters and the bytes
// that could end a script or markup context (<, >, &) are escaped.
std::string JsonString(const std::string& utf8);

// True when the bytes are well-formed UTF-8 (no overlong forms, no surrogates).
bool IsUtf8(const std::string& text);

using JsonValue = std::variant<std::string, std::int64_t>;
using JsonObject = std::map<std::string, JsonValue>;

struct JsonParse {
    std::optional<JsonObject> object;
    std::string error;  // why it was refused, when object is empty
};

// Reads one object whose values are strings or integers (0 .. 2^31-1). Refuses nesting,
// other value kinds, duplicate names, invalid UTF-8, more than kMaxJsonMembers members and
// input longer than kMaxJsonBytes.
inline constexpr std::size_t kMaxJsonBytes = 4096;
inline constexpr std::size_t kMaxJsonMembers = 8;
JsonParse ParseFlatObject(const std::string& text);

}  // namespace kmconsole::web
