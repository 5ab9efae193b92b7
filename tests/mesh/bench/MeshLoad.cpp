// A steady KestrelMesh load on one program: PEERS peers, each from an address of its own on
// loopback (127.0.0.11, .12, ...), log in and then send HUZAI_CHECK, MESSAGE (10 to 1500
// bytes) and MENU_CHECK in turn to the program of discrimination DISC, RATE messages a second
// in all, for SECONDS. Half of the messages are scrambled. The target's address is learnt from
// its answer to the peers' logins. At the end one line counts what was sent and the answers
// seen. Only for a private network namespace: every message is a broadcast.
// Usage: kiv_mesh_load [--port N] [--peers N] [--rate N] [--seconds N] [--disc DISC]
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "KestrelMesh.h"
#include "MeshWire.h"

namespace {

using namespace kiv;

struct Options {
    int port = 51000, peers = 20, rate = 380;
    double seconds = 30;
    std::string disc = "Kiv";
};

struct Peer {
    int socket = -1;
    std::string machine, handle, address;
};

double Now()
{
    timespec ts{};
    ::clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) / 1e9;
}

void SleepUntil(double when)
{
    const double left = when - Now();
    if (left <= 0)
        return;
    timespec ts{static_cast<time_t>(left), static_cast<long>((left - static_cast<double>(static_cast<time_t>(left))) * 1e9)};
    ::nanosleep(&ts, nullptr);
}

int UdpSocket(std::uint32_t address, int port)
{
    const int s = ::socket(AF_INET, SOCK_DGRAM, 0);
    const int one = 1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(address);
    local.sin_port = htons(static_cast<std::uint16_t>(port));
    if (s < 0 || ::setsockopt(s, SOL_SOCKET, SO_BROADCAST, &one, sizeof one) != 0 ||
        ::setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one) != 0 ||
        ::bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        std::perror("kiv_mesh_load: socket");
        std::exit(1);
    }
    return s;
}

class Load {
public:
    explicit Load(const Options& o) : o_(o), random_(17)
    {
        listener_ = UdpSocket(INADDR_ANY, o.port);
        for (int i = 0; i < o.peers; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "LOADPC%02d", i + 1);
            Peer p;
            p.socket = UdpSocket(0x7F00000B + static_cast<std::uint32_t>(i), 0);
            p.machine = name;
            p.handle = "load" + std::to_string(i + 1);
            p.address = mesh::InetNtoa(0x7F00000B + static_cast<std::uint32_t>(i));
            peers_.push_back(p);
        }
    }

    // Logs the peers in until the target has answered; false when it never did.
    bool FindTarget(double timeout)
    {
        const double end = Now() + timeout;
        double nextLogin = 0;
        while (target_.empty()) {
            if (Now() > end)
                return false;
            if (Now() >= nextLogin) {
                for (const auto& p : peers_)
                    Send(p, mesh::BuildMessage(mesh_tags::Login, {p.machine, p.address, "KMC", p.handle, "100", "0",
                                                                  "0", "0", "0"}),
                         false);
                nextLogin = Now() + 1;
            }
            SleepUntil(Now() + 0.01);
            Drain();
        }
        return true;
    }

    void Run()
    {
        const double interval = 1.0 / o_.rate;
        const double start = Now();
        const long total = static_cast<long>(o_.seconds * o_.rate);
        for (long n = 0; n < total; ++n) {
            SleepUntil(start + static_cast<double>(n) * interval);
            const Peer& p = peers_[static_cast<std::size_t>(n % o_.peers)];
            const bool scrambled = n % 2 == 0;
            switch ((n / o_.peers) % 3) {
            case 0:
                Send(p, mesh::BuildMessage(mesh_tags::HuzaiCheck, {target_, o_.disc, p.address, "KMC"}), scrambled);
                break;
            case 1: {
                std::uniform_int_distribution<int> length(10, 1500);
                std::string text(static_cast<std::size_t>(length(random_)), 'm');
                for (std::size_t i = 0; i < text.size(); i += 40)
                    text[i] = static_cast<char>('a' + n % 26);
                Send(p,
                     mesh::BuildMessage(mesh_tags::Message, {target_, o_.disc, p.handle, p.machine, p.address, "KMC",
                                                             Identifier(), text, "0"}),
                     scrambled);
                break;
            }
            default:
                Send(p, mesh::BuildMessage(mesh_tags::MenuCheck, {target_, o_.disc, p.handle, p.machine, p.address, "KMC"}),
                     scrambled);
                break;
            }
            Drain();
        }
        SleepUntil(Now() + 0.5);
        Drain();
        const double took = Now() - start;
        std::printf("sent %ld messages in %ld datagrams in %.1f s (%.0f a second) from %d peers to %s at %s;"
                    " answers seen:",
                    total, datagrams_, took, static_cast<double>(total) / took, o_.peers, o_.disc.c_str(),
                    target_.c_str());
        for (const auto& [type, count] : answers_)
            std::printf(" %s %ld", type.c_str(), count);
        std::printf("\n");
    }

