// Files kept open over many reads or writes, and the single calls around them, through the
// platform's file module (UTF-16 paths on Windows, as for FileBytes.h). Paths are UTF-8 text
// (PathText.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kiv {

bool RemoveFile(const std::string& path);
// The size of a regular file; nothing for a folder or a missing file.
std::optional<std::int64_t> FileSize(const std::string& path);
// The last part of a path, after the platform's separators (on Windows "/", "\" and a drive).
std::string PathFileName(const std::string& path);
// The path of name in folder, with the platform's separator.
std::string JoinPath(const std::string& folder, const std::string& name);

// A file kept open from its first read or write to its last, so that a chunk costs a read or
// a write and not an open and a close. Closed when it goes.
class OpenFile {
public:
    OpenFile() = default;
    ~OpenFile() { Close(); }
    OpenFile(OpenFile&& other) noexcept { Take(other); }
    OpenFile& operator=(OpenFile&& other) noexcept
    {
        if (this != &other) {
            Close();
            Take(other);
        }
        return *this;
    }
    OpenFile(const OpenFile&) = delete;
    OpenFile& operator=(const OpenFile&) = delete;

    // For reading, shared with other readers; on Windows other writers are denied meanwhile.
    static OpenFile ForRead(const std::string& path);
    // For appending raw bytes, created when missing. Others may still read, write, rename or
    // delete it; IsAt tells whether they have.
    static OpenFile ForAppend(const std::string& path);

    bool IsOpen() const { return handle_ != kNone; }
    void Close();
    // Up to size bytes from offset: 0 at the end of the file, nothing on a read error.
    std::optional<std::size_t> ReadAt(std::int64_t offset, char* data, std::size_t size);
    // All bytes at the end of the file.
    bool Append(const char* data, std::size_t size);
    std::optional<std::int64_t> Size() const;
    // For a file of ForAppend: true while path names this very file, not deleted, renamed or
    // replaced by another one. On Windows the file is opened again by its name for this, as
    // Wine carries out a delete only once the last handle has been closed; it compares the
    // identity of the file.
    bool IsAt(const std::string& path);

private:
    void Take(OpenFile& other)
    {
        handle_ = other.handle_;
        volume_ = other.volume_;
        index_ = other.index_;
        other.handle_ = kNone;
    }

    static constexpr std::intptr_t kNone = -1;
    // The descriptor or handle of the platform.
    std::intptr_t handle_ = kNone;
    // The identity of the file opened, where the platform needs it kept (Windows).
    std::uint64_t volume_ = 0, index_ = 0;
};

}  // namespace kiv
