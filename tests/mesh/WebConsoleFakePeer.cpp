// Hostile KestrelMesh peers for the web console's browser tests, sending from a chosen loopback
// address (127.x.y.z), only ever inside a private network namespace. Usage:
//   kmconsole_web_fake_peer PORT FROM SECONDS impostor NAME
//       logs in under the computer name NAME with another kind (KMX); prints every MENU_CHECK
//       and INPUT_RETURN it hears ("heard TYPE TARGET_ADDRESS TARGET_KIND"), and answers each
//       with a prompt and a message that claim to come from NAME's Kiv
//   kmconsole_web_fake_peer PORT FROM SECONDS flood
//       logs in 200 Kivs with long handle names and 3 with 30 KB computer names; KIVX answers
//       a menu request with 256 long items and a long status block, and an answer with 300
//       messages; KIVY sends a menu with a status block that nobody asked for
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
#include "RemoteTexts.h"

namespace {

using namespace kiv::mesh;

// Milliseconds of the monotonic clock (this file's literals are Shift-JIS, which <chrono> cannot
// be compiled with).
long NowMs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return ts.tv_sec * 1000L + ts.tv_nsec / 1000000;
}

void Pause(long microseconds)
{
    timespec pause{microseconds / 1000000, (microseconds % 1000000) * 1000};
    nanosleep(&pause, nullptr);
}

class FakePeer {
public:
    FakePeer(int port, std::string from) : port_(port), from_(std::move(from))
    {
        receive_ = Open("", port);
        send_ = Open(from_, 0);
    }

    void Send(const std::string& type, const std::vector<std::string>& fields)
    {
        for (const auto& d : CutDatagrams(FrameText(NewId() + BuildMessage(type, fields), false))) {
            sockaddr_in to{};
            to.sin_family = AF_INET;
            to.sin_port = htons(static_cast<std::uint16_t>(port_));
            to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
            sendto(send_, d.data(), d.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to);
            // Paced, so that the receivers' socket buffers keep up with long messages.
            Pause(300);
        }
    }

    void Login(const std::string& machine, const std::string& kind, const std::string& handle)
    {
        Send("KMMESSAGE:LOGIN", {machine, from_, kind, handle, "201", "0", "1", "0", "0"});
    }

    // The next whole message from another address, as its fields (type first), or nothing
    // within waitMs.
    std::vector<std::string> Receive(int waitMs, std::string& source)
    {
        pollfd p{receive_, POLLIN, 0};
        const long end = NowMs() + waitMs;
        while (NowMs() < end) {
            if (poll(&p, 1, 20) <= 0)
                continue;
            char buffer[2048];
            sockaddr_in addr{};
            socklen_t length = sizeof addr;
            const ssize_t n = recvfrom(receive_, buffer, sizeof buffer, 0, reinterpret_cast<sockaddr*>(&addr), &length);
            source = inet_ntoa(addr.sin_addr);
            if (n <= 0 || source == from_)
                continue;
            auto& list = pieces_[source];
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
            if (text->size() <= kIdentifierLength)
                continue;
            return SplitFields(kFieldSeparator, std::string_view(*text).substr(kIdentifierLength), 12);
        }
        return {};
    }

private:
    static int Open(const std::string& address, int port)
    {
        const int s = socket(AF_INET, SOCK_DGRAM, 0);
        const int on = 1;
        setsockopt(s, SOL_SOCKET, SO_BROADCAST, &on, sizeof on);
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(static_cast<std::uint16_t>(port));
        a.sin_addr.s_addr = address.empty() ? htonl(INADDR_ANY) : inet_addr(address.c_str());
        if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
            std::perror("bind");
            std::exit(2);
        }
        return s;
    }

    std::string NewId()
    {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        tm t{};
        localtime_r(&ts.tv_sec, &t);
        return MakeIdentifier({t.tm_year + 1900, t.tm_mon + 1, t.tm_mday, t.tm_hour, t.tm_min, t.tm_sec,
                               static_cast<int>(ts.tv_nsec / 1000000)},
                              (getpid() * 7 + ++counter_) % 100000);
    }

    int port_;
    std::string from_;
    int receive_ = -1, send_ = -1;
    int counter_ = 0;
    std::map<std::string, std::vector<std::string>> pieces_;
};

std::string Field(const std::vector<std::string>& f, std::size_t i)
{
    return i < f.size() ? f[i] : std::string();
}

// The address of the console that sent a question: a MENU_CHECK carries it; an INPUT_RETURN
// does not, and is taken to come from where that kind of console asked for the menu.
std::string Asker(std::map<std::string, std::string>& askers, const std::vector<std::string>& f)
{
    if (Field(f, 0) == "KMMESSAGE:MENU_CHECK")
        return askers[Field(f, 6)] = Field(f, 5);
    return askers[Field(f, 5)];
}

bool Over(long endMs)
{
    return NowMs() >= endMs;
}

