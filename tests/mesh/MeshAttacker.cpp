// A hostile KestrelMesh peer for end-to-end tests in a private network namespace: sends
// crafted datagrams from a chosen local address to the limited broadcast address, and
// listens to what the others answer. Usage:
//   kiv_mesh_attacker send FROM [--pieces N,M,...] TYPE FIELD...   one message (identifier added)
//   kiv_mesh_attacker slot-flood FROM COUNT     first datagrams of COUNT long messages
//   kiv_mesh_attacker login-flood FROM COUNT    LOGINs with made-up names
//   kiv_mesh_attacker crlf-flood FROM SECONDS RATE   a slot of CR LF pieces, its first piece again
//   kiv_mesh_attacker listen SECONDS            every message heard, one line: source, fields
// FROM is an address of the loopback interface (127.x.y.z). Port 51000 unless KM_PORT says.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "MeshWire.h"

namespace {

using namespace kiv::mesh;

int Port()
{
    const char* p = std::getenv("KM_PORT");
    return p ? std::atoi(p) : 51000;
}

int OpenSocket(const std::string& from, int port)
{
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    const int on = 1;
    setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
    setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    a.sin_addr.s_addr = from.empty() ? htonl(INADDR_ANY) : inet_addr(from.c_str());
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        std::perror("bind");
        std::exit(2);
    }
    return s;
}

void SendDatagram(int s, const std::string& d)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(Port()));
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    if (sendto(s, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to) < 0) {
        std::perror("sendto");
        std::exit(2);
    }
}

std::string NewId()
{
    static int counter = 0;
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    tm t{};
    localtime_r(&ts.tv_sec, &t);
    return MakeIdentifier({t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                           static_cast<int>(ts.tv_nsec / 1000000)},
                          (getpid() * 7 + ++counter) % 100000);
}

void Pause(long microseconds)
{
    timespec ts{microseconds / 1000000, (microseconds % 1000000) * 1000};
    nanosleep(&ts, nullptr);
}

std::string Escape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\t')
            out += "\\t";
        else
            out += c;
    }
    return out;
}

int Listen(int seconds)
{
    const int s = OpenSocket("", Port());
    std::map<std::string, std::vector<std::string>> pieces;  // by source
    timespec start{};
    clock_gettime(CLOCK_MONOTONIC, &start);
    for (;;) {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const long left = seconds * 1000L - ((now.tv_sec - start.tv_sec) * 1000L + (now.tv_nsec - start.tv_nsec) / 1000000);
        if (left <= 0)
            return 0;
        pollfd p{s, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        char buffer[2048];
        sockaddr_in from{};
        socklen_t fromLength = sizeof from;
        const ssize_t n = recvfrom(s, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&from), &fromLength);
        if (n <= 0)
            continue;
        const std::string source = inet_ntoa(from.sin_addr);
        auto& list = pieces[source];
        const std::size_t position = static_cast<unsigned char>(static_cast<unsigned char>(buffer[0]) - 1);
        if (position == 0)
            list.clear();
        if (list.size() <= position)
            list.resize(position + 1);
        list[position] = DatagramPiece(buffer, static_cast<std::size_t>(n));
        const auto text = UnframePieces(list);
        if (!text)
            continue;
        list.clear();
        std::string line = source;
        const std::string body = text->size() > kIdentifierLength ? text->substr(kIdentifierLength) : "";
        for (std::size_t from = 0;;) {
            const auto separator = body.find(kFieldSeparator, from);
            line += "\t" + Escape(body.substr(from, separator == std::string::npos ? std::string::npos : separator - from));
            if (separator == std::string::npos)
                break;
            from = separator + 2;
        }
        std::printf("%s\n", line.c_str());
        std::fflush(stdout);
    }
}

std::vector<int> ParsePieces(const std::string& list)
{
    std::vector<int> out;
    std::size_t from = 0;
    while (from < list.size()) {
        const auto comma = list.find(',', from);
        out.push_back(std::atoi(list.substr(from, comma - from).c_str()));
        if (comma == std::string::npos)
            break;
        from = comma + 1;
    }
    return out;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() >= 2 && args[0] == "listen")
        return Listen(std::atoi(args[1].c_str()));
    if (args.size() < 3) {
        std::fprintf(stderr, "usage: see the head of MeshAttacker.cpp\n");
        return 2;
    }
    const std::string& command = args[0];
    const int s = OpenSocket(args[1], 0);
    if (command == "send") {
        std::size_t i = 2;
        std::vector<int> only;
        if (args[i] == "--pieces") {
            only = ParsePieces(args[i + 1]);
            i += 2;
        }
        const std::string type = args.at(i);
        const std::vector<std::string> fields(args.begin() + static_cast<long>(i) + 1, args.end());
        const auto datagrams = CutDatagrams(FrameText(NewId() + BuildMessage(type, fields), false));
        std::size_t sent = 0;
        for (std::size_t k = 0; k < datagrams.size(); ++k) {
            bool wanted = only.empty();
            for (int n : only)
                wanted = wanted || n == static_cast<int>(k) + 1;
            if (wanted) {
                SendDatagram(s, datagrams[k]);
                ++sent;
            }
        }
        std::printf("sent %zu of %zu datagrams\n", sent, datagrams.size());
        return 0;
    }
    if (command == "slot-flood") {
        const int count = std::atoi(args[2].c_str());
        for (int i = 0; i < count; ++i) {
            const auto datagrams = CutDatagrams(FrameText(
                NewId() + BuildMessage("KMMESSAGE:MESSAGE", {"0.0.0.0", "X", std::string(3000 + i, 'f')}), false));
            SendDatagram(s, datagrams[0]);
        }
        return 0;
    }
    if (command == "login-flood") {
        const int count = std::atoi(args[2].c_str());
        for (int i = 0; i < count; ++i) {
            const std::string name = "FAKE" + std::to_string(i);
            SendDatagram(s, CutDatagrams(FrameText(
                                NewId() + BuildMessage("KMMESSAGE:LOGIN", {name, "127.0.9." + std::to_string(i % 250 + 1),
                                                                           "KMC", name, "100", "0", "0", "0", "0"}),
                                false))[0]);
            Pause(15000);  // a receiver under Wine keeps up, so every made-up name counts
        }
        return 0;
    }
    if (command == "crlf-flood" && args.size() >= 4) {
        const int seconds = std::atoi(args[2].c_str());
        const int rate = std::atoi(args[3].c_str());
        std::string piece(511, '\r');
        for (std::size_t k = 2; k < piece.size(); k += 2)
            piece[k] = '\n';
        for (int k = 2; k <= 255; ++k) {
            piece[0] = static_cast<char>(k);
            SendDatagram(s, piece);
        }
        piece[0] = 1;
        for (int i = 0; i < seconds * rate; ++i) {
            SendDatagram(s, piece);
            Pause(1000000L / rate);
        }
        return 0;
    }
    std::fprintf(stderr, "unknown command %s\n", command.c_str());
    return 2;
}
