#include "MeshFile.h"

#include "TextHelpers.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace kiv::mesh {

#ifdef _WIN32
namespace {
std::wstring Wide(const std::string& path)
{
    if (path.empty())
        return {};
    const int n = MultiByteToWideChar(932, 0, path.data(), static_cast<int>(path.size()), nullptr, 0);
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(932, 0, path.data(), static_cast<int>(path.size()), w.data(), n);
    return w;
}

void* Opened(HANDLE handle)
{
    return handle == INVALID_HANDLE_VALUE ? nullptr : handle;
}
}  // namespace

bool RemoveFile(const std::string& path)
{
    return DeleteFileW(Wide(path).c_str()) != 0;
}

std::optional<std::int64_t> FileSize(const std::string& path)
{
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(Wide(path).c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return std::nullopt;
    return static_cast<std::int64_t>(static_cast<std::uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow);
}

TransferFile::TransferFile(TransferFile&& other) noexcept
    : handle_(other.handle_), volume_(other.volume_), indexHigh_(other.indexHigh_), indexLow_(other.indexLow_)
{
    other.handle_ = nullptr;
}

TransferFile& TransferFile::operator=(TransferFile&& other) noexcept
{
    if (this != &other) {
        Close();
        handle_ = other.handle_;
        volume_ = other.volume_;
        indexHigh_ = other.indexHigh_;
        indexLow_ = other.indexLow_;
        other.handle_ = nullptr;
    }
    return *this;
}

bool TransferFile::Identify()
{
    BY_HANDLE_FILE_INFORMATION info{};
    if (!handle_ || !GetFileInformationByHandle(static_cast<HANDLE>(handle_), &info)) {
        Close();
        return false;
    }
    volume_ = info.dwVolumeSerialNumber;
    indexHigh_ = info.nFileIndexHigh;
    indexLow_ = info.nFileIndexLow;
    return true;
}

TransferFile TransferFile::OpenRead(const std::string& path)
{
    TransferFile file;
    file.handle_ = Opened(CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    file.Identify();
    return file;
}

namespace {
HANDLE OpenForAppend(const std::string& path, DWORD disposition)
{
    return CreateFileW(Wide(path).c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                       FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, disposition,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
}
}  // namespace

TransferFile TransferFile::OpenAppend(const std::string& path)
{
    TransferFile file;
    file.handle_ = Opened(OpenForAppend(path, OPEN_ALWAYS));
    file.Identify();
    return file;
}

bool TransferFile::IsOpen() const
{
    return handle_ != nullptr;
}

void TransferFile::Close()
{
    if (handle_)
        CloseHandle(static_cast<HANDLE>(handle_));
    handle_ = nullptr;
}

std::optional<std::size_t> TransferFile::ReadAt(std::int64_t offset, char* data, std::size_t size)
{
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(static_cast<std::uint64_t>(offset));
    at.OffsetHigh = static_cast<DWORD>(static_cast<std::uint64_t>(offset) >> 32);
    DWORD got = 0;
    if (!handle_ || !ReadFile(static_cast<HANDLE>(handle_), data, static_cast<DWORD>(size), &got, &at))
        return handle_ && GetLastError() == ERROR_HANDLE_EOF ? std::optional<std::size_t>(0) : std::nullopt;
    return got;
}

bool TransferFile::Append(const char* data, std::size_t size)
{
    while (size > 0) {
        DWORD written = 0;
        if (!handle_ || !WriteFile(static_cast<HANDLE>(handle_), data, static_cast<DWORD>(size), &written, nullptr) ||
            written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

std::optional<std::int64_t> TransferFile::Size() const
{
    LARGE_INTEGER size{};
    if (!handle_ || !GetFileSizeEx(static_cast<HANDLE>(handle_), &size))
        return std::nullopt;
    return static_cast<std::int64_t>(size.QuadPart);
}

bool TransferFile::IsAt(const std::string& path)
{
    if (!handle_)
        return false;
    const unsigned long volume = volume_, indexHigh = indexHigh_, indexLow = indexLow_;
    Close();
    handle_ = Opened(OpenForAppend(path, OPEN_EXISTING));
    if (!Identify() || volume_ != volume || indexHigh_ != indexHigh || indexLow_ != indexLow) {
        Close();
        return false;
    }
    return true;
}
#else
bool RemoveFile(const std::string& path)
{
    return ::unlink(path.c_str()) == 0;
}

std::optional<std::int64_t> FileSize(const std::string& path)
{
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return std::nullopt;
    return static_cast<std::int64_t>(st.st_size);
}

TransferFile::TransferFile(TransferFile&& other) noexcept : fd_(other.fd_)
{
    other.fd_ = -1;
}

TransferFile& TransferFile::operator=(TransferFile&& other) noexcept
{
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

TransferFile TransferFile::OpenRead(const std::string& path)
{
    TransferFile file;
    file.fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    return file;
}

TransferFile TransferFile::OpenAppend(const std::string& path)
{
    TransferFile file;
    file.fd_ = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    return file;
}

bool TransferFile::IsOpen() const
{
    return fd_ >= 0;
}

void TransferFile::Close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

std::optional<std::size_t> TransferFile::ReadAt(std::int64_t offset, char* data, std::size_t size)
{
    for (;;) {
        const ssize_t got = ::pread(fd_, data, size, static_cast<off_t>(offset));
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            return std::nullopt;
    }
}

bool TransferFile::Append(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd_, data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::optional<std::int64_t> TransferFile::Size() const
{
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0)
        return std::nullopt;
    return static_cast<std::int64_t>(st.st_size);
}

bool TransferFile::IsAt(const std::string& path)
{
    struct stat mine {}, named {};
    return fd_ >= 0 && ::fstat(fd_, &mine) == 0 && ::stat(path.c_str(), &named) == 0 &&
           mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
}
#endif

bool IsSjisLead(unsigned char c) { return IsLeadByte(c); }

std::string BaseName(const std::string& path)
{
    std::size_t start = 0;
    if (path.size() >= 2 && path[1] == ':' &&
        ((path[0] >= 'A' && path[0] <= 'Z') || (path[0] >= 'a' && path[0] <= 'z')))
        start = 2;
    for (std::size_t i = start; i < path.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        if (IsSjisLead(c) && i + 1 < path.size()) {
            ++i;
            continue;
        }
        if (c == '/' || c == '\\')
            start = i + 1;
    }
    return path.substr(start);
}

std::string LocalBaseName(const std::string& path)
{
#ifdef _WIN32
    return BaseName(path);
#else
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
#endif
}

}  // namespace kiv::mesh
