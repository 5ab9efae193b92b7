// Whole-file reads and writes of byte content, through the platform's file calls. Paths are
// UTF-8 text (PathText.h); the port takes them as Utf8Path. Every call says why it failed.
#pragma once

#include <optional>
#include <string>

#include "FileError.h"
#include "TextKinds.h"

namespace kiv {

// The few file calls a whole-file write needs; the platform's in SystemFiles(), fakes in tests.
class FileSystemPort {
public:
    virtual ~FileSystemPort() = default;
    // The file's bytes, or nothing with the reason in error (NotFound when the file does not
    // exist, as opposed to existing but unreadable).
    virtual std::optional<std::string> Read(const Utf8Path& path, FileError& error) = 0;
    // Creates or empties the file, writes the bytes and has them reach the disk before it
    // returns, so that a power cut cannot leave a file of the right size full of zeros.
    virtual FileError WriteThrough(const Utf8Path& path, const std::string& bytes) = 0;
    // Puts the file from in the place of the file to, in one step. The system may refuse,
    // for example while another program holds to open without allowing its deletion.
    virtual FileError Replace(const Utf8Path& from, const Utf8Path& to) = 0;
    // Writes the bytes over the existing file's content, cuts it to their length and has them
    // reach the disk; the file stays the same file, so programs holding it open do not stop it.
    virtual FileError Overwrite(const Utf8Path& path, const std::string& bytes) = 0;
    virtual void Remove(const Utf8Path& path) = 0;
    // The file is marked read-only (on Windows its attribute; elsewhere no write permission).
    virtual bool ReadOnly(const Utf8Path& path) = 0;
};

// The platform's file calls (UTF-16 paths on Windows).
FileSystemPort& SystemFiles();

// The file's bytes; nothing with the reason in *error when they cannot be read.
std::optional<std::string> ReadFileBytes(const std::string& path, FileError* error = nullptr,
                                         FileSystemPort& files = SystemFiles());

// Replaces the file's content in one write, and says why when it could not. A read-only file
// is left as it is. The bytes go to a temporary file beside it first (path + ".new"), which then
// takes the file's place, so a failure or a crash part-way leaves the old file whole. When the
// system refuses the replace (another program holds the file), the bytes are written in place
// instead; a complete copy of the old content (path + ".undo") stands beside the file while it
// is written, so a write cut short can be undone (RecoverFileBytes), and a failed one is undone
// at once.
FileError WriteFileBytes(const std::string& path, const std::string& bytes, FileSystemPort& files = SystemFiles());

// What the start of a program that writes the file with WriteFileBytes finds of a write that
// was cut short.
enum class FileRecovery {
    None,
    // An in-place write was cut short: the file holds its old content again.
    Restored,
    // It was cut short and the old content could not be put back: the copy is kept beside it.
    CopyKept,
};

// Undoes a cut-short in-place write (the copy goes back into the file) and removes a stale
// temporary file.
FileRecovery RecoverFileBytes(const std::string& path, FileSystemPort& files = SystemFiles());

}  // namespace kiv
