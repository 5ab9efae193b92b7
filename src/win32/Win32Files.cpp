// The file calls on Windows: every path goes to the W functions as UTF-16, never through the
// system's code page.
#include <windows.h>

#include <algorithm>
#include <utility>

#include "FileBytes.h"
#include "OpenFile.h"
#include "PathText.h"
#include "Win32FileError.h"

namespace kiv {

namespace {

std::wstring W(const std::string& path)
{
    const std::u16string wide = PathToUtf16(path);
    return std::wstring(wide.begin(), wide.end());
}

FileError WriteAndFlush(const std::string& path, const std::string& bytes, DWORD disposition)
{
    // Readers keep reading while the file is written; nobody else writes it.
    HANDLE file = CreateFileW(W(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Win32FileError(GetLastError(), path);
    bool ok = true;
    std::size_t done = 0;
    while (ok && done < bytes.size()) {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 20));
        ok = WriteFile(file, bytes.data() + done, chunk, &written, nullptr) && written == chunk;
        done += written;
    }
    ok = ok && SetEndOfFile(file);
    ok = ok && FlushFileBuffers(file);
    // A short write without an error code is a full disk.
    const DWORD error = ok ? 0 : GetLastError();
    ok = CloseHandle(file) && ok;
    if (ok)
        return {};
    return Win32FileError(error ? error : ERROR_DISK_FULL, path);
}

class Win32Files final : public FileSystemPort {
public:
    std::optional<std::string> Read(const Utf8Path& path, FileError& error) override
    {
        HANDLE file = CreateFileW(W(path.Text).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            error = Win32FileError(GetLastError(), path.Text);
            return std::nullopt;
        }
        std::string bytes;
        char buffer[4096];
        DWORD n = 0;
        bool ok = true;
        while ((ok = ReadFile(file, buffer, sizeof buffer, &n, nullptr) != 0) && n > 0)
            bytes.append(buffer, n);
        const DWORD code = ok ? 0 : GetLastError();
        CloseHandle(file);
        if (!ok) {
            error = Win32FileError(code, path.Text);
            return std::nullopt;
        }
        error = {};
        return bytes;
    }

    FileError WriteThrough(const Utf8Path& path, const std::string& bytes) override
    {
        return WriteAndFlush(path.Text, bytes, CREATE_ALWAYS);
    }

    FileError Replace(const Utf8Path& from, const Utf8Path& to) override
    {
        if (MoveFileExW(W(from.Text).c_str(), W(to.Text).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
            return {};
        return Win32FileError(GetLastError(), to.Text);
    }

    FileError Overwrite(const Utf8Path& path, const std::string& bytes) override
    {
        return WriteAndFlush(path.Text, bytes, OPEN_EXISTING);
    }

    void Remove(const Utf8Path& path) override { DeleteFileW(W(path.Text).c_str()); }

    bool ReadOnly(const Utf8Path& path) override
    {
        const DWORD attributes = GetFileAttributesW(W(path.Text).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
               !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }
};

}  // namespace

FileSystemPort& SystemFiles()
{
    static Win32Files files;
    return files;
}

bool RemoveFile(const std::string& path)
{
    return DeleteFileW(W(path).c_str()) != 0;
}

std::optional<std::int64_t> FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(W(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
}

std::string PathFileName(const std::string& path)
{
    std::size_t start = 0;
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
        start = 2;
    const auto separator = path.find_last_of("/\\");
    if (separator != std::string::npos && separator >= start)
        start = separator + 1;
    return path.substr(start);
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return folder + "\\" + name;
}

namespace {

HANDLE Handle(std::intptr_t handle)
{
    return reinterpret_cast<HANDLE>(handle);
}

HANDLE OpenForAppend(const std::string& path, DWORD disposition)
{
    return CreateFileW(W(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}

// The volume and index of the open file, or nothing.
std::optional<std::pair<std::uint64_t, std::uint64_t>> Identity(HANDLE file)
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (file == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(file, &info))
        return std::nullopt;
    return std::pair<std::uint64_t, std::uint64_t>(
        info.dwVolumeSerialNumber, static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow);
}

}  // namespace

OpenFile OpenFile::ForRead(const std::string& path)
{
    OpenFile file;
    file.handle_ = reinterpret_cast<std::intptr_t>(CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                               nullptr, OPEN_EXISTING,
                                                               FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN,
                                                               nullptr));
    return file;
}

OpenFile OpenFile::ForAppend(const std::string& path)
{
    OpenFile file;
    file.handle_ = reinterpret_cast<std::intptr_t>(OpenForAppend(path, OPEN_ALWAYS));
    const auto identity = Identity(Handle(file.handle_));
    if (!identity) {
        file.Close();
        return file;
    }
    file.volume_ = identity->first;
    file.index_ = identity->second;
    return file;
}

void OpenFile::Close()
{
    if (IsOpen())
        CloseHandle(Handle(handle_));
    handle_ = kNone;
}

std::optional<std::size_t> OpenFile::ReadAt(std::int64_t offset, char* data, std::size_t size)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD got = 0;
    if (!IsOpen() || !ReadFile(Handle(handle_), data, static_cast<DWORD>(size), &got, &at))
        return IsOpen() && GetLastError() == ERROR_HANDLE_EOF ? std::optional<std::size_t>(0) : std::nullopt;
    return got;
}

bool OpenFile::Append(const char* data, std::size_t size)
{
    while (size > 0) {
        DWORD written = 0;
        if (!IsOpen() || !WriteFile(Handle(handle_), data, static_cast<DWORD>(size), &written, nullptr) ||
            written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

std::optional<std::int64_t> OpenFile::Size() const
{
    LARGE_INTEGER size{};
    if (!IsOpen() || !GetFileSizeEx(Handle(handle_), &size))
        return std::nullopt;
    return static_cast<std::int64_t>(size.QuadPart);
}

bool OpenFile::IsAt(const std::string& path)
{
    if (!IsOpen())
        return false;
    Close();
    handle_ = reinterpret_cast<std::intptr_t>(OpenForAppend(path, OPEN_EXISTING));
    const auto identity = Identity(Handle(handle_));
    if (!identity || identity->first != volume_ || identity->second != index_) {
        Close();
        return false;
    }
    return true;
}

}  // namespace kiv
