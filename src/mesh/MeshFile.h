// The files of a transfer, named by the component's byte strings: Shift-JIS (code page 932)
// on Windows, the file system's own bytes elsewhere.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kiv::mesh {

bool RemoveFile(const std::string& path);
std::optional<std::int64_t> FileSize(const std::string& path);

// A file that a transfer keeps open from its first chunk to its end, so that a chunk costs a
// read or a write and not an open and a close.
class TransferFile {
public:
    TransferFile() = default;
    ~TransferFile() { Close(); }
    TransferFile(TransferFile&& other) noexcept;
    TransferFile& operator=(TransferFile&& other) noexcept;
    TransferFile(const TransferFile&) = delete;
    TransferFile& operator=(const TransferFile&) = delete;

    // For reading, shared with other readers; on Windows other writers are denied meanwhile.
    static TransferFile OpenRead(const std::string& path);
    // For appending raw bytes, created when missing. Others may still read, write, rename or
    // delete it; IsAt tells whether they have.
    static TransferFile OpenAppend(const std::string& path);

    bool IsOpen() const;
    void Close();
    // Up to size bytes from offset: 0 at the end of the file, nothing on a read error.
    std::optional<std::size_t> ReadAt(std::int64_t offset, char* data, std::size_t size);
    // All bytes at the end of the file.
    bool Append(const char* data, std::size_t size);
    std::optional<std::int64_t> Size() const;
    // For a file of OpenAppend: true while path names this very file, not deleted, renamed or
    // replaced by another one.
    // On Windows the file is opened again by its name for this, as Wine carries out a delete
    // only once the last handle has been closed; it compares the identity of the file.
    bool IsAt(const std::string& path);

private:
#ifdef _WIN32
    bool Identify();
    void* handle_ = nullptr;
    unsigned long volume_ = 0, indexHigh_ = 0, indexLow_ = 0;  // the identity of the file opened
#else
    int fd_ = -1;
#endif
};

// A Shift-JIS lead byte: the byte after it is its trail byte, whatever its value (it may be
// 0x5C, "\", as in "表").
bool IsSjisLead(unsigned char c);
// The last part of a path: after the last "/" or "\" that is not a trail byte, and after a
// drive "X:".
std::string BaseName(const std::string& path);
// The file name of a local path: BaseName on Windows, the part after the last "/" elsewhere.
std::string LocalBaseName(const std::string& path);

}  // namespace kiv::mesh