private:
    std::string Identifier()
    {
        std::uniform_int_distribution<int> draw(0, 99999);
        return mesh::MakeIdentifier({2026, 12, 10, 12, 0, 0, static_cast<int>(++sequence_ % 1000)}, draw(random_));
    }

    void Send(const Peer& p, const std::string& text, bool scrambled)
    {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
        to.sin_port = htons(static_cast<std::uint16_t>(o_.port));
        for (const auto& d : mesh::CutDatagrams(mesh::FrameText(Identifier() + text, scrambled))) {
            ::sendto(p.socket, d.data(), d.size(), 0, reinterpret_cast<const sockaddr*>(&to), sizeof to);
            ++datagrams_;
        }
    }

    // Everything broadcast on the port, reassembled by source: the target's address from its
    // answer to a login, and a count of its answers to the peers by type.
    void Drain()
    {
        char buffer[600];
        for (;;) {
            sockaddr_in from{};
            socklen_t fromLength = sizeof from;
            const ssize_t n = ::recvfrom(listener_, buffer, sizeof buffer, MSG_DONTWAIT,
                                         reinterpret_cast<sockaddr*>(&from), &fromLength);
            if (n <= 0)
                return;
            auto& pieces = pending_[from.sin_addr.s_addr];
            const std::size_t position = static_cast<unsigned char>(buffer[0] - 1);
            if (position == 0)
                pieces.clear();
            if (pieces.size() <= position)
                pieces.resize(position + 1);
            pieces[position] = mesh::DatagramPiece(buffer, static_cast<std::size_t>(n));
            const auto message = mesh::UnframePieces(pieces);
            if (!message)
                continue;
            pieces.clear();
            const std::string text = message->substr(std::min(message->size(), mesh::kIdentifierLength));
            const std::string type = mesh::GetField(text, 0);
            if (type == mesh_tags::LoginOk && mesh::GetField(text, 5) == o_.disc)
                target_ = mesh::GetField(text, 4);
            else if (type != mesh_tags::Login && type != mesh_tags::LoginOk && mesh::GetField(text, 2) == "KMC")
                ++answers_[type.substr(type.find(':') + 1)];
        }
    }

    Options o_;
    std::mt19937 random_;
    int listener_ = -1;
    std::vector<Peer> peers_;
    std::string target_;
    long datagrams_ = 0;
    long sequence_ = 0;
    std::map<std::string, long> answers_;
    std::map<std::uint32_t, std::vector<std::string>> pending_;
};

}  // namespace

int main(int argc, char** argv)
{
    Options o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string a = argv[i], v = argv[i + 1];
        if (a == "--port")
            o.port = std::atoi(v.c_str());
        else if (a == "--peers")
            o.peers = std::atoi(v.c_str());
        else if (a == "--rate")
            o.rate = std::atoi(v.c_str());
        else if (a == "--seconds")
            o.seconds = std::atof(v.c_str());
        else if (a == "--disc")
            o.disc = v;
        else
            return 2;
    }
    if (o.peers < 1 || o.peers > 200 || o.rate < 1 || o.seconds <= 0)
        return 2;
    Load load(o);
    if (!load.FindTarget(60)) {
        std::fprintf(stderr, "kiv_mesh_load: no %s answered the logins\n", o.disc.c_str());
        return 1;
    }
    load.Run();
    return 0;
}
