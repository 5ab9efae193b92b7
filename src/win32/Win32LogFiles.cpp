// The log's file calls on Windows: UTF-16 paths, the file shared with readers, writers and
// deleters, so Notepad, a backup or a virus scanner never blocks Kiv or is blocked by it.
#include <windows.h>

#include "EventLog.h"
#include "PathText.h"
#include "Win32FileError.h"

namespace kiv {

namespace {

std::wstring W(const std::string& path)
{
    const std::u16string wide = PathToUtf16(path);
    return std::wstring(wide.begin(), wide.end());
}

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class Win32LogFiles final : public LogFilePort {
public:
    FileError Append(const std::string& path, const std::string& bytes) override
    {
        HANDLE file = CreateFileW(W(path).c_str(), FILE_APPEND_DATA, kShareAll, nullptr, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return Win32FileError(GetLastError(), path);
        DWORD written = 0;
        const bool ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                        written == bytes.size();
        const DWORD error = ok ? 0 : GetLastError();
        CloseHandle(file);
        if (ok)
            return {};
        return Win32FileError(error ? error : ERROR_DISK_FULL, path);
    }

    std::optional<std::int64_t> Size(const std::string& path) override
    {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(W(path).c_str(), GetFileExInfoStandard, &data))
            return std::nullopt;
        return static_cast<std::int64_t>(static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
    }

    std::optional<char> LastByte(const std::string& path) override
    {
        HANDLE file = CreateFileW(W(path).c_str(), GENERIC_READ, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return std::nullopt;
        char c = 0;
        DWORD got = 0;
        LARGE_INTEGER back{};
        back.QuadPart = -1;
        const bool ok = SetFilePointerEx(file, back, nullptr, FILE_END) && ReadFile(file, &c, 1, &got, nullptr) &&
                        got == 1;
        CloseHandle(file);
        return ok ? std::optional<char>(c) : std::nullopt;
    }

    FileError Replace(const std::string& from, const std::string& to) override
    {
        if (MoveFileExW(W(from).c_str(), W(to).c_str(), MOVEFILE_REPLACE_EXISTING))
            return {};
        return Win32FileError(GetLastError(), from);
    }
};

}  // namespace

LogFilePort& SystemLogFiles()
{
    static Win32LogFiles files;
    return files;
}

LocalStamp SystemLocalTime()
{
    SYSTEMTIME t{};
    GetLocalTime(&t);
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond};
}

}  // namespace kiv
