// The plain TCP copy that file-transfer throughput is measured against: the same bytes over
// one loopback connection, with 64 KiB blocking reads and writes and nothing else.
// Usage: kiv_mesh_tcpcopy recv PORT OUTFILE | kiv_mesh_tcpcopy send PORT INFILE
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 4)
        return 2;
    const std::string mode = argv[1];
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    a.sin_port = htons(static_cast<unsigned short>(std::atoi(argv[2])));
    static char buffer[65536];
    if (mode == "recv") {
        const int l = ::socket(AF_INET, SOCK_STREAM, 0);
        const int one = 1;
        ::setsockopt(l, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        if (::bind(l, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(l, 1) != 0)
            return 1;
        const int s = ::accept(l, nullptr, nullptr);
        std::FILE* out = std::fopen(argv[3], "wb");
        if (s < 0 || !out)
            return 1;
        for (ssize_t n; (n = ::recv(s, buffer, sizeof buffer, 0)) > 0;)
            if (std::fwrite(buffer, 1, static_cast<std::size_t>(n), out) != static_cast<std::size_t>(n))
                return 1;
        std::fclose(out);
        ::close(s);
        ::close(l);
        return 0;
    }
    const int s = ::socket(AF_INET, SOCK_STREAM, 0);
    std::FILE* in = std::fopen(argv[3], "rb");
    if (!in || ::connect(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
        return 1;
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;)
        for (std::size_t at = 0; at < n;) {
            const ssize_t w = ::send(s, buffer + at, n - at, MSG_NOSIGNAL);
            if (w <= 0)
                return 1;
            at += static_cast<std::size_t>(w);
        }
    std::fclose(in);
    ::close(s);
    return 0;
}
