#include "MeshFile.h"

#ifdef _WIN32
#include <windows.h>
#include <share.h>
#else
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
}  // namespace

std::FILE* OpenFileRead(const std::string& path)
{
    return _wfsopen(Wide(path).c_str(), L"rb", _SH_DENYWR);
}

std::FILE* OpenFileAppend(const std::string& path)
{
    return _wfsopen(Wide(path).c_str(), L"ab", _SH_DENYNO);
}

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

bool SeekFile(std::FILE* file, std::int64_t offset)
{
    return _fseeki64(file, offset, SEEK_SET) == 0;
}

std::optional<std::int64_t> OpenFileSize(std::FILE* file)
{
    if (_fseeki64(file, 0, SEEK_END) != 0)
        return std::nullopt;
    const auto size = _ftelli64(file);
    if (size < 0)
        return std::nullopt;
    return size;
}
#else
std::FILE* OpenFileRead(const std::string& path)
{
    return std::fopen(path.c_str(), "rb");
}

std::FILE* OpenFileAppend(const std::string& path)
{
    return std::fopen(path.c_str(), "ab");
}

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

bool SeekFile(std::FILE* file, std::int64_t offset)
{
    return ::fseeko(file, static_cast<off_t>(offset), SEEK_SET) == 0;
}

std::optional<std::int64_t> OpenFileSize(std::FILE* file)
{
    if (::fseeko(file, 0, SEEK_END) != 0)
        return std::nullopt;
    const off_t size = ::ftello(file);
    if (size < 0)
        return std::nullopt;
    return static_cast<std::int64_t>(size);
}
#endif

bool IsSjisLead(unsigned char c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

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
