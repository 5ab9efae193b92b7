// Hostile HTTP clients for the web console's tests, on raw sockets from a chosen loopback
// address (127.x.y.z), only ever inside a private network namespace. Each command prints what
// the server did, one "name value" a line, for the test to judge.
//   slowloris FROM HOST:PORT COUNT SECONDS GAP_MS
//       COUNT connections that send a request's head one line every GAP_MS for SECONDS:
//       refused (ended within 300 ms), ended_by_server (later), longest_ms (the longest one the
//       server kept), open_at_end
//   flood FROM HOST:PORT KIND SECONDS [TOKEN]
//       one hostile request after another for SECONDS, each on a new connection; KIND: lines
//       (6000 header lines of 8 KB), line (one 48 MB header line), chunked (a 48 MB chunked
//       body), nolength (a POST without a length, then 48 MB), gzip (4 KB of gzip): runs,
//       status_N (answers by status), most_sent (bytes taken before the server stopped reading)
//   polls FROM HOST:PORT TOKEN SESSION COUNT
//       COUNT state requests that wait for news, on one session, one after the other, each
//       closed once answered: answered_at_once (within 1 s of the next one being sent), waiting
//       (still open at the end)
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Target {
    std::string from, host;
    int port = 0;
};

long MsSince(Clock::time_point t)
{
    return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count());
}

// A blocking connection from target.from, with sends and receives that give up after timeoutMs.
int Connect(const Target& t, int timeoutMs = 2000)
{
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = inet_addr(t.from.c_str());
    if (bind(s, reinterpret_cast<sockaddr*>(&from), sizeof from) != 0) {
        std::perror("bind");
        std::exit(2);
    }
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(t.port));
    to.sin_addr.s_addr = inet_addr(t.host.c_str());
    if (connect(s, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
        close(s);
        return -1;
    }
    return s;
}

