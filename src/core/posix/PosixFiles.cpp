// The file calls on POSIX systems, for the native build.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "FileBytes.h"

namespace kiv {

namespace {

bool WriteAll(int fd, const std::string& bytes)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteAndSync(const std::string& path, const std::string& bytes, int openFlags)
{
    const int fd = ::open(path.c_str(), openFlags | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes);
    ok = ok && ::ftruncate(fd, static_cast<off_t>(bytes.size())) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    return ok;
}

class PosixFiles final : public FileSystemPort {
public:
    std::optional<std::string> Read(const std::string& path, bool& missing) override
    {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        missing = fd < 0 && errno == ENOENT;
        if (fd < 0)
            return std::nullopt;
        std::string bytes;
        char buffer[4096];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0) {
                ::close(fd);
                return std::nullopt;
            }
            if (n == 0)
                break;
            bytes.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(fd);
        return bytes;
    }

    bool WriteThrough(const std::string& path, const std::string& bytes) override
    {
        return WriteAndSync(path, bytes, O_CREAT | O_TRUNC);
    }

    bool Replace(const std::string& from, const std::string& to) override
    {
        return std::rename(from.c_str(), to.c_str()) == 0;
    }

    bool Overwrite(const std::string& path, const std::string& bytes) override
    {
        return WriteAndSync(path, bytes, 0);
    }

    void Remove(const std::string& path) override { ::unlink(path.c_str()); }
};

}  // namespace

FileSystemPort& SystemFiles()
{
    static PosixFiles files;
    return files;
}

}  // namespace kiv
