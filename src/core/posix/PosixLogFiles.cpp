// The log's file calls on POSIX systems, for the native build.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "EventLog.h"

namespace kiv {

namespace {

FileError FromErrno(int code)
{
    FileFailure kind = FileFailure::Other;
    switch (code) {
    case EACCES:
    case EPERM:
        kind = FileFailure::AccessDenied;
        break;
    case EROFS:
        kind = FileFailure::ReadOnly;
        break;
    case ENOSPC:
    case EDQUOT:
        kind = FileFailure::DiskFull;
        break;
    case ENOENT:
    case ENOTDIR:
        kind = FileFailure::NotFound;
        break;
    case EBUSY:
    case ETXTBSY:
        kind = FileFailure::InUse;
        break;
    default:
        break;
    }
    return {kind, static_cast<unsigned long>(code)};
}

class PosixLogFiles final : public LogFilePort {
public:
    FileError Append(const std::string& path, const std::string& bytes) override
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            return FromErrno(errno);
        ssize_t n;
        do
            n = ::write(fd, bytes.data(), bytes.size());
        while (n < 0 && errno == EINTR);
        const int writeError = n < 0 ? errno : n != static_cast<ssize_t>(bytes.size()) ? ENOSPC : 0;
        ::close(fd);
        return writeError ? FromErrno(writeError) : FileError{};
    }

    std::optional<std::int64_t> Size(const std::string& path) override
    {
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0)
            return std::nullopt;
        return static_cast<std::int64_t>(st.st_size);
    }

    std::optional<char> LastByte(const std::string& path) override
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            return std::nullopt;
        char c = 0;
        const off_t end = ::lseek(fd, 0, SEEK_END);
        const bool got = end > 0 && ::pread(fd, &c, 1, end - 1) == 1;
        ::close(fd);
        return got ? std::optional<char>(c) : std::nullopt;
    }

    FileError Replace(const std::string& from, const std::string& to) override
    {
        return std::rename(from.c_str(), to.c_str()) == 0 ? FileError{} : FromErrno(errno);
    }
};

}  // namespace

LogFilePort& SystemLogFiles()
{
    static PosixLogFiles files;
    return files;
}

LocalStamp SystemLocalTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    return {t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec};
}

}  // namespace kiv
