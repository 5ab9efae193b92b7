#include "FileBytes.h"

#include <cerrno>
#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace kiv {

std::optional<std::string> ReadFileBytes(const std::string& path, bool* missing)
{
    errno = 0;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (missing)
        *missing = !f && errno == ENOENT;
    if (!f)
        return std::nullopt;
    std::string bytes;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0)
        bytes.append(buffer, n);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed)
        return std::nullopt;
    return bytes;
}

namespace {

bool ReplaceFile(const std::string& from, const std::string& to)
{
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

}  // namespace

bool WriteFileBytes(const std::string& path, const std::string& bytes)
{
    const std::string temporary = path + ".new";
    std::FILE* f = std::fopen(temporary.c_str(), "wb");
    if (!f)
        return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = std::fflush(f) == 0 && ok;
    ok = std::fclose(f) == 0 && ok;
    if (ok && ReplaceFile(temporary, path))
        return true;
    std::remove(temporary.c_str());
    return false;
}

}  // namespace kiv
