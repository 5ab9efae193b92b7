// The file calls on POSIX systems, for the native build.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "FileBytes.h"
#include "OpenFile.h"
#include "PosixFileError.h"

namespace kiv {

namespace {

// 0, or the errno of the failed write (ENOSPC for a short write without one).
int WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        if (n == 0)
            return ENOSPC;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

FileError WriteAndSync(const std::string& path, const std::string& bytes, int openFlags)
{
    const int fd = ::open(path.c_str(), openFlags | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0)
        return PosixFileError(errno);
    int error = WriteAll(fd, bytes);
    if (!error && ::ftruncate(fd, static_cast<off_t>(bytes.size())) != 0)
        error = errno;
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    return error ? PosixFileError(error) : FileError{};
}

class PosixFiles final : public FileSystemPort {
public:
    std::optional<std::string> Read(const Utf8Path& path, FileError& error) override
    {
        const int fd = ::open(path.Text.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            error = PosixFileError(errno);
            return std::nullopt;
        }
        std::string bytes;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                error = PosixFileError(errno);
                ::close(fd);
                return std::nullopt;
            }
            if (n == 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fd);
        error = {};
        return bytes;
    }

    FileError WriteThrough(const Utf8Path& path, const std::string& bytes) override
    {
        return WriteAndSync(path.Text, bytes, O_CREAT | O_TRUNC);
    }

    FileError Replace(const Utf8Path& from, const Utf8Path& to) override
    {
        return std::rename(from.Text.c_str(), to.Text.c_str()) == 0 ? FileError{} : PosixFileError(errno);
    }

    FileError Overwrite(const Utf8Path& path, const std::string& bytes) override
    {
        return WriteAndSync(path.Text, bytes, 0);
    }

    void Remove(const Utf8Path& path) override { ::unlink(path.Text.c_str()); }

    bool ReadOnly(const Utf8Path& path) override
    {
        struct stat st {};
        return ::stat(path.Text.c_str(), &st) == 0 && S_ISREG(st.st_mode) && (st.st_mode & 0222) == 0;
    }
};

}  // namespace

FileSystemPort& SystemFiles()
{
    static PosixFiles files;
    return files;
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

std::string PathFileName(const std::string& path)
{
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    return folder + "/" + name;
}

namespace {

int Fd(std::intptr_t handle)
{
    return static_cast<int>(handle);
}

}  // namespace

OpenFile OpenFile::ForRead(const std::string& path)
{
    OpenFile file;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0)
        file.handle_ = fd;
    return file;
}

OpenFile OpenFile::ForAppend(const std::string& path)
{
    OpenFile file;
    const int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0)
        file.handle_ = fd;
    return file;
}

void OpenFile::Close()
{
    if (IsOpen())
        ::close(Fd(handle_));
    handle_ = kNone;
}

std::optional<std::size_t> OpenFile::ReadAt(std::int64_t offset, char* data, std::size_t size)
{
    for (;;) {
        const ssize_t got = ::pread(Fd(handle_), data, size, static_cast<off_t>(offset));
        if (got >= 0)
            return static_cast<std::size_t>(got);
        if (errno != EINTR)
            return std::nullopt;
    }
}

bool OpenFile::Append(const char* data, std::size_t size)
{
    while (size > 0) {
        const ssize_t written = ::write(Fd(handle_), data, size);
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return false;
        data += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::optional<std::int64_t> OpenFile::Size() const
{
    struct stat st {};
    if (!IsOpen() || ::fstat(Fd(handle_), &st) != 0)
        return std::nullopt;
    return static_cast<std::int64_t>(st.st_size);
}

bool OpenFile::IsAt(const std::string& path)
{
    struct stat mine {}, named {};
    return IsOpen() && ::fstat(Fd(handle_), &mine) == 0 && ::stat(path.c_str(), &named) == 0 &&
           mine.st_dev == named.st_dev && mine.st_ino == named.st_ino;
}

}  // namespace kiv
