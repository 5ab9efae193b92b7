// The file calls on Windows: every path goes to the W functions as UTF-16, never through the
// system's code page.
#include <windows.h>

#include <algorithm>

#include "FileBytes.h"
#include "PathText.h"

namespace kiv {

namespace {

std::wstring W(const std::string& path)
{
    const std::u16string wide = PathToUtf16(path);
    return std::wstring(wide.begin(), wide.end());
}

bool WriteAndFlush(const std::string& path, const std::string& bytes, DWORD disposition)
{
    // Readers keep reading while the file is written; nobody else writes it.
    HANDLE file = CreateFileW(W(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
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
    ok = CloseHandle(file) && ok;
    return ok;
}

class Win32Files final : public FileSystemPort {
public:
    std::optional<std::string> Read(const std::string& path, bool& missing) override
    {
        HANDLE file = CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            missing = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
            return std::nullopt;
        }
        missing = false;
        std::string bytes;
        char buffer[4096];
        DWORD n = 0;
        bool ok = true;
        while ((ok = ReadFile(file, buffer, sizeof buffer, &n, nullptr) != 0) && n > 0)
            bytes.append(buffer, n);
        CloseHandle(file);
        if (!ok)
            return std::nullopt;
        return bytes;
    }

    bool WriteThrough(const std::string& path, const std::string& bytes) override
    {
        return WriteAndFlush(path, bytes, CREATE_ALWAYS);
    }

    bool Replace(const std::string& from, const std::string& to) override
    {
        return MoveFileExW(W(from).c_str(), W(to).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    }

    bool Overwrite(const std::string& path, const std::string& bytes) override
    {
        return WriteAndFlush(path, bytes, OPEN_EXISTING);
    }

    void Remove(const std::string& path) override { DeleteFileW(W(path).c_str()); }
};

}  // namespace

FileSystemPort& SystemFiles()
{
    static Win32Files files;
    return files;
}

}  // namespace kiv
