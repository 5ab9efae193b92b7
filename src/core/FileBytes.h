// Whole-file reads and writes of byte content, through the platform's file calls. Paths are
// UTF-8 text (PathText.h); the port takes them as Utf8Path.
#pragma once

#include <optional>
#include <string>

#include "TextKinds.h"

namespace kiv {

// The few file calls a whole-file write needs; the platform's in SystemFiles(), fakes in tests.
class FileSystemPort {
public:
    virtual ~FileSystemPort() = default;
    // The file's bytes; nothing when it cannot be read. missing tells whether the file does
    // not exist at all (as opposed to existing but unreadable).
    virtual std::optional<std::string> Read(const Utf8Path& path, bool& missing) = 0;
    // Creates or empties the file, writes the bytes and has them reach the disk before it
    // returns, so that a power cut cannot leave a file of the right size full of zeros.
    virtual bool WriteThrough(const Utf8Path& path, const std::string& bytes) = 0;
    // Puts the file from in the place of the file to, in one step. The system may refuse,
    // for example while another program holds to open without allowing its deletion.
    virtual bool Replace(const Utf8Path& from, const Utf8Path& to) = 0;
    // Writes the bytes over the existing file's content, cuts it to their length and has them
    // reach the disk; the file stays the same file, so programs holding it open do not stop it.
    virtual bool Overwrite(const Utf8Path& path, const std::string& bytes) = 0;
    virtual void Remove(const Utf8Path& path) = 0;
};

// The platform's file calls (UTF-16 paths on Windows).
FileSystemPort& SystemFiles();

std::optional<std::string> ReadFileBytes(const std::string& path, bool* missing = nullptr,
                                         FileSystemPort& files = SystemFiles());

// Replaces the file's content in one write. The bytes go to a temporary file beside it first,
// which then takes the file's place, so a failure or a crash part-way leaves the old file
// whole. When the system refuses the replace, the bytes are written in place instead.
bool WriteFileBytes(const std::string& path, const std::string& bytes, FileSystemPort& files = SystemFiles());

}  // namespace kiv