// Sends all of text; false once the server no longer takes bytes (closed, reset, or not reading).
bool SendAll(int s, const std::string& text, std::size_t& sent)
{
    for (std::size_t at = 0; at < text.size();) {
        const ssize_t n = send(s, text.data() + at, text.size() - at, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        at += static_cast<std::size_t>(n);
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// The status of the answer the server sent, or 0 when it sent none before closing.
int ReadStatus(int s)
{
    char buffer[512];
    const ssize_t n = recv(s, buffer, sizeof buffer - 1, 0);
    if (n < 12)
        return 0;
    buffer[n] = '\0';
    return std::strncmp(buffer, "HTTP/1.1 ", 9) == 0 ? std::atoi(buffer + 9) : 0;
}

// True once the server has answered or ended a connection whose request it has not got whole,
// waiting up to waitMs: all it may send then is a refusal before it closes.
bool Ended(int s, int waitMs)
{
    pollfd p{s, POLLIN, 0};
    return poll(&p, 1, waitMs) > 0;
}

std::string Head(const Target& t, const std::string& method, const std::string& path)
{
    return method + " " + path + " HTTP/1.1\r\nHost: " + t.host + ":" + std::to_string(t.port) + "\r\n";
}

int Slowloris(const Target& t, int count, int seconds, int gapMs)
{
    std::atomic<int> refused{0}, ended{0}, open{0}, longest{0};
    std::vector<std::thread> threads;
    const auto start = Clock::now();
    const long end = seconds * 1000L;
    for (int i = 0; i < count; ++i)
        threads.emplace_back([&] {
            const int s = Connect(t, gapMs);
            if (s < 0) {
                ++refused;
                return;
            }
            const auto opened = Clock::now();
            std::size_t sent = 0;
            bool over = !SendAll(s, Head(t, "GET", "/"), sent);
            for (int line = 0; !over && MsSince(start) < end; ++line)
                over = Ended(s, static_cast<int>(std::min<long>(gapMs, std::max<long>(1, end - MsSince(start))))) ||
                       (MsSince(start) < end && !SendAll(s, "X-Slow-" + std::to_string(line) + ": 1\r\n", sent));
            const long kept = MsSince(opened);
            close(s);
            if (!over)
                ++open;
            else if (kept < 300)
                ++refused;  // ended at once: the server would not have it
            else {
                ++ended;
                longest = std::max<int>(longest.load(), static_cast<int>(kept));
            }
        });
    for (auto& th : threads)
        th.join();
    std::printf("refused %d\nended_by_server %d\nlongest_ms %d\nopen_at_end %d\n", refused.load(), ended.load(),
                longest.load(), open.load());
    return 0;
}

// One hostile request on a new connection: how many bytes the server took and its status.
std::pair<std::size_t, int> Hostile(const Target& t, const std::string& kind, const std::string& token)
{
    const int s = Connect(t);
    if (s < 0)
        return {0, -1};
    const std::string tokenLine = token.empty() ? "" : "X-Kiv-Token: " + token + "\r\n";
    std::size_t sent = 0;
    const std::string block(64 * 1024, 'a');
    const std::size_t total = 48u * 1024 * 1024;
    bool going = true;
    if (kind == "lines") {
        going = SendAll(s, Head(t, "GET", "/"), sent);
        const std::string line = "X-Big: " + std::string(8192 - 9, 'b') + "\r\n";
        for (int i = 0; going && i < 6000; ++i)
            going = SendAll(s, line, sent);
    } else if (kind == "line") {
        going = SendAll(s, Head(t, "GET", "/") + "X-Long: ", sent);
        for (std::size_t n = 0; going && n < total; n += block.size())
            going = SendAll(s, block, sent);
    } else if (kind == "chunked") {
        going = SendAll(s, Head(t, "POST", "/api/open") + tokenLine +
                               "Content-Type: application/json\r\nTransfer-Encoding: chunked\r\n\r\n",
                        sent);
        char size[16];
        std::snprintf(size, sizeof size, "%zx\r\n", block.size());
        for (std::size_t n = 0; going && n < total; n += block.size())
            going = SendAll(s, size + block + "\r\n", sent);
    } else if (kind == "nolength") {
        going = SendAll(s, Head(t, "POST", "/api/open") + tokenLine + "Content-Type: application/json\r\n\r\n", sent);
        for (std::size_t n = 0; going && n < total; n += block.size())
            going = SendAll(s, block, sent);
    } else if (kind == "gzip") {
        // The start of a gzip stream that inflates to far more than it is.
        std::string gzip("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\x03", 10);
        gzip += std::string(4096 - gzip.size(), '\0');
        going = SendAll(s, Head(t, "POST", "/api/open") + tokenLine +
                               "Content-Type: application/json\r\nContent-Encoding: gzip\r\nContent-Length: " +
                               std::to_string(gzip.size()) + "\r\n\r\n" + gzip,
                        sent);
    } else {
        std::fprintf(stderr, "unknown kind %s\n", kind.c_str());
        std::exit(2);
    }
    const int status = ReadStatus(s);
    close(s);
    return {sent, status};
}

int Flood(const Target& t, const std::string& kind, int seconds, const std::string& token)
{
    const auto start = Clock::now();
    int runs = 0;
    std::size_t most = 0;
    std::map<int, int> statuses;
    while (MsSince(start) < seconds * 1000) {
        const auto [sent, status] = Hostile(t, kind, token);
        ++runs;
        most = std::max(most, sent);
        ++statuses[status];
        if (status < 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    std::printf("runs %d\nmost_sent %zu\n", runs, most);
    for (const auto& [status, n] : statuses)
        std::printf("status_%d %d\n", status, n);
    return 0;
}

int Polls(const Target& t, const std::string& token, const std::string& session, int count)
{
    const std::string auth = "X-Kiv-Token: " + token + "\r\nX-Kiv-Session: " + session + "\r\n\r\n";
    // The version now, from a state request that does not wait.
    int s = Connect(t);
    std::size_t sent = 0;
    SendAll(s, Head(t, "GET", "/api/state") + auth, sent);
    std::string answer(65536, '\0');
    const ssize_t n = recv(s, answer.data(), answer.size(), 0);
    close(s);
    const auto at = n > 0 ? answer.find("\"version\":") : std::string::npos;
    if (at == std::string::npos) {
        std::fprintf(stderr, "no state: %s\n", answer.c_str());
        return 2;
    }
    const std::string since = std::to_string(std::atoll(answer.c_str() + at + 10));
    std::vector<int> sockets;
    std::vector<Clock::time_point> sentAt;
    int atOnce = 0;
    for (int i = 0; i < count; ++i) {
        const int p = Connect(t, 25000);
        if (p < 0)
            break;
        SendAll(p, Head(t, "GET", "/api/state?since=" + since) + auth, sent);
        sockets.push_back(p);
        sentAt.push_back(Clock::now());
        // The one before this one must answer at once; then it is done with.
        if (i > 0) {
            int& before = sockets[static_cast<std::size_t>(i) - 1];
            pollfd w{before, POLLIN, 0};
            if (poll(&w, 1, 1000) == 1 && ReadStatus(w.fd) == 200)
                ++atOnce;
            close(before);
            before = -1;
        }
    }
    int waiting = 0;
    for (int p : sockets) {
        if (p < 0)
            continue;
        pollfd w{p, POLLIN, 0};
        waiting += poll(&w, 1, 0) == 0 ? 1 : 0;
        close(p);
    }
    std::printf("answered_at_once %d\nwaiting %d\n", atOnce, waiting);
    return 0;
}

Target ParseTarget(const std::string& from, const std::string& hostPort)
{
    Target t;
    t.from = from;
    const auto colon = hostPort.rfind(':');
    t.host = hostPort.substr(0, colon);
    t.port = std::atoi(hostPort.c_str() + colon + 1);
    return t;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> a(argv + 1, argv + argc);
    if (a.size() >= 6 && a[0] == "slowloris")
        return Slowloris(ParseTarget(a[1], a[2]), std::atoi(a[3].c_str()), std::atoi(a[4].c_str()),
                         std::atoi(a[5].c_str()));
    if (a.size() >= 5 && a[0] == "flood")
        return Flood(ParseTarget(a[1], a[2]), a[3], std::atoi(a[4].c_str()), a.size() > 5 ? a[5] : "");
    if (a.size() >= 6 && a[0] == "polls")
        return Polls(ParseTarget(a[1], a[2]), a[3], a[4], std::atoi(a[5].c_str()));
    std::fprintf(stderr, "usage: see the head of WebConsoleAttacker.cpp\n");
    return 2;
}