// Claims every question of a console for the Kiv of the name it took.
void Impostor(FakePeer& peer, const std::string& name, long end)
{
    peer.Login(name, "KMX", "Kiv");
    std::map<std::string, std::string> askers;
    while (!Over(end)) {
        std::string source;
        const auto f = peer.Receive(200, source);
        const std::string type = Field(f, 0);
        if (type != "KMMESSAGE:MENU_CHECK" && type != "KMMESSAGE:INPUT_RETURN")
            continue;
        std::printf("heard %s %s %s\n", type.c_str() + 10, Field(f, 1).c_str(), Field(f, 2).c_str());
        std::fflush(stdout);
        const bool menuCheck = type == "KMMESSAGE:MENU_CHECK";
        const std::string kind = menuCheck ? Field(f, 6) : Field(f, 5);
        const std::string address = Asker(askers, f);
        peer.Send("KMMESSAGE:INPUT_LINE", {address, kind, "Kiv", name, "Kiv", kiv::kRemoteKeyPassword,
                                           std::string(kiv::kRemoteMenuHeader) + "偽のKivです。パスワードを入力してください。",
                                           "偽のパスワード", "1"});
        peer.Send("KMMESSAGE:INPUT_MESSAGE", {address, kind, "Kiv", name, "Kiv", kiv::RemoteDialStarted("偽の接続先")});
    }
}

void Flood(FakePeer& peer, long end)
{
    // The two that answer first, so that a console lists them before the crowd.
    peer.Login("KIVX", "Kiv", "KIVX" + std::string(30000, 'x'));
    peer.Login("KIVY", "Kiv", "KIVY");
    Pause(300000);
    for (int i = 0; i < 3; ++i)
        peer.Login(std::string(30000, static_cast<char>('L' + i)), "Kiv", "long-name");
    for (int i = 0; i < 200; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "FAKE%03d", i);
        peer.Login(name, "Kiv", name + std::string(2000, 'h'));
    }
    std::printf("logged in\n");
    std::fflush(stdout);
    bool unasked = false;
    std::map<std::string, std::string> askers;
    while (!Over(end)) {
        std::string source;
        const auto f = peer.Receive(200, source);
        const std::string type = Field(f, 0);
        if ((type != "KMMESSAGE:MENU_CHECK" && type != "KMMESSAGE:INPUT_RETURN") || Field(f, 2) != "Kiv")
            continue;
        const bool menuCheck = type == "KMMESSAGE:MENU_CHECK";
        const std::string kind = menuCheck ? Field(f, 6) : Field(f, 5);
        const std::string address = Asker(askers, f);
        if (!menuCheck) {
            // An answer: 300 closing messages, one every 10 ms, as fast as a page follows them.
            for (int i = 0; i < 300; ++i) {
                peer.Send("KMMESSAGE:INPUT_MESSAGE",
                          {address, kind, "KIVX", "KIVX", "Kiv",
                           std::string(kiv::kRemoteMessageHeader) + "通知 " + std::to_string(i)});
                Pause(10000);
            }
            std::printf("answered an answer from %s\n", address.c_str());
            std::fflush(stdout);
            continue;
        }
        if (!unasked) {
            // A menu with a status block that this console did not ask KIVY for.
            peer.Send("KMMESSAGE:INPUT_SELECT",
                      {address, kind, "KIVY", "KIVY", "Kiv", kiv::kRemoteKeyMenu,
                       std::string(kiv::kRemoteMenuHeader) + kiv::kRemoteStatusTarget + " 頼まれていない状態\r",
                       "■ a", "a"});
            unasked = true;
        }
        std::string message = std::string(kiv::kRemoteMenuHeader) + kiv::kRemoteStatusTarget + " " +
                              std::string(10000, 'T') + "\r" + kiv::kRemoteStatusState + " 切断\r" +
                              std::string(8000, 'Q') + kiv::kRemoteMenuQuestion;
        std::string items, values;
        for (int i = 0; i < 256; ++i) {
            items += (i ? "&:" : "") + ("■ 項目" + std::to_string(i) + " " + std::string(240, 'i'));
            values += (i ? "&:" : "") + ("R" + std::to_string(i));
        }
        peer.Send("KMMESSAGE:INPUT_SELECT", {address, kind, "KIVX", "KIVX", "Kiv", kiv::kRemoteKeyMenu, message, items,
                                             values});
        std::printf("answered a menu request from %s\n", address.c_str());
        std::fflush(stdout);
    }
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() < 4) {
        std::fputs("usage: see the head of WebConsoleFakePeer.cpp\n", stderr);
        return 2;
    }
    FakePeer peer(std::atoi(a[0].c_str()), a[1]);
    const long end = NowMs() + std::atol(a[2].c_str()) * 1000;
    if (a[3] == "impostor" && a.size() == 5)
        Impostor(peer, a[4], end);
    else if (a[3] == "flood")
        Flood(peer, end);
    else
        return 2;
    return 0;
}
