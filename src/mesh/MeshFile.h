// The files of a transfer, named by the component's byte strings: Shift-JIS (code page 932)
// on Windows, the file system's own bytes elsewhere.
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>

namespace kiv::mesh {

// For reading, shared with other readers; on Windows other writers are denied meanwhile.
std::FILE* OpenFileRead(const std::string& path);
// For appending raw bytes, created when missing.
std::FILE* OpenFileAppend(const std::string& path);
bool RemoveFile(const std::string& path);
std::optional<std::int64_t> FileSize(const std::string& path);
bool SeekFile(std::FILE* file, std::int64_t offset);
std::optional<std::int64_t> OpenFileSize(std::FILE* file);

// A Shift-JIS lead byte: the byte after it is its trail byte, whatever its value (it may be
// 0x5C, "\", as in "表").
bool IsSjisLead(unsigned char c);
// The last part of a path: after the last "/" or "\" that is not a trail byte, and after a
// drive "X:".
std::string BaseName(const std::string& path);
// The file name of a local path: BaseName on Windows, the part after the last "/" elsewhere.
std::string LocalBaseName(const std::string& path);

}  // namespace kiv::mesh
