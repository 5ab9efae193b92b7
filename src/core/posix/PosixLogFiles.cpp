// The log's file calls on POSIX systems, for the native build.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "EventLog.h"
#include "PosixFileError.h"

namespace kiv {

namespace {

class PosixLogFiles final : public LogFilePort {
public:
    FileError Append(const std::string& path, const std::string& bytes) override
    {
        const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
        if (fd < 0)
            return PosixFileError(errno);
        ssize_t n;
        do
            n = ::write(fd, bytes.data(), bytes.size());
        while (n < 0 && errno == EINTR);
        const int writeError = n < 0 ? errno : n != static_cast<ssize_t>(bytes.size()) ? ENOSPC : 0;
        ::close(fd);
        return writeError ? PosixFileError(writeError) : FileError{};
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
        return std::rename(from.c_str(), to.c_str()) == 0 ? FileError{} : PosixFileError(errno);
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
