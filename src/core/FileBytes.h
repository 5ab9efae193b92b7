// Whole-file reads and writes of byte content.
#pragma once

#include <optional>
#include <string>

namespace kiv {

// The file's bytes; nothing when it cannot be read. missing, when given, tells whether the
// file does not exist at all (as opposed to existing but unreadable).
std::optional<std::string> ReadFileBytes(const std::string& path, bool* missing = nullptr);

// Replaces the file's content. The bytes go to a temporary file beside it first, which then
// takes the file's place, so a failure part-way never leaves a cut file behind.
bool WriteFileBytes(const std::string& path, const std::string& bytes);

}  // namespace kiv
